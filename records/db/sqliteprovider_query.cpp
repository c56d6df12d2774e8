/* The "SQLITE" provider's queries: a statement stepped through SQLite's C
 * API into the result-set form the ODBC adapter returns. Each column gets
 * the SQL type the SQLite ODBC driver gives its declared type and, through
 * the adapter's own table, the same type code; each cell its value read as
 * SQLite stores it and the text a reader converts again. Integers and
 * reals are taken as numbers, never parsed from SQLite's text (which has
 * 15 significant digits for a real): a real's text has 17, enough to give
 * the very double back. */
#include "records/db/sqliteprovider.h"
#include "records/db/odbcadapter.h"
#include "records/base/coltypes.h"
#include "records/base/datetime.h"
#include "records/base/reclimits.h"
#include "records/base/textvalue.h"

#include "agent/locktable.h"
#include "agent/log.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

/* The SQLite ODBC driver's reading of a declared type: the first word,
 * case-insensitively, by its leading letters. */
SHORT SQLiteDeclaredSqlType(const char *declared)
{
    if (!declared)
        return SQL_VARCHAR;
    while (*declared == ' ' || *declared == '\t')
        declared++;
    static const struct { const char *prefix; SHORT sqlType; } kinds[] = {
        {"interval", SQL_VARCHAR},
        {"int", SQL_INTEGER}, {"mediumint", SQL_INTEGER},
        {"numeric", SQL_DOUBLE},
        {"tinyint", SQL_TINYINT},
        {"smallint", SQL_SMALLINT},
        {"float", SQL_DOUBLE}, {"double", SQL_DOUBLE}, {"real", SQL_DOUBLE},
        {"timestamp", SQL_TYPE_TIMESTAMP}, {"datetime", SQL_TYPE_TIMESTAMP},
        {"time", SQL_TYPE_TIME}, {"date", SQL_TYPE_DATE},
        {"text", SQL_LONGVARCHAR}, {"memo", SQL_LONGVARCHAR}, {"longvarchar", SQL_LONGVARCHAR},
        {"varchar", SQL_VARCHAR}, {"char", SQL_CHAR},
        {"bool", SQL_BIT}, {"bit", SQL_BIT},
        {"bigint", SQL_BIGINT},
        {"blob", SQL_BINARY}, {"varbinary", SQL_VARBINARY}, {"longvarbinary", SQL_LONGVARBINARY},
    };
    for (const auto &k : kinds)
        if (strncasecmp(declared, k.prefix, strlen(k.prefix)) == 0)
            return k.sqlType;
    return SQL_VARCHAR;
}

BOOL SQLiteIsBinarySqlType(SHORT sqlType)
{
    return sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY;
}

static BOOL isRealSqlType(SHORT sqlType)
{
    return sqlType == SQL_DOUBLE || sqlType == SQL_FLOAT || sqlType == SQL_REAL;
}

/* A new block of `n` bytes and a terminating zero byte. */
static char *copyBytes(const void *bytes, int n)
{
    char *p = (char *)malloc((size_t)n + 1);
    if (p) {
        if (n > 0)
            memcpy(p, bytes, (size_t)n);
        p[n] = '\0';
    }
    return p;
}

/* The cell's value of the column's type code from its text, by the ODBC
 * adapter's rules, for the cells SQLite does not hold as numbers. */
static BOOL valueFromText(ResultCell *cell, const ResultColumn *col)
{
    INT32 size = cell->textLength;
    switch (col->type) {
    case BRN_SQL_BOOLEAN:
        cell->value = ConvertTextToValue(strcmp(cell->text, "1") == 0 ? "TRUE" : "FALSE", &size, col->type);
        break;
    case BRN_SQL_DATE:
    case BRN_SQL_TIME:
    case BRN_SQL_DATETIME: {
        BrnDateTime *dt = col->type == BRN_SQL_DATETIME ? ConvertStringToBrnDateTime(cell->text)
                                                        : ConvertStringToBrnGenDateTime(cell->text);
        cell->value = DateTimeValueBuffer(dt);
        size = BRN_DATETIME_SIZE;
        break;
    }
    default:
        cell->value = ConvertTextToValue(cell->text, &size, col->type);
        break;
    }
    cell->size = size;
    return cell->value != NULL;
}

/* An integer as the value of a 32- or 64-bit integer code, when it fits;
 * FALSE leaves the cell to valueFromText (which refuses what cannot be). */
static BOOL valueFromInteger(ResultCell *cell, const ResultColumn *col, sqlite3_int64 v)
{
    if (col->type == BRN_SQL_BIGINT) {
        INT64 big = (INT64)v;
        cell->value = CopyValueBuffer(&big, 8);
        cell->size = 8;
        return TRUE;
    }
    BOOL fits = col->type == BRN_SQL_SMALLINT ? v >= -32768 && v <= 32767
              : col->type == BRN_SQL_INT      ? v >= INT32_MIN && v <= INT32_MAX
                                              : FALSE;
    if (!fits)
        return FALSE;
    INT32 small = (INT32)v;
    cell->value = CopyValueBuffer(&small, 4);
    cell->size = 4;
    return TRUE;
}

/* Reads column `i` of the current row into the cell; FALSE when memory
 * runs out or the value does not convert to the column's code. */
