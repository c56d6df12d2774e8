/* UPDATE, INSERT and DELETE of one row of a dictionary table, the
 * construction shared by every dialect. Every quoted value goes through the
 * dialect's quoting function, and a statement whose key condition would be
 * empty is refused, since it would change or delete every row. */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"

#include "agent/log.h"

#include <math.h>
#include <stdlib.h>
#include <strings.h>

/* The types whose values are written as quoted literals. */
static BOOL isQuotedType(BYTE type)
{
    return type == BRN_SQL_CHAR || type == BRN_SQL_VARCHAR || type == BRN_SQL_DATE
        || type == BRN_SQL_TIME || type == BRN_SQL_DATETIME || type == BRN_SQL_BLOB
        || type == BRN_SQL_CLOB || type == BRN_SQL_TEXT;
}

/* A DOUBLE, FLOAT or REAL value that is -0. */
static BOOL isNegativeZero(BYTE type, const BYTE *value, INT32 size)
{
    if (type == BRN_SQL_DOUBLE) {
        double v = ReadDoubleValue(value, size);
        return v == 0 && signbit(v);
    }
    if (type == BRN_SQL_FLOAT || type == BRN_SQL_REAL) {
        float v = ReadFloatValue(value, size);
        return v == 0 && signbit(v);
    }
    return FALSE;
}

static BOOL isKeyColumn(const TableDefn *defn, const char *name)
{
    if (!defn->constraints || !name)
        return FALSE;
    for (INT32 i = 0; i < defn->constraints->primaryKeyCount; i++)
        if (defn->constraints->primaryKeyColumns[i]
            && strcasecmp(defn->constraints->primaryKeyColumns[i], name) == 0)
            return TRUE;
    return FALSE;
}

/* The table's definition with columns, or NULL with an ERROR line. */
static const TableDefn *definitionOf(const char *tableName, const RowObject *row)
{
    const TableDefn *defn = tableName ? GetTableDefn(tableName) : NULL;
    if (!defn || defn->columnCount <= 0 || !defn->columns) {
        LogError("No table definition with columns for table %s\n", tableName ? tableName : "(null)");
        return NULL;
    }
    if (!row || !row->values || !row->sizes) {
        LogError("No row to generate a query for table %s\n", tableName);
        return NULL;
    }
    return defn;
}

BOOL SqlGenAppendValue(const SqlDialect *d, SqlText *out, const ColumnDefn *col, const BYTE *value,
                       INT32 size)
{
    if (!value) {
        SqlTextAppend(out, "NULL");
        return TRUE;
    }
    if (col->type == BRN_SQL_BOOLEAN) {
        SqlTextAppend(out, value[0] == 1 ? d->boolTrue : d->boolFalse);
        return TRUE;
    }
    if (col->type == BRN_SQL_BLOB) {
        /* Bytes may hold quotes or zeros: hexadecimal keeps them all. */
        static const char digits[] = "0123456789ABCDEF";
        SqlTextAppend(out, d->blobOpen);
        for (INT32 i = 0; i < size; i++) {
            char pair[2] = {digits[value[i] >> 4], digits[value[i] & 15]};
            SqlTextAppendN(out, pair, 2);
        }
        SqlTextAppend(out, d->blobClose);
        return TRUE;
    }
    if (d->negativeZero && isNegativeZero(col->type, value, size)) {
        SqlTextAppend(out, d->negativeZero);
        return TRUE;
    }
    if (!isQuotedType(col->type)) {
        if (!SqlTextAppendValue(out, value, size, col->type)) {
            LogError("Unsupported Datatype Used in Query generation.\n");
            return FALSE;
        }
        return TRUE;
    }
    if (col->type == BRN_SQL_CHAR || col->type == BRN_SQL_VARCHAR || col->type == BRN_SQL_TEXT
        || col->type == BRN_SQL_CLOB) {
        /* Text buffers end with a zero byte: quoted in place. */
        d->quote(out, (const char *)value);
        return TRUE;
    }
    char *text = ConvertValueToText(value, size, col->type);
    if (!text) {
        LogError("Unsupported Datatype Used in Query generation.\n");
        return FALSE;
    }
    d->quote(out, text);
    free(text);
    return TRUE;
}

