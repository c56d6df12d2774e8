/* The query generator registry and the dispatch of generation calls to the
 * dialect of each table. */
#include "records/db/dialects.h"
#include "records/db/connparams.h"
#include "records/db/dbprovider.h"
#include "records/base/reclimits.h"

#include "agent/log.h"

#include <strings.h>

static const QueryGenerator *s_generators[SQL_DIALECT_COUNT];
static INT32 s_generatorCount;
static BOOL s_perTableMapping;
static int s_defaultDialect = SQL_DIALECT_SQLITE;

static const char *const s_dialectNames[SQL_DIALECT_COUNT] = {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"};

BOOL CreateQueryGeneratorRegistry(void)
{
    s_generators[0] = GetPgsqlGenerator();
    s_generators[1] = GetMysqlGenerator();
    s_generators[2] = GetSqliteGenerator();
    s_generators[3] = GetFirebirdGenerator();
    s_generatorCount = 4;
    return TRUE;
}

void FreeQueryGeneratorRegistry(void)
{
    s_generatorCount = 0;
    s_perTableMapping = FALSE;
    s_defaultDialect = SQL_DIALECT_SQLITE;
}

const QueryGenerator *GetQueryGenerator(const char *name)
{
    for (INT32 i = 0; name && i < s_generatorCount; i++)
        if (strcasecmp(s_generators[i]->name, name) == 0)
            return s_generators[i];
    return NULL;
}

const SqlDialect *GetDialect(const char *dialectName)
{
    static const SqlDialect *const dialects[] = {&g_mysqlDialect, &g_pgsqlDialect, &g_firebirdDialect,
                                                 &g_sqliteDialect};
    for (const SqlDialect *d : dialects)
        if (dialectName && strcasecmp(d->name, dialectName) == 0)
            return d;
    return NULL;
}

SqlQuoteFn GetDialectQuoteFn(const char *dialectName)
{
    const SqlDialect *d = GetDialect(dialectName);
    return d ? d->quote : NULL;
}

void SetDSNMapValid(int status, int index)
{
    LogTrace("@@@ Inside SetDSNMapValid @@@\n");
    if (status == 1) {
        s_perTableMapping = TRUE;
    } else if (status == 0) {
        s_perTableMapping = FALSE;
        if (index >= 0 && index < SQL_DIALECT_COUNT) {
            s_defaultDialect = index;
            LoadDBProviderByName(s_dialectNames[index]);
        }
    } else {
        LogError("\nInvalid Status\n");
    }
}

const QueryGenerator *GetTableQueryGenerator(const char *tableName)
{
    if (!s_perTableMapping)
        return GetQueryGenerator(s_dialectNames[s_defaultDialect]);
    DataSourceMapEntry *entry = GetDataSourceMapEntry(tableName);
    if (!entry) {
        LogError("No DataSourceMap Entry for Table name %s \n", tableName ? tableName : "(null)");
        return NULL;
    }
    ConnParamsEntry *record = GetConnParamsEntry(entry->connectionName);
    if (!record) {
        LogError("dbConnPtr is NULL for Connection Name %s \n", entry->connectionName);
        return NULL;
    }
    return GetQueryGenerator(record->dbType);
}

char *GenerateSelectQuery(SelectQuery *query)
{
    if (!query)
        return NULL;
    const char *table = query->joins ? query->joins->baseTable
                      : query->tables ? query->tables->tableName : NULL;
    if (!table) {
        LogError("No Tables selected in select query.\n");
        return NULL;
    }
    const QueryGenerator *g = GetTableQueryGenerator(table);
    char *text = g ? g->selectQuery(query) : NULL;
    if (text)
        LogDebug("Generated Select Query: %s\n", text);
    return text;
}

char *GenerateUpdateQuery(const char *tableName, const RowObject *row)
{
    const QueryGenerator *g = GetTableQueryGenerator(tableName);
    char *text = g ? g->updateQuery(tableName, row) : NULL;
    if (text)
        LogDebug("Generated Update Query: %s\n", text);
    return text;
}

char *GenerateInsertQuery(const char *tableName, const RowObject *row)
{
    const QueryGenerator *g = GetTableQueryGenerator(tableName);
    char *text = g ? g->insertQuery(tableName, row) : NULL;
    if (text)
        LogDebug("Generated Insert Query: %s\n", text);
    return text;
}

char *GenerateDeleteQuery(const char *tableName, const RowObject *row)
{
    const QueryGenerator *g = GetTableQueryGenerator(tableName);
    char *text = g ? g->deleteQuery(tableName, row) : NULL;
    if (text)
        LogDebug("Generated Delete Query: %s\n", text);
    return text;
}

char *GenerateCreateTableQuery(const char *tableName)
{
    const QueryGenerator *g = GetTableQueryGenerator(tableName);
    char *text = g ? g->createTableQuery(tableName) : NULL;
    if (text)
        LogDebug("Generated Create Table Query: %s\n", text);
    return text;
}

RowObject *ConvertResultSetToRow(const ResultSet *set, const ResultRow *row, const char *dialectName,
                                 const char *tableName)
{
    const QueryGenerator *g = GetQueryGenerator(dialectName);
    return g ? g->resultSetToRow(set, row, tableName) : NULL;
}
