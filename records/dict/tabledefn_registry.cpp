/* The dictionary registry: every TableDefn of the process in the order they
 * were added, looked up by name without regard to letter case, and the
 * constructors of the definitions it holds. Filled once at framework start
 * and read without locks afterwards. */
#include "records/dict/tabledefn.h"
#include "records/base/coltypes.h"
#include "records/base/textvalue.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

static TableDefn **s_defns;
static INT32 s_count;
static INT32 s_capacity;

/* A deep copy of allowed values: a list up to its NULL entry, a range as its
 * two bounds. NULL when out of memory or for a malformed record. */
static AllowedValues *copyAllowedValues(const AllowedValues *from)
{
    if (!from || !from->values)
        return NULL;
    size_t n = 0;
    if (from->rangeFlag)
        n = 2;
    else
        while (from->values[n])
            n++;
    AllowedValues *to = (AllowedValues *)calloc(1, sizeof *to);
    char **values = (char **)calloc(n + 1, sizeof *values);
    BOOL ok = to && values;
    for (size_t i = 0; ok && i < n; i++) {
        values[i] = CopyText(from->values[i]);
        ok = values[i] != NULL || from->values[i] == NULL;
    }
    if (!ok) {
        if (values)
            for (size_t i = 0; i < n; i++)
                free(values[i]);
        free(values);
        free(to);
        return NULL;
    }
    to->values = values;
    to->rangeFlag = from->rangeFlag ? 1 : 0;
    return to;
}

ColumnDefn *CreateColumnDefn(const char *name, BYTE type, const char *defaultText,
                             INT32 defaultLength, BYTE unique, const char *generatorName,
                             const char *description, INT32 maxSize, BYTE nullable,
                             const AllowedValues *allowedValues)
{
    ColumnDefn *c = (ColumnDefn *)calloc(1, sizeof *c);
    if (!c) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return NULL;
    }
    c->name = CopyText(name);
    c->generatorName = CopyText(generatorName);
    c->description = CopyText(description);
    if ((name && !c->name) || (generatorName && !c->generatorName)
        || (description && !c->description)) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        FreeColumnDefn(c);
        return NULL;
    }
    if (allowedValues) {
        c->allowedValues = copyAllowedValues(allowedValues);
        if (!c->allowedValues) {
            LogError("Cannot copy allowed values.\n");
            FreeColumnDefn(c);
            return NULL;
        }
    }
    /* The default is converted under the declared type, before a long
     * character column becomes a text column: both hold the same bytes. */
    if (defaultText) {
        INT32 size = defaultLength;
        c->defaultValue = ConvertTextToValue(defaultText, &size, type);
        c->defaultSize = c->defaultValue ? size : 0;
    }
    if ((type == BRN_SQL_CHAR || type == BRN_SQL_VARCHAR) && maxSize > 255)
        type = BRN_SQL_TEXT;
    c->type = type;
    c->unique = unique ? 1 : 0;
    c->maxSize = maxSize;
    c->nullable = nullable ? 1 : 0;
    return c;
}

static void freeConstraints(ConstraintDefn *c)
{
    if (!c)
        return;
    for (INT32 i = 0; c->primaryKeyColumns && i < c->primaryKeyCount; i++)
        free(c->primaryKeyColumns[i]);
    free(c->primaryKeyColumns);
    ForeignKeyDefn *fk = c->foreignKeys;
    while (fk) {
        ForeignKeyDefn *next = fk->next;
        free(fk->localColumn);
        free(fk->referenceColumn);
        free(fk->referenceTable);
        free(fk->name);
        free(fk);
        fk = next;
    }
    free(c);
}

TableDefn *CreateTableDefn(const char *name, const char *description, ColumnDefn **columns,
                           INT32 columnCount, ConstraintDefn *constraints)
{
    TableDefn *d = (TableDefn *)calloc(1, sizeof *d);
    if (d) {
        d->name = CopyText(name);
        d->description = CopyText(description);
    }
    if (!d || !name || !d->name || (description && !d->description)) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        if (d) {
            free(d->name);
            free(d->description);
            free(d);
        }
        for (INT32 i = 0; columns && i < columnCount; i++)
            FreeColumnDefn(columns[i]);
        free(columns);
        freeConstraints(constraints);
        return NULL;
    }
    d->columns = columns;
    d->columnCount = columns && columnCount > 0 ? columnCount : 0;
    d->constraints = constraints;
    return d;
}

BOOL AddTableDefn(TableDefn *defn)
{
    if (!defn)
        return FALSE;
    /* A second definition of a name is kept, as the dictionary files asked
     * for it, but every lookup finds the first: say so. */
    if (defn->name && GetTableDefn(defn->name))
        LogError("AddTableDefn : table %s is defined twice; lookups use the first definition\n",
                 defn->name);
    if (s_count == s_capacity) {
        INT32 cap = s_capacity ? s_capacity * 2 : 16;
        TableDefn **grown = (TableDefn **)realloc(s_defns, sizeof *grown * (size_t)cap);
        if (!grown) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return FALSE;
        }
        s_defns = grown;
        s_capacity = cap;
    }
    s_defns[s_count++] = defn;
    return TRUE;
}

TableDefn *GetTableDefn(const char *tableName)
{
    if (!tableName) {
        LogError("Table Name is NULL.\n");
        return NULL;
    }
    for (INT32 i = 0; i < s_count; i++)
        if (s_defns[i]->name && strcasecmp(s_defns[i]->name, tableName) == 0)
            return s_defns[i];
    return NULL;
}

void FreeColumnDefn(ColumnDefn *column)
{
    if (!column)
        return;
    free(column->name);
    free(column->defaultValue);
    free(column->generatorName);
    free(column->description);
    if (column->allowedValues) {
        char **v = column->allowedValues->values;
        if (v) {
            /* A range holds exactly two texts; a list ends with NULL. */
            if (column->allowedValues->rangeFlag) {
                free(v[0]);
                free(v[1]);
            } else {
                for (char **p = v; *p; p++)
                    free(*p);
            }
            free(v);
        }
        free(column->allowedValues);
    }
    free(column);
}

static void freeDefn(TableDefn *defn)
{
    free(defn->name);
    free(defn->description);
    for (INT32 i = 0; defn->columns && i < defn->columnCount; i++)
        FreeColumnDefn(defn->columns[i]);
    free(defn->columns);
    freeConstraints(defn->constraints);
    free(defn);
}

void FreeUnregisteredTableDefn(TableDefn *defn)
{
    if (defn)
        freeDefn(defn);
}

TableDefn **GetTableDefnRegistry(INT32 *count)
{
    if (count)
        *count = s_count;
    return s_defns;
}

BOOL FreeTableDefn(const char *tableName)
{
    if (!tableName)
        return FALSE;
    for (INT32 i = 0; i < s_count; i++) {
        if (s_defns[i]->name && strcasecmp(s_defns[i]->name, tableName) == 0) {
            TableDefn *d = s_defns[i];
            memmove(&s_defns[i], &s_defns[i + 1], sizeof *s_defns * (size_t)(s_count - i - 1));
            s_count--;
            freeDefn(d);
            return TRUE;
        }
    }
    return FALSE;
}

void FreeAllTableDefns(void)
{
    for (INT32 i = 0; i < s_count; i++)
        freeDefn(s_defns[i]);
    free(s_defns);
    s_defns = NULL;
    s_count = s_capacity = 0;
}
