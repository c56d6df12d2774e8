/* The "FIREBIRD" dialect: "select first %d skip %d", aliases without "as",
 * SMALLINT booleans written 1/0 (also in UPDATE: Firebird converts no 't'
 * into a SMALLINT), bigint for 64-bit integers, timestamp/date/time, and
 * Firebird's blob types for texts without a length and for bytes (Firebird
 * has no "text" type). */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"

#include <stdio.h>

static const char *firebirdColumnType(const ColumnDefn *c, char *buf, size_t bufSize)
{
    switch (c->type) {
    case BRN_SQL_TINYINT: case BRN_SQL_SMALLINT: case BRN_SQL_INT:
    case BRN_SQL_UNSIGNED_TINYINT: case BRN_SQL_UNSIGNED_SMALLINT:
        return "int";
    case BRN_SQL_BIGINT: case BRN_SQL_UNSIGNED_INT: case BRN_SQL_UNSIGNED_LONG_INT:
        return "bigint";
    case BRN_SQL_FLOAT: case BRN_SQL_REAL:
        return "float";
    case BRN_SQL_DOUBLE:
        return "double precision";
    case BRN_SQL_DECIMAL: case BRN_SQL_NUMERIC:
        return "decimal(18,6)";
    case BRN_SQL_CHAR: case BRN_SQL_VARCHAR:
        snprintf(buf, bufSize, "varchar(%d)", (int)c->maxSize);
        return buf;
    case BRN_SQL_TEXT: case BRN_SQL_CLOB:
        return "blob sub_type text";
    case BRN_SQL_DATE:
        return "date";
    case BRN_SQL_TIME:
        return "time";
    case BRN_SQL_DATETIME:
        return "timestamp";
    case BRN_SQL_BOOLEAN:
        return "SMALLINT";
    case BRN_SQL_BLOB:
        return "blob sub_type binary";
    default:
        return NULL;
    }
}

const SqlDialect g_firebirdDialect = {
    "FIREBIRD", "Firebird", FirebirdQuoteLiteral, SQL_LIMIT_FIRST, FALSE, SQL_CRIT_AS_IS,
    "1", "0", firebirdColumnType, "\n);\n\n", "x'", "'",
    NULL, "Update query is @@@%s\n", NULL, FALSE,
    NULL,
};

char *FirebirdGenSelectQuery(SelectQuery *q) { return SqlGenSelectQuery(&g_firebirdDialect, q); }
char *FirebirdGenUpdateQuery(const char *t, const RowObject *r) { return SqlGenUpdateQuery(&g_firebirdDialect, t, r); }
char *FirebirdGenInsertQuery(const char *t, const RowObject *r) { return SqlGenInsertQuery(&g_firebirdDialect, t, r); }
char *FirebirdGenDeleteQuery(const char *t, const RowObject *r) { return SqlGenDeleteQuery(&g_firebirdDialect, t, r); }
char *FirebirdGenCreateTableQuery(const char *t) { return SqlGenCreateTableQuery(&g_firebirdDialect, t); }

static const QueryGenerator s_firebird = {
    "FIREBIRD", FirebirdGenSelectQuery, FirebirdGenUpdateQuery, FirebirdGenInsertQuery,
    FirebirdGenDeleteQuery, FirebirdGenCreateTableQuery, SqlResultRowToRow,
};

const QueryGenerator *GetFirebirdGenerator(void)
{
    return &s_firebird;
}
