/* The criteria language: texts such as "PARAM_NAME='RESOURCE_ID'" that
 * select rows of the table store. ParseCriteria builds a tree of comparison
 * leaves joined by AND and OR, BindCriteria resolves the leaves' column names
 * against a table's columns (and converts each literal once, for the whole
 * selection), EvaluateCriteria tests one row. Callers hold the criteria lock
 * from ParseCriteria to FreeCriteria. */
#ifndef VQ_RECORDS_STORE_CRITERIA_H
#define VQ_RECORDS_STORE_CRITERIA_H

#include <windows.h>

#include "records/dict/tabledefn.h"
#include "records/store/storerecords.h"

#define CRITERIA_OP_LT   1
#define CRITERIA_OP_GT   2
#define CRITERIA_OP_LE   3
#define CRITERIA_OP_GE   4
#define CRITERIA_OP_EQ   5
#define CRITERIA_OP_NE   6
#define CRITERIA_OP_AND  7
#define CRITERIA_OP_OR   8

typedef struct CriteriaNode {
    char *columnName;       /* leaf: owned; inner node: NULL */
    char *literal;          /* leaf: owned, exactly as scanned (quotes kept) */
    BYTE op;                /* CRITERIA_OP_* */
    INT32 columnIndex;      /* set by BindCriteria; 32-bit so wide tables never wrap */
    BYTE columnType;        /* set by BindCriteria; 0 = unbound or unknown column */
    struct CriteriaNode *left;
    struct CriteriaNode *right;
    struct CriteriaNode *parent;
    /* The literal converted to the column's type by BindCriteria, so that a
     * selection converts it once rather than once per row. For text columns
     * it holds the literal without its first and last characters. */
    BYTE *boundValue;
    INT32 boundSize;
    BYTE bound;
} CriteriaNode;

/* The lock-table key that serialises criteria parsing and evaluation. */
const void *GetCriteriaLockKey(void);

/* Parses one criteria text; NULL for a lexical or syntax error, a parse that
 * needs more than 10000 stack entries, a token longer than the scanner's
 * 16384-byte buffer, an empty text or NULL. Nothing is logged for these. */
CriteriaNode *ParseCriteria(const char *criteria);

/* Resolves every leaf against `columns` (names compared with A-Z folded);
 * a name that matches no column leaves index 0 and type 0, and that leaf is
 * false for every row. Always TRUE. */
BOOL BindCriteria(ColumnDefn **columns, INT32 columnCount, CriteriaNode *root);

/* TRUE when the row satisfies the tree; a NULL tree is TRUE. A leaf whose
 * cell is NULL is false, whatever the operator. */
BOOL EvaluateCriteria(const RowObject *row, const CriteriaNode *root);

/* Frees a tree; NULL is accepted. */
void FreeCriteria(CriteriaNode *root);

#endif
