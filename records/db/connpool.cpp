/* The pool registry and the per-thread hand-out of pooled connections. */
#include "records/db/connpool.h"
#include "records/db/connparams.h"
#include "records/base/reclimits.h"
#include "records/base/strutil.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

static ConnectionPool **s_pools;
static INT32 s_poolCount;

ConnectionPool **GetConnectionPools(INT32 *count)
{
    if (count)
        *count = s_poolCount;
    return s_pools;
}

static BOOL appendConnection(ConnectionPool *pool, DBConnection *c)
{
    DBConnection **grown =
        (DBConnection **)realloc(pool->connections, sizeof *grown * (size_t)(pool->count + 1));
    if (!grown)
        return FALSE;
    grown[pool->count++] = c;
    pool->connections = grown;
    return TRUE;
}

static ConnectionPool *newPool(const char *name)
{
    ConnectionPool *pool = (ConnectionPool *)calloc(1, sizeof *pool);
    ConnectionPool **grown =
        pool ? (ConnectionPool **)realloc(s_pools, sizeof *grown * (size_t)(s_poolCount + 1)) : NULL;
    if (!grown || CopyString(&pool->connectionName, name) != STRUTIL_OK) {
        if (grown)
            s_pools = grown;
        free(pool);
        LogError("Unable to allocate memory for connection pool\n");
        return NULL;
    }
    s_pools = grown;
    s_pools[s_poolCount++] = pool;
    return pool;
}

static BOOL establish(INT32 perRecord, BOOL numbered)
{
    INT32 count = 0;
    ConnParamsEntry **records = GetConnParamsEntries(&count);
    if (count == 0) {
        if (numbered)
            LogError("There is no entry in data source vector\n");
        return FALSE;
    }
    for (INT32 r = 0; r < count; r++) {
        ConnectionPool *pool = newPool(records[r]->connectionName);
        if (!pool)
            return FALSE;
        for (INT32 i = 0; i < perRecord; i++) {
            DBConnection *c = OpenDBConnection(records[r]);
            if (!c) {
                LogError("Cannot establish connection.\n");
                return FALSE;
            }
            if (!appendConnection(pool, c)) {
                CloseDBConnection(c);
                LogError("Unable to allocate memory for connection pool\n");
                return FALSE;
            }
            if (numbered)
                LogDebug(" %d : %s : Connection Established\n", (int)i, records[r]->connectionName);
            else
                LogDebug(" %s : Connection Established\n", records[r]->connectionName);
        }
    }
    return TRUE;
}

BOOL EstablishDBConnections(void)
{
    return establish(1, FALSE);
}

BOOL EstablishDBConnectionPool(INT32 count)
{
    return establish(count > 0 ? count : CPARLO_DEFAULT_POOL_SIZE, TRUE);
}

static ConnectionPool *findPool(const char *name)
{
    if (s_poolCount == 0)
        return NULL;
    if (!name)
        return s_poolCount == 1 ? s_pools[0] : NULL;
    for (INT32 i = 0; i < s_poolCount; i++)
        if (s_pools[i]->connectionName && strcmp(s_pools[i]->connectionName, name) == 0)
            return s_pools[i];
    return NULL;
}

/* The owner mark of this thread's connection: the shared mark in a
 * single-connection pool, else the thread identifier. */
static INT32 ownerKey(const ConnectionPool *pool)
{
    return pool->count == 1 ? CPARLO_OWNER_SHARED : (INT32)GetCurrentThreadId();
}

/* The index of the pool's connection this thread holds, or -1. */
static INT32 ownedConnection(const ConnectionPool *pool)
{
    INT32 key = ownerKey(pool);
    for (INT32 i = 0; i < pool->count; i++)
        if (pool->connections[i]->owner == key)
            return i;
    return -1;
}

/* Opens a new provider connection for `c`'s record and puts it into `c`
 * itself, closing the old one: every holder of `c` (each thread of a
 * one-connection pool, a caller's own variable) goes on with the same
 * record, and the pool keeps its size. A connection inside a transaction is
 * not renewed, since the new one would silently be outside it. FALSE, with
 * `c` as it was, when the record is gone, the connection is in a
 * transaction or the database does not answer. */
static BOOL renewInPlace(DBConnection *c)
{
    if (c->inTransaction) {
        LogError("Cannot renew connection %s inside a transaction; end the transaction first.\n",
                 c->connectionName ? c->connectionName : "");
        return FALSE;
    }
    ConnParamsEntry *record = GetConnParamsEntry(c->connectionName);
    if (!record) {
        LogError("Cannot return connection handle. Error in fetching connection parameters.\n");
        return FALSE;
    }
    DBConnection *fresh = OpenDBConnection(record);
    if (!fresh) {
        LogError("Cannot return connection handle. Error in opening connection while re-establishing connection hanlde.\n");
        return FALSE;
    }
    const DBProvider *oldProvider = GetDBProviderSlot(c->slot);
    if (oldProvider && c->handle)
        oldProvider->closeConnection(c->handle);
    c->handle = fresh->handle;
    c->slot = fresh->slot;
    c->openedAt = fresh->openedAt;
    fresh->handle = NULL;
    CloseDBConnection(fresh);
    LogDebug(" %s : Connection Established\n", record->connectionName);
    return TRUE;
}

DBConnection *GetConnectionHandleAt(const char *connectionName, time_t now)
{
    ConnectionPool *pool = findPool(connectionName);
    if (!pool || pool->count == 0)
        return NULL;
    INT32 key = ownerKey(pool);
    INT32 index = ownedConnection(pool);
    for (INT32 i = 0; i < pool->count && index < 0; i++) {
        if (pool->connections[i]->owner == CPARLO_OWNER_FREE) {
            pool->connections[i]->owner = key;
            index = i;
        }
    }
    if (index < 0)
        return NULL;
    DBConnection *c = pool->connections[index];
    if (now == 0)
        now = time(NULL);
    if (now - c->openedAt <= CPARLO_CONNECTION_MAX_AGE)
        return c;

    /* Too old: renewed in place. When that fails the old connection is
     * handed out as it is (it may still answer), and the pool stays whole. */
    renewInPlace(c);
    return c;
}

DBConnection *GetConnectionHandle(const char *connectionName)
{
    return GetConnectionHandleAt(connectionName, 0);
}

DBConnection *RenewConnectionHandle(const char *connectionName)
{
    ConnectionPool *pool = findPool(connectionName);
    if (!pool || pool->count == 0)
        return NULL;
    INT32 index = ownedConnection(pool);
    if (index < 0)
        return NULL;
    DBConnection *c = pool->connections[index];
    return renewInPlace(c) ? c : NULL;
}

void ReleaseConnectionHandle(const char *connectionName)
{
    ConnectionPool *pool = connectionName ? findPool(connectionName) : (s_poolCount ? s_pools[0] : NULL);
    if (!pool)
        return;
    INT32 key = pool->count == 1 ? CPARLO_OWNER_SHARED : (INT32)GetCurrentThreadId();
    for (INT32 i = 0; i < pool->count; i++)
        if (pool->connections[i]->owner == key)
            pool->connections[i]->owner = CPARLO_OWNER_FREE;
}

void FreeAllConnectionPools(void)
{
    for (INT32 p = 0; p < s_poolCount; p++) {
        for (INT32 i = 0; i < s_pools[p]->count; i++)
            CloseDBConnection(s_pools[p]->connections[i]);
        free(s_pools[p]->connections);
        free(s_pools[p]->connectionName);
        free(s_pools[p]);
    }
    free(s_pools);
    s_pools = NULL;
    s_poolCount = 0;
}
