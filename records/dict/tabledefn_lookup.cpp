/* Lookups in the data dictionary (a column of a table, its type, its
 * default, a foreign key by its local column), the mapping of data-type
 * names to type codes, and the DEBUG print of definitions. Read-only: the
 * registry is not changed here. */
#include "records/dict/tabledefn.h"
#include "records/base/coltypes.h"

#include "agent/log.h"

#include <string.h>
#include <strings.h>

/* The table's definition for the column lookups, with their messages. */
static TableDefn *lookupTable(const char *tableName, const char *columnName)
{
    if (!tableName || !columnName) {
        LogError("Cannot fetch default value;\n");
        return NULL;
    }
    TableDefn *defn = GetTableDefn(tableName);
    if (!defn)
        LogError("No definition found for table %s\n", tableName);
    return defn;
}

static ColumnDefn *findColumn(const TableDefn *defn, const char *columnName)
{
    for (INT32 i = 0; defn->columns && i < defn->columnCount; i++)
        if (defn->columns[i] && defn->columns[i]->name && strcmp(defn->columns[i]->name, columnName) == 0)
            return defn->columns[i];
    return NULL;
}

ColumnDefn *GetColumnDefnEntry(const char *tableName, const char *columnName)
{
    LogTrace("@@@@ Inside GetColumnDefnEntry @@@@\n");
    TableDefn *defn = lookupTable(tableName, columnName);
    return defn ? findColumn(defn, columnName) : NULL;
}

BYTE GetColumnDefnType(const char *tableName, const char *columnName)
{
    ColumnDefn *column = GetColumnDefnEntry(tableName, columnName);
    return column ? column->type : BRN_SQL_NOT_SUPPORTED_TYPE;
}

BYTE *GetDefaultValue(const char *tableName, const char *columnName, BYTE *found)
{
    LogTrace("@@@@ Inside GetDefaultValue @@@@\n");
    if (found)
        *found = 0;
    TableDefn *defn = lookupTable(tableName, columnName);
    ColumnDefn *column = defn ? findColumn(defn, columnName) : NULL;
    if (!column)
        return NULL;
    if (found)
        *found = 1;
    return column->defaultValue;
}

ForeignKeyDefn *GetForeignKeyByLocalColumn(const TableDefn *defn, const char *columnName)
{
    if (!defn || !columnName)
        return NULL;
    if (!defn->constraints) {
        LogError("No constraint Definition \n");
        return NULL;
    }
    if (!defn->constraints->foreignKeys) {
        LogError("No Foreignkey Entries in Definition \n");
        return NULL;
    }
    for (ForeignKeyDefn *fk = defn->constraints->foreignKeys; fk; fk = fk->next)
        if (fk->localColumn && strcasecmp(fk->localColumn, columnName) == 0)
            return fk;
    return NULL;
}

