/* The "SQLITE" provider's queries: a statement stepped through SQLite's C
 * API into the result-set form the ODBC adapter returns. Each column gets
 * the SQL type the SQLite ODBC driver gives its declared type (an
 * expression: by its first value's storage class, as the driver does) and, through
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
#include <math.h>
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

/* The decimal text of an integer into `buf` (24 bytes at least); its
 * length. */
static int integerText(sqlite3_int64 v, char *buf)
{
    char digits[24];
    int n = 0;
    unsigned long long u = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
    do {
        digits[n++] = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    int len = 0;
    if (v < 0)
        buf[len++] = '-';
    while (n)
        buf[len++] = digits[--n];
    buf[len] = '\0';
    return len;
}

/* The text of a real into `buf` (40 bytes at least); its length. A real
 * that is a whole number, or one with a short binary fraction (a multiple
 * of 1/1024 below 2^53 in size, as 4997.5 or 0.375), is written exactly
 * with integer arithmetic: its decimal expansion ends, and reads back as
 * the same double. Any other goes through "%.17g", the digits that give
 * the very double back. */
static int realText(double v, char *buf)
{
    const double limit = 9007199254740992.0;   /* 2^53 */
    for (int k = 0; k <= 10; k++) {
        double scaled = v * (double)(1 << k);  /* exact: a power of two */
        if (!(scaled > -limit && scaled < limit) || scaled != (double)(long long)scaled)
            continue;
        if (k == 0 && v == 0 && signbit(v))
            break;  /* -0 keeps its sign through "%.17g" */
        long long m = (long long)scaled;
        unsigned long long a = m < 0 ? 0ULL - (unsigned long long)m : (unsigned long long)m;
        unsigned long long whole = a >> k, rest = a & ((1ULL << k) - 1);
        int len = 0;
        if (m < 0)
            buf[len++] = '-';
        len += integerText((sqlite3_int64)whole, buf + len);
        if (rest) {
            /* rest / 2^k = rest * 5^k / 10^k: k decimals, exactly. */
            unsigned long long frac = rest;
            for (int i = 0; i < k; i++)
                frac *= 5;
            char d[12];
            for (int i = k - 1; i >= 0; i--, frac /= 10)
                d[i] = (char)('0' + frac % 10);
            int used = k;
            while (used > 0 && d[used - 1] == '0')
                used--;
            buf[len++] = '.';
            memcpy(buf + len, d, (size_t)used);
            len += used;
        }
        buf[len] = '\0';
        return len;
    }
    return snprintf(buf, 40, "%.17g", v);
}

/* An integer as the value of a 32- or 64-bit integer code, when it fits;
 * FALSE leaves the cell to ConvertResultCellText (which refuses what
 * cannot be). */
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
        int n = realText(v, buf);
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
            return ConvertResultCellText(cell, col);
        }
        return cell->value != NULL;
    }
    if (storage == SQLITE_INTEGER) {
        sqlite3_int64 v = sqlite3_column_int64(stmt, i);
        char buf[24];
        int n = integerText(v, buf);
        cell->text = copyBytes(buf, n);
        cell->textLength = n;
        if (!cell->text)
            return FALSE;
        if (valueFromInteger(cell, col, v))
            return cell->value != NULL;
        return ConvertResultCellText(cell, col);
    }
    const unsigned char *text = sqlite3_column_text(stmt, i);
    int n = sqlite3_column_bytes(stmt, i);
    if (!text)
        return FALSE;   /* no memory for SQLite's text of the value */
    cell->text = copyBytes(text, n);
    cell->textLength = n;
    return cell->text && ConvertResultCellText(cell, col);
}

/* The SQL type of a column without a declared type (an expression), as the
 * SQLite ODBC driver gives it: by the storage class of its value in the
 * first row, varchar when there is no row or the value is text or NULL. */
static SHORT expressionSqlType(sqlite3_stmt *stmt, int i, BOOL haveRow)
{
    switch (haveRow ? sqlite3_column_type(stmt, i) : SQLITE_NULL) {
    case SQLITE_INTEGER: return SQL_INTEGER;
    case SQLITE_FLOAT: return SQL_DOUBLE;
    case SQLITE_BLOB: return SQL_BINARY;
    default: return SQL_VARCHAR;
    }
}

/* Describes the statement's columns into a new, empty set; `haveRow`: the
 * statement stands on its first row. */
static ResultSet *describeColumns(sqlite3_stmt *stmt, BOOL haveRow)
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
        const char *declared = sqlite3_column_decltype(stmt, i);
        col->sqlType = declared ? SQLiteDeclaredSqlType(declared) : expressionSqlType(stmt, i, haveRow);
        col->type = ODBCTypeCode(col->sqlType);
        col->binary = SQLiteIsBinarySqlType(col->sqlType);
    }
    return set;
}

/* How a cell of the current row is read. The common cells, a number that
 * SQLite holds as the column's own type and the text of a text column, go
 * into the row's own block (one allocation a row instead of two a cell);
 * the rest (bytes, dates, booleans, converted values) into blocks of
 * their own through readCell. */
typedef enum PackKind { PACK_NULL, PACK_OWN_BLOCKS, PACK_INTEGER, PACK_REAL, PACK_TEXT } PackKind;

typedef struct PackedCell {
    PackKind kind;
    int textLength;
    char number[40];                /* the text of a number */
    const unsigned char *text;      /* SQLite's text, valid until the next step */
    sqlite3_int64 integer;
    double real;
} PackedCell;

static size_t rounded(size_t n)
{
    return (n + 7) & ~(size_t)7;
}

