/* The "SQLITE" provider: connections, statements, binary parameters and
 * transactions over SQLite's C API (the result sets are read in
 * sqliteprovider_query.cpp). Statements and queries hold the connection's
 * lock in the lock table for their whole run, as the ODBC adapter's do;
 * the library itself is built serialized, so a connection shared by the
 * threads of a one-connection pool is safe also where no lock is taken. */
#include "records/db/sqliteprovider.h"
#include "records/base/reclimits.h"
#include "records/base/strutil.h"

#include "agent/locktable.h"
#include "agent/log.h"
#include "agent/textformat.h"

#include <shlwapi.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <string.h>

static const DBProvider s_sqliteProvider = {
    "SQLITE", SQLiteOpenConnection, SQLiteExecuteUpdate, SQLiteExecuteQuery, SQLiteCloseConnection,
    SQLiteBeginTransaction, SQLiteCommitTransaction, SQLiteRollbackTransaction,
    SQLiteExecuteUpdateBlob, SQLiteExecuteQueryBlob,
};

const DBProvider *GetSQLiteProvider(void)
{
    return &s_sqliteProvider;
}

const char *SQLiteLibraryVersion(void)
{
    return sqlite3_libversion();
}

/* The file a DSN names: as it is when absolute (or ":memory:"), else under
 * the framework root's data folder, else as given (the working directory).
 * A new text, or NULL when out of memory. */
static char *databasePath(const char *dsn)
{
    if (strcmp(dsn, ":memory:") == 0 || !PathIsRelativeA(dsn) || !gv_cParloRoot)
        return strdup(dsn);
    return FormatNewText("%s/data/%s", gv_cParloRoot, dsn);
}

/* Runs one settings statement at open; FALSE with the ERROR line. */
static BOOL applySetting(sqlite3 *db, const char *path, const char *pragma)
{
    char *message = NULL;
    if (sqlite3_exec(db, pragma, NULL, NULL, &message) == SQLITE_OK)
        return TRUE;
    LogError("SQLiteOpenConnection : %s: %s (%s)\n", path, message ? message : sqlite3_errmsg(db), pragma);
    sqlite3_free(message);
    return FALSE;
}

void *SQLiteOpenConnection(const ConnParamsEntry *record)
{
    if (!record || !record->dsn || !record->dsn[0]) {
        LogError("SQLITE connection Parameter missing\n");
        return NULL;
    }
    char *path = databasePath(record->dsn);
    SQLiteConnection *c = (SQLiteConnection *)calloc(1, sizeof *c);
    if (!path || !c || CopyString(&c->connectionName, record->connectionName) != STRUTIL_OK) {
        LogError("Unable to allocate memory\n");
        free(path);
        if (c)
            free(c->connectionName);
        free(c);
        return NULL;
    }
    int rc = sqlite3_open_v2(path, &c->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, NULL);
    BOOL ok = rc == SQLITE_OK;
    if (!ok)
        LogError("SQLiteOpenConnection : cannot open %s: %s\n", path,
                 c->db ? sqlite3_errmsg(c->db) : sqlite3_errstr(rc));
    /* SQLite opens a file it may not write read-only without a word; the
     * framework writes to every database it opens, so that is a failure
     * now rather than at the first save. */
    if (ok && sqlite3_db_readonly(c->db, "main") == 1) {
        LogError("SQLiteOpenConnection : %s is read-only: %s\n", path, sqlite3_errstr(SQLITE_READONLY));
        ok = FALSE;
    }
    if (ok)
        sqlite3_busy_timeout(c->db, SQLITE_PROVIDER_BUSY_MS);
    /* Setting the journal mode reads the file's header: a file that is not
     * a database, or one another connection holds locked, fails here. */
    ok = ok && applySetting(c->db, path, "PRAGMA journal_mode=DELETE")
         && applySetting(c->db, path, "PRAGMA synchronous=FULL");
    if (!ok) {
        sqlite3_close_v2(c->db);
        free(c->connectionName);
        free(c);
        free(path);
        return NULL;
    }
    LogDebug("SQLiteOpenConnection : %s open (journal_mode DELETE, synchronous FULL)\n", path);
    free(path);
    return c;
}

BOOL SQLiteCloseConnection(void *connection)
{
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c)
        return TRUE;
    if (sqlite3_close_v2(c->db) != SQLITE_OK)
        LogError("SQLiteCloseConnection : %s\n", sqlite3_errmsg(c->db));
    free(c->connectionName);
    free(c);
    return TRUE;
}

/* Steps a prepared statement to its end (rows of a statement that returns
 * some are passed over); FALSE on an error. */
static BOOL stepToEnd(sqlite3_stmt *stmt)
{
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        ;
    return rc == SQLITE_DONE;
}

BOOL SQLiteExecuteUpdate(void *connection, const char *statement)
{
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c || !statement)
        return FALSE;
    if (!AcquireLock(c))
        return FALSE;
    BOOL ok = TRUE;
    const char *next = statement;
    while (ok && next && *next) {
        sqlite3_stmt *stmt = NULL;
        const char *tail = NULL;
        if (sqlite3_prepare_v2(c->db, next, -1, &stmt, &tail) != SQLITE_OK) {
            LogError("SQLiteExecuteUpdate : prepare failed: %s\n", sqlite3_errmsg(c->db));
            ok = FALSE;
        } else if (stmt && !stepToEnd(stmt)) {
            LogError("SQLiteExecuteUpdate : %s\n", sqlite3_errmsg(c->db));
            ok = FALSE;
        }
        sqlite3_finalize(stmt);
        next = tail;
    }
    ReleaseLock(c);
    return ok;
}

