/* SELECT from a select-query model, the construction shared by every
 * dialect: column list, joins, table list, criteria, group by with having,
 * sort, and the dialect's row limit and offset. */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

static void traceEntry(const SqlDialect *d, const char *part)
{
    LogTrace("@@@@@@@@@@@ - INSIDE %s%s - @@@@@@@@@@@@@", d->prefix, part);
}

/* "alias." or "table." or nothing. */
static void appendPrefix(SqlText *out, const char *alias, const char *table)
{
    if (alias)
        SqlTextAppendF(out, "%s.", alias);
    else if (table)
        SqlTextAppendF(out, "%s.", table);
}

/* " as %s " or, where the dialect writes no "as", " %s ". */
static void appendAlias(const SqlDialect *d, SqlText *out, const char *alias, const char *asForm)
{
    if (!alias)
        return;
    if (d->aliasWithAs)
        SqlTextAppendF(out, asForm, alias);
    else
        SqlTextAppendF(out, " %s ", alias);
}

BOOL SqlGenerateColumnsStr(const SqlDialect *d, const SelectQuery *q, SqlText *out)
{
    traceEntry(d, "GenerateColumnsStr");
    for (const SqlSelectColumn *c = q->columns; c; c = c->next) {
        if (c->aggregate == SQL_AGG_NONE) {
            appendPrefix(out, c->tableAlias, c->tableName);
            SqlTextAppend(out, c->columnName);
            if (c->columnAlias)
                SqlTextAppendF(out, " as %s ", c->columnAlias);
        } else if (c->columnName) {
            SqlTextAppendF(out, " %s(", SqlAggregateWord(c->aggregate));
            appendPrefix(out, c->tableAlias, c->tableName);
            SqlTextAppend(out, c->columnName);
            SqlTextAppend(out, ")");
            if (c->columnAlias)
                SqlTextAppendF(out, " as %s ", c->columnAlias);
        } else {
            SqlTextAppendF(out, " %s(*)", SqlAggregateWord(c->aggregate));
            if (c->columnAlias)
                SqlTextAppendF(out, " as %s ", c->columnAlias);
        }
        SqlTextAppend(out, c->next ? "," : " \n");
    }
    return TRUE;
}

BOOL SqlGenerateJoinsStr(const SqlDialect *d, const SelectQuery *q, SqlText *out)
{
    traceEntry(d, "GenerateJoinsStr");
    const SqlJoin *first = q->joins;
    if (!first)
        return TRUE;
    SqlTextAppendF(out, " %s ", first->baseTable ? first->baseTable : "");
    appendAlias(d, out, first->baseAlias, "as %s ");
    for (const SqlJoin *j = first; j; j = j->next) {
        if (j->joinType == SQL_JOIN_INNER)
            SqlTextAppend(out, " inner join ");
        else if (j->joinType == SQL_JOIN_LEFT)
            SqlTextAppend(out, " left join ");
        else {
            LogError("Invalid Join Type\n");
            return FALSE;
        }
        SqlTextAppendF(out, " %s ", j->joinedTable ? j->joinedTable : "");
        appendAlias(d, out, j->joinedAlias, "as %s ");
        if (j->leftColumns && j->rightColumns) {
            SqlTextAppend(out, " on ");
            const SqlColumnRef *l = j->leftColumns, *r = j->rightColumns;
            for (; l && r; l = l->next, r = r->next) {
                const char *lp = l->tableAlias ? l->tableAlias : l->tableName ? l->tableName
                               : j->baseAlias ? j->baseAlias : j->baseTable;
                const char *rp = r->tableAlias ? r->tableAlias : r->tableName ? r->tableName
                               : j->joinedAlias ? j->joinedAlias : j->joinedTable;
                appendPrefix(out, lp, NULL);
                SqlTextAppend(out, l->columnName);
                SqlTextAppend(out, " = ");
                appendPrefix(out, rp, NULL);
                SqlTextAppend(out, r->columnName);
                SqlTextAppend(out, l->next && r->next ? " and " : " ");
            }
        }
    }
    return TRUE;
}

