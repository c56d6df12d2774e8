/* Building the select-query model: every record and copied text is carved
 * from the model's own pool, so a model is freed in one step. */
#include "records/sql/selectquery.h"
#include "records/base/coltypes.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

SelectQuery *CreateSelectQuery(void)
{
    MemPool *pool = CreateMemPool();
    SelectQuery *q = pool ? (SelectQuery *)MemPoolAlloc(pool, sizeof(SelectQuery)) : NULL;
    if (!q) {
        DestroyMemPool(pool);
        LogError("\nMEMORY ALLOCATION FOR SELECTQUERYPTR FAILED\n");
        return NULL;
    }
    q->pool = pool;
    q->sortAscending = 1;
    return q;
}

void FreeSelectQuery(SelectQuery *query)
{
    if (query)
        DestroyMemPool(query->pool);
}

/* Copies a text into the model's pool; FALSE only when a non-null text could
 * not be copied. */
static BOOL dup(SelectQuery *q, char **out, const char *text)
{
    *out = MemPoolStrdup(q->pool, text);
    return !text || *out;
}

static SqlColumnRef *makeRef(SelectQuery *q, const char *table, const char *alias,
                             const char *column, const char *output)
{
    SqlColumnRef *r = (SqlColumnRef *)MemPoolAlloc(q->pool, sizeof *r);
    if (!r || !dup(q, &r->tableName, table) || !dup(q, &r->tableAlias, alias)
        || !dup(q, &r->columnName, column) || !dup(q, &r->outputName, output))
        return NULL;
    return r;
}

static void appendRef(SqlColumnRef **head, SqlColumnRef *r)
{
    while (*head)
        head = &(*head)->next;
    *head = r;
}

BOOL AddSelectColumn(SelectQuery *query, const char *tableName, const char *tableAlias,
                     const char *columnName, const char *columnAlias, BYTE aggregate, BYTE type)
{
    if (!query)
        return FALSE;
    if (!columnName && aggregate == SQL_AGG_NONE) {
        LogError("\nColumn Name is NULL\n");
        return FALSE;
    }
    if (type >= BRN_SQL_LAST_TYPE) {
        LogError("\nInvalid Data Type\n");
        return FALSE;
    }
    SqlSelectColumn *c = (SqlSelectColumn *)MemPoolAlloc(query->pool, sizeof *c);
    if (!c || !dup(query, &c->tableName, tableName) || !dup(query, &c->tableAlias, tableAlias)
        || !dup(query, &c->columnName, columnName) || !dup(query, &c->columnAlias, columnAlias))
        return FALSE;
    c->aggregate = aggregate;
    c->type = type;
    SqlSelectColumn **p = &query->columns;
    while (*p)
        p = &(*p)->next;
    *p = c;
    return TRUE;
}

SqlJoin *AddSelectJoin(SelectQuery *query, const char *baseTable, const char *baseAlias,
                       const char *joinedTable, const char *joinedAlias, BYTE joinType)
{
    if (!query)
        return NULL;
    SqlJoin *j = (SqlJoin *)MemPoolAlloc(query->pool, sizeof *j);
    if (!j || !dup(query, &j->baseTable, baseTable) || !dup(query, &j->baseAlias, baseAlias)
        || !dup(query, &j->joinedTable, joinedTable) || !dup(query, &j->joinedAlias, joinedAlias))
        return NULL;
    j->joinType = joinType;
    SqlJoin **p = &query->joins;
    while (*p)
        p = &(*p)->next;
    *p = j;
    return j;
}

BOOL AddJoinColumnPair(SelectQuery *query, SqlJoin *join,
                       const char *leftTable, const char *leftAlias, const char *leftColumn,
                       const char *rightTable, const char *rightAlias, const char *rightColumn)
{
    if (!query || !join || !leftColumn || !rightColumn)
        return FALSE;
    SqlColumnRef *l = makeRef(query, leftTable, leftAlias, leftColumn, NULL);
    SqlColumnRef *r = makeRef(query, rightTable, rightAlias, rightColumn, NULL);
    if (!l || !r)
        return FALSE;
    appendRef(&join->leftColumns, l);
    appendRef(&join->rightColumns, r);
    return TRUE;
}

