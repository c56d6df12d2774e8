/* The ODBC adapter: connections, statements, chunked binary parameters,
 * queries into the result-set form, and transactions, through the ODBC
 * driver manager's plain (non-"A") entry points. All connections share one
 * environment handle, allocated with the first and freed after the last,
 * so closing one connection never pulls the environment from under another.
 * Query rows are fetched in blocks bound to buffers when every column's
 * reported size is short; long or unsized columns are read with SQLGetData
 * in pieces. Drivers report sizes from 255 to a gigabyte for the same text
 * and SQLite keeps values longer than declared, so a value that outruns its
 * bound buffer sends the query back to be read cell by cell: a cut value
 * must never pass for whole. */
#include "records/db/odbcadapter.h"
#include "records/base/textvalue.h"
#include "records/base/coltypes.h"
#include "records/base/datetime.h"
#include "records/base/reclimits.h"
#include "records/base/strutil.h"

#include "agent/locktable.h"
#include "agent/log.h"
#include "agent/textformat.h"

#include <shlwapi.h>
#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

typedef struct ODBCConnection {
    SQLHDBC dbc;
    char *connectionName;
} ODBCConnection;

static SQLHENV s_env = SQL_NULL_HENV;
static LONG s_envUsers;

static const DBProvider s_odbcProvider = {
    "ODBC", ODBCOpenConnection, ODBCExecuteUpdate, ODBCExecuteQuery, ODBCCloseConnection,
    ODBCBeginTransaction, ODBCCommitTransaction, ODBCRollbackTransaction,
    ODBCExecuteUpdateBlob, ODBCExecuteQueryBlob,
};

const DBProvider *GetODBCProvider(void)
{
    return &s_odbcProvider;
}

/* One more user of the shared environment, allocating it for the first. */
static BOOL acquireEnvironment(void)
{
    if (s_env == SQL_NULL_HENV) {
        if (!SQL_SUCCEEDED(SQLAllocEnv(&s_env))) {
            s_env = SQL_NULL_HENV;
            LogError("Allocating Env Handle failed\n");
            return FALSE;
        }
        s_envUsers = 0;
    }
    s_envUsers++;
    return TRUE;
}

static void releaseEnvironment(void)
{
    if (s_env == SQL_NULL_HENV)
        return;
    if (--s_envUsers <= 0) {
        SQLFreeHandle(SQL_HANDLE_ENV, s_env);
        s_env = SQL_NULL_HENV;
        s_envUsers = 0;
    }
}

/* The connection string of a record; NULL when out of memory. A MySQL or
 * MariaDB connection talks full UTF-8 (utf8mb4) whatever the server's
 * default, unless the record names a character set itself: with latin1,
 * the server's own default, "Müller 東京 😀" is refused. */
static char *connectionString(const ConnParamsEntry *r)
{
    char *text;
    if (r->rawStringFlag && r->rawString)
        text = strdup(r->rawString);
    else
        text = FormatNewText("DSN=%s;%s%s;%s%s;%s%s%s", r->dsn,
                             r->user ? "UID=" : "", r->user ? r->user : "",
                             r->password ? "PWD=" : "", r->password ? r->password : "",
                             r->driver ? "Driver={" : "", r->driver ? r->driver : "",
                             r->driver ? "}" : "");
    if (!text || !r->dbType || _stricmp(r->dbType, "MYSQL") != 0 || StrStrIA(text, "CHARSET="))
        return text;
    size_t n = strlen(text);
    char *full = FormatNewText("%s%sCHARSET=utf8mb4;", text, n && text[n - 1] != ';' ? ";" : "");
    free(text);
    return full;
}

