/* One result-set row into a stored RowObject of a dictionary table, shared
 * by every dialect. Drivers describe columns in their own terms (a boolean as
 * "1"/"0" text, a 64-bit integer in a column they call INTEGER, a date kept
 * as text), so each delivered text is converted to the column's type in the
 * table's definition; bytes of binary columns are copied as they are. */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"
#include "records/base/textvalue.h"
#include "records/base/datetime.h"
#include "records/base/strutil.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

static BOOL isTrueText(const char *text)
{
    return _stricmp(text, "1") == 0 || _stricmp(text, "t") == 0 || _stricmp(text, "true") == 0
        || _stricmp(text, "y") == 0 || _stricmp(text, "yes") == 0;
}

/* A new value buffer of `type` from a delivered cell; NULL when the text
 * does not convert or memory runs out. */
static BYTE *convertCell(const ResultCell *cell, BYTE type, INT32 *size)
{
    switch (type) {
    case BRN_SQL_BOOLEAN: {
        BYTE v = isTrueText(cell->text) ? 1 : 0;
        *size = 1;
        return CopyValueBuffer(&v, 1);
    }
    case BRN_SQL_DATE:
    case BRN_SQL_TIME:
    case BRN_SQL_DATETIME: {
        /* Only the parts the text holds; the parts belong to the buffer. */
        BrnDateTime *dt = type == BRN_SQL_DATETIME ? ConvertStringToBrnDateTime(cell->text)
                                                   : ConvertStringToBrnGenDateTime(cell->text);
        BYTE *buf = DateTimeValueBuffer(dt);
        if (buf)
            *size = BRN_DATETIME_SIZE;
        return buf;
    }
    case BRN_SQL_DECIMAL:
    case BRN_SQL_NUMERIC:
    case BRN_SQL_CHAR:
    case BRN_SQL_VARCHAR:
    case BRN_SQL_BLOB:
    case BRN_SQL_CLOB:
    case BRN_SQL_TEXT:
    case BRN_SQL_NOT_SUPPORTED_TYPE:
        *size = cell->textLength;
        return CopyValueBuffer(cell->text, cell->textLength);
    default: {
        /* Numbers: a driver may deliver "5.0" for an integer or "1.5E+2";
         * integers take the leading integer, reals through strtod's rules. */
        if (type == BRN_SQL_FLOAT || type == BRN_SQL_REAL) {
            float v = (float)TextToDouble(cell->text, NULL);
            *size = 4;
            return CopyValueBuffer(&v, 4);
        }
        if (type == BRN_SQL_DOUBLE) {
            double v = TextToDouble(cell->text, NULL);
            *size = 8;
            return CopyValueBuffer(&v, 8);
        }
        if (type == BRN_SQL_BIGINT || type == BRN_SQL_UNSIGNED_LONG_INT) {
            INT64 v = type == BRN_SQL_BIGINT ? (INT64)strtoll(cell->text, NULL, 10)
                                             : (INT64)strtoull(cell->text, NULL, 10);
            *size = 8;
            return CopyValueBuffer(&v, 8);
        }
        INT32 v = (INT32)strtoll(cell->text, NULL, 10);
        *size = 4;
        return CopyValueBuffer(&v, 4);
    }
    }
}

RowObject *SqlResultRowToRow(const ResultSet *set, const ResultRow *row, const char *tableName)
{
    const TableDefn *defn = tableName ? GetTableDefn(tableName) : NULL;
    if (!defn || defn->columnCount <= 0 || !defn->columns || !set || !row)
        return NULL;
    INT32 n = defn->columnCount;
    BYTE **values = (BYTE **)calloc((size_t)n, sizeof *values);
    INT32 *sizes = (INT32 *)calloc((size_t)n, sizeof *sizes);
    RowObject *out = values && sizes ? CreateNewRowObject(values, sizes) : NULL;
    if (!out) {
        free(values);
        free(sizes);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return NULL;
    }
    /* Result columns pair with the definition's in order; columns the
     * CREATE TABLE left out (type 0) take no result column. */
    INT32 r = 0;
    for (INT32 i = 0; i < n && r < set->columnCount; i++) {
        const ColumnDefn *col = defn->columns[i];
        if (!col || col->type == BRN_SQL_NOT_SUPPORTED_TYPE)
            continue;
        const ResultColumn *from = &set->columns[r];
        const ResultCell *cell = &row->cells[r++];
        if (!cell->text) {
            sizes[i] = 0;
            continue;
        }
        /* A number the provider already holds as the column's own type is
         * taken as it is: the text would only give the same value back. */
        if (cell->value && from->type == col->type
            && ((col->type == BRN_SQL_INT && cell->size == 4) || (col->type == BRN_SQL_BIGINT && cell->size == 8)
                || (col->type == BRN_SQL_DOUBLE && cell->size == 8))) {
            values[i] = CopyValueBuffer(cell->value, cell->size);
            sizes[i] = cell->size;
        } else {
            values[i] = convertCell(cell, col->type, &sizes[i]);
        }
        if (!values[i]) {
            LogError("ConvertResultSetToRow : value of column %s cannot be converted\n", col->name);
            FreeRowObject(out, n);
            return NULL;
        }
    }
    out->flags = ROW_FLAG_STORED;
    return out;
}
