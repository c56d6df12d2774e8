/* Reading a ResultData: the cursor, column values of the cursor's row,
 * column names and types, and sorting the entries by an integer column. */
#include "records/store/tablestore.h"
#include "records/store/storecolumns.h"

#include "agent/log.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

RowObject *GotoNextRowObject(ResultData *result)
{
    if (!result)
        return NULL;
    result->cursor = result->cursor ? result->cursor->next : result->first;
    return result->cursor ? result->cursor->row : NULL;
}

void ResetResultDataCursor(ResultData *result)
{
    if (result)
        result->cursor = NULL;
}

BYTE *GetColumnValueByName(const char *columnName, INT32 *size, ResultData *result)
{
    LogTrace("\t@@@@@ GetColumnValueByName() @@@@@\n");
    if (!result || !result->cursor || !result->cursor->row)
        return NULL;
    INT32 index = StoreColumnIndex(result->kind == TABLE_KIND_TABLE ? result->tableDefn : NULL,
                                   result->kind == TABLE_KIND_VIEW ? result->viewDefn : NULL,
                                   columnName);
    if (index < 0)
        return NULL;
    RowObject *row = result->cursor->row;
    if (size)
        *size = row->sizes[index];
    return row->values[index];
}

BYTE *GetColumnValue(const char *tableName, const char *columnName, const char *criteria,
                     INT32 *size)
{
    LogTrace("\t@@@@@ Inside GetColumnValue() @@@@@\n");
    ResultData *result = SelectRows(tableName, criteria);
    if (!result) {
        LogError("Error in executing SelectRows(%s,%s)\n", tableName ? tableName : "(null)",
                 criteria ? criteria : "(null)");
        return NULL;
    }
    if (!GotoNextRowObject(result)) {
        LogTrace("No such row available in the %s for %s", tableName ? tableName : "(null)",
                 criteria ? criteria : "(null)");
        FreeResultData(result);
        return NULL;
    }
    BYTE *value = GetColumnValueByName(columnName, size, result);
    FreeResultData(result);
    if (!value) {
        LogError("columnValue is NULL for :%s\n", columnName ? columnName : "(null)");
        return NULL;
    }
    return value;
}

BYTE GetColumnTypeByName(const char *columnName, ResultData *result)
{
    LogTrace("\t@@@@@ Inside GetColumnTypeByName() @@@@@\n");
    if (!result || !columnName)
        return 0;
    if (result->kind == TABLE_KIND_TABLE && result->tableDefn) {
        INT32 i = StoreColumnIndex(result->tableDefn, NULL, columnName);
        return i < 0 ? 0 : result->tableDefn->columns[i]->type;
    }
    if (result->kind == TABLE_KIND_VIEW && result->viewDefn) {
        /* A view column is found by the name of its underlying column. */
        for (INT32 i = 0; i < result->viewDefn->columnCount; i++) {
            ViewColumnDefn *vc = result->viewDefn->columns[i];
            if (vc && vc->columnDefn && vc->columnDefn->name
                && StoreCompareNames(vc->columnDefn->name, columnName) == 0)
                return vc->columnDefn->type;
        }
    }
    return 0;
}

const char *GetColumnNameByIndex(INT32 index, ResultData *result)
{
    LogTrace("\t@@@@@ Inside GetColumnNameByIndex() @@@@@\n");
    if (!result)
        return NULL;
    return StoreColumnName(result->kind == TABLE_KIND_TABLE ? result->tableDefn : NULL,
                           result->kind == TABLE_KIND_VIEW ? result->viewDefn : NULL, index);
}

const char *GetTableNameFromResultData(ResultData *result)
{
    LogTrace("\t@@@@@ Inside GetTableNameFromResultData() @@@@@\n");
    if (!result)
        return NULL;
    if (result->kind == TABLE_KIND_TABLE && result->tableDefn)
        return result->tableDefn->name;
    if (result->kind == TABLE_KIND_VIEW && result->viewDefn && result->viewDefn->tableCount > 0)
        return result->viewDefn->tableNames[0];
    return NULL;
}