void *ODBCOpenConnection(const ConnParamsEntry *record)
{
    if (!record || !record->dsn) {
        LogError("ODBC connection Parameter missing\n");
        return NULL;
    }
    if (!acquireEnvironment())
        return NULL;
    ODBCConnection *c = (ODBCConnection *)calloc(1, sizeof *c);
    if (!c) {
        LogError("Error in allocating SQLHDBC\n");
        releaseEnvironment();
        return NULL;
    }
    if (!SQL_SUCCEEDED(SQLAllocConnect(s_env, &c->dbc))) {
        LogError("Allocating connection Handle failed\n");
        free(c);
        releaseEnvironment();
        return NULL;
    }
    char *connStr = connectionString(record);
    if (!connStr || CopyString(&c->connectionName, record->connectionName) != STRUTIL_OK) {
        LogError("Unable to allocate memory\n");
        free(connStr);
        SQLFreeHandle(SQL_HANDLE_DBC, c->dbc);
        free(c);
        releaseEnvironment();
        return NULL;
    }
    SQLCHAR out[ODBC_CONNSTR_OUT_SIZE];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnect(c->dbc, NULL, (SQLCHAR *)connStr, SQL_NTS, out,
                                    (SQLSMALLINT)sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    free(connStr);
    if (!SQL_SUCCEEDED(rc)) {
        LogError("Connecting to driver failed\n");
        SQLCHAR state[6] = "";
        SQLCHAR msg[ODBC_DIAG_MESSAGE_SIZE] = "";
        SQLINTEGER native = 0;
        SQLSMALLINT msgLen = 0;
        if (SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, c->dbc, 1, state, &native, msg,
                                        (SQLSMALLINT)sizeof msg, &msgLen)))
            LogError("ODBCOpenConnection : %s %ld %s\n", state, (long)native, msg);
        SQLFreeHandle(SQL_HANDLE_DBC, c->dbc);
        free(c->connectionName);
        free(c);
        releaseEnvironment();
        return NULL;
    }
    return c;
}

BOOL ODBCCloseConnection(void *connection)
{
    ODBCConnection *c = (ODBCConnection *)connection;
    if (!c)
        return TRUE;
    SQLDisconnect(c->dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, c->dbc);
    free(c->connectionName);
    free(c);
    releaseEnvironment();
    return TRUE;
}

static SQLHSTMT allocStatement(ODBCConnection *c)
{
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocStmt(c->dbc, &stmt))) {
        LogError("Allocating Statement Handle failed\n");
        return SQL_NULL_HSTMT;
    }
    return stmt;
}

/* The first diagnostic record of a handle; empty texts and 0 when the
 * driver has none. */
struct OdbcDiag {
    SQLCHAR state[6];
    SQLCHAR msg[ODBC_DIAG_MESSAGE_SIZE];
    SQLINTEGER native;
};

static BOOL firstDiag(SQLSMALLINT handleType, SQLHANDLE handle, OdbcDiag *d)
{
    memset(d, 0, sizeof *d);
    SQLSMALLINT len = 0;
    return SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, 1, d->state, &d->native, d->msg,
                                       (SQLSMALLINT)sizeof d->msg, &len));
}

/* Logs the first diagnostic record of a statement after a failed step, so
 * that the reason reaches the log with the step's own message. */
static void logStatementDiag(SQLHSTMT stmt)
{
    OdbcDiag d;
    if (firstDiag(SQL_HANDLE_STMT, stmt, &d))
        LogError("STATE: %s NAT: %ld MSG: %s\n", d.state, (long)d.native, d.msg);
}

