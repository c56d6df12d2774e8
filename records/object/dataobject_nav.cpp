/* Reading a data object: its tables, the row units of a table in order,
 * column values, emptiness, and the DEBUG print. */
#include "records/object/dataobject.h"
#include "records/sql/sqltext.h"
#include "records/base/strutil.h"

#include "agent/log.h"

#include <stdlib.h>

BOOL ContainsTableInDO(const DataObject *d, const char *tableName)
{
    return GetRowCollection(d, tableName) != NULL;
}

const char **GetTableList(const DataObject *d, INT32 *count)
{
    *count = 0;
    const char **names = (const char **)calloc((size_t)(d ? d->collectionCount : 0) + 1, sizeof *names);
    if (!names)
        return NULL;
    for (RowCollection *c = d ? d->collections : NULL; c; c = c->next)
        names[(*count)++] = c->tableName;
    return names;
}

RowUnit *GetFirstRowUnit(const DataObject *d, const char *tableName)
{
    RowCollection *c = GetRowCollection(d, tableName);
    return c ? c->first : NULL;
}

RowUnit *GetLastRowUnit(const DataObject *d, const char *tableName)
{
    RowCollection *c = GetRowCollection(d, tableName);
    return c ? c->last : NULL;
}

RowUnit *GetNthRowUnit(const DataObject *d, const char *tableName, INT32 n)
{
    RowUnit *u = n >= 1 ? GetFirstRowUnit(d, tableName) : NULL;
    for (INT32 i = 1; u && i < n; i++)
        u = u->next;
    return u;
}

RowUnit *GotoNextRowUnit(const RowUnit *u)
{
    return u ? u->next : NULL;
}

BYTE *GetColumnValueFromDO(const RowUnit *u, const char *columnName, INT32 *size)
{
    for (INT32 i = 0; u && columnName && i < u->columnCount; i++) {
        if (CompareStringIgnoreCase(u->columns[i]->name, columnName) == 0) {
            if (size)
                *size = u->sizes[i];
            return u->values[i];
        }
    }
    return NULL;
}

BYTE *GetFirstValue(const DataObject *d, const char *tableName, const char *columnName, INT32 *size)
{
    return GetColumnValueFromDO(GetFirstRowUnit(d, tableName), columnName, size);
}

BYTE **GetColumnValuesFromDO(const DataObject *d, const char *tableName, const char *columnName,
                             INT32 **sizes, INT32 *count)
{
    *count = 0;
    if (sizes)
        *sizes = NULL;
    RowCollection *c = GetRowCollection(d, tableName);
    TableDefn *defn = c ? GetTableDefn(c->tableName) : NULL;
    INT32 column = -1;
    for (INT32 i = 0; defn && columnName && i < defn->columnCount && column < 0; i++)
        if (CompareStringIgnoreCase(defn->columns[i]->name, columnName) == 0)
            column = i;
    if (column < 0)
        return NULL;
    BYTE **values = (BYTE **)calloc((size_t)c->count + 1, sizeof *values);
    INT32 *valueSizes = sizes ? (INT32 *)calloc((size_t)c->count + 1, sizeof *valueSizes) : NULL;
    if (!values || (sizes && !valueSizes)) {
        free(values);
        free(valueSizes);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return NULL;
    }
    for (RowUnit *u = c->first; u; u = u->next) {
        values[*count] = u->values[column];
        if (valueSizes)
            valueSizes[*count] = u->sizes[column];
        (*count)++;
    }
    if (sizes)
        *sizes = valueSizes;
    return values;
}

const char **GetColumnListFromDO(const DataObject *d, const char *tableName, INT32 *count)
{
    *count = 0;
    RowCollection *c = GetRowCollection(d, tableName);
    TableDefn *defn = c ? GetTableDefn(c->tableName) : NULL;
    if (!defn)
        return NULL;
    const char **names = (const char **)calloc((size_t)defn->columnCount + 1, sizeof *names);
    if (!names)
        return NULL;
    for (INT32 i = 0; i < defn->columnCount; i++)
        names[(*count)++] = defn->columns[i]->name;
    return names;
}

BOOL IsDOEmpty(const DataObject *d)
{
    for (RowCollection *c = d ? d->collections : NULL; c; c = c->next)
        if (c->first)
            return FALSE;
    return TRUE;
}

void PrintRowUnitValue(const RowUnit *u)
{
    if (!u)
        return;
    SqlText t;
    SqlTextInit(&t);
    for (INT32 i = 0; i < u->columnCount; i++) {
        if (!SqlTextAppendValue(&t, u->values[i], u->sizes[i], u->columns[i]->type))
            SqlTextAppend(&t, "?");
        SqlTextAppend(&t, "\t");
    }
    char *line = SqlTextDetach(&t);
    LogDebug("%s(state %d)\n", line ? line : "", (int)u->state);
    free(line);
}

void PrintDataObject(const DataObject *d)
{
    for (RowCollection *c = d ? d->collections : NULL; c; c = c->next) {
        LogDebug("Table : %s (%d row units)\n", c->tableName, (int)c->count);
        for (RowUnit *u = c->first; u; u = u->next)
            PrintRowUnitValue(u);
    }
}
