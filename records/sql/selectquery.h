/* The select-query model that the SQL generators turn into a SELECT: select
 * columns with aggregates, joins, tables, a criteria tree, grouping with a
 * having condition, sorting and row limits. Every part of a model lives in
 * the model's own memory pool; freeing the model frees it all at once. */
#ifndef VQ_RECORDS_SQL_SELECTQUERY_H
#define VQ_RECORDS_SQL_SELECTQUERY_H

#include <windows.h>

#include "records/base/mempool.h"

/* Aggregate codes of a select column or a having condition. */
#define SQL_AGG_NONE     0
#define SQL_AGG_DISTINCT 1
#define SQL_AGG_COUNT    2
#define SQL_AGG_MIN      3
#define SQL_AGG_MAX      4
#define SQL_AGG_SUM      5
#define SQL_AGG_AVG      6

/* Operator codes of a query criteria node. */
#define SQL_OP_LT      1
#define SQL_OP_GT      2
#define SQL_OP_LE      3
#define SQL_OP_GE      4
#define SQL_OP_EQ      5
#define SQL_OP_NE      6
#define SQL_OP_AND     7
#define SQL_OP_OR      8
#define SQL_OP_LIKE    9
#define SQL_OP_BETWEEN 10

#define SQL_JOIN_INNER 0
#define SQL_JOIN_LEFT  1

typedef struct SqlColumnRef {
    char *tableName;
    char *tableAlias;
    char *columnName;
    char *outputName;       /* group by only: written instead of table.column */
    struct SqlColumnRef *next;
} SqlColumnRef;

typedef struct SqlSelectColumn {
    char *tableName;
    char *tableAlias;
    char *columnName;
    char *columnAlias;
    BYTE aggregate;         /* SQL_AGG_* */
    BYTE type;
    struct SqlSelectColumn *next;
} SqlSelectColumn;

typedef struct SqlJoin {
    char *baseTable;
    char *baseAlias;
    char *joinedTable;
    char *joinedAlias;
    BYTE joinType;          /* SQL_JOIN_* */
    SqlColumnRef *leftColumns;
    SqlColumnRef *rightColumns;  /* paired with leftColumns by position */
    struct SqlJoin *next;
} SqlJoin;

typedef struct SqlTableRef {
    char *tableName;
    char *alias;
    struct SqlTableRef *next;
} SqlTableRef;

typedef struct SqlCriteriaNode {
    SqlColumnRef *column;   /* NULL for AND / OR */
    BYTE type;              /* the column's type code */
    BYTE *value;
    INT32 size;
    BYTE op;                /* SQL_OP_* */
    struct SqlCriteriaNode *left;
    struct SqlCriteriaNode *right;
    struct SqlCriteriaNode *parent;
} SqlCriteriaNode;

typedef struct SqlHaving {
    SqlColumnRef *column;
    BYTE aggregate;
    BYTE op;
    BYTE *value;
    INT32 size;
    BYTE type;
} SqlHaving;

typedef struct SelectQuery {
    MemPool *pool;
    SqlSelectColumn *columns;
    SqlJoin *joins;
    SqlTableRef *tables;
    SqlCriteriaNode *criteria;
    SqlColumnRef *groupBy;
    SqlHaving *having;
    SqlColumnRef *sort;
    BYTE sortAscending;     /* non-zero ascending */
    INT32 rowLimit;         /* 0 none */
    INT32 rowOffset;        /* 0 none */
} SelectQuery;

/* A new empty model with its own pool; NULL with ERROR "\nMEMORY ALLOCATION
 * FOR SELECTQUERYPTR FAILED\n". */
SelectQuery *CreateSelectQuery(void);

/* Frees the model and everything built in it; NULL is accepted. */
void FreeSelectQuery(SelectQuery *query);

/* Appends a select column. Needs a column name or an aggregate (ERROR
 * "\nColumn Name is NULL\n") and a type below 22 (ERROR "\nInvalid Data
 * Type\n"). Any name may be NULL. */
BOOL AddSelectColumn(SelectQuery *query, const char *tableName, const char *tableAlias,
                     const char *columnName, const char *columnAlias, BYTE aggregate, BYTE type);

/* Appends a join with no column pairs yet; the join, or NULL. */
SqlJoin *AddSelectJoin(SelectQuery *query, const char *baseTable, const char *baseAlias,
                       const char *joinedTable, const char *joinedAlias, BYTE joinType);

/* Appends one column pair to the join's condition. */
BOOL AddJoinColumnPair(SelectQuery *query, SqlJoin *join,
                       const char *leftTable, const char *leftAlias, const char *leftColumn,
                       const char *rightTable, const char *rightAlias, const char *rightColumn);

BOOL AddSelectTable(SelectQuery *query, const char *tableName, const char *alias);

/* A comparison node holding a copy of `size` bytes of `value`; NULL with
 * ERROR "\nEmpty Column Assigned\n" without a column name. */
SqlCriteriaNode *CreateCriteriaCompare(SelectQuery *query, const char *tableName,
                                       const char *tableAlias, const char *columnName,
                                       BYTE type, BYTE op, const void *value, INT32 size);

/* An AND or OR node that becomes the parent of both subtrees. */
SqlCriteriaNode *CreateCriteriaJoin(SelectQuery *query, BYTE op,
                                    SqlCriteriaNode *left, SqlCriteriaNode *right);

/* Appends a group-by column (outputName may be NULL). */
BOOL AddGroupByColumn(SelectQuery *query, const char *tableName, const char *columnName,
                      const char *outputName);

/* Sets the having condition. */
BOOL SetHaving(SelectQuery *query, const char *tableName, const char *tableAlias,
               const char *columnName, BYTE aggregate, BYTE op, BYTE type,
               const void *value, INT32 size);

/* Appends a sort column. */
BOOL AddSortColumn(SelectQuery *query, const char *tableName, const char *tableAlias,
                   const char *columnName);

/* The SQL words of the codes ("INVALID TYPE" / "INVALID OPERATOR" for codes
 * without one). */
const char *SqlAggregateWord(BYTE aggregate);
const char *SqlOperatorWord(BYTE op);

#endif