/* The data-type names in the order they are tried: the first match wins. */
static const struct {
    const char *name;
    BYTE code;
} s_typeNames[] = {
    {"BRN_SQL_NOT_SUPPORTED_TYPE", BRN_SQL_NOT_SUPPORTED_TYPE},
    {"BRN_SQL_TINYINT", BRN_SQL_TINYINT},
    {"BRN_SQL_UNSIGNED_TINYINT", BRN_SQL_UNSIGNED_TINYINT},
    {"BRN_SQL_SMALLINT", BRN_SQL_SMALLINT},
    {"BRN_SQL_UNSIGNED_SMALLINT", BRN_SQL_UNSIGNED_SMALLINT},
    {"BRN_SQL_INT", BRN_SQL_INT},
    {"BIGINT", BRN_SQL_BIGINT},
    {"INTEGER", BRN_SQL_INT},
    {"BRN_SQL_UNSIGNED_INT", BRN_SQL_UNSIGNED_INT},
    {"LONG", BRN_SQL_INT},
    {"BRN_SQL_UNSIGNED_LONG_INT", BRN_SQL_UNSIGNED_LONG_INT},
    {"BRN_SQL_FLOAT", BRN_SQL_FLOAT},
    {"FLOAT", BRN_SQL_FLOAT},
    {"BRN_SQL_DOUBLE", BRN_SQL_DOUBLE},
    {"BRN_SQL_REAL", BRN_SQL_REAL},
    {"BRN_SQL_DECIMAL", BRN_SQL_DECIMAL},
    {"BRN_SQL_NUMERIC", BRN_SQL_NUMERIC},
    {"BRN_SQL_CHAR", BRN_SQL_CHAR},
    {"CHAR", BRN_SQL_VARCHAR},
    {"NCHAR", BRN_SQL_VARCHAR},
    {"BRN_SQL_TEXT", BRN_SQL_TEXT},
    {"TEXT", BRN_SQL_TEXT},
    {"BRN_SQL_DATE", BRN_SQL_DATE},
    {"DATE", BRN_SQL_DATE},
    {"BRN_SQL_TIME", BRN_SQL_TIME},
    {"TIME", BRN_SQL_TIME},
    {"BRN_SQL_DATETIME", BRN_SQL_DATETIME},
    {"DATETIME", BRN_SQL_DATETIME},
    {"TIMESTAMP", BRN_SQL_DATETIME},
    {"BRN_SQL_CLOB", BRN_SQL_CLOB},
    {"CLOB", BRN_SQL_CLOB},
    {"BRN_SQL_BLOB", BRN_SQL_BLOB},
    {"BLOB", BRN_SQL_BLOB},
    {"BOOLEAN", BRN_SQL_BOOLEAN},
};

BYTE GetSqlTypeCode(const char *typeName)
{
    if (!typeName) {
        LogError("Column data type not supported - Error while creating column definition.\n");
        return BRN_SQL_NOT_SUPPORTED_TYPE;
    }
    for (size_t i = 0; i < sizeof s_typeNames / sizeof s_typeNames[0]; i++)
        if (strcasecmp(typeName, s_typeNames[i].name) == 0)
            return s_typeNames[i].code;
    return BRN_SQL_NOT_SUPPORTED_TYPE;
}

static const char *shown(const char *text)
{
    return text ? text : "";
}

void PrintTableDefn(const TableDefn *defn)
{
    if (!defn || !defn->columns || defn->columnCount <= 0)
        return;
    LogDebug("Table Name : %s\n", shown(defn->name));
    LogDebug("Description: %s\n", shown(defn->description));
    LogDebug("---------------------------------------\n\n");
    for (INT32 i = 0; i < defn->columnCount; i++) {
        const ColumnDefn *c = defn->columns[i];
        if (!c)
            continue;
        LogDebug("Column Name : %s\n", shown(c->name));
        LogDebug("Column Type : %d\n", (int)c->type);
        LogDebug("Unique Flag : %s\n", c->unique ? "TRUE" : "FALSE");
        LogDebug("Description : %s\n", shown(c->description));
        LogDebug("---------------------------------------\n\n");
    }
    const ConstraintDefn *k = defn->constraints;
    if (!k)
        return;
    for (INT32 i = 0; k->primaryKeyColumns && i < k->primaryKeyCount; i++)
        LogDebug("Primary key : %s\n\n", shown(k->primaryKeyColumns[i]));
    if (!k->foreignKeys)
        return;
    LogDebug("Foreign key Constraints\n");
    LogDebug("********************************\n");
    for (const ForeignKeyDefn *fk = k->foreignKeys; fk; fk = fk->next) {
        LogDebug("Column Name : %s\n", shown(fk->localColumn));
        LogDebug("Ref Column  : %s\n", shown(fk->referenceColumn));
        LogDebug("Tablename : %s\n", shown(fk->referenceTable));
    }
    LogDebug("********************************\n");
}

void PrintAllTableDefns(void)
{
    INT32 count = 0;
    TableDefn **defns = GetTableDefnRegistry(&count);
    for (INT32 i = 0; i < count; i++)
        PrintTableDefn(defns[i]);
}