const char *GetTableNameOfView(const char *name)
{
    LogTrace("\t@@@@@ Inside GetTableNameOfView() @@@@@\n");
    TableData *td = GetTableDataByName(name);
    if (td && td->kind == TABLE_KIND_VIEW && td->viewDefn && td->viewDefn->tableCount > 0)
        return td->viewDefn->tableNames[0];
    return name;
}

/* One entry to sort and its key. A NULL cell sorts below every value; a
 * cell shorter than four bytes is read without going past its end. */
typedef struct SortItem {
    INT64 key;
    ResultEntry *entry;
} SortItem;

/* A stable bottom-up merge sort: equal keys keep their order, which is the
 * order the adjacent-swap sort this replaces produced, in O(n log n). */
static BOOL stableSort(SortItem *items, INT32 n, bool ascending)
{
    SortItem *tmp = (SortItem *)malloc(sizeof *tmp * (size_t)n);
    if (!tmp)
        return FALSE;
    SortItem *src = items, *dst = tmp;
    for (INT32 width = 1; width < n; width *= 2) {
        for (INT32 lo = 0; lo < n; lo += 2 * width) {
            INT32 mid = lo + width < n ? lo + width : n;
            INT32 hi = lo + 2 * width < n ? lo + 2 * width : n;
            INT32 i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                /* Take from the right only when the pair would be swapped. */
                bool takeRight = ascending ? src[i].key > src[j].key : src[i].key < src[j].key;
                dst[k++] = takeRight ? src[j++] : src[i++];
            }
            while (i < mid)
                dst[k++] = src[i++];
            while (j < hi)
                dst[k++] = src[j++];
        }
        SortItem *t = src;
        src = dst;
        dst = t;
    }
    if (src != items)
        memcpy(items, src, sizeof *items * (size_t)n);
    free(tmp);
    return TRUE;
}

BOOL SortResultSet(ResultData *result, const char *columnName, BYTE order)
{
    LogTrace("\t@@@@@ Inside SortResultSet() @@@@@\n");
    if (!result || !columnName || (!result->tableDefn && !result->viewDefn))
        return FALSE;
    INT32 column = StoreColumnIndex(result->kind == TABLE_KIND_TABLE ? result->tableDefn : NULL,
                                    result->kind == TABLE_KIND_VIEW ? result->viewDefn : NULL,
                                    columnName);
    if (column < 0)
        return FALSE;
    /* Nothing to order is not a failure. */
    if (!result->first)
        return TRUE;
    if (!result->first->next) {
        if (result->rowCount == 1) {
            LogDebug("Number of Rows is 1 for the Relvar to be Sorted \n");
            return TRUE;
        }
        return FALSE;
    }
    /* Only the first row-count entries take part, as in the pass-bounded
     * adjacent-swap sort; entries beyond them keep their place. */
    INT32 n = 0;
    for (ResultEntry *e = result->first; e && n < result->rowCount; e = e->next)
        n++;
    if (n < 2)
        return TRUE;
    SortItem *items = (SortItem *)malloc(sizeof *items * (size_t)n);
    if (!items)
        return FALSE;
    ResultEntry *e = result->first;
    for (INT32 i = 0; i < n; i++, e = e->next) {
        const RowObject *row = e->row;
        const BYTE *value = row ? row->values[column] : NULL;
        items[i].key = value ? (INT64)ReadInt32Value(value, row->sizes[column]) : INT64_MIN;
        items[i].entry = e;
    }
    ResultEntry *rest = e;
    if (!stableSort(items, n, order == SORT_ORDER_ASCENDING)) {
        free(items);
        return FALSE;
    }
    result->first = items[0].entry;
    for (INT32 i = 0; i + 1 < n; i++)
        items[i].entry->next = items[i + 1].entry;
    items[n - 1].entry->next = rest;
    free(items);
    return TRUE;
}
