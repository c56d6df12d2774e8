/* Binding and evaluation of criteria trees: each leaf's literal is converted
 * once (textvalue.h) and compared with the row's cell. */
#include "records/store/criteria.h"
#include "records/base/coltypes.h"
#include "records/base/textvalue.h"
#include "records/base/datetime.h"
#include "records/base/strutil.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

/* ASCII-only case folding, so that column names bind the same way whatever
 * the process's locale. */
static bool namesEqualFolded(const char *a, const char *b)
{
    for (;; a++, b++) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z')
            ca = (char)(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = (char)(cb - 'A' + 'a');
        if (ca != cb)
            return false;
        if (ca == '\0')
            return true;
    }
}

/* The types whose comparison can be true; for the others the leaf is false
 * and its literal is not converted at all. */
static bool isComparableType(BYTE type)
{
    switch (type) {
    case BRN_SQL_TINYINT:
    case BRN_SQL_UNSIGNED_TINYINT:
    case BRN_SQL_SMALLINT:
    case BRN_SQL_UNSIGNED_SMALLINT:
    case BRN_SQL_INT:
    case BRN_SQL_UNSIGNED_INT:
    case BRN_SQL_BIGINT:
    case BRN_SQL_FLOAT:
    case BRN_SQL_CHAR:
    case BRN_SQL_VARCHAR:
    case BRN_SQL_TEXT:
        return true;
    default:
        return false;
    }
}

/* Converts a leaf's literal for its column type. A text literal loses its
 * first and last characters (its quotes); one shorter than two characters
 * leaves an empty text. */
static BYTE *convertLiteral(const CriteriaNode *leaf, INT32 *size)
{
    if (IsTextColumnType(leaf->columnType)) {
        size_t length = strlen(leaf->literal);
        INT32 inner = length >= 2 ? (INT32)(length - 2) : 0;
        *size = inner;
        return CopyValueBuffer(length >= 2 ? leaf->literal + 1 : "", inner);
    }
    *size = 0;
    return ConvertTextToValue(leaf->literal, size, leaf->columnType);
}

static void bindNode(ColumnDefn **columns, INT32 columnCount, CriteriaNode *node)
{
    if (!node)
        return;
    bindNode(columns, columnCount, node->left);
    if (node->columnName && node->literal) {
        node->columnIndex = 0;
        node->columnType = 0;
        for (INT32 i = 0; i < columnCount; i++) {
            if (columns[i] && columns[i]->name && namesEqualFolded(columns[i]->name, node->columnName)) {
                node->columnIndex = i;
                node->columnType = columns[i]->type;
                break;
            }
        }
        free(node->boundValue);
        node->boundValue = NULL;
        node->boundSize = 0;
        node->bound = 0;
        if (isComparableType(node->columnType)) {
            node->boundValue = convertLiteral(node, &node->boundSize);
            node->bound = 1;
        }
    }
    bindNode(columns, columnCount, node->right);
}

BOOL BindCriteria(ColumnDefn **columns, INT32 columnCount, CriteriaNode *root)
{
    bindNode(columns, columnCount, root);
    return TRUE;
}

/* Sign of a three-way comparison turned into the leaf's operator result. */
static BOOL opHolds(BYTE op, int cmp)
{
    switch (op) {
    case CRITERIA_OP_LT: return cmp < 0;
    case CRITERIA_OP_GT: return cmp > 0;
    case CRITERIA_OP_LE: return cmp <= 0;
    case CRITERIA_OP_GE: return cmp >= 0;
    case CRITERIA_OP_EQ: return cmp == 0;
    case CRITERIA_OP_NE: return cmp != 0;
    default: return FALSE;
    }
}

/* Byte comparison as signed characters, stopping at the first difference or
 * at the end of the row's text. */
static int compareTextSigned(const char *rowText, const char *literal)
{
    const signed char *a = (const signed char *)rowText;
    const signed char *b = (const signed char *)literal;
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return (int)*a - (int)*b;
}

static BOOL evaluateLeaf(const RowObject *row, const CriteriaNode *leaf,
                         const BYTE *literal, INT32 literalSize)
{
    const BYTE *value = row->values[leaf->columnIndex];
    INT32 valueSize = row->sizes[leaf->columnIndex];
    /* A NULL cell satisfies no comparison, as in SQL. */
    if (!value || !literal)
        return FALSE;
    switch (leaf->columnType) {
    case BRN_SQL_TINYINT:
    case BRN_SQL_SMALLINT:
    case BRN_SQL_INT: {
        INT32 a = ReadInt32Value(value, valueSize), b = ReadInt32Value(literal, literalSize);
        return opHolds(leaf->op, a < b ? -1 : a > b ? 1 : 0);
    }
    case BRN_SQL_UNSIGNED_TINYINT:
    case BRN_SQL_UNSIGNED_SMALLINT:
    case BRN_SQL_UNSIGNED_INT: {
        UINT32 a = (UINT32)ReadInt32Value(value, valueSize);
        UINT32 b = (UINT32)ReadInt32Value(literal, literalSize);
        return opHolds(leaf->op, a < b ? -1 : a > b ? 1 : 0);
    }
    case BRN_SQL_BIGINT: {
        INT64 a = ReadInt64Value(value, valueSize), b = ReadInt64Value(literal, literalSize);
        return opHolds(leaf->op, a < b ? -1 : a > b ? 1 : 0);
    }
    case BRN_SQL_FLOAT: {
        float a = ReadFloatValue(value, valueSize), b = ReadFloatValue(literal, literalSize);
        if (isnan(a) || isnan(b))
            return leaf->op == CRITERIA_OP_NE;
        return opHolds(leaf->op, a < b ? -1 : a > b ? 1 : 0);
    }
    case BRN_SQL_CHAR:
    case BRN_SQL_VARCHAR:
    case BRN_SQL_TEXT:
        return opHolds(leaf->op, compareTextSigned((const char *)value, (const char *)literal));
    default:
        return FALSE;
    }
}

BOOL EvaluateCriteria(const RowObject *row, const CriteriaNode *root)
{
    if (!root)
        return TRUE;
    if (root->columnName && root->literal) {
        if (!row || !isComparableType(root->columnType))
            return FALSE;
        if (root->bound)
            return evaluateLeaf(row, root, root->boundValue, root->boundSize);
        /* A tree evaluated without BindCriteria's conversion converts here. */
        INT32 size = 0;
        BYTE *literal = convertLiteral(root, &size);
        BOOL result = evaluateLeaf(row, root, literal, size);
        free(literal);
        return result;
    }
    /* Both sides of AND/OR are pure tests, so stopping early gives the same
     * result as evaluating both. */
    if (root->op == CRITERIA_OP_AND)
        return EvaluateCriteria(row, root->left) && EvaluateCriteria(row, root->right);
    if (root->op == CRITERIA_OP_OR)
        return EvaluateCriteria(row, root->left) || EvaluateCriteria(row, root->right);
    return FALSE;
}