BOOL SqlGenerateTableListStr(const SqlDialect *d, const SelectQuery *q, SqlText *out)
{
    traceEntry(d, "GenerateTableListStr");
    for (const SqlTableRef *t = q->tables; t; t = t->next) {
        SqlTextAppend(out, t->tableName);
        appendAlias(d, out, t->alias, " as %s ");
        SqlTextAppend(out, t->next ? ", " : "\n");
    }
    return TRUE;
}

static BOOL isQuotedCriteriaType(BYTE type)
{
    return type == BRN_SQL_CHAR || type == BRN_SQL_VARCHAR || type == BRN_SQL_DATE
        || type == BRN_SQL_TIME || type == BRN_SQL_DATETIME || type == BRN_SQL_BLOB;
}

/* A criteria value's own text: numbers, decimals included, through
 * ConvertValueToText (a decimal that is no number literal is refused, as
 * it is bare SQL), every other type (texts, dates given as text, the two
 * bounds of BETWEEN) as the bytes the caller gave. NULL when refused or out
 * of memory. */
static char *criteriaValueText(const BYTE *value, INT32 size, BYTE type, BYTE op)
{
    if (!value)
        return strdup("NULL");
    BOOL number = type >= BRN_SQL_TINYINT && type <= BRN_SQL_NUMERIC;
    if (number && op != SQL_OP_BETWEEN)
        return ConvertValueToText(value, size, type);
    size_t n = size > 0 ? (size_t)size : 0;
    const void *nul = memchr(value, 0, n);
    if (nul)
        n = (size_t)((const BYTE *)nul - value);
    char *text = (char *)malloc(n + 1);
    if (text) {
        memcpy(text, value, n);
        text[n] = '\0';
    }
    return text;
}

/* Writes one comparison value the dialect's way. */
static BOOL appendCriteriaValue(const SqlDialect *d, SqlText *out, const BYTE *value,
                                INT32 size, BYTE type, BYTE op)
{
    /* A BOOLEAN is the dialect's own literal in every dialect: its byte
     * written as it is would be no SQL at all. */
    if (type == BRN_SQL_BOOLEAN && value && op != SQL_OP_BETWEEN) {
        SqlTextAppendF(out, " %s ", value[0] == 1 ? d->boolTrue : d->boolFalse);
        return TRUE;
    }
    char *text = criteriaValueText(value, size, type, op);
    if (!text)
        return FALSE;
    if (d->criteriaValues != SQL_CRIT_AS_IS && value && op != SQL_OP_BETWEEN
        && isQuotedCriteriaType(type)) {
        SqlTextAppend(out, " ");
        d->quote(out, text);
        SqlTextAppend(out, " ");
    } else {
        SqlTextAppendF(out, " %s ", text);
    }
    free(text);
    return TRUE;
}

static BOOL criteriaNode(const SqlDialect *d, const SqlCriteriaNode *n, SqlText *out)
{
    if (!n)
        return TRUE;
    /* A nested AND/OR is bracketed: SQL binds AND tighter than OR, so the
     * tree's grouping would otherwise be lost. */
    BOOL logic = !n->column && (n->op == SQL_OP_AND || n->op == SQL_OP_OR);
    BOOL bracket = logic && n->parent;
    if (bracket)
        SqlTextAppend(out, " (");
    if (!criteriaNode(d, n->left, out))
        return FALSE;
    if (logic) {
        SqlTextAppendF(out, " %s ", SqlOperatorWord(n->op));
    } else if (n->column) {
        const char *p = n->column->tableAlias ? n->column->tableAlias : n->column->tableName;
        if (p)
            SqlTextAppendF(out, " %s.", p);
        else
            SqlTextAppend(out, " ");
        SqlTextAppend(out, n->column->columnName);
        SqlTextAppendF(out, " %s ", SqlOperatorWord(n->op));
        if (!appendCriteriaValue(d, out, n->value, n->size, n->type, n->op))
            return FALSE;
    }
    if (!criteriaNode(d, n->right, out))
        return FALSE;
    if (bracket)
        SqlTextAppend(out, ") ");
    return TRUE;
}

BOOL SqlGenerateCriteriaStr(const SqlDialect *d, const SelectQuery *q, SqlText *out)
{
    traceEntry(d, "GenerateCriteriaStr");
    traceEntry(d, "GenCriteriaString");
    return criteriaNode(d, q->criteria, out);
}

