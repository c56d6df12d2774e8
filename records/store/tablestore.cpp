/* The table registry, table and view creation, row changes and selection by
 * criteria. Rows are kept in insertion order in a singly linked list with a
 * tail reference, so appending stays constant-time however large the table
 * grows. */
#include "records/store/tablestore.h"
#include "records/store/criteria.h"
#include "records/store/storecolumns.h"

#include "agent/locktable.h"
#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>

static TableData **s_tables;
static INT32 s_tableCount;
static INT32 s_tableCapacity;

static BOOL registerTable(TableData *td)
{
    if (s_tableCount == s_tableCapacity) {
        INT32 cap = s_tableCapacity ? s_tableCapacity * 2 : 16;
        TableData **grown = (TableData **)realloc(s_tables, sizeof *grown * (size_t)cap);
        if (!grown)
            return FALSE;
        s_tables = grown;
        s_tableCapacity = cap;
    }
    s_tables[s_tableCount++] = td;
    return TRUE;
}

TableData *GetTableDataByName(const char *name)
{
    if (!name || s_tableCount == 0)
        return NULL;
    for (INT32 i = 0; i < s_tableCount; i++)
        if (s_tables[i]->name && StoreCompareNames(s_tables[i]->name, name) == 0)
            return s_tables[i];
    return NULL;
}

int SortTableByName(const void *a, const void *b)
{
    const TableData *ta = (const TableData *)a;
    const TableData *tb = (const TableData *)b;
    return strcmp(ta->name ? ta->name : "", tb->name ? tb->name : "");
}

BOOL RemoveTableDataFromRegistry(TableData *tableData)
{
    for (INT32 i = 0; i < s_tableCount; i++) {
        if (s_tables[i] == tableData) {
            memmove(&s_tables[i], &s_tables[i + 1],
                    sizeof *s_tables * (size_t)(s_tableCount - i - 1));
            s_tableCount--;
            return TRUE;
        }
    }
    return FALSE;
}

TableData **GetTableRegistry(INT32 *count)
{
    if (count)
        *count = s_tableCount;
    return s_tables;
}

static TableData *newTableData(const char *name, BYTE kind)
{
    TableData *td = (TableData *)calloc(1, sizeof *td);
    if (!td)
        return NULL;
    td->name = CopyText(name);
    if (!td->name) {
        free(td);
        return NULL;
    }
    td->kind = kind;
    return td;
}

