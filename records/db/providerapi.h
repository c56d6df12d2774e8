/* What a database provider implements, and the records it is handed: the
 * provider record of ten operations (one back end behind a table of
 * functions, as the ODBC adapter is), the connection record read from
 * connparams.txt, and the chunk source of binary parameters. The front that
 * registers providers and calls through them is dbprovider.h. */
#ifndef VQ_RECORDS_DB_PROVIDERAPI_H
#define VQ_RECORDS_DB_PROVIDERAPI_H

#include <windows.h>

#include "records/sql/resultset.h"

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

#endif