BOOL ODBCExecuteUpdate(void *connection, const char *statement)
{
    ODBCConnection *c = (ODBCConnection *)connection;
    if (!c || !statement)
        return FALSE;
    if (!AcquireLock(c))
        return FALSE;
    BOOL ok = FALSE;
    SQLHSTMT stmt = allocStatement(c);
    if (stmt != SQL_NULL_HSTMT) {
        SQLLEN rows = 0;
        if (!SQL_SUCCEEDED(SQLPrepare(stmt, (SQLCHAR *)statement, SQL_NTS))) {
            LogError("SQLPrepare failed\n");
            logStatementDiag(stmt);
        } else {
            SQLRETURN rc = SQLExecute(stmt);
            /* SQL_NO_DATA: a searched UPDATE or DELETE that matched no row. */
            if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
                LogError("SQLExecute failed\n");
                logStatementDiag(stmt);
            } else if (!SQL_SUCCEEDED(SQLRowCount(stmt, &rows))) {
                LogError("No Rows Affected \n");
            } else {
                ok = TRUE;
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    ReleaseLock(c);
    return ok;
}

/* The chunks of a blob gathered in memory, for drivers that must be told
 * the whole length before the first piece (SQL_NEED_LONG_DATA_LEN "Y",
 * SQLite's among them: it refuses a second piece of an undeclared length). */
struct GatheredBlob {
    BYTE *data;
    size_t length;
};

static BOOL gatherChunks(ChunkSourceFn source, void *context, GatheredBlob *out)
{
    out->data = NULL;
    out->length = 0;
    size_t cap = 0;
    for (;;) {
        BYTE *data = NULL;
        INT32 size = 0;
        if (!source || source(&data, &size, context) == CHUNK_SOURCE_DONE)
            return TRUE;
        if (size <= 0)
            continue;
        if (out->length + (size_t)size > 0x7fffffff) {
            free(out->data);
            out->data = NULL;
            return FALSE;
        }
        if (out->length + (size_t)size > cap) {
            size_t grown = cap ? cap * 2 : 65536;
            while (grown < out->length + (size_t)size)
                grown *= 2;
            BYTE *p = (BYTE *)realloc(out->data, grown);
            if (!p) {
                free(out->data);
                out->data = NULL;
                return FALSE;
            }
            out->data = p;
            cap = grown;
        }
        memcpy(out->data + out->length, data, (size_t)size);
        out->length += (size_t)size;
    }
}

/* Hands the gathered blob back as one chunk. */
static int gatheredChunk(BYTE **data, INT32 *size, void *context)
{
    GatheredBlob *g = (GatheredBlob *)context;
    if (!g->data)
        return CHUNK_SOURCE_DONE;
    *data = g->data;
    *size = (INT32)g->length;
    g->data = NULL;
    return 1;
}

/* Executes a prepared statement whose parameter 1 is binary data at
 * execution time, feeding it from the chunk source. `declared` is the
 * length told to the driver beforehand (0: not told). */
static BOOL executeWithBlob(SQLHSTMT stmt, ChunkSourceFn source, void *context, SQLLEN declared)
{
    SQLLEN lengthAtExec = SQL_LEN_DATA_AT_EXEC(declared);
    if (!SQL_SUCCEEDED(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                                        0x7fffffff, 0, (SQLPOINTER)1, 0, &lengthAtExec))) {
        LogError("SQLBindParameter failed\n");
        logStatementDiag(stmt);
        return FALSE;
    }
    SQLRETURN rc = SQLExecute(stmt);
    if (rc == SQL_NEED_DATA) {
        SQLPOINTER token = NULL;
        rc = SQLParamData(stmt, &token);
        while (rc == SQL_NEED_DATA) {
            BOOL any = FALSE;
            for (;;) {
                BYTE *data = NULL;
                INT32 size = 0;
                if (!source || source(&data, &size, context) == CHUNK_SOURCE_DONE)
                    break;
                if (size <= 0)
                    continue;
                if (!SQL_SUCCEEDED(SQLPutData(stmt, data, size))) {
                    LogError("SQLPutData failed\n");
                    logStatementDiag(stmt);
                    return FALSE;
                }
                any = TRUE;
            }
            /* An empty value still needs one call to say so. */
            if (!any && !SQL_SUCCEEDED(SQLPutData(stmt, (SQLPOINTER) "", 0))) {
                LogError("SQLPutData failed\n");
                logStatementDiag(stmt);
                return FALSE;
            }
            rc = SQLParamData(stmt, &token);
        }
    }
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        LogError("SQLExecute failed\n");
        logStatementDiag(stmt);
        return FALSE;
    }
    return TRUE;
}

/* Runs the prepared blob statement, declaring the blob's length first when
 * the driver needs it (the chunks are then gathered in memory). */
static BOOL executeBlobStatement(ODBCConnection *c, SQLHSTMT stmt, ChunkSourceFn source, void *context)
{
    char need[4] = "";
    SQLSMALLINT needLen = 0;
    BOOL declare = SQL_SUCCEEDED(SQLGetInfo(c->dbc, SQL_NEED_LONG_DATA_LEN, need,
                                            (SQLSMALLINT)sizeof need, &needLen)) &&
                   (need[0] == 'Y' || need[0] == 'y');
    if (!declare)
        return executeWithBlob(stmt, source, context, 0);
    GatheredBlob gathered = {NULL, 0};
    if (!gatherChunks(source, context, &gathered)) {
        LogError("Unable to allocate memory\n");
        return FALSE;
    }
    BYTE *whole = gathered.data;
    BOOL fed = executeWithBlob(stmt, gatheredChunk, &gathered, (SQLLEN)gathered.length);
    free(whole);
    return fed;
}

