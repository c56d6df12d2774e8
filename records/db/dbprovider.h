/* Database providers and connections of the framework, the front of the
 * providers: the provider registry with its two slots, pooled connections,
 * and the calls through a connection's provider (statements, queries,
 * blobs, transactions). What a provider implements is in providerapi.h. */
#ifndef VQ_RECORDS_DB_DBPROVIDER_H
#define VQ_RECORDS_DB_DBPROVIDER_H

#include <windows.h>
#include <time.h>

#include "records/db/providerapi.h"

/* Owner values of a pooled connection. */
#define CPARLO_OWNER_FREE          (-1)
#define CPARLO_OWNER_SHARED        1

typedef struct DBConnection {
    void *handle;           /* the provider's connection */
    char *connectionName;
    INT32 slot;             /* provider slot index */
    INT32 owner;            /* -1 free, 1 shared, else the owning thread id */
    BYTE inTransaction;
    time_t openedAt;        /* seconds since 1970 */
} DBConnection;

/* Provider registry and slots */
/* Adds a provider to the registry (searched by name, case-sensitively). */
BOOL RegisterDBProvider(const DBProvider *provider);
/* Clears both slots, registers the ODBC and SQLite providers, loads "ODBC"
 * and "SQLITE" into free slots (INFO names the SQLite library's version),
 * creates the pool registry and the record list: 1; 0 with
 * ERROR "InitDBProvider Failed as already initialized\n" when slot 0 is
 * taken. */
int InitDBProvider(void);
/* Loads the provider named by the DB type of the first connection record. */
void LoadDBProvider(void);
/* Loads the provider of that name into a free slot: its index, or -1 when no
 * such provider is registered or no slot is free. */
INT32 LoadDBProviderByName(const char *name);
/* Empties the slot of that provider. */
void UnloadDBProvider(const char *name);
/* The provider of a slot, or NULL. */
const DBProvider *GetDBProviderSlot(INT32 slot);
/* Empties both slots and the registry. */
void FreeDBProviders(void);

/* Connections */
DBConnection *OpenDBConnection(const ConnParamsEntry *record);
void CloseDBConnection(DBConnection *connection);
BOOL ExecuteUpdate(DBConnection *connection, const char *statement);
ResultSet *ExecuteQuery(DBConnection *connection, const char *query);
BOOL ExecuteUpdateBlob(DBConnection *connection, const char *statement, ChunkSourceFn source, void *context);
ResultSet *ExecuteQueryBlob(DBConnection *connection, const char *query, ChunkSourceFn source, void *context);
/* Begin sets the in-transaction flag when the provider answers 1; commit and
 * rollback act only while it is set, then clear it (0 otherwise). */
int BeginTransaction(DBConnection *connection);
int CommitTransaction(DBConnection *connection);
int RollbackTransaction(DBConnection *connection);

#endif
