/* The sequence generator: the per-generator state map, the reservation of
 * identifier batches in SeqGenState, and the hand-out of identifiers.
 *
 * Locking: a generator's map entry is its lock key; GenerateID holds it
 * while it reads and advances the state and while it reserves a new batch,
 * so two threads never get the same identifier. A generator not in the map
 * yet is reserved under the map's own key. The database part of every
 * reservation is serialised by one further key, because the connection
 * hand-out of the pools is not locked. */
#include "records/persist/seqgen.h"
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/db/dialects.h"
#include "records/sql/sqltext.h"
#include "records/base/strutil.h"

#include "agent/locktable.h"
#include "agent/log.h"

#include <stdio.h>
#include <stdlib.h>
#include <strings.h>

static HashMap *s_state;

/* Serialises the database work of reservations (connection hand-out and
 * the read-then-write of SeqGenState). */
static const char s_reservationKey = 0;

BOOL CreateSequenceStateMap(void)
{
    return s_state || CreateHashMap(&s_state, SEQGEN_STATE_BUCKETS);
}

void FreeSequenceStateMap(void)
{
    if (!s_state)
        return;
    for (DWORD b = 0; b < s_state->bucketCount; b++)
        for (HashEntry *e = s_state->buckets[b]; e; e = e->next)
            free(e->value);
    FreeHashMap(s_state);
    s_state = NULL;
}

HashMap *GetSequenceStateMap(void)
{
    return s_state;
}

/* The connection name a table's statements go to: its map entry's, else
 * the default connection's. */
static const char *connectionNameOf(const char *tableName)
{
    DataSourceMapEntry *entry = tableName ? GetDataSourceMapEntry(tableName) : NULL;
    return entry ? entry->connectionName : GetDefaultConnectionName();
}

/* The literal quoting of the database behind a connection name. A record
 * of no known type gets the plain SQL form (quotes doubled). */
static SqlQuoteFn quoteOf(const char *connectionName)
{
    ConnParamsEntry *record = connectionName ? GetConnParamsEntry(connectionName) : NULL;
    SqlQuoteFn quote = record ? GetDialectQuoteFn(record->dbType) : NULL;
    return quote ? quote : SqliteQuoteLiteral;
}

/* head + quoted name + tail as a new text, or NULL when out of memory. */
static char *statementFor(SqlQuoteFn quote, const char *head, const char *name, const char *tail)
{
    SqlText t;
    SqlTextInit(&t);
    SqlTextAppend(&t, head);
    quote(&t, name);
    SqlTextAppend(&t, tail);
    return SqlTextDetach(&t);
}

/* The stored batch end of the first row of `set` into *batchEnd: FALSE when
 * the set has no CURRENTBATCHEND column or its text is not a number. */
static BOOL readBatchEnd(const ResultSet *set, long *batchEnd)
{
    for (INT32 i = 0; i < set->columnCount; i++) {
        if (strcasecmp(set->columns[i].name, "CURRENTBATCHEND") != 0)
            continue;
        const ResultCell *cell = &set->firstRow->cells[i];
        *batchEnd = cell->text ? ConvertDecimalStringToNumber(cell->text) : -1;
        return *batchEnd >= 0;
    }
    return FALSE;
}

/* Runs the reservation on `conn`: *first and *last receive the batch. */
static BOOL reserveBatch(DBConnection *conn, SqlQuoteFn quote, const char *generatorName,
                         long *first, long *last)
{
    char *query = statementFor(quote, "select * from SeqGenState where SEQNAME = ", generatorName, ";");
    if (!query) {
        LogError("Memory allocation Failed\n");
        return FALSE;
    }
    LogTrace("Query %s\n", query);
    ResultSet *set = ExecuteQuery(conn, query);
    free(query);
    if (!set) {
        LogError("Table doesn't Exists for UpdateSeqGen\n");
        return FALSE;
    }
    BOOL ok = FALSE;
    if (set->rowCount > 0) {
        long end = 0;
        if (!readBatchEnd(set, &end)) {
            LogError("UpdateSeqGen : CURRENTBATCHEND of %s is not a number\n", generatorName);
        } else if (end > SEQGEN_MAX_BATCH_END - SEQGEN_BATCH_SIZE) {
            LogError("UpdateSeqGen : generator %s has no identifiers left after %ld\n", generatorName, end);
        } else {
            char head[64];
            snprintf(head, sizeof head, "update SeqGenState set CURRENTBATCHEND = %ld where SEQNAME = ",
                     end + SEQGEN_BATCH_SIZE);
            char *update = statementFor(quote, head, generatorName, ";");
            if (!update) {
                LogError("Memory allocation Failed\n");
            } else {
                LogTrace("Update Query %s\n", update);
                ok = ExecuteUpdate(conn, update);
                if (!ok)
                    LogError("ExecuteUpdate Failed for update\n");
                free(update);
            }
            *first = end + 1;
            *last = end + SEQGEN_BATCH_SIZE;
        }
    } else {
        char tail[32];
        snprintf(tail, sizeof tail, ",%d);", SEQGEN_BATCH_SIZE);
        char *insert = statementFor(quote, "insert into SeqGenState values (", generatorName, tail);
        if (!insert) {
            LogError("Memory allocation Failed\n");
        } else {
            LogTrace("Insert Query %s\n", insert);
            ok = ExecuteUpdate(conn, insert);
            if (!ok)
                LogError("ExecuteUpdate Failed for insert\n");
            free(insert);
        }
        *first = 1;
        *last = SEQGEN_BATCH_SIZE;
    }
    FreeResultSet(set);
    return ok;
}