BOOL ODBCExecuteUpdateBlob(void *connection, const char *statement, ChunkSourceFn source, void *context)
{
    LogTrace("Inside ODBCExecuteUpdateBlob\n");
    ODBCConnection *c = (ODBCConnection *)connection;
    if (!c || !statement)
        return FALSE;
    SQLHSTMT stmt = allocStatement(c);
    if (stmt == SQL_NULL_HSTMT)
        return FALSE;
    BOOL ok = FALSE;
    SQLLEN rows = 0;
    if (!SQL_SUCCEEDED(SQLPrepare(stmt, (SQLCHAR *)statement, SQL_NTS))) {
        LogError("SQLPrepare failed\n");
        logStatementDiag(stmt);
    } else {
        BOOL fed = executeBlobStatement(c, stmt, source, context);
        if (fed) {
            if (!SQL_SUCCEEDED(SQLRowCount(stmt, &rows)))
                LogError("No Rows Affected \n");
            else
                ok = TRUE;
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

BYTE ODBCTypeCode(SHORT sqlType)
{
    switch (sqlType) {
    case SQL_BIGINT: return BRN_SQL_BIGINT;
    case SQL_SMALLINT: return BRN_SQL_SMALLINT;
    case SQL_INTEGER: return BRN_SQL_INT;
    case SQL_FLOAT: return BRN_SQL_FLOAT;
    case SQL_DOUBLE: return BRN_SQL_DOUBLE;
    case SQL_CHAR: return BRN_SQL_CHAR;
    case SQL_VARCHAR: return BRN_SQL_VARCHAR;
    case SQL_LONGVARCHAR: case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
        return BRN_SQL_BLOB;
    case SQL_DATE: case SQL_TYPE_DATE: return BRN_SQL_DATE;
    case SQL_TIME: case SQL_TYPE_TIME: return BRN_SQL_TIME;
    case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP: return BRN_SQL_DATETIME;
    case SQL_TINYINT: return BRN_SQL_BOOLEAN;
    case SQL_NUMERIC: return BRN_SQL_NUMERIC;
    default: return BRN_SQL_NOT_SUPPORTED_TYPE;
    }
}

static BOOL isBinarySqlType(SHORT sqlType)
{
    return sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY;
}

/* Reals are fetched as doubles, not as the driver's text, which may carry
 * fewer digits than the value (15 significant digits lose 2^52+1). */
static BOOL isRealSqlType(SHORT sqlType)
{
    return sqlType == SQL_DOUBLE || sqlType == SQL_FLOAT || sqlType == SQL_REAL;
}

/* A fetched real as the cell's text: 17 significant digits give the very
 * double back to whoever converts the text again. */
static char *realText(double v, INT32 *length)
{
    char buf[40];
    int n = snprintf(buf, sizeof buf, "%.17g", v);
    if (n < 0 || (size_t)n >= sizeof buf)
        return NULL;
    char *text = (char *)malloc((size_t)n + 1);
    if (text) {
        memcpy(text, buf, (size_t)n + 1);
        *length = n;
    }
    return text;
}

/* Reads a real column of the current row: *out its text, NULL for SQL
 * NULL. FALSE when the driver fails or memory runs out. */
static BOOL readRealColumn(SQLHSTMT stmt, SQLUSMALLINT column, char **out, INT32 *length)
{
    *out = NULL;
    *length = 0;
    double v = 0;
    SQLLEN ind = 0;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_DOUBLE, &v, sizeof v, &ind))) {
        LogError("SQLGetData failed\n");
        logStatementDiag(stmt);
        return FALSE;
    }
    if (ind == SQL_NULL_DATA)
        return TRUE;
    *out = realText(v, length);
    return *out != NULL;
}

/* Reads one column of the current row whole, in pieces: *out is a new
 * block (terminated by a zero byte) and *length its byte count, or *out is
 * NULL for SQL NULL. FALSE when the driver fails or memory runs out. */
static BOOL readColumn(SQLHSTMT stmt, SQLUSMALLINT column, BOOL binary, char **out, INT32 *length)
{
    *out = NULL;
    *length = 0;
    SQLSMALLINT ctype = binary ? SQL_C_BINARY : SQL_C_CHAR;
    SQLLEN terminator = binary ? 0 : 1;
    size_t cap = ODBC_GETDATA_PIECE;
    size_t len = 0;
    char *buf = (char *)malloc(cap + 1);
    if (!buf)
        return FALSE;
    for (;;) {
        if (len >= cap) {
            size_t grown = cap * 2;
            char *p = (char *)realloc(buf, grown + 1);
            if (!p) {
                free(buf);
                return FALSE;
            }
            buf = p;
            cap = grown;
        }
        SQLLEN room = (SQLLEN)(cap - len) + terminator;
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(stmt, column, ctype, buf + len, room, &ind);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            LogError("SQLGetData failed\n");
            logStatementDiag(stmt);
            free(buf);
            return FALSE;
        }
        if (ind == SQL_NULL_DATA) {
            free(buf);
            return TRUE;
        }
        SQLLEN fits = room - terminator;
        if (ind != SQL_NO_TOTAL && ind <= fits) {
            len += (size_t)ind;
            break;
        }
        /* Truncated: the buffer is full; grow to what is left when known. */
        len += (size_t)fits;
        if (ind != SQL_NO_TOTAL) {
            size_t need = len + (size_t)(ind - fits);
            char *p = (char *)realloc(buf, need + 1);
            if (!p) {
                free(buf);
                return FALSE;
            }
            buf = p;
            cap = need;
        }
    }
    if (len > 0x7fffffff) {
        free(buf);
        return FALSE;
    }
    buf[len] = '\0';
    /* Most values are short: give back the rest of the first piece. */
    if (len + 1 < cap + 1) {
        char *shrunk = (char *)realloc(buf, len + 1);
        if (shrunk)
            buf = shrunk;
    }
    *out = buf;
    *length = (INT32)len;
    return TRUE;
}