BOOL SQLiteGatherChunks(ChunkSourceFn source, void *context, BYTE **data, size_t *length)
{
    *data = NULL;
    *length = 0;
    size_t cap = 0;
    for (;;) {
        BYTE *piece = NULL;
        INT32 size = 0;
        if (!source || source(&piece, &size, context) == CHUNK_SOURCE_DONE)
            return TRUE;
        if (size <= 0)
            continue;
        /* SQLite takes a blob of at most 2^31-1 bytes. */
        if (*length + (size_t)size > 0x7fffffff) {
            LogError("SQLiteExecuteUpdateBlob : the binary value is longer than SQLite takes\n");
            free(*data);
            *data = NULL;
            return FALSE;
        }
        if (*length + (size_t)size > cap) {
            size_t grown = cap ? cap * 2 : 65536;
            while (grown < *length + (size_t)size)
                grown *= 2;
            BYTE *p = (BYTE *)realloc(*data, grown);
            if (!p) {
                LogError("Unable to allocate memory\n");
                free(*data);
                *data = NULL;
                return FALSE;
            }
            *data = p;
            cap = grown;
        }
        memcpy(*data + *length, piece, (size_t)size);
        *length += (size_t)size;
    }
}

sqlite3_stmt *SQLitePrepareWithBlob(SQLiteConnection *c, const char *statement, ChunkSourceFn source,
                                    void *context, const char *who)
{
    BYTE *data = NULL;
    size_t length = 0;
    if (!SQLiteGatherChunks(source, context, &data, &length))
        return NULL;
    sqlite3_stmt *stmt = NULL;
    if (sqlite3_prepare_v2(c->db, statement, -1, &stmt, NULL) != SQLITE_OK || !stmt) {
        LogError("%s : prepare failed: %s\n", who, stmt ? sqlite3_errmsg(c->db) : "no statement");
        sqlite3_finalize(stmt);
        free(data);
        return NULL;
    }
    /* An empty value is a zero-length blob, not NULL. */
    int rc = data ? sqlite3_bind_blob(stmt, 1, data, (int)length, free)
                  : sqlite3_bind_zeroblob(stmt, 1, 0);
    if (rc != SQLITE_OK) {
        LogError("%s : binding the binary value failed: %s\n", who, sqlite3_errmsg(c->db));
        sqlite3_finalize(stmt);
        return NULL;
    }
    return stmt;
}

BOOL SQLiteExecuteUpdateBlob(void *connection, const char *statement, ChunkSourceFn source, void *context)
{
    LogTrace("Inside SQLiteExecuteUpdateBlob\n");
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c || !statement)
        return FALSE;
    sqlite3_stmt *stmt = SQLitePrepareWithBlob(c, statement, source, context, "SQLiteExecuteUpdateBlob");
    if (!stmt)
        return FALSE;
    BOOL ok = stepToEnd(stmt);
    if (!ok)
        LogError("SQLiteExecuteUpdateBlob : %s\n", sqlite3_errmsg(c->db));
    sqlite3_finalize(stmt);
    return ok;
}

/* Runs a transaction statement; FALSE with `failure` and SQLite's message. */
static BOOL transactionStatement(SQLiteConnection *c, const char *sql, const char *failure)
{
    char *message = NULL;
    if (sqlite3_exec(c->db, sql, NULL, NULL, &message) == SQLITE_OK)
        return TRUE;
    LogError("%s", failure);
    LogError("MSG: %s\n", message ? message : sqlite3_errmsg(c->db));
    sqlite3_free(message);
    return FALSE;
}

BOOL SQLiteBeginTransaction(void *connection)
{
    LogTrace("\t@@@@@ SQLiteBeginTransaction() @@@@@\n");
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c)
        return FALSE;
    if (!sqlite3_get_autocommit(c->db))
        return TRUE;
    return transactionStatement(c, "BEGIN", "Error in starting transaction\n");
}

BOOL SQLiteCommitTransaction(void *connection)
{
    LogTrace("\t@@@@@ SQLiteCommitTransaction() @@@@@\n");
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c)
        return FALSE;
    if (sqlite3_get_autocommit(c->db))
        return TRUE;
    if (transactionStatement(c, "COMMIT", "Error in commiting transaction\n"))
        return TRUE;
    /* A commit SQLite refused (a lock, a full disk) leaves the transaction
     * open; every later statement would join it unseen. */
    if (!sqlite3_get_autocommit(c->db))
        transactionStatement(c, "ROLLBACK", "Error in rollbacking transaction\n");
    return FALSE;
}

BOOL SQLiteRollbackTransaction(void *connection)
{
    LogTrace("\t@@@@@ SQLiteRollbackTransaction() @@@@@\n");
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c)
        return FALSE;
    if (sqlite3_get_autocommit(c->db))
        return TRUE;
    return transactionStatement(c, "ROLLBACK", "Error in rollbacking transaction\n");
}
