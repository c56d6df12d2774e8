/* Saving data objects: each row unit becomes a RowObject and, by its state,
 * an INSERT, UPDATE or DELETE on its table's connection; a data object is
 * saved with referenced tables first for inserts and updates and with
 * referencing tables first for deletes, so that foreign keys hold at every
 * statement. */
#include "records/object/dataobject.h"
#include "records/base/coltypes.h"
#include "records/db/connpool.h"
#include "records/db/dialects.h"
#include "records/persist/persist.h"
#include "records/persist/persistconn.h"
#include "records/persist/rowstatement.h"
#include "records/base/strutil.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

RowObject *GetRowObjectFromRowUnit(const RowUnit *u)
{
    if (!u)
        return NULL;
    BYTE **values = (BYTE **)calloc((size_t)u->columnCount, sizeof *values);
    INT32 *sizes = (INT32 *)calloc((size_t)u->columnCount, sizeof *sizes);
    BOOL ok = values && sizes;
    for (INT32 i = 0; ok && i < u->columnCount; i++) {
        const ColumnDefn *col = u->columns[i];
        const BYTE *v = u->values[i];
        INT32 size = u->sizes[i];
        if (!v && !col->nullable) {
            if (!col->defaultValue) {
                LogError("Cannot save RowUnit. Column %s is not not nullable and does not have a default "
                         "value\n", col->name);
                ok = FALSE;
                break;
            }
            v = col->defaultValue;
            size = col->defaultSize;
        }
        if (v) {
            sizes[i] = size;
            ok = (values[i] = CopyValueBuffer(v, size)) != NULL;
        }
    }
    RowObject *row = ok ? CreateNewRowObject(values, sizes) : NULL;
    if (!row) {
        for (INT32 i = 0; values && i < u->columnCount; i++)
            free(values[i]);
        free(values);
        free(sizes);
        return NULL;
    }
    row->flags = u->state;
    return row;
}

int SaveRowUnit(RowUnit *u, DataObject *d)
{
    LogTrace("@@@@  Inside SaveRowUnit @@@@\n");
    if (!u)
        return 0;
    LogDebug("RowState %d\n", (int)u->state);
    if ((u->state & (ROW_FLAG_DELETED | ROW_FLAG_STORED)) == ROW_FLAG_DELETED) {
        /* Deleted before it was ever saved: nothing to write. */
        if (d)
            RemoveRowUnitFromDO(d, u);
        return 1;
    }
    RowSaveAction action = GetRowSaveAction(u->state);
    if (action == ROW_SAVE_NOTHING)
        return 1;
    if (action == ROW_SAVE_LEFT_ALONE) {
        LogError("Invalid State for keyStr.  Cannot Save.\n");
        return 0;
    }
    RowObject *row = GetRowObjectFromRowUnit(u);
    if (!row) {
        LogError("Cannot convert RowUnit to RowObject.\n");
        return 0;
    }
    char *statement = action == ROW_SAVE_INSERT   ? GenerateInsertQuery(u->tableName, row)
                      : action == ROW_SAVE_UPDATE ? GenerateUpdateQuery(u->tableName, row)
                                                  : GenerateDeleteQuery(u->tableName, row);
    if (!statement) {
        LogError("QueryPtr is NULL.\n");
        FreeRowObject(row, u->columnCount);
        return 0;
    }
    /* Like a row of SaveTable: a lost connection is renewed and the unit's
     * INSERT settled against the database when its answer was lost. */
    RowStatement st = {};
    st.caller = "SaveRowUnit";
    st.connection = TakeTableConnection(u->tableName, &st.connectionName);
    st.tableName = u->tableName;
    st.owner = u;
    st.row = row;
    st.insert = action == ROW_SAVE_INSERT;
    st.statement = statement;
    st.checkConnection = TRUE;
    st.check = CONNECTION_ANSWERS;
    BOOL ok = FALSE;
    if (st.connection) {
        ok = RunRowStatement(&st);
        ReleaseConnectionHandle(st.connectionName);
    } else {
        LogError("Error in executing update query \n");
        LogError("QUERY : %s\n", statement);
    }
    FreeRowObject(row, u->columnCount);
    free(statement);
    if (!ok)
        return 0;
    if (action == ROW_SAVE_DELETE && d)
        RemoveRowUnitFromDO(d, u);
    else
        u->state = ROW_FLAG_STORED;
    return 1;
}

/* Saves the row units of a collection whose action is (or is not, with
 * `deletes` FALSE) a DELETE; 1 when all were saved. */
static int saveUnits(RowCollection *c, DataObject *d, BOOL deletes)
{
    int all = 1;
    RowUnit *u = c ? c->first : NULL;
    while (u) {
        RowUnit *next = u->next;
        BOOL isDelete = GetRowSaveAction(u->state) == ROW_SAVE_DELETE;
        if (isDelete == deletes && SaveRowUnit(u, d) != 1)
            all = 0;
        u = next;
    }
    return all;
}

int SaveRowCollection(RowCollection *c, DataObject *d)
{
    int a = saveUnits(c, d, FALSE);
    int b = saveUnits(c, d, TRUE);
    return a && b ? 1 : 0;
}

/* TRUE when table `t` has a foreign key to `other` (itself excluded). */
static BOOL references(const char *t, const char *other)
{
    TableDefn *defn = GetTableDefn(t);
    if (CompareStringIgnoreCase(t, other) == 0 || !defn || !defn->constraints)
        return FALSE;
    for (const ForeignKeyDefn *fk = defn->constraints->foreignKeys; fk; fk = fk->next)
        if (CompareStringIgnoreCase(fk->referenceTable, other) == 0)
            return TRUE;
    return FALSE;
}

BOOL SortTableByFK(const char **tables, INT32 count)
{
    if (!tables || count <= 1)
        return TRUE;
    const char **waiting = (const char **)malloc((size_t)count * sizeof *waiting);
    if (!waiting)
        return FALSE;
    memcpy(waiting, tables, (size_t)count * sizeof *waiting);
    /* Repeatedly take the first table that references no table still
     * waiting; a cycle takes its first waiting table as it stands. */
    for (INT32 placed = 0; placed < count; placed++) {
        INT32 pick = -1;
        for (INT32 i = 0; i < count && pick < 0; i++) {
            if (!waiting[i])
                continue;
            BOOL waits = FALSE;
            for (INT32 k = 0; k < count && !waits; k++)
                waits = k != i && waiting[k] && references(waiting[i], waiting[k]);
            if (!waits)
                pick = i;
        }
        for (INT32 i = 0; i < count && pick < 0; i++)
            if (waiting[i])
                pick = i;
        tables[placed] = waiting[pick];
        waiting[pick] = NULL;
    }
    free(waiting);
    return TRUE;
}

const char **SortTablesForDO(const DataObject *d, INT32 *count)
{
    const char **names = GetTableList(d, count);
    if (names && !SortTableByFK(names, *count)) {
        free(names);
        return NULL;
    }
    return names;
}

int SaveDataObject(DataObject *d)
{
    INT32 n = 0;
    const char **order = SortTablesForDO(d, &n);
    if (!order)
        return 0;
    int all = 1;
    for (INT32 i = 0; i < n; i++)
        if (!saveUnits(GetRowCollection(d, order[i]), d, FALSE))
            all = 0;
    for (INT32 i = n - 1; i >= 0; i--)
        if (!saveUnits(GetRowCollection(d, order[i]), d, TRUE))
            all = 0;
    free(order);
    return all;
}
