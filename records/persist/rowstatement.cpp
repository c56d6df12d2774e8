/* One row's statement and the meaning of its failure (see rowstatement.h):
 * the connection check, and INSERTs whose outcome is unknown, remembered
 * until a later save can ask the database. */
#include "records/persist/rowstatement.h"
#include "records/base/coltypes.h"
#include "records/db/dialects.h"
#include "records/dict/tabledefn.h"

#include "agent/locktable.h"
#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>

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
 * Each is known by its owner (a table row or a row unit) and the text of
 * its INSERT (an owner freed and another made at its address with other
 * values does not match), and is settled by the first later save of it
 * that can ask the database. Guarded by its own lock key; the oldest entry
 * gives way. */
#define UNSETTLED_INSERTS 32
static struct {
    const void *owner;
    char *insert;
} s_unsettled[UNSETTLED_INSERTS];
static INT32 s_unsettledNext;
static const void *const s_unsettledLock = &s_unsettled;

static void rememberUnsettled(const void *owner, const char *insert)
{
    char *copy = strdup(insert);
    if (!copy || !AcquireLock(s_unsettledLock)) {
        free(copy);
        return;
    }
    INT32 slot = -1;
    for (INT32 i = 0; i < UNSETTLED_INSERTS && slot < 0; i++)
        if (s_unsettled[i].owner == owner)
            slot = i;
    if (slot < 0) {
        slot = s_unsettledNext;
        s_unsettledNext = (s_unsettledNext + 1) % UNSETTLED_INSERTS;
    }
    free(s_unsettled[slot].insert);
    s_unsettled[slot].owner = owner;
    s_unsettled[slot].insert = copy;
    ReleaseLock(s_unsettledLock);
}

static BOOL isUnsettled(const void *owner, const char *insert)
{
    if (!AcquireLock(s_unsettledLock))
        return FALSE;
    BOOL same = FALSE;
    for (INT32 i = 0; i < UNSETTLED_INSERTS && !same; i++)
        same = s_unsettled[i].owner == owner && strcmp(insert, s_unsettled[i].insert) == 0;
    ReleaseLock(s_unsettledLock);
    return same;
}

static void forgetUnsettled(const void *owner)
{
    if (!AcquireLock(s_unsettledLock))
        return;
    for (INT32 i = 0; i < UNSETTLED_INSERTS; i++) {
        if (s_unsettled[i].owner == owner) {
            free(s_unsettled[i].insert);
            s_unsettled[i].insert = NULL;
            s_unsettled[i].owner = NULL;
        }
    }
    ReleaseLock(s_unsettledLock);
}

void FreeUnsettledInserts(void)
{
    AcquireLock(s_unsettledLock);
    for (INT32 i = 0; i < UNSETTLED_INSERTS; i++) {
        free(s_unsettled[i].insert);
        s_unsettled[i].insert = NULL;
        s_unsettled[i].owner = NULL;
    }
    s_unsettledNext = 0;
    ReleaseLock(s_unsettledLock);
}

static BOOL execute(const RowStatement *s)
{
    if (ExecuteUpdate(s->connection, s->statement))
        return TRUE;
    LogError("Error in executing update query \n");
    LogError("QUERY : %s\n", s->statement);
    return FALSE;
}

BOOL RunRowStatement(RowStatement *s)
{
    BOOL ok = execute(s);
    const BOOL insert = s->insert;
    if (!ok && s->checkConnection) {
        /* Renewed, the row is settled: an INSERT the database committed
         * before the connection went counts as saved, anything else runs
         * again on the new connection. */
        s->check = CheckConnectionAfterFailure(s->connection, s->connectionName, s->tableName);
        s->checkConnection = FALSE;
        if (s->check == CONNECTION_RENEWED) {
            if (insert && storedEqualRow(s->connection, s->tableName, s->row)) {
                LogInfo("%s : a row of %s was stored before the connection was lost\n", s->caller,
                        s->tableName);
                ok = TRUE;
            } else {
                ok = execute(s);
            }
        }
    }
    if (!ok && insert) {
        if (s->check == CONNECTION_LOST) {
            /* No answer and no new connection: the database may hold the
             * row all the same. */
            rememberUnsettled(s->owner, s->statement);
        } else if (isUnsettled(s->owner, s->statement)
                   && storedEqualRow(s->connection, s->tableName, s->row)) {
            LogInfo("%s : a row of %s was stored before an earlier save lost its connection\n",
                    s->caller, s->tableName);
            ok = TRUE;
        }
    }
    if (ok)
        forgetUnsettled(s->owner);
    return ok;
}