/* How a result set was read. */
typedef enum ReadOutcome {
    READ_DONE,          /* every row is in the set */
    READ_FAILED,        /* the driver failed or memory ran out */
    READ_AGAIN_BY_CELL  /* a value outran its bound buffer: run the query
                         * again and read it cell by cell */
} ReadOutcome;

/* A new result set with the statement's columns described, or NULL. The
 * reported column sizes go to *sizes (a new array, freed by the caller). */
static ResultSet *describeColumns(SQLHSTMT stmt, SQLULEN **sizes)
{
    *sizes = NULL;
    SQLLEN rows = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt, &rows))) {
        LogError("No Rows Affected\n");
        return NULL;
    }
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &count))) {
        LogError("SQLNumResultCols Failed\n");
        return NULL;
    }
    ResultSet *set = (ResultSet *)calloc(1, sizeof *set);
    if (!set)
        return NULL;
    set->columnCount = count;
    set->columns = (ResultColumn *)calloc(count > 0 ? (size_t)count : 1, sizeof *set->columns);
    *sizes = (SQLULEN *)calloc(count > 0 ? (size_t)count : 1, sizeof **sizes);
    if (!set->columns || !*sizes) {
        free(*sizes);
        *sizes = NULL;
        FreeResultSet(set);
        return NULL;
    }
    for (SQLSMALLINT i = 0; i < count; i++) {
        ResultColumn *col = &set->columns[i];
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeCol(stmt, (SQLUSMALLINT)(i + 1), (SQLCHAR *)col->name,
                                          (SQLSMALLINT)sizeof col->name, &nameLen, &sqlType,
                                          &(*sizes)[i], &digits, &nullable))) {
            LogError("SQLDescribeCol failed\n");
            free(*sizes);
            *sizes = NULL;
            FreeResultSet(set);
            return NULL;
        }
        col->sqlType = sqlType;
        col->type = ODBCTypeCode(sqlType);
        col->binary = isBinarySqlType(sqlType);
    }
    return set;
}

static void appendRow(ResultSet *set, ResultRow *row)
{
    if (set->lastRow)
        set->lastRow->next = row;
    else
        set->firstRow = row;
    set->lastRow = row;
    set->rowCount++;
}

/* Fetches every row, each cell through SQLGetData in pieces. */
static ReadOutcome readByCell(SQLHSTMT stmt, ResultSet *set)
{
    SQLSMALLINT count = (SQLSMALLINT)set->columnCount;
    for (;;) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            return READ_DONE;
        if (!SQL_SUCCEEDED(rc)) {
            LogError("SQLFetch failed\n");
            logStatementDiag(stmt);
            return READ_FAILED;
        }
        ResultRow *row = NewResultRow(count);
        if (!row)
            return READ_FAILED;
        BOOL ok = TRUE;
        for (SQLSMALLINT i = 0; ok && i < count; i++) {
            ResultCell *cell = &row->cells[i];
            const ResultColumn *col = &set->columns[i];
            ok = (isRealSqlType(col->sqlType)
                      ? readRealColumn(stmt, (SQLUSMALLINT)(i + 1), &cell->text, &cell->textLength)
                      : readColumn(stmt, (SQLUSMALLINT)(i + 1), col->binary, &cell->text, &cell->textLength))
                 && ConvertResultCellText(cell, col);
        }
        if (!ok) {
            FreeResultRow(row, set->columns, count);
            return READ_FAILED;
        }
        appendRow(set, row);
    }
}

/* Bytes of a bound buffer for one value of a column the driver sizes at
 * `size` (its terminator included), or 0 when the column is read cell by
 * cell: long or unsized types, or a size above ODBC_BIND_MAX_CHARS. A text
 * character takes up to four bytes in the delivered encoding. */
