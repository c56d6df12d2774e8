/* Database providers and connections of the framework: the provider record
 * of ten operations, the provider registry with its two slots, connection
 * records from connparams.txt, pooled connections, and the calls through a
 * connection's provider (statements, queries, blobs, transactions). */
#ifndef VQ_RECORDS_DBPROVIDER_H
#define VQ_RECORDS_DBPROVIDER_H

#include <windows.h>
#include <time.h>

#include "records/resultset.h"

/* Hands out a binary parameter piece by piece: sets *data and *size to the
 * next chunk and returns anything but 2, or returns 2 when no data is left. */
#define CHUNK_SOURCE_DONE 2
typedef int (*ChunkSourceFn)(BYTE **data, INT32 *size, void *context);

typedef struct ConnParamsEntry {
    char *firstName;        /* kept, not used */
    WORD port;
    char *dsn;
    char *user;
    char *password;         /* NULL when the file says NULL */
    INT32 reserved;         /* always 0 */
    char *connectionName;   /* the key tables, pools and connections use */
    BYTE rawStringFlag;     /* 1: rawString is the whole connection string */
    char *rawString;
    char *driver;           /* provider name and ODBC driver name */
    char *dbType;           /* "MYSQL", "PGSQL", "FIREBIRD" or "SQLITE" */
} ConnParamsEntry;

typedef struct DBProvider {
    const char *name;
    void *(*openConnection)(const ConnParamsEntry *record);
    BOOL (*executeUpdate)(void *connection, const char *statement);
    ResultSet *(*executeQuery)(void *connection, const char *query);
    BOOL (*closeConnection)(void *connection);
    BOOL (*beginTransaction)(void *connection);
    BOOL (*commitTransaction)(void *connection);
    BOOL (*rollbackTransaction)(void *connection);
    BOOL (*executeUpdateBlob)(void *connection, const char *statement, ChunkSourceFn source, void *context);
    ResultSet *(*executeQueryBlob)(void *connection, const char *query, ChunkSourceFn source, void *context);
} DBProvider;

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
/* Clears both slots, registers the ODBC provider, loads "ODBC" and "SQLITE"
 * into free slots, creates the pool registry and the record list: 1; 0 with
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
