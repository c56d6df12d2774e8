/* Dialect dispatch: the query generator registry, the choice of a table's
 * dialect (through its map entry, connection record and DB type, or the
 * default dialect), and the generation calls that go through it. */
#ifndef VQ_RECORDS_DB_DIALECTS_H
#define VQ_RECORDS_DB_DIALECTS_H

#include <windows.h>

#include "records/sql/sqlgen.h"

/* Dialect names, in the order of the default-dialect index. */
#define SQL_DIALECT_MYSQL          0
#define SQL_DIALECT_PGSQL          1
#define SQL_DIALECT_FIREBIRD       2
#define SQL_DIALECT_SQLITE         3
#define SQL_DIALECT_COUNT          4

/* Registers the four dialects (PGSQL, MYSQL, SQLITE, FIREBIRD) once. */
BOOL CreateQueryGeneratorRegistry(void);
void FreeQueryGeneratorRegistry(void);
/* Case-insensitive lookup; NULL when absent. */
const QueryGenerator *GetQueryGenerator(const char *name);

/* The dialect record named "MYSQL", "PGSQL", "FIREBIRD" or "SQLITE"
 * (case-insensitive); NULL for any other name. */
const SqlDialect *GetDialect(const char *dialectName);

/* The text-literal quoting of a dialect named "MYSQL", "PGSQL", "FIREBIRD"
 * or "SQLITE" (case-insensitive); NULL for any other name. */
SqlQuoteFn GetDialectQuoteFn(const char *dialectName);

/* Status 1 turns the per-table mapping on; 0 turns it off with the default
 * dialect `index` (0 MYSQL, 1 PGSQL, 2 FIREBIRD, 3 SQLITE); any other status
 * logs ERROR "\nInvalid Status\n". */
void SetDSNMapValid(int status, int index);

/* The dialect of a table, or NULL with the ERROR line of the missing link. */
const QueryGenerator *GetTableQueryGenerator(const char *tableName);

/* Generation through the table's dialect; each logs the text at DEBUG. */
char *GenerateSelectQuery(SelectQuery *query);
char *GenerateUpdateQuery(const char *tableName, const RowObject *row);
char *GenerateInsertQuery(const char *tableName, const RowObject *row);
char *GenerateDeleteQuery(const char *tableName, const RowObject *row);
char *GenerateCreateTableQuery(const char *tableName);
RowObject *ConvertResultSetToRow(const ResultSet *set, const ResultRow *row, const char *dialectName,
                                 const char *tableName);

#endif
