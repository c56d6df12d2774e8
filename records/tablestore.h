/* The framework's in-memory relational store: every table or custom view of
 * the process as a TableData holding a singly linked list of rows, the
 * process-wide table registry, row changes, selection by criteria into a
 * ResultData with a cursor, sorting, and release. Not locked: callers use
 * the store from one thread at a time (only criteria handling is serialised,
 * by the criteria lock). */
#ifndef VQ_RECORDS_TABLESTORE_H
#define VQ_RECORDS_TABLESTORE_H

#include <windows.h>

#include "records/coltypes.h"
#include "records/tabledefn.h"

#define TABLE_KIND_TABLE 1
#define TABLE_KIND_VIEW  2

#define ROW_FLAG_STORED   1   /* read from a database */
#define ROW_FLAG_NEW      2   /* made by CreateNewRowObject */
#define ROW_FLAG_MODIFIED 4   /* changed by UpdateRowObject */
#define ROW_FLAG_DELETED  8   /* a stored row marked by DeleteRowObject */

#define SORT_ORDER_ASCENDING 1

typedef struct RowObject {
    BYTE **values;          /* column-count value buffers; NULL = NULL cell */
    INT32 *sizes;           /* column-count recorded sizes */
    BYTE flags;             /* ROW_FLAG_* */
    struct RowObject *next;
} RowObject;

typedef struct ViewColumnDefn {
    char *name;
    char *secondName;       /* NULL when built by the data-object layer */
    BYTE flag;              /* 0 when built by the data-object layer */
    ColumnDefn *columnDefn; /* the underlying column, whose type it takes */
} ViewColumnDefn;

typedef struct CustomViewDefn {
    BYTE tableCount;
    char **tableNames;      /* the first is the view's base table */
    ViewColumnDefn **columns;
    INT32 columnCount;
} CustomViewDefn;

typedef struct TableData {
    char *name;
    BYTE kind;              /* TABLE_KIND_* */
    TableDefn *tableDefn;   /* kind 1, not owned */
    CustomViewDefn *viewDefn; /* kind 2, owned */
    INT32 columnCount;
    INT32 rowCount;         /* rows added; deletions do not reduce it */
    RowObject *firstRow;
    void *reserved;         /* always NULL */
    void *auxiliary;        /* unused by the store */
    RowObject *lastRow;     /* tail of the list, so that appending is O(1) */
} TableData;

typedef struct ResultEntry {
    RowObject *row;         /* not owned */
    struct ResultEntry *next;
} ResultEntry;

typedef struct ResultData {
    ResultEntry *first;
    BYTE kind;
    TableDefn *tableDefn;   /* kind 1, not owned */
    CustomViewDefn *viewDefn; /* kind 2, not owned */
    INT32 rowCount;
    INT32 columnCount;
    ResultEntry *cursor;    /* NULL: before the first row */
} ResultData;

/* Creation and lookup */
BOOL CreateTable(const char *tableName);
BOOL CreateCustomViewData(const char *viewName, CustomViewDefn *viewDefn);
/* Copies the table names; takes over the view column records (the array is
 * copied). NULL when out of memory. */
CustomViewDefn *CreateCustomViewDefn(BYTE tableCount, char **tableNames,
                                     ViewColumnDefn **viewColumns, INT32 viewColumnCount);
/* Copies both names. */
ViewColumnDefn *CreateViewColumnDefn(const char *name, const char *secondName,
                                     BYTE flag, ColumnDefn *columnDefn);
TableData *GetTableDataByName(const char *name);
/* Orders two registry entries (TableData pointers) by name, byte-wise. */
int SortTableByName(const void *a, const void *b);
/* Takes a TableData out of the registry without freeing it (for the layer
 * that owns the table, before FreeTableData). FALSE when it is not there. */
BOOL RemoveTableDataFromRegistry(TableData *tableData);
/* The registry's entries in order, and their count. */
TableData **GetTableRegistry(INT32 *count);
RowObject *CreateNewRowObject(BYTE **values, INT32 *sizes);

/* Row changes */
BOOL AddNewRow(const char *tableName, RowObject *row);
BOOL UpdateRowObject(const char *tableName, RowObject *row, const char *columnName,
                     const void *value, INT32 size);
BOOL DeleteRowObject(const char *tableName, RowObject *row);
BOOL DeleteRowObjectByCriteria(const char *tableName, const char *criteria);
BOOL DeleteAllTableRowObjects(const char *tableName);

/* Selection and results */
ResultData *SelectRows(const char *tableName, const char *criteria);
ResultData *SelectRowByRowIdx(const char *tableName, INT32 index);
ResultData *CreateResultData(INT32 rowCount, INT32 columnCount, TableData *tableData);
BOOL AddRowToResultData(RowObject *row, ResultData *result);
RowObject *GotoNextRowObject(ResultData *result);
void ResetResultDataCursor(ResultData *result);
BYTE *GetColumnValueByName(const char *columnName, INT32 *size, ResultData *result);
BYTE *GetColumnValue(const char *tableName, const char *columnName, const char *criteria,
                     INT32 *size);
BYTE GetColumnTypeByName(const char *columnName, ResultData *result);
const char *GetColumnNameByIndex(INT32 index, ResultData *result);
const char *GetTableNameFromResultData(ResultData *result);
const char *GetTableNameOfView(const char *name);
BOOL SortResultSet(ResultData *result, const char *columnName, BYTE order);

/* Release */
void FreeRowObject(RowObject *row, INT32 columnCount);
void FreeResultData(ResultData *result);
void FreeTableData(TableData *tableData);
void FreeCustomViewDefn(CustomViewDefn *viewDefn);

/* Printing at DEBUG level and text forms (the caller frees the text) */
void PrintTableData(const char *tableName);
void PrintCustomViewData(const char *viewName);
void PrintResultData(ResultData *result);
char *ToStringTableData(const char *tableName);
char *ToStringCustomViewData(const char *viewName);

#endif