static SQLLEN boundWidth(const ResultColumn *col, SQLULEN size)
{
    if (isRealSqlType(col->sqlType))
        return (SQLLEN)sizeof(double);
    switch (col->sqlType) {
    case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR: case SQL_LONGVARBINARY:
        return 0;
    default:
        break;
    }
    if (size == 0 || size > ODBC_BIND_MAX_CHARS)
        return 0;
    BOOL text = col->sqlType == SQL_CHAR || col->sqlType == SQL_VARCHAR || col->sqlType == SQL_WCHAR
                || col->sqlType == SQL_WVARCHAR;
    SQLULEN bytes = text ? size * 4 : size;
    if (!col->binary && bytes < ODBC_BIND_MIN_BYTES)
        bytes = ODBC_BIND_MIN_BYTES;
    return (SQLLEN)bytes + (col->binary ? 0 : 1);
}

/* The bound buffers of a block fetch: per column `rows` values of
 * width[i] bytes and their length indicators. */
typedef struct BlockBuffers {
    SQLSMALLINT count;
    SQLULEN rows;
    SQLLEN *width;
    char **data;
    SQLLEN **ind;
    SQLUSMALLINT *status;
} BlockBuffers;

static void freeBlock(BlockBuffers *b)
{
    for (SQLSMALLINT i = 0; b->data && i < b->count; i++)
        free(b->data[i]);
    for (SQLSMALLINT i = 0; b->ind && i < b->count; i++)
        free(b->ind[i]);
    free(b->data);
    free(b->ind);
    free(b->width);
    free(b->status);
    memset(b, 0, sizeof *b);
}

/* Sizes and allocates the buffers; FALSE when a column is to be read cell
 * by cell or memory runs out. */
static BOOL allocBlock(BlockBuffers *b, const ResultSet *set, const SQLULEN *sizes)
{
    memset(b, 0, sizeof *b);
    b->count = (SQLSMALLINT)set->columnCount;
    if (b->count <= 0)
        return FALSE;
    b->width = (SQLLEN *)calloc((size_t)b->count, sizeof *b->width);
    if (!b->width)
        return FALSE;
    SQLLEN rowBytes = 0;
    for (SQLSMALLINT i = 0; i < b->count; i++) {
        b->width[i] = boundWidth(&set->columns[i], sizes[i]);
        if (b->width[i] == 0) {
            freeBlock(b);
            return FALSE;
        }
        rowBytes += b->width[i];
    }
    b->rows = (SQLULEN)(ODBC_FETCH_BLOCK_BYTES / rowBytes);
    if (b->rows > ODBC_FETCH_BLOCK_ROWS)
        b->rows = ODBC_FETCH_BLOCK_ROWS;
    if (b->rows == 0)
        b->rows = 1;
    b->data = (char **)calloc((size_t)b->count, sizeof *b->data);
    b->ind = (SQLLEN **)calloc((size_t)b->count, sizeof *b->ind);
    b->status = (SQLUSMALLINT *)calloc(b->rows, sizeof *b->status);
    if (!b->data || !b->ind || !b->status) {
        freeBlock(b);
        return FALSE;
    }
    for (SQLSMALLINT i = 0; i < b->count; i++) {
        b->data[i] = (char *)malloc(b->rows * (size_t)b->width[i]);
        b->ind[i] = (SQLLEN *)calloc(b->rows, sizeof(SQLLEN));
        if (!b->data[i] || !b->ind[i]) {
            freeBlock(b);
            return FALSE;
        }
    }
    return TRUE;
}

/* Sets the block's row count and buffers on the statement. A driver that
 * takes fewer rows per fetch (it says so with SQL_SUCCESS_WITH_INFO) gets
 * its own count; one that refuses binding leaves the statement as it was. */
static BOOL bindBlock(SQLHSTMT stmt, BlockBuffers *b, const ResultSet *set, SQLULEN *fetched)
{
    SQLRETURN rc = SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)(ULONG_PTR)b->rows, 0);
    if (!SQL_SUCCEEDED(rc)) {
        b->rows = 1;
    } else if (rc == SQL_SUCCESS_WITH_INFO) {
        SQLULEN taken = 1;
        if (!SQL_SUCCEEDED(SQLGetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &taken, 0, NULL)) || taken == 0
            || taken > b->rows)
            taken = 1;
        b->rows = taken;
    }
    BOOL ok = SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, fetched, 0))
              && SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, b->status, 0));
    for (SQLSMALLINT i = 0; ok && i < b->count; i++)
        ok = SQL_SUCCEEDED(SQLBindCol(stmt, (SQLUSMALLINT)(i + 1),
                                      isRealSqlType(set->columns[i].sqlType) ? SQL_C_DOUBLE
                                      : set->columns[i].binary               ? SQL_C_BINARY
                                                                             : SQL_C_CHAR,
                                      b->data[i], b->width[i], b->ind[i]));
    return ok;
}