static BOOL readCell(sqlite3_stmt *stmt, int i, const ResultColumn *col, ResultCell *cell)
{
    int storage = sqlite3_column_type(stmt, i);
    if (storage == SQLITE_NULL)
        return TRUE;
    if (col->binary) {
        const void *bytes = sqlite3_column_blob(stmt, i);
        int n = sqlite3_column_bytes(stmt, i);
        cell->text = copyBytes(bytes, n);
        cell->textLength = n;
        cell->value = cell->text ? (BYTE *)copyBytes(bytes, n) : NULL;
        cell->size = n;
        return cell->value != NULL;
    }
    if (isRealSqlType(col->sqlType)) {
        double v = sqlite3_column_double(stmt, i);
        char buf[40];
        int n = snprintf(buf, sizeof buf, "%.17g", v);
        cell->text = copyBytes(buf, n);
        cell->textLength = n;
        if (!cell->text)
            return FALSE;
        if (col->type == BRN_SQL_FLOAT) {
            float f = (float)v;
            cell->value = CopyValueBuffer(&f, 4);
            cell->size = 4;
        } else if (col->type == BRN_SQL_DOUBLE) {
            cell->value = CopyValueBuffer(&v, 8);
            cell->size = 8;
        } else {
            return valueFromText(cell, col);
        }
        return cell->value != NULL;
    }
    if (storage == SQLITE_INTEGER) {
        sqlite3_int64 v = sqlite3_column_int64(stmt, i);
        char buf[24];
        int n = snprintf(buf, sizeof buf, "%lld", (long long)v);
        cell->text = copyBytes(buf, n);
        cell->textLength = n;
        if (!cell->text)
            return FALSE;
        if (valueFromInteger(cell, col, v))
            return cell->value != NULL;
        return valueFromText(cell, col);
    }
    const unsigned char *text = sqlite3_column_text(stmt, i);
    int n = sqlite3_column_bytes(stmt, i);
    if (!text)
        return FALSE;   /* no memory for SQLite's text of the value */
    cell->text = copyBytes(text, n);
    cell->textLength = n;
    return cell->text && valueFromText(cell, col);
}

/* Describes the prepared statement's columns into a new, empty set. */
static ResultSet *describeColumns(sqlite3_stmt *stmt)
{
    ResultSet *set = (ResultSet *)calloc(1, sizeof *set);
    if (!set)
        return NULL;
    int count = sqlite3_column_count(stmt);
    set->columnCount = count;
    set->columns = (ResultColumn *)calloc(count > 0 ? (size_t)count : 1, sizeof *set->columns);
    if (!set->columns) {
        FreeResultSet(set);
        return NULL;
    }
    for (int i = 0; i < count; i++) {
        ResultColumn *col = &set->columns[i];
        const char *name = sqlite3_column_name(stmt, i);
        snprintf(col->name, sizeof col->name, "%s", name ? name : "");
        col->sqlType = SQLiteDeclaredSqlType(sqlite3_column_decltype(stmt, i));
        col->type = ODBCTypeCode(col->sqlType);
        col->binary = SQLiteIsBinarySqlType(col->sqlType);
    }
    return set;
}

/* Steps the prepared statement to its end into a new result set; NULL with
 * an ERROR line (`who` names the operation) on failure. */
static ResultSet *readRows(SQLiteConnection *c, sqlite3_stmt *stmt, const char *who)
{
    ResultSet *set = describeColumns(stmt);
    if (!set) {
        LogError("Unable to allocate memory\n");
        return NULL;
    }
    INT32 count = set->columnCount;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ResultRow *row = NewResultRow(count);
        BOOL ok = row != NULL;
        for (INT32 i = 0; ok && i < count; i++)
            ok = readCell(stmt, i, &set->columns[i], &row->cells[i]);
        if (!ok) {
            LogError("%s : a value of the result cannot be converted, or memory ran out\n", who);
            FreeResultRow(row, set->columns, count);
            FreeResultSet(set);
            return NULL;
        }
        if (set->lastRow)
            set->lastRow->next = row;
        else
            set->firstRow = row;
        set->lastRow = row;
        set->rowCount++;
    }
    if (rc != SQLITE_DONE) {
        LogError("%s : %s\n", who, sqlite3_errmsg(c->db));
        FreeResultSet(set);
        return NULL;
    }
    return set;
}

ResultSet *SQLiteExecuteQuery(void *connection, const char *query)
{
    LogTrace("Inside SQLiteExecuteQuery\n");
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c || !query)
        return NULL;
    if (!AcquireLock(c))
        return NULL;
    ResultSet *set = NULL;
    sqlite3_stmt *stmt = NULL;
    int rc = sqlite3_prepare_v2(c->db, query, -1, &stmt, NULL);
    if (rc != SQLITE_OK || !stmt)
        LogError("SQLiteExecuteQuery : prepare failed: %s\n", rc != SQLITE_OK ? sqlite3_errmsg(c->db) : "no statement");
    else
        set = readRows(c, stmt, "SQLiteExecuteQuery");
    sqlite3_finalize(stmt);
    ReleaseLock(c);
    return set;
}

ResultSet *SQLiteExecuteQueryBlob(void *connection, const char *query, ChunkSourceFn source, void *context)
{
    SQLiteConnection *c = (SQLiteConnection *)connection;
    if (!c || !query)
        return NULL;
    if (!AcquireLock(c))
        return NULL;
    ResultSet *set = NULL;
    sqlite3_stmt *stmt = SQLitePrepareWithBlob(c, query, source, context, "SQLiteExecuteQueryBlob");
    if (stmt)
        set = readRows(c, stmt, "SQLiteExecuteQueryBlob");
    sqlite3_finalize(stmt);
    ReleaseLock(c);
    return set;
}
