/* Connection pools: one pool per connection record, named by its connection
 * name, handing out connections per thread (a one-connection pool is shared
 * by all threads) and renewing connections older than 27900 seconds when
 * they are handed out. Hand-out is not locked: callers serialise it. */
#ifndef VQ_RECORDS_DB_CONNPOOL_H
#define VQ_RECORDS_DB_CONNPOOL_H

#include <windows.h>
#include <time.h>

#include "records/db/dbprovider.h"

typedef struct ConnectionPool {
    char *connectionName;
    DBConnection **connections;
    INT32 count;
} ConnectionPool;

/* One pool per connection record, each with one new connection. FALSE for
 * an empty record list, with ERROR "Cannot establish connection.\n" when a
 * connection does not open. */
BOOL EstablishDBConnections(void);

/* The same with `count` connections per record (5 for 0). */
BOOL EstablishDBConnectionPool(INT32 count);

/* A connection of the named pool (the only pool for NULL) for the calling
 * thread, renewed in place first when older than the age limit (handed out
 * as it was when the renewal fails); NULL when none is free. `now` is the current time in seconds since 1970 (0: the clock). */
DBConnection *GetConnectionHandleAt(const char *connectionName, time_t now);
DBConnection *GetConnectionHandle(const char *connectionName);

/* Renews the calling thread's connection of that pool (the only pool for
 * NULL) in place, for a connection whose database went away: a newly opened
 * provider connection for the same record goes into the same DBConnection,
 * which every holder keeps using, and the old one is closed. Returns that
 * DBConnection; NULL when the new connection does not open or the
 * connection is inside a transaction (ERROR line), the old one then staying
 * as it was, so the pool never shrinks. */
DBConnection *RenewConnectionHandle(const char *connectionName);

/* The caller's connection of that pool (the first pool for NULL) becomes
 * free. */
void ReleaseConnectionHandle(const char *connectionName);

/* The pools in record order and their count. */
ConnectionPool **GetConnectionPools(INT32 *count);

/* Closes every connection and frees the pools. */
void FreeAllConnectionPools(void);

#endif