/* Takes the statement back to one row per fetch with nothing bound. */
static void unbindBlock(SQLHSTMT stmt)
{
    SQLFreeStmt(stmt, SQL_UNBIND);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, NULL, 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, NULL, 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)(ULONG_PTR)1, 0);
}

/* Copies row `r` of the block into a new row; *cut says a value did not
 * fit its buffer (the row is then not made). */
static ResultRow *rowFromBlock(const BlockBuffers *b, SQLULEN r, const ResultSet *set, BOOL *cut)
{
    *cut = FALSE;
    ResultRow *row = NewResultRow(b->count);
    if (!row)
        return NULL;
    for (SQLSMALLINT i = 0; i < b->count; i++) {
        const ResultColumn *col = &set->columns[i];
        SQLLEN ind = b->ind[i][r];
        if (ind == SQL_NULL_DATA)
            continue;
        ResultCell *cell = &row->cells[i];
        if (isRealSqlType(col->sqlType)) {
            double v;
            memcpy(&v, b->data[i] + r * (size_t)b->width[i], sizeof v);
            cell->text = realText(v, &cell->textLength);
            if (!cell->text || !ConvertResultCellText(cell, col)) {
                FreeResultRow(row, set->columns, b->count);
                return NULL;
            }
            continue;
        }
        SQLLEN fits = b->width[i] - (col->binary ? 0 : 1);
        if (ind == SQL_NO_TOTAL || ind < 0 || ind > fits) {
            *cut = TRUE;
            FreeResultRow(row, set->columns, b->count);
            return NULL;
        }
        cell->text = (char *)malloc((size_t)ind + 1);
        if (!cell->text) {
            FreeResultRow(row, set->columns, b->count);
            return NULL;
        }
        memcpy(cell->text, b->data[i] + r * (size_t)b->width[i], (size_t)ind);
        cell->text[ind] = '\0';
        cell->textLength = (INT32)ind;
        if (!ConvertResultCellText(cell, col)) {
            FreeResultRow(row, set->columns, b->count);
            return NULL;
        }
    }
    return row;
}

/* Fetches every row in blocks of rows bound to buffers sized from the
 * reported column sizes: one driver call per block instead of one per
 * cell. When a column is long or unsized, nothing is fetched here and the
 * rows are read cell by cell; when a value turns out longer than its
 * buffer (SQLite keeps any length whatever the declared size), the caller
 * is told to read the query again cell by cell, as a cut value must never
 * pass for whole. */
static ReadOutcome readByBlock(SQLHSTMT stmt, ResultSet *set, const SQLULEN *sizes)
{
    BlockBuffers b;
    if (!allocBlock(&b, set, sizes))
        return readByCell(stmt, set);
    SQLULEN fetched = 0;
    if (!bindBlock(stmt, &b, set, &fetched)) {
        unbindBlock(stmt);
        freeBlock(&b);
        return readByCell(stmt, set);
    }
    ReadOutcome outcome = READ_DONE;
    for (;;) {
        fetched = 0;
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            LogError("SQLFetch failed\n");
            logStatementDiag(stmt);
            outcome = READ_FAILED;
            break;
        }
        for (SQLULEN r = 0; outcome == READ_DONE && r < fetched && r < b.rows; r++) {
            if (b.status[r] == SQL_ROW_NOROW)
                continue;
            if (b.status[r] == SQL_ROW_ERROR) {
                LogError("SQLFetch failed\n");
                logStatementDiag(stmt);
                outcome = READ_FAILED;
                break;
            }
            BOOL cut = FALSE;
            ResultRow *row = rowFromBlock(&b, r, set, &cut);
            if (row)
                appendRow(set, row);
            else
                outcome = cut ? READ_AGAIN_BY_CELL : READ_FAILED;
        }
        if (outcome != READ_DONE)
            break;
    }
    unbindBlock(stmt);
    freeBlock(&b);
    return outcome;
}

/* Describes the columns and fetches every row of an executed statement,
 * in blocks when `blocks` allows (see readByBlock). NULL on failure; with
 * *again set when the query is to be run again and read cell by cell. */
static ResultSet *readResults(SQLHSTMT stmt, BOOL blocks, BOOL *again)
{
    *again = FALSE;
    SQLULEN *sizes = NULL;
    ResultSet *set = describeColumns(stmt, &sizes);
    if (!set)
        return NULL;
    ReadOutcome outcome = blocks ? readByBlock(stmt, set, sizes) : readByCell(stmt, set);
    free(sizes);
    if (outcome != READ_DONE) {
        *again = outcome == READ_AGAIN_BY_CELL;
        FreeResultSet(set);
        return NULL;
    }
    return set;
}

