/* The "PGSQL" dialect: the base construction with quoted criteria texts and
 * dates, BOOLEAN 't'/'f' (PostgreSQL casts no bare integer to boolean, so
 * INSERT writes 't'/'f' too), bigint, timestamp/date/time and the types
 * PostgreSQL has for the rest (bytea for blobs). */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"

#include <stdio.h>

static const char *pgsqlColumnType(const ColumnDefn *c, char *buf, size_t bufSize)
{
    switch (c->type) {
    case BRN_SQL_TINYINT: case BRN_SQL_SMALLINT: case BRN_SQL_INT:
    case BRN_SQL_UNSIGNED_TINYINT: case BRN_SQL_UNSIGNED_SMALLINT:
        return "int";
    case BRN_SQL_BIGINT: case BRN_SQL_UNSIGNED_INT:
        return "bigint";
    case BRN_SQL_UNSIGNED_LONG_INT:
        return "numeric(20)";
    case BRN_SQL_FLOAT: case BRN_SQL_REAL:
        return "real";
    case BRN_SQL_DOUBLE:
        return "double precision";
    case BRN_SQL_DECIMAL: case BRN_SQL_NUMERIC:
        return "numeric";
    case BRN_SQL_CHAR: case BRN_SQL_VARCHAR:
        snprintf(buf, bufSize, "varchar(%d)", (int)c->maxSize);
        return buf;
    case BRN_SQL_TEXT: case BRN_SQL_CLOB:
        return "text";
    case BRN_SQL_DATE:
        return "date";
    case BRN_SQL_TIME:
        return "time";
    case BRN_SQL_DATETIME:
        return "timestamp";
    case BRN_SQL_BOOLEAN:
        return "boolean";
    case BRN_SQL_BLOB:
        return "bytea";
    default:
        return NULL;
    }
}

const SqlDialect g_pgsqlDialect = {
    "PGSQL", "Pgsql", PgsqlQuoteLiteral, SQL_LIMIT_TRAILING, TRUE, SQL_CRIT_QUOTED,
    "'t'", "'f'", pgsqlColumnType, "\n);\n\n", "'\\x", "'",
    NULL, "Update query is @@@%s\n", NULL, FALSE,
    /* A quoted literal is typed by its column, so the sign survives. */
    "'-0'",
};

char *PgsqlGenSelectQuery(SelectQuery *q) { return SqlGenSelectQuery(&g_pgsqlDialect, q); }
char *PgsqlGenUpdateQuery(const char *t, const RowObject *r) { return SqlGenUpdateQuery(&g_pgsqlDialect, t, r); }
char *PgsqlGenInsertQuery(const char *t, const RowObject *r) { return SqlGenInsertQuery(&g_pgsqlDialect, t, r); }
char *PgsqlGenDeleteQuery(const char *t, const RowObject *r) { return SqlGenDeleteQuery(&g_pgsqlDialect, t, r); }
char *PgsqlGenCreateTableQuery(const char *t) { return SqlGenCreateTableQuery(&g_pgsqlDialect, t); }

static const QueryGenerator s_pgsql = {
    "PGSQL", PgsqlGenSelectQuery, PgsqlGenUpdateQuery, PgsqlGenInsertQuery,
    PgsqlGenDeleteQuery, PgsqlGenCreateTableQuery, SqlResultRowToRow,
};

const QueryGenerator *GetPgsqlGenerator(void)
{
    return &s_pgsql;
}