char *SqlGenUpdateQuery(const SqlDialect *d, const char *tableName, const RowObject *row)
{
    const TableDefn *defn = definitionOf(tableName, row);
    if (!defn)
        return NULL;
    SqlText sets, keys;
    SqlTextInit(&sets);
    SqlTextInit(&keys);
    SqlTextAppendF(&sets, "update %s set ", tableName);
    BOOL firstSet = TRUE;
    BOOL ok = TRUE;
    BOOL nullKey = FALSE;
    for (INT32 i = 0; ok && i < defn->columnCount; i++) {
        const ColumnDefn *col = defn->columns[i];
        if (!col || col->type == BRN_SQL_NOT_SUPPORTED_TYPE)
            continue;
        const BYTE *value = row->values[i];
        if (isKeyColumn(defn, col->name)) {
            LogTrace("@@@ Update Query has Primary Key in Set clause @@@\n");
            if (!value) {
                nullKey = TRUE;     /* the rest of the key would match other rows */
                continue;
            }
            SqlTextAppendF(&keys, "%s%s=", keys.length ? " and " : "", col->name);
            ok = SqlGenAppendValue(d, &keys, col, value, row->sizes[i]);
        } else {
            SqlTextAppendF(&sets, "%s%s=", firstSet ? "" : ",", col->name);
            firstSet = FALSE;
            ok = SqlGenAppendValue(d, &sets, col, value, row->sizes[i]);
        }
    }
    if (ok && (keys.length == 0 || nullKey)) {
        LogError("GenerateUpdateQuery : no complete primary key value for table %s; an update of every row is refused\n",
                 tableName);
        ok = FALSE;
    }
    if (ok && firstSet) {
        LogError("GenerateUpdateQuery : table %s has no column outside its primary key to update\n",
                 tableName);
        ok = FALSE;
    }
    if (ok) {
        SqlTextAppend(&sets, " where ");
        SqlTextAppendN(&sets, keys.text, keys.length);
    }
    SqlTextFree(&keys);
    if (!ok) {
        SqlTextFree(&sets);
        return NULL;
    }
    char *text = SqlTextDetach(&sets);
    if (!text) {
        if (d->allocationMessage)
            LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
        return NULL;
    }
    LogTrace(d->updateLogFormat, text);
    return text;
}

char *SqlGenInsertQuery(const SqlDialect *d, const char *tableName, const RowObject *row)
{
    const TableDefn *defn = definitionOf(tableName, row);
    if (!defn)
        return NULL;
    SqlText out;
    SqlTextInit(&out);
    SqlTextAppendF(&out, "insert into  %s values(", tableName);
    BOOL first = TRUE;
    for (INT32 i = 0; i < defn->columnCount; i++) {
        const ColumnDefn *col = defn->columns[i];
        if (!col || col->type == BRN_SQL_NOT_SUPPORTED_TYPE)
            continue;               /* CREATE TABLE wrote no column for it */
        if (!first)
            SqlTextAppend(&out, ",");
        first = FALSE;
        if (!SqlGenAppendValue(d, &out, col, row->values[i], row->sizes[i])) {
            SqlTextFree(&out);
            return NULL;
        }
    }
    SqlTextAppend(&out, ");");
    char *text = SqlTextDetach(&out);
    if (!text) {
        if (d->allocationMessage)
            LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
        return NULL;
    }
    if (d->insertLogFormat)
        LogTrace(d->insertLogFormat, text);
    return text;
}

char *SqlGenDeleteQuery(const SqlDialect *d, const char *tableName, const RowObject *row)
{
    if (d->deleteEntry)
        LogTrace("%s", d->deleteEntry);
    const TableDefn *defn = definitionOf(tableName, row);
    if (!defn)
        return NULL;
    SqlText out, keys;
    SqlTextInit(&out);
    SqlTextInit(&keys);
    SqlTextAppendF(&out, "delete from %s ", tableName);
    BOOL ok = TRUE;
    BOOL nullKey = FALSE;
    for (INT32 i = 0; ok && i < defn->columnCount; i++) {
        const ColumnDefn *col = defn->columns[i];
        if (!col || !isKeyColumn(defn, col->name))
            continue;
        if (!row->values[i]) {
            nullKey = TRUE;
            continue;
        }
        SqlTextAppendF(&keys, "%s%s=", keys.length ? " and " : "", col->name);
        ok = SqlGenAppendValue(d, &keys, col, row->values[i], row->sizes[i]);
    }
    if (ok && (keys.length == 0 || nullKey)) {
        LogError("GenerateDeleteQuery : no complete primary key value for table %s; a delete of every row is refused\n",
                 tableName);
        ok = FALSE;
    }
    if (ok) {
        SqlTextAppend(&out, " where ");
        SqlTextAppendN(&out, keys.text, keys.length);
    }
    SqlTextFree(&keys);
    if (!ok) {
        SqlTextFree(&out);
        return NULL;
    }
    char *text = SqlTextDetach(&out);
    if (text)
        LogTrace("Delete query is @@@%s\n", text);
    return text;
}
