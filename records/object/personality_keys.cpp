/* Primary-key texts of the personality and data-object layers (the key
 * columns of an index table, the key condition of a row) and the index
 * tables of dominant tables. */
#include "records/object/personality.h"
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/db/dialects.h"
#include "records/persist/persistconn.h"
#include "records/base/reclimits.h"
#include "records/sql/sqltext.h"
#include "records/base/strutil.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>

ColumnDefn **GetPKColumnInfo(const char *tableName, INT32 *count)
{
    *count = 0;
    if (!tableName) {
        LogError("Cannot get PKColumnInfo.  TableName is NULL\n");
        return NULL;
    }
    TableDefn *d = GetTableDefn(tableName);
    if (!d) {
        LogError("No table definition found for %s.\n", tableName);
        return NULL;
    }
    if (!d->constraints || d->constraints->primaryKeyCount == 0) {
        LogError("No constraints for table %s\n", tableName);
        return NULL;
    }
    ColumnDefn **cols = (ColumnDefn **)calloc((size_t)d->constraints->primaryKeyCount, sizeof *cols);
    if (!cols)
        return NULL;
    for (INT32 k = 0; k < d->constraints->primaryKeyCount; k++) {
        for (INT32 i = 0; i < d->columnCount && !cols[k]; i++)
            if (CompareStringIgnoreCase(d->columns[i]->name, d->constraints->primaryKeyColumns[k]) == 0)
                cols[k] = d->columns[i];
        if (!cols[k]) {
            LogError("No table definition found for %s.\n", d->constraints->primaryKeyColumns[k]);
            free(cols);
            return NULL;
        }
    }
    *count = d->constraints->primaryKeyCount;
    return cols;
}

/* Integer key columns are written as numbers, every other type as text. */
static BOOL isIntegerType(BYTE type)
{
    return type >= 1 && type <= 6;
}

char *ConstructPKColumnString(const char *tableName)
{
    INT32 n = 0;
    ColumnDefn **cols = GetPKColumnInfo(tableName, &n);
    if (!cols)
        return NULL;
    SqlText t;
    SqlTextInit(&t);
    for (INT32 i = 0; i < n; i++) {
        if (isIntegerType(cols[i]->type))
            SqlTextAppendF(&t, "%s INT,", cols[i]->name);
        else
            SqlTextAppendF(&t, "%s VARCHAR(%d),", cols[i]->name,
                           cols[i]->maxSize > 0 ? (int)cols[i]->maxSize : PERSONALITY_INDEX_VARCHAR);
    }
    free(cols);
    return SqlTextDetach(&t);
}

char *ConstructPKValueString(const char *tableName, BYTE *const *values, const INT32 *sizes)
{
    TableDefn *d = GetTableDefn(tableName);
    INT32 n = 0;
    ColumnDefn **cols = GetPKColumnInfo(tableName, &n);
    if (!cols || !values)
        return NULL;
    const SqlDialect *dialect = GetTableDialect(tableName);
    SqlText t;
    SqlTextInit(&t);
    BOOL ok = TRUE;
    for (INT32 k = 0; ok && k < n; k++) {
        INT32 i = 0;
        while (i < d->columnCount && d->columns[i] != cols[k])
            i++;
        if (i == d->columnCount || !values[i]) {
            ok = FALSE;
            break;
        }
        if (k > 0)
            SqlTextAppend(&t, " AND ");
        SqlTextAppendF(&t, "%s = ", cols[k]->name);
        /* Written as every statement writes the value (numbers bare, texts
         * quoted, the dialect's one BOOLEAN form), so a key condition
         * matches the stored row. */
        ok = SqlGenAppendValue(dialect, &t, cols[k], values[i], sizes ? sizes[i] : 0);
    }
    free(cols);
    if (!ok) {
        SqlTextFree(&t);
        return NULL;
    }
    return SqlTextDetach(&t);
}

/* Runs one statement (or, with `query`, one query) on the default
 * connection. */
static BOOL runOnDefault(const char *text, BOOL query)
{
    const char *name = GetDefaultConnectionName();
    DBConnection *c = name ? GetConnectionHandle(name) : NULL;
    if (!c || !text)
        return FALSE;
    BOOL ok;
    if (query) {
        ResultSet *set = ExecuteQuery(c, text);
        ok = set != NULL;
        FreeResultSet(set);
    } else {
        ok = ExecuteUpdate(c, text);
    }
    ReleaseConnectionHandle(name);
    return ok;
}

BOOL CreateIndexTable(const char *dominantTable)
{
    char *columns = ConstructPKColumnString(dominantTable);
    if (!columns) {
        LogError("Cannot create Index Table for %s\n", dominantTable ? dominantTable : "(null)");
        return FALSE;
    }
    char *probe = FormatNewText("select count(*) from %s%s", dominantTable, PERSONALITY_INDEX_SUFFIX);
    BOOL ok = probe && runOnDefault(probe, TRUE);
    if (!ok) {
        char *create = FormatNewText("CREATE TABLE %s%s(%s TABLENAME VARCHAR(40))", dominantTable,
                                     PERSONALITY_INDEX_SUFFIX, columns);
        ok = create && runOnDefault(create, FALSE);
        free(create);
        if (!ok)
            LogError("Cannot create Index Table for %s\n", dominantTable);
    }
    free(probe);
    free(columns);
    return ok;
}

BOOL AddEntryToIndexTable(const char *dominantTable, INT32 key, const char *tableName)
{
    INT32 n = 0;
    ColumnDefn **cols = GetPKColumnInfo(dominantTable, &n);
    if (!cols || !tableName)
        return FALSE;
    BOOL ok = n == 1 && isIntegerType(cols[0]->type);
    if (!ok)
        LogError("AddEntryToIndexTable : %s has no single integer key.\n", dominantTable);
    SqlText quoted;
    SqlTextInit(&quoted);
    GetTableQuoteFn(dominantTable)(&quoted, tableName);
    char *name = SqlTextDetach(&quoted);
    char *del = ok ? FormatNewText("DELETE FROM %s%s WHERE %s = %d", dominantTable, PERSONALITY_INDEX_SUFFIX,
                                   cols[0]->name, (int)key)
                   : NULL;
    char *ins = ok && name ? FormatNewText("INSERT INTO %s%s VALUES (%d, %s)", dominantTable,
                                           PERSONALITY_INDEX_SUFFIX, (int)key, name)
                           : NULL;
    ok = del && ins && runOnDefault(del, FALSE) && runOnDefault(ins, FALSE);
    free(del);
    free(ins);
    free(name);
    free(cols);
    return ok;
}
