/* SQL generation: one QueryGenerator per dialect ("SQLITE", "PGSQL",
 * "MYSQL", "FIREBIRD") with its six operations, and the dialect record that
 * the shared construction reads for what differs between dialects. Every
 * generated statement is a new text owned by the caller; NULL with an ERROR
 * line on a missing definition, an unconvertible value or no memory. */
#ifndef VQ_RECORDS_SQL_SQLGEN_H
#define VQ_RECORDS_SQL_SQLGEN_H

#include <windows.h>

#include "records/sql/resultset.h"
#include "records/sql/selectquery.h"
#include "records/sql/sqltext.h"
#include "records/store/tablestore.h"

typedef char *(*GenSelectFn)(SelectQuery *query);
typedef char *(*GenRowFn)(const char *tableName, const RowObject *row);
typedef char *(*GenCreateFn)(const char *tableName);
typedef RowObject *(*ResultRowToRowFn)(const ResultSet *set, const ResultRow *row,
                                       const char *tableName);

typedef struct QueryGenerator {
    const char *name;
    GenSelectFn selectQuery;
    GenRowFn updateQuery;
    GenRowFn insertQuery;
    GenRowFn deleteQuery;
    GenCreateFn createTableQuery;
    ResultRowToRowFn resultSetToRow;
} QueryGenerator;

/* Where the row limit and offset go. */
#define SQL_LIMIT_TRAILING 0    /* "limit %d" then " offset %d" */
#define SQL_LIMIT_MYSQL    1    /* "limit" " %d ," " %d" */
#define SQL_LIMIT_FIRST    2    /* "select first %d skip %d " */

/* How criteria values are written. */
#define SQL_CRIT_AS_IS        0 /* the caller supplies the quotes */
#define SQL_CRIT_QUOTED       1 /* texts and dates quoted */

/* One column's type text in CREATE TABLE (without name and default); NULL
 * when the dialect writes no column for that type. */
typedef const char *(*SqlColumnTypeFn)(const ColumnDefn *column, char *buf, size_t bufSize);

typedef struct SqlDialect {
    const char *name;           /* "SQLITE" */
    const char *prefix;         /* "Sqlite": names the part builders in the log */
    SqlQuoteFn quote;
    BYTE limitStyle;            /* SQL_LIMIT_* */
    BOOL aliasWithAs;
    BYTE criteriaValues;        /* SQL_CRIT_* */
    const char *boolTrue;       /* the BOOLEAN literals, the same in every */
    const char *boolFalse;      /* statement, default and criterion, and equal
                                   to what the engine stores */
    SqlColumnTypeFn columnType;
    const char *createEnd;      /* the text that closes CREATE TABLE */
    const char *blobOpen;       /* a BLOB value is written in hexadecimal */
    const char *blobClose;      /* between these two texts */
    const char *insertLogFormat;
    const char *updateLogFormat;
    const char *deleteEntry;    /* TRACE entry line of the delete generator */
    BOOL allocationMessage;     /* MySQL names allocation failures */
    const char *negativeZero;   /* the literal of a real -0 where the bare
                                   "-0" would reach the engine as the integer
                                   0 (PostgreSQL); NULL: written as any real */
} SqlDialect;

/* The shared construction, driven by a dialect record. */
char *SqlGenSelectQuery(const SqlDialect *d, SelectQuery *query);
char *SqlGenUpdateQuery(const SqlDialect *d, const char *tableName, const RowObject *row);
char *SqlGenInsertQuery(const SqlDialect *d, const char *tableName, const RowObject *row);
char *SqlGenDeleteQuery(const SqlDialect *d, const char *tableName, const RowObject *row);
char *SqlGenCreateTableQuery(const SqlDialect *d, const char *tableName);

/* Appends one value of `col` as the dialect writes it in every statement
 * and condition: NULL, a quoted literal, the dialect's BOOLEAN literal, a
 * hexadecimal BLOB, or the value's text. FALSE (with an ERROR line) when
 * the value cannot be converted. */
BOOL SqlGenAppendValue(const SqlDialect *d, SqlText *out, const ColumnDefn *col, const BYTE *value,
                       INT32 size);

/* The part builders of a SELECT; each appends to `out` and logs its entry at
 * TRACE as "@@@@@@@@@@@ - INSIDE <Prefix>GenerateColumnsStr - @@@@@@@@@@@@@"
 * and so on. FALSE on a model error (an unknown join type). */
BOOL SqlGenerateColumnsStr(const SqlDialect *d, const SelectQuery *q, SqlText *out);
BOOL SqlGenerateJoinsStr(const SqlDialect *d, const SelectQuery *q, SqlText *out);
BOOL SqlGenerateTableListStr(const SqlDialect *d, const SelectQuery *q, SqlText *out);
BOOL SqlGenerateCriteriaStr(const SqlDialect *d, const SelectQuery *q, SqlText *out);
BOOL SqlGenerateGroupByStr(const SqlDialect *d, const SelectQuery *q, SqlText *out);
BOOL SqlGenerateSortColumnStr(const SqlDialect *d, const SelectQuery *q, SqlText *out);

/* Result-set row to a stored RowObject of the table: the set's columns are
 * paired in order with the definition's, and each delivered text is
 * converted to the definition's own type (so a BOOLEAN that a driver reports
 * as "1" or "t" text, or a 64-bit value in a column the driver calls
 * INTEGER, comes back as written). NULL for an unknown table, a definition
 * without columns, or a value that cannot be converted. */
RowObject *SqlResultRowToRow(const ResultSet *set, const ResultRow *row, const char *tableName);

/* The dialects. */
extern const SqlDialect g_sqliteDialect;
extern const SqlDialect g_pgsqlDialect;
extern const SqlDialect g_mysqlDialect;
extern const SqlDialect g_firebirdDialect;

/* The query generators, by dialect. */
const QueryGenerator *GetSqliteGenerator(void);
const QueryGenerator *GetPgsqlGenerator(void);
const QueryGenerator *GetMysqlGenerator(void);
const QueryGenerator *GetFirebirdGenerator(void);

/* Per-dialect entry points (the SQLite ones; the others have the prefixes
 * Pgsql, Mysql and Firebird). */
char *SqliteGenSelectQuery(SelectQuery *query);
char *SqliteGenUpdateQuery(const char *tableName, const RowObject *row);
char *SqliteGenInsertQuery(const char *tableName, const RowObject *row);
char *SqliteGenDeleteQuery(const char *tableName, const RowObject *row);
char *SqliteGenCreateTableQuery(const char *tableName);
char *PgsqlGenSelectQuery(SelectQuery *query);
char *PgsqlGenUpdateQuery(const char *tableName, const RowObject *row);
char *PgsqlGenInsertQuery(const char *tableName, const RowObject *row);
char *PgsqlGenDeleteQuery(const char *tableName, const RowObject *row);
char *PgsqlGenCreateTableQuery(const char *tableName);
char *MysqlGenSelectQuery(SelectQuery *query);
char *MysqlGenUpdateQuery(const char *tableName, const RowObject *row);
char *MysqlGenInsertQuery(const char *tableName, const RowObject *row);
char *MysqlGenDelteQuery(const char *tableName, const RowObject *row);
char *MysqlGenCreateTableQuery(const char *tableName);
char *FirebirdGenSelectQuery(SelectQuery *query);
char *FirebirdGenUpdateQuery(const char *tableName, const RowObject *row);
char *FirebirdGenInsertQuery(const char *tableName, const RowObject *row);
char *FirebirdGenDeleteQuery(const char *tableName, const RowObject *row);
char *FirebirdGenCreateTableQuery(const char *tableName);

#endif
