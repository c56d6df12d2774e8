/* Writing tables back to their databases: each row by its flags becomes an
 * INSERT, UPDATE or DELETE on the table's connection, and returns to the
 * stored state when its statement succeeds; the saving of every table and
 * of the tables of savetableslist.txt. */
#include "records/persist/persist.h"
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/store/criteria.h"
#include "records/db/dialects.h"
#include "records/persist/persistconn.h"
#include "records/persist/rowstatement.h"
#include "records/base/coltypes.h"
#include "records/base/reclimits.h"
#include "records/dict/tabledefn.h"
#include "records/sql/sqltext.h"

#include "agent/locktable.h"
#include "agent/log.h"
#include "agent/textformat.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

RowSaveAction GetRowSaveAction(BYTE flags)
{
    if ((flags & (ROW_FLAG_STORED | ROW_FLAG_DELETED)) == (ROW_FLAG_STORED | ROW_FLAG_DELETED))
        return ROW_SAVE_DELETE;
    switch (flags) {
    case 0:
    case ROW_FLAG_STORED:
        return ROW_SAVE_NOTHING;
    case ROW_FLAG_NEW:
    case ROW_FLAG_NEW | ROW_FLAG_MODIFIED:
        return ROW_SAVE_INSERT;
    case ROW_FLAG_STORED | ROW_FLAG_MODIFIED:
        return ROW_SAVE_UPDATE;
    default:
        return ROW_SAVE_LEFT_ALONE;
    }
}

/* Writes one row through RunRowStatement (`s` holds the save's connection
 * and check); TRUE when it counts as saved. */
static BOOL saveRow(RowStatement *s, RowObject *row, RowSaveAction action)
{
    char *statement = action == ROW_SAVE_INSERT   ? GenerateInsertQuery(s->tableName, row)
                      : action == ROW_SAVE_UPDATE ? GenerateUpdateQuery(s->tableName, row)
                                                  : GenerateDeleteQuery(s->tableName, row);
    if (!statement) {
        LogError("QueryPtr is NULL.\n");
        return FALSE;
    }
    s->owner = row;
    s->row = row;
    s->insert = action == ROW_SAVE_INSERT;
    s->statement = statement;
    BOOL ok = RunRowStatement(s);
    free(statement);
    return ok;
}

int SaveTable(const char *tableName)
{
    LogTrace("@@@ Inside SaveTable @@@\n");
    TableData *t = GetTableDataByName(tableName);
    if (!t || t->kind != TABLE_KIND_TABLE)
        return 0;
    const void *lockKey = GetCriteriaLockKey();
    if (!AcquireLock(lockKey))
        return 0;
    const char *connectionName = NULL;
    DBConnection *c = TakeTableConnection(t->name, &connectionName);
    if (!c) {
        LogError("SaveTable : no connection for %s\n", t->name);
        ReleaseLock(lockKey);
        return 0;
    }
    INT32 failed = 0;
    RowStatement st = {};
    st.caller = "SaveTable";
    st.connection = c;
    st.connectionName = connectionName;
    st.tableName = t->name;
    /* The first failure asks whether the connection is lost (a database
     * restarted since the last save); the rows after it run on the renewed
     * connection, or, when it could not be renewed, are known unsettled. */
    st.checkConnection = TRUE;
    st.check = CONNECTION_ANSWERS;
    RowObject *removed = NULL;      /* deleted rows, newest first */
    RowObject *row = t->firstRow;
    while (row) {
        RowObject *next = row->next;
        RowSaveAction action = GetRowSaveAction(row->flags);
        if (action == ROW_SAVE_INSERT || action == ROW_SAVE_UPDATE || action == ROW_SAVE_DELETE) {
            BOOL saved = saveRow(&st, row, action);
            if (!saved) {
                failed++;
            } else if (action == ROW_SAVE_DELETE) {
                /* Out of the table now; its notification waits until the
                 * criteria lock is free, so that a listener may select. */
                row->flags = ROW_FLAG_DELETED;
                if (UnlinkRowObject(t->name, row)) {
                    row->next = removed;
                    removed = row;
                }
            } else {
                row->flags = ROW_FLAG_STORED;
            }
        }
        row = next;
    }
    if (failed > 0)
        LogError("SaveTable : %d row(s) of %s not saved; they keep their flags.\n", (int)failed, t->name);
    ReleaseConnectionHandle(connectionName);
    ReleaseLock(lockKey);
    /* Oldest first, as they were deleted in the database. */
    RowObject *ordered = NULL;
    while (removed) {
        RowObject *n = removed->next;
        removed->next = ordered;
        ordered = removed;
        removed = n;
    }
    while (ordered) {
        RowObject *n = ordered->next;
        ordered->next = NULL;
        ReleaseUnlinkedRowObject(t->name, ordered);
        ordered = n;
    }
    return failed == 0 ? 1 : 0;
}

BOOL SaveAllTables(void)
{
    LogTrace("@@@ Inside SaveAllTables @@@\n");
    INT32 count = 0;
    TableData **tables = GetTableRegistry(&count);
    BOOL all = TRUE;
    for (INT32 i = 0; i < count; i++)
        if (tables[i]->kind == TABLE_KIND_TABLE && SaveTable(tables[i]->name) != 1)
            all = FALSE;
    return all;
}

BOOL SaveTablesFromList(void)
{
    char *path = gv_cParloRoot ? FormatNewText("%s/data/%s", gv_cParloRoot, PERSIST_SAVELIST_NAME) : NULL;
    FILE *f = path ? fopen(path, "r") : NULL;
    free(path);
    if (!f) {
        LogError("No tables to be saved.\n");
        return TRUE;
    }
    BOOL all = TRUE;
    char line[PERSIST_MAX_LIST_LINE + 2];
    while (fgets(line, sizeof line, f)) {
        size_t n = strcspn(line, " \t\r\n");
        BOOL cut = strchr(line, '\n') == NULL && !feof(f);
        line[n] = '\0';
        if (cut) {
            int ch;
            while ((ch = fgetc(f)) != EOF && ch != '\n') {
            }
        }
        if (n == 0)
            continue;
        if (SaveTable(line) != 1)
            all = FALSE;
    }
    fclose(f);
    return all;
}
