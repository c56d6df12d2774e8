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

/* Writes one row: TRUE when its statement ran. */
static BOOL saveRow(DBConnection *c, const char *tableName, RowObject *row, RowSaveAction action)
{
    char *statement = NULL;
    if (action == ROW_SAVE_INSERT)
        statement = GenerateInsertQuery(tableName, row);
    else if (action == ROW_SAVE_UPDATE)
        statement = GenerateUpdateQuery(tableName, row);
    else
        statement = GenerateDeleteQuery(tableName, row);
    if (!statement) {
        LogError("QueryPtr is NULL.\n");
        return FALSE;
    }
    BOOL ok = ExecuteUpdate(c, statement);
    if (!ok) {
        LogError("Error in executing update query \n");
        LogError("QUERY : %s\n", statement);
    }
    free(statement);
    return ok;
}

/* TRUE when the database holds a row equal to `row` under its key: how an
 * INSERT whose answer was lost with the connection is settled. Decimals
 * compare as numbers (engines pad them with their scale). */
static BOOL storedEqualRow(DBConnection *c, const char *tableName, const RowObject *row)
{
    char *remove = GenerateDeleteQuery(tableName, row);
    const char *where = remove ? strstr(remove, " where ") : NULL;
    char *query = where ? FormatNewText("select * from %s%s", tableName, where) : NULL;
    free(remove);
    ResultSet *set = query ? ExecuteQuery(c, query) : NULL;
    free(query);
    const TableDefn *defn = GetTableDefn(tableName);
    const QueryGenerator *g = GetTableQueryGenerator(tableName);
    RowObject *stored = set && set->rowCount == 1 && defn && g
                            ? ConvertResultSetToRow(set, set->firstRow, g->name, tableName)
                            : NULL;
    BOOL equal = stored != NULL;
    for (INT32 i = 0; equal && i < defn->columnCount; i++) {
        const ColumnDefn *col = defn->columns[i];
        if (!col || col->type == BRN_SQL_NOT_SUPPORTED_TYPE)
            continue;
        if (!row->values[i] || !stored->values[i]) {
            equal = !row->values[i] && !stored->values[i];
            continue;
        }
        char *a = ConvertValueToText(row->values[i], row->sizes[i], col->type);
        char *b = ConvertValueToText(stored->values[i], stored->sizes[i], col->type);
        if (col->type == BRN_SQL_DECIMAL || col->type == BRN_SQL_NUMERIC)
            equal = a && b && strtod(a, NULL) == strtod(b, NULL);
        else
            equal = a && b && strcmp(a, b) == 0;
        free(a);
        free(b);
    }
    if (stored)
        FreeRowObject(stored, defn->columnCount);
    FreeResultSet(set);
    return equal;
}

/* INSERTs whose outcome is unknown: the connection was lost while they ran
 * and could not be opened again, so the database may have committed them.
 * Each is known by its row and the text of its INSERT (a row freed and
 * another made at its address with other values does not match), and is
 * settled by the first later save of its table that can ask the database.
 * Used only under the criteria lock; the oldest entry gives way. */
#define UNSETTLED_INSERTS 32
static struct {
    const RowObject *row;
    char *insert;
} s_unsettled[UNSETTLED_INSERTS];
static INT32 s_unsettledNext;

static void rememberUnsettled(const char *tableName, const RowObject *row)
{
    char *insert = GenerateInsertQuery(tableName, row);
    if (!insert)
        return;
    for (INT32 i = 0; i < UNSETTLED_INSERTS; i++) {
        if (s_unsettled[i].row == row) {
            free(s_unsettled[i].insert);
            s_unsettled[i].insert = insert;
            return;
        }
    }
    INT32 slot = s_unsettledNext;
    s_unsettledNext = (s_unsettledNext + 1) % UNSETTLED_INSERTS;
    free(s_unsettled[slot].insert);
    s_unsettled[slot].row = row;
    s_unsettled[slot].insert = insert;
}

static BOOL isUnsettled(const char *tableName, const RowObject *row)
{
    INT32 i = 0;
    while (i < UNSETTLED_INSERTS && s_unsettled[i].row != row)
        i++;
    if (i == UNSETTLED_INSERTS)
        return FALSE;
    char *insert = GenerateInsertQuery(tableName, row);
    BOOL same = insert && strcmp(insert, s_unsettled[i].insert) == 0;
    free(insert);
    return same;
}

static void forgetUnsettled(const RowObject *row)
{
    for (INT32 i = 0; i < UNSETTLED_INSERTS; i++) {
        if (s_unsettled[i].row == row) {
            free(s_unsettled[i].insert);
            s_unsettled[i].insert = NULL;
            s_unsettled[i].row = NULL;
        }
    }
}

void FreeUnsettledInserts(void)
{
    for (INT32 i = 0; i < UNSETTLED_INSERTS; i++) {
        free(s_unsettled[i].insert);
        s_unsettled[i].insert = NULL;
        s_unsettled[i].row = NULL;
    }
    s_unsettledNext = 0;
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
    BOOL checked = FALSE;
    ConnectionCheck check = CONNECTION_ANSWERS;
    RowObject *removed = NULL;      /* deleted rows, newest first */
    RowObject *row = t->firstRow;
    while (row) {
        RowObject *next = row->next;
        RowSaveAction action = GetRowSaveAction(row->flags);
        if (action == ROW_SAVE_INSERT || action == ROW_SAVE_UPDATE || action == ROW_SAVE_DELETE) {
            BOOL saved = saveRow(c, t->name, row, action);
            if (!saved && !checked) {
                /* The first failure asks whether the connection is lost (a
                 * database restarted since the last save). Renewed, the row
                 * is settled: an INSERT the database committed before the
                 * connection went counts as saved, anything else runs again
                 * on the new connection, and so do the rows after it. */
                checked = TRUE;
                check = CheckConnectionAfterFailure(c, connectionName, t->name);
                if (check == CONNECTION_RENEWED) {
                    if (action == ROW_SAVE_INSERT && storedEqualRow(c, t->name, row)) {
                        LogInfo("SaveTable : a row of %s was stored before the connection was lost\n", t->name);
                        saved = TRUE;
                    } else {
                        saved = saveRow(c, t->name, row, action);
                    }
                }
            }
            if (!saved && action == ROW_SAVE_INSERT) {
                if (check == CONNECTION_LOST) {
                    /* No answer and no new connection: the database may
                     * hold the row all the same. */
                    rememberUnsettled(t->name, row);
                } else if (isUnsettled(t->name, row) && storedEqualRow(c, t->name, row)) {
                    LogInfo("SaveTable : a row of %s was stored before an earlier save lost its connection\n",
                            t->name);
                    saved = TRUE;
                }
            }
            if (saved)
                forgetUnsettled(row);
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