BOOL CreateTable(const char *tableName)
{
    LogTrace("\t@@@@@ Inside CreateTable() @@@@@\n");
    if (!tableName)
        return FALSE;
    TableDefn *defn = GetTableDefn(tableName);
    if (!defn || GetTableDataByName(tableName))
        return FALSE;
    TableData *td = newTableData(tableName, TABLE_KIND_TABLE);
    if (!td)
        return FALSE;
    td->tableDefn = defn;
    td->columnCount = defn->columnCount;
    if (!registerTable(td)) {
        free(td->name);
        free(td);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateCustomViewData(const char *viewName, CustomViewDefn *viewDefn)
{
    LogTrace("\t@@@@@ Inside CreateCustomViewData() @@@@@\n");
    if (!viewName || !viewDefn || GetTableDataByName(viewName))
        return FALSE;
    TableData *td = newTableData(viewName, TABLE_KIND_VIEW);
    if (!td)
        return FALSE;
    td->viewDefn = viewDefn;
    td->columnCount = viewDefn->columnCount;
    if (!registerTable(td)) {
        free(td->name);
        free(td);
        return FALSE;
    }
    return TRUE;
}

CustomViewDefn *CreateCustomViewDefn(BYTE tableCount, char **tableNames,
                                     ViewColumnDefn **viewColumns, INT32 viewColumnCount)
{
    LogTrace("\t@@@@@ Inside CreateCustomViewDefn() @@@@@\n");
    CustomViewDefn *v = (CustomViewDefn *)calloc(1, sizeof *v);
    if (v && tableCount > 0)
        v->tableNames = (char **)calloc(tableCount, sizeof(char *));
    if (v && viewColumnCount > 0)
        v->columns = (ViewColumnDefn **)calloc((size_t)viewColumnCount, sizeof(ViewColumnDefn *));
    bool ok = v && (tableCount == 0 || v->tableNames) && (viewColumnCount <= 0 || v->columns);
    for (BYTE i = 0; ok && i < tableCount; i++) {
        v->tableNames[i] = CopyText(tableNames ? tableNames[i] : NULL);
        ok = v->tableNames[i] != NULL;
    }
    if (!ok) {
        LogError("Could not allocate memory for CustomViewDefn\n");
        if (v) {
            for (BYTE i = 0; v->tableNames && i < tableCount; i++)
                free(v->tableNames[i]);
            free(v->tableNames);
            free(v->columns);
            free(v);
        }
        return NULL;
    }
    v->tableCount = tableCount;
    for (INT32 i = 0; i < viewColumnCount; i++)
        v->columns[i] = viewColumns[i];
    v->columnCount = viewColumnCount > 0 ? viewColumnCount : 0;
    return v;
}

ViewColumnDefn *CreateViewColumnDefn(const char *name, const char *secondName,
                                     BYTE flag, ColumnDefn *columnDefn)
{
    LogTrace("\t@@@@@ Inside CreateViewColumnDefn() @@@@@\n");
    ViewColumnDefn *vc = (ViewColumnDefn *)calloc(1, sizeof *vc);
    if (vc) {
        vc->name = CopyText(name);
        vc->secondName = CopyText(secondName);
    }
    if (!vc || (name && !vc->name) || (secondName && !vc->secondName)) {
        LogError("Could not allocate memory for ViewColumnDefn\n");
        if (vc) {
            free(vc->name);
            free(vc->secondName);
            free(vc);
        }
        return NULL;
    }
    vc->flag = flag;
    vc->columnDefn = columnDefn;
    return vc;
}

RowObject *CreateNewRowObject(BYTE **values, INT32 *sizes)
{
    LogTrace("\t@@@@@ Inside CreateNewRowObject() @@@@@\n");
    RowObject *row = (RowObject *)malloc(sizeof *row);
    if (!row)
        return NULL;
    row->values = values;
    row->sizes = sizes;
    row->flags = ROW_FLAG_NEW;
    row->next = NULL;
    return row;
}

static StoreIdentifierSource s_identifierSource;
static StoreRowChangeHook s_rowChangeHook;

StoreIdentifierSource SetStoreIdentifierSource(StoreIdentifierSource source)
{
    StoreIdentifierSource old = s_identifierSource;
    s_identifierSource = source;
    return old;
}

StoreRowChangeHook SetStoreRowChangeHook(StoreRowChangeHook hook)
{
    StoreRowChangeHook old = s_rowChangeHook;
    s_rowChangeHook = hook;
    return old;
}

DWORD GenerateStoreIdentifier(const char *tableName, ColumnDefn *column)
{
    StoreIdentifierSource source = s_identifierSource;
    if (!source)
        return STORE_NO_IDENTIFIER;
    return source(tableName, column);
}

static void rowChanged(RowObject *row, const char *tableName)
{
    StoreRowChangeHook hook = s_rowChangeHook;
    if (hook)
        hook(row, tableName);
}

/* Stores a generated identifier in the column's own holding: eight bytes
 * for the 64-bit codes, the 32-bit buffer for every other code. */
static BOOL storeGeneratedId(RowObject *row, INT32 i, BYTE type, DWORD id)
{
    BYTE *buf;
    INT32 size;
    if (type == BRN_SQL_BIGINT || type == BRN_SQL_UNSIGNED_LONG_INT) {
        INT64 v = (INT64)id;
        size = 8;
        buf = CopyValueBuffer(&v, size);
    } else {
        size = 4;
        buf = CopyValueBuffer(&id, size);
    }
    if (!buf)
        return FALSE;
    row->values[i] = buf;
    row->sizes[i] = size;
    return TRUE;
}

BOOL AddNewRow(const char *tableName, RowObject *row)
{
    LogTrace("@@@ Inside AddNewRow @@@\n");
    TableData *td = GetTableDataByName(tableName);
    if (!td || !row)
        return FALSE;
    INT32 columns = StoreColumnCount(td->tableDefn, td->viewDefn);
    if (columns <= 0)
        return FALSE;
    if (td->kind == TABLE_KIND_TABLE && td->tableDefn) {
        for (INT32 i = 0; i < columns; i++) {
            ColumnDefn *col = td->tableDefn->columns[i];
            if (!col || row->values[i])
                continue;
            if (col->generatorName) {
                DWORD id = GenerateStoreIdentifier(tableName, col);
                /* A failed generation is not an identifier: the cell stays
                 * NULL (and may take the default below). */
                if (id == STORE_NO_IDENTIFIER)
                    LogError("AddNewRow : no identifier generated for %s.%s\n",
                             td->name, col->name ? col->name : "");
                else
                    storeGeneratedId(row, i, col->type, id);
            }
            if (!row->values[i] && col->defaultValue) {
                BYTE *copy = CopyValueBuffer(col->defaultValue, col->defaultSize);
                if (copy) {
                    row->values[i] = copy;
                    row->sizes[i] = col->defaultSize;
                }
            }
        }
    }
    row->next = NULL;
    if (td->lastRow)
        td->lastRow->next = row;
    else
        td->firstRow = row;
    td->lastRow = row;
    td->rowCount++;
    rowChanged(row, tableName);
    return TRUE;
}

BOOL UpdateRowObject(const char *tableName, RowObject *row, const char *columnName,
                     const void *value, INT32 size)
{
    LogTrace("@@@ Inside UpdateRowObject @@@\n");
    TableData *td = GetTableDataByName(tableName);
    if (!td)
        return FALSE;
    if (!row) {
        LogError("\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n");
        return FALSE;
    }
    if (!columnName)
        return FALSE;
    if (td->kind == TABLE_KIND_TABLE && td->tableDefn && td->tableDefn->constraints) {
        ConstraintDefn *c = td->tableDefn->constraints;
        for (INT32 k = 0; k < c->primaryKeyCount; k++) {
            if (c->primaryKeyColumns[k] && StoreCompareNames(c->primaryKeyColumns[k], columnName) == 0) {
                LogError("@@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n");
                return FALSE;
            }
        }
    }
    INT32 index = StoreColumnIndex(td->kind == TABLE_KIND_TABLE ? td->tableDefn : NULL,
                                   td->kind == TABLE_KIND_VIEW ? td->viewDefn : NULL, columnName);
    if (index < 0 || size < 0 || (size > 0 && !value))
        return FALSE;
    BYTE *buf = CopyValueBuffer(value, size);
    if (!buf)
        return FALSE;
    BYTE *old = row->values[index];
    row->values[index] = buf;
    row->sizes[index] = size;
    row->flags |= ROW_FLAG_MODIFIED;
    rowChanged(row, tableName);
    free(old);
    return TRUE;
}

void FreeRowObject(RowObject *row, INT32 columnCount)
{
    if (!row)
        return;
    if (row->values)
        for (INT32 i = 0; i < columnCount; i++)
            free(row->values[i]);
    free(row->values);
    free(row->sizes);
    free(row);
}

BOOL DeleteRowObject(const char *tableName, RowObject *row)
{
    LogTrace("@@@ Inside DeleteRowObject @@@\n");
    if (!row)
        return FALSE;
    if (row->flags & ROW_FLAG_STORED) {
        /* The database still holds it: mark it for the next save. */
        row->flags |= ROW_FLAG_DELETED;
        return TRUE;
    }
    if (!UnlinkRowObject(tableName, row))
        return FALSE;
    ReleaseUnlinkedRowObject(tableName, row);
    return TRUE;
}

BOOL UnlinkRowObject(const char *tableName, RowObject *row)
{
    TableData *td = GetTableDataByName(tableName);
    if (!td || !row)
        return FALSE;
    RowObject *prev = NULL;
    RowObject *cur = td->firstRow;
    while (cur && cur != row) {
        prev = cur;
        cur = cur->next;
    }
    if (!cur)
        return FALSE;
    if (prev)
        prev->next = cur->next;
    else
        td->firstRow = cur->next;
    if (td->lastRow == cur)
        td->lastRow = prev;
    cur->next = NULL;
    return TRUE;
}

void ReleaseUnlinkedRowObject(const char *tableName, RowObject *row)
{
    TableData *td = GetTableDataByName(tableName);
    if (!td || !row)
        return;
    rowChanged(row, tableName);
    FreeRowObject(row, td->columnCount);
}

BOOL DeleteAllTableRowObjects(const char *tableName)
{
    LogTrace("\t@@@@@ Inside DeleteAllTableRowObjects() @@@@@\n");
    if (!tableName) {
        LogError("\t tableName NULL \n");
        return FALSE;
    }
    TableData *td = GetTableDataByName(tableName);
    if (!td) {
        LogError("\t GetTableDataByName returned NULL \n");
        return FALSE;
    }
    if (StoreColumnCount(td->tableDefn, td->viewDefn) <= 0)
        return FALSE;
    RowObject *row = td->firstRow;
    while (row) {
        RowObject *next = row->next;
        DeleteRowObject(tableName, row);
        row = next;
    }
    return TRUE;
}

ResultData *CreateResultData(INT32 rowCount, INT32 columnCount, TableData *tableData)
{
    LogTrace("\t@@@@@ Inside CreateResultData() @@@@@\n");
    ResultData *r = (ResultData *)calloc(1, sizeof *r);
    if (!r)
        return NULL;
    r->rowCount = rowCount;
    r->columnCount = columnCount;
    if (tableData) {
        r->kind = tableData->kind;
        r->tableDefn = tableData->kind == TABLE_KIND_TABLE ? tableData->tableDefn : NULL;
        r->viewDefn = tableData->kind == TABLE_KIND_VIEW ? tableData->viewDefn : NULL;
    }
    return r;
}

BOOL AddRowToResultData(RowObject *row, ResultData *result)
{
    if (!result)
        return FALSE;
    ResultEntry *e = (ResultEntry *)malloc(sizeof *e);
    if (!e)
        return FALSE;
    e->row = row;
    e->next = NULL;
    /* While a result is being built its cursor is the tail. */
    if (result->cursor)
        result->cursor->next = e;
    else if (result->first) {
        ResultEntry *tail = result->first;
        while (tail->next)
            tail = tail->next;
        tail->next = e;
    } else
        result->first = e;
    result->cursor = e;
    result->rowCount++;
    return TRUE;
}

void FreeResultData(ResultData *result)
{
    if (!result)
        return;
    ResultEntry *e = result->first;
    while (e) {
        ResultEntry *next = e->next;
        free(e);
        e = next;
    }
    free(result);
}

ResultData *SelectRows(const char *tableName, const char *criteria)
{
    LogTrace("\t@@@@@ Inside SelectRows() @@@@@\n");
    TableData *td = GetTableDataByName(tableName);
    if (!td)
        return NULL;
    if (!criteria) {
        ResultData *all = CreateResultData(0, td->columnCount, td);
        if (!all)
            return NULL;
        for (RowObject *row = td->firstRow; row; row = row->next) {
            if (!AddRowToResultData(row, all)) {
                LogError("not able to Add row \n");
                FreeResultData(all);
                return NULL;
            }
        }
        all->cursor = NULL;
        return all;
    }

    const void *lockKey = GetCriteriaLockKey();
    if (!AcquireLock(lockKey))
        return NULL;
    ResultData *result = NULL;
    CriteriaNode *tree = ParseCriteria(criteria);
    if (tree && td->kind == TABLE_KIND_TABLE && td->tableDefn
        && StoreColumnCount(td->tableDefn, NULL) > 0) {
        BindCriteria(td->tableDefn->columns, td->tableDefn->columnCount, tree);
        result = CreateResultData(0, td->columnCount, td);
        for (RowObject *row = td->firstRow; result && row; row = row->next) {
            if (EvaluateCriteria(row, tree) && !AddRowToResultData(row, result)) {
                LogError("not able to Add row \n");
                FreeResultData(result);
                result = NULL;
            }
        }
        if (result)
            result->cursor = NULL;
    }
    FreeCriteria(tree);
    ReleaseLock(lockKey);
    return result;
}

BOOL DeleteRowObjectByCriteria(const char *tableName, const char *criteria)
{
    LogTrace("\t@@@@@ Inside DeleteRowObjectByCriteria() @@@@@\n");
    if (!criteria)
        return FALSE;
    TableData *td = GetTableDataByName(tableName);
    if (!td)
        return FALSE;
    const void *lockKey = GetCriteriaLockKey();
    if (!AcquireLock(lockKey))
        return FALSE;
    BOOL ok = FALSE;
    CriteriaNode *tree = ParseCriteria(criteria);
    if (tree && td->kind == TABLE_KIND_TABLE && td->tableDefn
        && StoreColumnCount(td->tableDefn, NULL) > 0) {
        BindCriteria(td->tableDefn->columns, td->tableDefn->columnCount, tree);
        RowObject *row = td->firstRow;
        while (row) {
            RowObject *next = row->next;
            if (EvaluateCriteria(row, tree))
                DeleteRowObject(tableName, row);
            row = next;
        }
        ok = TRUE;
    }
    FreeCriteria(tree);
    ReleaseLock(lockKey);
    return ok;
}

ResultData *SelectRowByRowIdx(const char *tableName, INT32 index)
{
    LogTrace("\t@@@@@ Inside SelectRowByRowIdx() @@@@@\n");
    TableData *td = GetTableDataByName(tableName);
    if (!td || index > td->rowCount)
        return NULL;
    if (index < 1)
        index = 1;
    ResultData *r = CreateResultData(0, td->columnCount, td);
    if (!r)
        return NULL;
    /* The row count is not reduced by deletions, so the list may be shorter
     * than it says: walking off its end gives an empty result. */
    RowObject *row = td->firstRow;
    for (INT32 i = 1; row && i < index; i++)
        row = row->next;
    if (row && !AddRowToResultData(row, r)) {
        FreeResultData(r);
        return NULL;
    }
    r->cursor = NULL;
    return r;
}

void FreeCustomViewDefn(CustomViewDefn *viewDefn)
{
    if (!viewDefn)
        return;
    for (INT32 i = 0; viewDefn->columns && i < viewDefn->columnCount; i++) {
        ViewColumnDefn *vc = viewDefn->columns[i];
        if (vc) {
            free(vc->name);
            free(vc->secondName);
            free(vc);
        }
    }
    free(viewDefn->columns);
    for (BYTE i = 0; viewDefn->tableNames && i < viewDefn->tableCount; i++)
        free(viewDefn->tableNames[i]);
    free(viewDefn->tableNames);
    free(viewDefn);
}

void FreeTableData(TableData *tableData)
{
    LogTrace("\t@@@@@ Inside FreeTableData() @@@@@\n");
    if (!tableData)
        return;
    LogTrace("\t %s is being freed\n", tableData->name ? tableData->name : "");
    RowObject *row = tableData->firstRow;
    while (row) {
        RowObject *next = row->next;
        FreeRowObject(row, tableData->columnCount);
        row = next;
    }
    if (tableData->kind == TABLE_KIND_VIEW)
        FreeCustomViewDefn(tableData->viewDefn);
    free(tableData->name);
    free(tableData);
}
