/* The framework's in-memory relational store: every table or custom view of
 * the process as a TableData holding a singly linked list of rows, the
 * process-wide table registry, row changes, selection by criteria into a
 * ResultData with a cursor, sorting, and release. Not locked: callers use
 * the store from one thread at a time (only criteria handling is serialised,
 * by the criteria lock). */
#ifndef VQ_RECORDS_STORE_TABLESTORE_H
#define VQ_RECORDS_STORE_TABLESTORE_H

#include <windows.h>

#include "records/base/coltypes.h"
#include "records/dict/tabledefn.h"
#include "records/store/storerecords.h"

/* Hooks the store calls, filled by the framework's start-up with services
 * of higher floors (the sequence generator, the notification service), so
 * that the store does not depend on them. Both are process-wide, set before
 * rows change and left as they are while other threads change rows; NULL
 * turns a hook off.
 *
 * The identifier source hands out the next identifier for a dictionary
 * column that names a generator (ColumnDefn.generatorName): AddNewRow fills
 * such a column of a new row from it, as does the table-data loader for a
 * reference text. It answers STORE_NO_IDENTIFIER when it has none. Without
 * a source every generation fails that way.
 *
 * The row-change hook is called after every added, updated and deleted row
 * (the row with its new flags, and its table's name), synchronously on the
 * changing thread; it cannot affect the change. */
#define STORE_NO_IDENTIFIER 0xFFFFFFFFu
typedef DWORD (*StoreIdentifierSource)(const char *tableName, ColumnDefn *column);
typedef void (*StoreRowChangeHook)(RowObject *row, const char *tableName);

/* Each returns the hook it replaces. */
StoreIdentifierSource SetStoreIdentifierSource(StoreIdentifierSource source);
StoreRowChangeHook SetStoreRowChangeHook(StoreRowChangeHook hook);

/* The next identifier of the column from the identifier source, or
 * STORE_NO_IDENTIFIER (no source, or none handed out). */
DWORD GenerateStoreIdentifier(const char *tableName, ColumnDefn *column);

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
/* The two halves of DeleteRowObject's removal of a row the database does not
 * hold, for a caller that must not notify while it holds a lock: the first
 * takes `row` out of the table's list without a notification (the caller
 * owns it then; FALSE, nothing changed, when it is not in the list), the
 * second sends its row-change notification and frees it. */
BOOL UnlinkRowObject(const char *tableName, RowObject *row);
void ReleaseUnlinkedRowObject(const char *tableName, RowObject *row);
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
