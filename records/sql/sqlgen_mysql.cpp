/* The "MYSQL" dialect: "limit offset , count", quoted criteria texts with
 * BOOLEAN 1/0, tinyint booleans, datetime/date/time, longblob for blobs and
 * longtext for texts (a plain blob or text holds only 64 KiB, and a strict
 * server refuses a longer value), and "ENGINE = InnoDB" (no current MySQL or
 * MariaDB accepts the old "Type = InnoDB") with "DEFAULT CHARSET=utf8mb4",
 * so that every text column holds full UTF-8 whatever the server's default
 * character set (latin1 refuses "東京"). No index clauses are written:
 * the primary and foreign keys already get their indexes from InnoDB, and
 * the dictionary defines no other index. */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"

#include <stdio.h>

static const char *mysqlColumnType(const ColumnDefn *c, char *buf, size_t bufSize)
{
    switch (c->type) {
    case BRN_SQL_TINYINT: case BRN_SQL_SMALLINT: case BRN_SQL_INT:
        return "int";
    case BRN_SQL_UNSIGNED_TINYINT: case BRN_SQL_UNSIGNED_SMALLINT: case BRN_SQL_UNSIGNED_INT:
        return "int unsigned";
    case BRN_SQL_BIGINT:
        return "bigint";
    case BRN_SQL_UNSIGNED_LONG_INT:
        return "bigint unsigned";
    case BRN_SQL_FLOAT: case BRN_SQL_REAL:
        return "float";
    case BRN_SQL_DOUBLE:
        return "double";
    case BRN_SQL_DECIMAL: case BRN_SQL_NUMERIC:
        return "decimal(30,10)";
    case BRN_SQL_CHAR: case BRN_SQL_VARCHAR:
        snprintf(buf, bufSize, "varchar(%d)", (int)c->maxSize);
        return buf;
    case BRN_SQL_TEXT:
    case BRN_SQL_CLOB:
        return "longtext";
    case BRN_SQL_DATE:
        return "date";
    case BRN_SQL_TIME:
        return "time";
    case BRN_SQL_DATETIME:
        return "datetime";
    case BRN_SQL_BOOLEAN:
        return "tinyint";
    case BRN_SQL_BLOB:
        return "longblob";
    default:
        return NULL;
    }
}

const SqlDialect g_mysqlDialect = {
    "MYSQL", "Mysql", MysqlQuoteLiteral, SQL_LIMIT_MYSQL, TRUE, SQL_CRIT_QUOTED,
    "1", "0", mysqlColumnType, "\n) ENGINE = InnoDB DEFAULT CHARSET=utf8mb4;\n\n", "X'", "'",
    "Insert query is @@@%s\n", "Update query is @@@ %s\n", "@@@ Inside MysqlGenDelteQuery @@@\n", TRUE,
    NULL,
};

char *MysqlGenSelectQuery(SelectQuery *q) { return SqlGenSelectQuery(&g_mysqlDialect, q); }
char *MysqlGenUpdateQuery(const char *t, const RowObject *r) { return SqlGenUpdateQuery(&g_mysqlDialect, t, r); }
char *MysqlGenInsertQuery(const char *t, const RowObject *r) { return SqlGenInsertQuery(&g_mysqlDialect, t, r); }
char *MysqlGenDelteQuery(const char *t, const RowObject *r) { return SqlGenDeleteQuery(&g_mysqlDialect, t, r); }
char *MysqlGenCreateTableQuery(const char *t) { return SqlGenCreateTableQuery(&g_mysqlDialect, t); }

static const QueryGenerator s_mysql = {
    "MYSQL", MysqlGenSelectQuery, MysqlGenUpdateQuery, MysqlGenInsertQuery,
    MysqlGenDelteQuery, MysqlGenCreateTableQuery, SqlResultRowToRow,
};

const QueryGenerator *GetMysqlGenerator(void)
{
    return &s_mysql;
}
