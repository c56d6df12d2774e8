/* Column lookups shared by the table store's files: the column list of a
 * table (its definition's columns) or of a view (its view columns). */
#ifndef VQ_RECORDS_STORE_STORECOLUMNS_H
#define VQ_RECORDS_STORE_STORECOLUMNS_H

#include "records/store/storerecords.h"

/* Number of columns of the definition (table) or view; 0 when neither. */
INT32 StoreColumnCount(const TableDefn *tableDefn, const CustomViewDefn *viewDefn);

/* Zero-based index of the column named `name` (A-Z folded) among the
 * definition's columns or the view's columns; -1 when absent. */
INT32 StoreColumnIndex(const TableDefn *tableDefn, const CustomViewDefn *viewDefn,
                       const char *name);

/* Name and type of the column at `index` (a view column takes the type of
 * its underlying column); NULL / 0 when out of range. */
const char *StoreColumnName(const TableDefn *tableDefn, const CustomViewDefn *viewDefn,
                            INT32 index);
BYTE StoreColumnType(const TableDefn *tableDefn, const CustomViewDefn *viewDefn, INT32 index);

/* Case-insensitive comparison folding A-Z only; 0 when equal. */
int StoreCompareNames(const char *a, const char *b);

#endif