static BOOL isTextCode(BYTE type)
{
    return type == BRN_SQL_CHAR || type == BRN_SQL_VARCHAR || type == BRN_SQL_TEXT;
}

/* Sorts column `i` of the current row; the bytes it takes in the block. */
static size_t planCell(sqlite3_stmt *stmt, int i, const ResultColumn *col, PackedCell *p)
{
    int storage = sqlite3_column_type(stmt, i);
    p->kind = PACK_OWN_BLOCKS;
    if (storage == SQLITE_NULL) {
        p->kind = PACK_NULL;
        return 0;
    }
    if (col->binary)
        return 0;
    if (isRealSqlType(col->sqlType)) {
        if (col->type != BRN_SQL_FLOAT && col->type != BRN_SQL_DOUBLE)
            return 0;
        p->real = sqlite3_column_double(stmt, i);
        p->textLength = realText(p->real, p->number);
        p->kind = PACK_REAL;
        return rounded((size_t)p->textLength + 1) + rounded((col->type == BRN_SQL_FLOAT ? 4 : 8) + 1);
    }
    if (storage == SQLITE_INTEGER) {
        sqlite3_int64 v = sqlite3_column_int64(stmt, i);
        BOOL fits = col->type == BRN_SQL_BIGINT
                    || (col->type == BRN_SQL_SMALLINT && v >= -32768 && v <= 32767)
                    || (col->type == BRN_SQL_INT && v >= INT32_MIN && v <= INT32_MAX);
        if (!fits)
            return 0;
        p->integer = v;
        p->textLength = integerText(v, p->number);
        p->kind = PACK_INTEGER;
        return rounded((size_t)p->textLength + 1) + rounded((col->type == BRN_SQL_BIGINT ? 8 : 4) + 1);
    }
    if (storage == SQLITE_TEXT && isTextCode(col->type)) {
        p->text = sqlite3_column_text(stmt, i);
        if (!p->text)
            return 0;   /* readCell reports the missing memory */
        p->textLength = sqlite3_column_bytes(stmt, i);
        p->kind = PACK_TEXT;
        return rounded((size_t)p->textLength + 1);
    }
    return 0;
}

/* Fills a planned cell from the block at *data, moving it on. */
static void fillPackedCell(const PackedCell *p, const ResultColumn *col, ResultCell *cell, BYTE **data)
{
    BYTE *d = *data;
    cell->text = (char *)d;
    cell->textLength = p->textLength;
    memcpy(d, p->kind == PACK_TEXT ? (const void *)p->text : (const void *)p->number, (size_t)p->textLength);
    d += rounded((size_t)p->textLength + 1);
    if (p->kind == PACK_TEXT) {
        /* A text column's value is its text up to a zero byte, as
         * ConvertTextToValue gives it: the same bytes serve. */
        cell->value = (BYTE *)cell->text;
        cell->size = (INT32)strlen(cell->text);
    } else {
        if (col->type == BRN_SQL_FLOAT) {
            float f = (float)p->real;
            memcpy(d, &f, 4);
            cell->size = 4;
        } else if (col->type == BRN_SQL_DOUBLE) {
            memcpy(d, &p->real, 8);
            cell->size = 8;
        } else if (col->type == BRN_SQL_BIGINT) {
            INT64 big = (INT64)p->integer;
            memcpy(d, &big, 8);
            cell->size = 8;
        } else {
            INT32 small = (INT32)p->integer;
            memcpy(d, &small, 4);
            cell->size = 4;
        }
        cell->value = d;
        d += rounded((size_t)cell->size + 1);
    }
    *data = d;
}

/* Reads the current row into a new row of the set's columns; `plan` holds
 * a scratch cell per column. NULL when memory runs out or a value does not
 * convert. */
static ResultRow *readRow(sqlite3_stmt *stmt, const ResultSet *set, PackedCell *plan)
{
    INT32 count = set->columnCount;
    size_t bytes = 0;
    for (INT32 i = 0; i < count; i++)
        bytes += planCell(stmt, i, &set->columns[i], &plan[i]);
    BYTE *data = NULL;
    ResultRow *row = NewPackedResultRow(count, bytes, &data);
    BOOL ok = row != NULL;
    for (INT32 i = 0; ok && i < count; i++) {
        if (plan[i].kind == PACK_OWN_BLOCKS)
            ok = readCell(stmt, i, &set->columns[i], &row->cells[i]);
        else if (plan[i].kind != PACK_NULL)
            fillPackedCell(&plan[i], &set->columns[i], &row->cells[i], &data);
    }
    if (!ok) {
        FreeResultRow(row, set->columns, count);
        return NULL;
    }
    return row;
}

/* Steps the prepared statement to its end into a new result set; NULL with
 * an ERROR line (`who` names the operation) on failure. */
static ResultSet *readRows(SQLiteConnection *c, sqlite3_stmt *stmt, const char *who)
{
    int rc = sqlite3_step(stmt);
    ResultSet *set = describeColumns(stmt, rc == SQLITE_ROW);
    if (!set) {
        LogError("Unable to allocate memory\n");
        return NULL;
    }
    PackedCell *plan = (PackedCell *)calloc(set->columnCount > 0 ? (size_t)set->columnCount : 1, sizeof *plan);
    if (!plan) {
        LogError("Unable to allocate memory\n");
        FreeResultSet(set);
        return NULL;
    }
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
        ResultRow *row = readRow(stmt, set, plan);
        if (!row) {
            LogError("%s : a value of the result cannot be converted, or memory ran out\n", who);
            free(plan);
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
    free(plan);
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
