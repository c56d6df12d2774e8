/* The dictionary registry: every TableDefn of the process in the order they
 * were added, looked up by name without regard to letter case. Filled once at
 * framework start and read without locks afterwards. */
#include "records/tabledefn.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

static TableDefn **s_defns;
static INT32 s_count;
static INT32 s_capacity;

BOOL AddTableDefn(TableDefn *defn)
{
    if (!defn)
        return FALSE;
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
    for (INT32 i = 0; i < defn->columnCount; i++)
        FreeColumnDefn(defn->columns[i]);
    free(defn->columns);
    if (defn->constraints) {
        ConstraintDefn *c = defn->constraints;
        for (INT32 i = 0; i < c->primaryKeyCount; i++)
            free(c->primaryKeyColumns[i]);
        free(c->primaryKeyColumns);
        ForeignKeyDefn *fk = c->foreignKeys;
        while (fk) {
            ForeignKeyDefn *next = fk->next;
            free(fk->localColumn);
            free(fk->referenceColumn);
            free(fk->referenceTable);
            free(fk);
            fk = next;
        }
        free(c);
    }
    free(defn);
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