BOOL SqlGenerateGroupByStr(const SqlDialect *d, const SelectQuery *q, SqlText *out)
{
    traceEntry(d, "GenerateGroupByStr");
    if (!q->groupBy)
        return TRUE;
    SqlTextAppend(out, "group by ");
    for (const SqlColumnRef *c = q->groupBy; c; c = c->next) {
        if (c->outputName)
            SqlTextAppend(out, c->outputName);
        else if (c->tableName)
            SqlTextAppendF(out, "%s.%s", c->tableName, c->columnName);
        else
            SqlTextAppend(out, c->columnName);
        SqlTextAppend(out, c->next ? "," : "\n");
    }
    const SqlHaving *h = q->having;
    if (h && h->column) {
        SqlTextAppend(out, "having ");
        SqlTextAppendF(out, " %s(", SqlAggregateWord(h->aggregate));
        appendPrefix(out, h->column->tableAlias, h->column->tableName);
        SqlTextAppend(out, h->column->columnName ? h->column->columnName : "*");
        SqlTextAppend(out, ") ");
        SqlTextAppendF(out, " %s ", SqlOperatorWord(h->op));
        if (!appendCriteriaValue(d, out, h->value, h->size, h->type, h->op))
            return FALSE;
    }
    return TRUE;
}

BOOL SqlGenerateSortColumnStr(const SqlDialect *d, const SelectQuery *q, SqlText *out)
{
    traceEntry(d, "GenerateSortColumnStr");
    if (!q->sort)
        return TRUE;
    SqlTextAppend(out, "order by ");
    for (const SqlColumnRef *c = q->sort; c; c = c->next) {
        appendPrefix(out, c->tableAlias, c->tableName);
        SqlTextAppend(out, c->columnName);
        SqlTextAppend(out, c->next ? "," : " ");
    }
    SqlTextAppend(out, q->sortAscending ? " asc " : " desc ");
    return TRUE;
}

char *SqlGenSelectQuery(const SqlDialect *d, SelectQuery *query)
{
    if (!query)
        return NULL;
    SqlText out;
    SqlTextInit(&out);
    SqlTextAppend(&out, "select ");
    if (d->limitStyle == SQL_LIMIT_FIRST) {
        if (query->rowLimit)
            SqlTextAppendF(&out, "first %d ", (int)query->rowLimit);
        if (query->rowOffset)
            SqlTextAppendF(&out, "skip %d ", (int)query->rowOffset);
    }
    if (query->columns) {
        SqlGenerateColumnsStr(d, query, &out);
        SqlTextAppend(&out, "from ");
    } else {
        SqlTextAppend(&out, "* from ");
    }
    if (!query->joins && !query->tables) {
        LogError("\nNo Tables To Be Selected\n");
        SqlTextFree(&out);
        return NULL;
    }
    BOOL ok = TRUE;
    if (query->joins)
        ok = SqlGenerateJoinsStr(d, query, &out);
    if (ok && query->tables) {
        if (query->joins)
            SqlTextAppend(&out, ",");
        ok = SqlGenerateTableListStr(d, query, &out);
    }
    if (ok && query->criteria) {
        SqlTextAppend(&out, "where ");
        ok = SqlGenerateCriteriaStr(d, query, &out);
    }
    if (ok && query->groupBy)
        ok = SqlGenerateGroupByStr(d, query, &out);
    if (ok && query->sort)
        ok = SqlGenerateSortColumnStr(d, query, &out);
    if (ok && query->rowLimit) {
        if (d->limitStyle == SQL_LIMIT_TRAILING) {
            SqlTextAppendF(&out, "limit %d", (int)query->rowLimit);
            if (query->rowOffset)
                SqlTextAppendF(&out, " offset %d", (int)query->rowOffset);
        } else if (d->limitStyle == SQL_LIMIT_MYSQL) {
            SqlTextAppend(&out, "limit");
            if (query->rowOffset)
                SqlTextAppendF(&out, " %d ,", (int)query->rowOffset);
            SqlTextAppendF(&out, " %d", (int)query->rowLimit);
        }
    }
    if (!ok) {
        SqlTextFree(&out);
        return NULL;
    }
    char *text = SqlTextDetach(&out);
    if (!text) {
        LogError("@@@ Query String Copy falied @@@\n");
        return NULL;
    }
    LogTrace("\nSelect Query constructed is\n%s\n", text);
    return text;
}