BOOL UpdateSeqGen(const char *tableName, const char *generatorName)
{
    LogTrace("Inside UpdateSeqGen \n");
    if (!generatorName || !s_state) {
        LogError("UpdateSeqGen : no generator name, or the generator is not started\n");
        return FALSE;
    }
    /* The state is made ready before the database is touched, so that a
     * batch is never reserved for a generator that could not keep it. An
     * existing state is updated in place: its entry is a lock key. */
    HashEntry *entry = FindHashEntry(s_state, generatorName);
    SeqGenState *state = entry ? (SeqGenState *)entry->value : NULL;
    SeqGenState *fresh = NULL;
    if (!state) {
        fresh = (SeqGenState *)calloc(1, sizeof *fresh);
        if (!fresh) {
            LogError("Memory allocation Failed\n");
            return FALSE;
        }
        state = fresh;
    }

    const char *connectionName = connectionNameOf(tableName);
    long first = 0, last = 0;
    BOOL ok = FALSE;
    if (!AcquireLock(&s_reservationKey)) {
        LogError("Memory allocation Failed\n");
        free(fresh);
        return FALSE;
    }
    DBConnection *conn = GetConnectionHandle(connectionName);
    if (!conn) {
        LogError("UpdateSeqGen : no connection for %s\n", connectionName ? connectionName : "(null)");
    } else {
        ok = reserveBatch(conn, quoteOf(connectionName), generatorName, &first, &last);
        ReleaseConnectionHandle(connectionName);
    }
    ReleaseLock(&s_reservationKey);

    if (ok) {
        state->next = (DWORD)first;
        state->batchEnd = (DWORD)last;
    }
    if (ok && fresh) {
        if (entry) {
            entry->value = fresh;
            fresh = NULL;
        } else if (InsertIntoHashMap(s_state, generatorName, fresh)) {
            fresh = NULL;
        } else {
            LogError("Memory allocation Failed\n");
            ok = FALSE;
        }
    }
    free(fresh);
    return ok;
}

BOOL SequenceGenerator(void)
{
    LogTrace("Inside SequenceGenerator\n");
    if (!s_state)
        return FALSE;
    INT32 count = 0;
    TableDefn **defns = GetTableDefnRegistry(&count);
    for (INT32 i = 0; i < count; i++) {
        TableDefn *defn = defns[i];
        if (!defn->columns || defn->columnCount <= 0)
            return FALSE;
        for (INT32 c = 0; c < defn->columnCount; c++) {
            const char *generator = defn->columns[c] ? defn->columns[c]->generatorName : NULL;
            if (!generator)
                continue;
            HashEntry *entry = FindHashEntry(s_state, generator);
            const void *key = entry ? (const void *)entry : (const void *)s_state;
            if (!AcquireLock(key))
                continue;
            UpdateSeqGen(defn->name, generator);
            ReleaseLock(key);
        }
    }
    return TRUE;
}

/* GenerateID's work for one generator key; the table names the connection
 * a new batch is reserved through. */
static DWORD nextIdentifier(const char *tableName, const char *key)
{
    LogTrace("AutoId Key %s\n", key);
    for (;;) {
        HashEntry *entry = s_state ? FindHashEntry(s_state, key) : NULL;
        if (!entry) {
            LogTrace("Cannot generate ID for key %s.\n", key);
            return GENERATE_ID_FAILED;
        }
        if (!AcquireLock(entry))
            return GENERATE_ID_FAILED;
        SeqGenState *state = (SeqGenState *)entry->value;
        if (!state) {
            LogError("No Value for AutoId key %s \n", key);
            ReleaseLock(entry);
            return GENERATE_ID_FAILED;
        }
        if (state->next > state->batchEnd) {
            /* A reservation that fails would fail again at once: report
             * the failure instead of retrying without end. */
            BOOL reserved = UpdateSeqGen(tableName, key);
            ReleaseLock(entry);
            if (!reserved)
                return GENERATE_ID_FAILED;
            continue;
        }
        DWORD id = state->next++;
        LogTrace("AutoGenerated Value %d \n", (int)id);
        ReleaseLock(entry);
        return id;
    }
}

DWORD GenerateID(const char *tableName, ColumnDefn *columnDefn)
{
    LogTrace("Inside GenerateID \n");
    if (!columnDefn || !columnDefn->generatorName) {
        LogTrace("Cannot generate ID for key %s.\n", "(null)");
        return GENERATE_ID_FAILED;
    }
    return nextIdentifier(tableName, columnDefn->generatorName);
}

DWORD GenerateInstanceID(void)
{
    LogTrace("Inside GenerateID \n");
    return nextIdentifier(NULL, SEQGEN_INSTANCE_KEY);
}