/* Runs a query on a new statement and reads its rows; see readResults. */
static ResultSet *runQuery(ODBCConnection *c, const char *query, BOOL blocks, BOOL *again)
{
    *again = FALSE;
    ResultSet *set = NULL;
    SQLHSTMT stmt = allocStatement(c);
    if (stmt == SQL_NULL_HSTMT)
        return NULL;
    if (!SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR *)query, SQL_NTS))) {
        LogError("SQLExecDirect failed\n");
        logStatementDiag(stmt);
    } else {
        set = readResults(stmt, blocks, again);
        SQLCloseCursor(stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return set;
}

ResultSet *ODBCExecuteQuery(void *connection, const char *query)
{
    LogTrace("Inside ODBCExecuteQuery\n");
    ODBCConnection *c = (ODBCConnection *)connection;
    if (!c || !query)
        return NULL;
    if (!AcquireLock(c))
        return NULL;
    BOOL again = FALSE;
    ResultSet *set = runQuery(c, query, TRUE, &again);
    if (again) {
        LogTrace("A value outran its column's reported size; reading the query again cell by cell\n");
        set = runQuery(c, query, FALSE, &again);
    }
    ReleaseLock(c);
    return set;
}

ResultSet *ODBCExecuteQueryBlob(void *connection, const char *query, ChunkSourceFn source, void *context)
{
    ODBCConnection *c = (ODBCConnection *)connection;
    if (!c || !query)
        return NULL;
    if (!AcquireLock(c))
        return NULL;
    ResultSet *set = NULL;
    SQLHSTMT stmt = allocStatement(c);
    if (stmt != SQL_NULL_HSTMT) {
        if (!SQL_SUCCEEDED(SQLPrepare(stmt, (SQLCHAR *)query, SQL_NTS))) {
            LogError("SQLPrepare failed\n");
            logStatementDiag(stmt);
        } else if (executeBlobStatement(c, stmt, source, context)) {
            /* Its source cannot be fed twice: read cell by cell at once. */
            BOOL again = FALSE;
            set = readResults(stmt, FALSE, &again);
            SQLCloseCursor(stmt);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    ReleaseLock(c);
    return set;
}

static void logTransactionDiag(SQLHDBC dbc)
{
    OdbcDiag d;
    firstDiag(SQL_HANDLE_DBC, dbc, &d);
    LogError("Error in starting transaction\n");
    LogError("STATE: %s\n", d.state);
    LogError("NAT: %ld\n", (long)d.native);
    LogError("MSG: %s\n", d.msg);
}

static BOOL setAutocommit(SQLHDBC dbc, BOOL on)
{
    return SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                           (SQLPOINTER)(ULONG_PTR)(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0));
}

BOOL ODBCBeginTransaction(void *connection)
{
    LogTrace("\t@@@@@ ODBCBeginTransaction() @@@@@\n");
    ODBCConnection *c = (ODBCConnection *)connection;
    if (!c)
        return FALSE;
    if (!setAutocommit(c->dbc, FALSE)) {
        LogError("Error in setting SQL_AUTOCOMMIT_OFF\n");
        logTransactionDiag(c->dbc);
        return FALSE;
    }
    return TRUE;
}

static BOOL endTransaction(ODBCConnection *c, SQLSMALLINT how, const char *failure)
{
    BOOL ok = TRUE;
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, c->dbc, how))) {
        LogError("%s", failure);
        logTransactionDiag(c->dbc);
        ok = FALSE;
    }
    if (!setAutocommit(c->dbc, TRUE)) {
        LogError("Error in setting SQL_AUTOCOMMIT_ON\n");
        logTransactionDiag(c->dbc);
        ok = FALSE;
    }
    return ok;
}

BOOL ODBCCommitTransaction(void *connection)
{
    LogTrace("\t@@@@@ ODBCCommitTransaction() @@@@@\n");
    ODBCConnection *c = (ODBCConnection *)connection;
    return c && endTransaction(c, SQL_COMMIT, "Error in commiting transaction\n");
}

BOOL ODBCRollbackTransaction(void *connection)
{
    LogTrace("\t@@@@@ ODBCRollbackTransaction() @@@@@\n");
    ODBCConnection *c = (ODBCConnection *)connection;
    return c && endTransaction(c, SQL_ROLLBACK, "Error in rollbacking transaction\n");
}