BOOL AddSelectTable(SelectQuery *query, const char *tableName, const char *alias)
{
    if (!query || !tableName)
        return FALSE;
    SqlTableRef *t = (SqlTableRef *)MemPoolAlloc(query->pool, sizeof *t);
    if (!t || !dup(query, &t->tableName, tableName) || !dup(query, &t->alias, alias))
        return FALSE;
    SqlTableRef **p = &query->tables;
    while (*p)
        p = &(*p)->next;
    *p = t;
    return TRUE;
}

SqlCriteriaNode *CreateCriteriaCompare(SelectQuery *query, const char *tableName,
                                       const char *tableAlias, const char *columnName,
                                       BYTE type, BYTE op, const void *value, INT32 size)
{
    if (!query)
        return NULL;
    if (!columnName) {
        LogError("\nEmpty Column Assigned\n");
        return NULL;
    }
    SqlCriteriaNode *n = (SqlCriteriaNode *)MemPoolAlloc(query->pool, sizeof *n);
    if (!n)
        return NULL;
    n->column = makeRef(query, tableName, tableAlias, columnName, NULL);
    if (!n->column)
        return NULL;
    if (value) {
        n->value = (BYTE *)MemPoolMemdup(query->pool, value, size > 0 ? (size_t)size : 0);
        if (!n->value)
            return NULL;
    }
    n->size = size;
    n->type = type;
    n->op = op;
    return n;
}

SqlCriteriaNode *CreateCriteriaJoin(SelectQuery *query, BYTE op,
                                    SqlCriteriaNode *left, SqlCriteriaNode *right)
{
    if (!query || !left || !right || (op != SQL_OP_AND && op != SQL_OP_OR))
        return NULL;
    SqlCriteriaNode *n = (SqlCriteriaNode *)MemPoolAlloc(query->pool, sizeof *n);
    if (!n)
        return NULL;
    n->op = op;
    n->left = left;
    n->right = right;
    left->parent = n;
    right->parent = n;
    return n;
}

BOOL AddGroupByColumn(SelectQuery *query, const char *tableName, const char *columnName,
                      const char *outputName)
{
    if (!query || (!columnName && !outputName))
        return FALSE;
    SqlColumnRef *r = makeRef(query, tableName, NULL, columnName, outputName);
    if (!r)
        return FALSE;
    appendRef(&query->groupBy, r);
    return TRUE;
}

BOOL SetHaving(SelectQuery *query, const char *tableName, const char *tableAlias,
               const char *columnName, BYTE aggregate, BYTE op, BYTE type,
               const void *value, INT32 size)
{
    if (!query)
        return FALSE;
    SqlHaving *h = (SqlHaving *)MemPoolAlloc(query->pool, sizeof *h);
    if (!h)
        return FALSE;
    h->column = makeRef(query, tableName, tableAlias, columnName, NULL);
    if (!h->column)
        return FALSE;
    if (value) {
        h->value = (BYTE *)MemPoolMemdup(query->pool, value, size > 0 ? (size_t)size : 0);
        if (!h->value)
            return FALSE;
    }
    h->size = size;
    h->type = type;
    h->aggregate = aggregate;
    h->op = op;
    query->having = h;
    return TRUE;
}

BOOL AddSortColumn(SelectQuery *query, const char *tableName, const char *tableAlias,
                   const char *columnName)
{
    if (!query || !columnName)
        return FALSE;
    SqlColumnRef *r = makeRef(query, tableName, tableAlias, columnName, NULL);
    if (!r)
        return FALSE;
    appendRef(&query->sort, r);
    return TRUE;
}

const char *SqlAggregateWord(BYTE aggregate)
{
    static const char *words[] = {"INVALID TYPE", "DISTINCT", "COUNT", "MIN", "MAX", "SUM", "AVG"};
    return aggregate <= SQL_AGG_AVG ? words[aggregate] : "INVALID TYPE";
}

const char *SqlOperatorWord(BYTE op)
{
    static const char *words[] = {"INVALID OPERATOR", "<", ">", "<=", ">=", "=", "!=",
                                  "AND", "OR", "LIKE", "BETWEEN"};
    return op <= SQL_OP_BETWEEN ? words[op] : "INVALID OPERATOR";
}
