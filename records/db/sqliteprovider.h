/* The "SQLITE" provider: the embedded database through SQLite's own C API,
 * compiled into the framework, so that the default connection record needs
 * no ODBC driver and no data source. It fills the same ten provider slots
 * as the ODBC adapter and hands back the same result-set form: the column
 * names SQLite gives, type codes from the declared column types as the
 * SQLite ODBC driver reports them, NULL cells without a buffer. Values are
 * read as stored: integers and reals come back exact. */
#ifndef VQ_RECORDS_DB_SQLITEPROVIDER_H
#define VQ_RECORDS_DB_SQLITEPROVIDER_H

#include <windows.h>

#include "records/db/providerapi.h"

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;

/* A connection of the provider: the open database and a copy of the
 * record's connection name. */
typedef struct SQLiteConnection {
    sqlite3 *db;
    char *connectionName;
} SQLiteConnection;

/* The provider record ("SQLITE") with the operations below in its slots. */
const DBProvider *GetSQLiteProvider(void);

/* The version text of the SQLite library compiled in ("3.40.1"). */
const char *SQLiteLibraryVersion(void);

/* Opens (and creates when missing) the database file the record's DSN
 * names; a relative name lies under the framework root's data folder
 * ("<root>/data/<dsn>"), or the working directory without a root; ":memory:"
 * is a private in-memory database. The connection runs with the rollback
 * journal (journal_mode DELETE) and synchronous FULL: every commit is on
 * the disk when it returns, and a commit cut short by a crash is rolled
 * back at the next open. A file that is not a database, that is read-only,
 * or that another connection keeps locked beyond SQLITE_PROVIDER_BUSY_MS
 * gives an ERROR line with SQLite's message and NULL. */
void *SQLiteOpenConnection(const ConnParamsEntry *record);

/* Closes the database and frees the connection. */
BOOL SQLiteCloseConnection(void *connection);

/* Runs the statements of the text, one after the other, under the
 * connection's lock: TRUE also when they affect no row; FALSE with an ERROR
 * line carrying SQLite's message at the first that fails. */
BOOL SQLiteExecuteUpdate(void *connection, const char *statement);

/* Runs a statement whose one parameter takes the binary data that `source`
 * hands out, chunk by chunk (gathered, then bound whole). Takes no lock,
 * as the ODBC adapter's does not. */
BOOL SQLiteExecuteUpdateBlob(void *connection, const char *statement, ChunkSourceFn source, void *context);

/* Runs a query under the connection's lock into a new result set (free it
 * with FreeResultSet), or NULL with an ERROR line. */
ResultSet *SQLiteExecuteQuery(void *connection, const char *query);

/* SQLiteExecuteQuery with the query's one parameter bound to the binary
 * data of `source`. */
ResultSet *SQLiteExecuteQueryBlob(void *connection, const char *query, ChunkSourceFn source, void *context);

/* BEGIN / COMMIT / ROLLBACK. Begin inside an open transaction and commit or
 * rollback outside one succeed and change nothing, as autocommit switching
 * does through ODBC. A commit that fails rolls the transaction back, so the
 * connection is in autocommit again whatever the answer. */
BOOL SQLiteBeginTransaction(void *connection);
BOOL SQLiteCommitTransaction(void *connection);
BOOL SQLiteRollbackTransaction(void *connection);

/* The SQL type the SQLite ODBC driver reports for a declared column type
 * (not NULL: an expression's type comes from its first value), and whether
 * a column of that SQL type is read as bytes. */
SHORT SQLiteDeclaredSqlType(const char *declared);
BOOL SQLiteIsBinarySqlType(SHORT sqlType);

/* Between the provider's two files: the chunks of a binary parameter
 * gathered into one new block (*data NULL when there were none; FALSE when
 * memory runs out or the value passes SQLite's limit), and a statement
 * prepared with that block bound to its parameter 1 (NULL with an ERROR
 * line naming `who`). */
BOOL SQLiteGatherChunks(ChunkSourceFn source, void *context, BYTE **data, size_t *length);
sqlite3_stmt *SQLitePrepareWithBlob(SQLiteConnection *c, const char *statement, ChunkSourceFn source,
                                    void *context, const char *who);

#endif
