/* The "SQLITE" dialect: the base construction, "limit %d offset %d", dates
 * kept as varchar(30), BOOLEAN written 1/0 in every statement and criterion.
 * Columns of the types the original layout left out (unsigned integers,
 * 64-bit unsigned, reals, decimals, blobs, clobs) are written with SQLite's
 * own affinities, so that every dictionary column exists in the table. */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"

#include <stdio.h>

static const char *sqliteColumnType(const ColumnDefn *c, char *buf, size_t bufSize)
{
    switch (c->type) {
    case BRN_SQL_TINYINT: case BRN_SQL_SMALLINT: case BRN_SQL_INT: case BRN_SQL_BIGINT:
    case BRN_SQL_UNSIGNED_TINYINT: case BRN_SQL_UNSIGNED_SMALLINT: case BRN_SQL_UNSIGNED_INT:
        return "int";
    case BRN_SQL_UNSIGNED_LONG_INT:
        return "bigint";
    case BRN_SQL_FLOAT: case BRN_SQL_REAL:
        return "real";
    case BRN_SQL_DOUBLE:
        return "double";
    case BRN_SQL_DECIMAL: case BRN_SQL_NUMERIC:
        return "numeric";
    case BRN_SQL_CHAR: case BRN_SQL_VARCHAR:
        snprintf(buf, bufSize, "varchar(%d)", (int)c->maxSize);
        return buf;
    case BRN_SQL_TEXT: case BRN_SQL_CLOB:
        return "text";
    case BRN_SQL_DATE: case BRN_SQL_TIME: case BRN_SQL_DATETIME:
        return "varchar(30)";
    case BRN_SQL_BOOLEAN:
        return "boolean";
    case BRN_SQL_BLOB:
        return "blob";
    default:
        return NULL;
    }
}

const SqlDialect g_sqliteDialect = {
    "SQLITE", "Sqlite", SqliteQuoteLiteral, SQL_LIMIT_TRAILING, TRUE, SQL_CRIT_AS_IS,
    "1", "0", sqliteColumnType, "\n);\n\n", "X'", "'",
    NULL, "Update query is @@@%s\n", NULL, FALSE,
    NULL,
};

char *SqliteGenSelectQuery(SelectQuery *q) { return SqlGenSelectQuery(&g_sqliteDialect, q); }
char *SqliteGenUpdateQuery(const char *t, const RowObject *r) { return SqlGenUpdateQuery(&g_sqliteDialect, t, r); }
char *SqliteGenInsertQuery(const char *t, const RowObject *r) { return SqlGenInsertQuery(&g_sqliteDialect, t, r); }
char *SqliteGenDeleteQuery(const char *t, const RowObject *r) { return SqlGenDeleteQuery(&g_sqliteDialect, t, r); }
char *SqliteGenCreateTableQuery(const char *t) { return SqlGenCreateTableQuery(&g_sqliteDialect, t); }

static const QueryGenerator s_sqlite = {
    "SQLITE", SqliteGenSelectQuery, SqliteGenUpdateQuery, SqliteGenInsertQuery,
    SqliteGenDeleteQuery, SqliteGenCreateTableQuery, SqlResultRowToRow,
};

const QueryGenerator *GetSqliteGenerator(void)
{
    return &s_sqlite;
}
