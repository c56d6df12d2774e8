/* The table store's plain records: a row (its value buffers, sizes and
 * flags), a table or custom view (TableData) with its list of rows, a view's
 * definition, and a selection (ResultData) with its cursor. The operations
 * on them are in tablestore.h; the criteria language and the column lookups
 * need only the records. */
#ifndef VQ_RECORDS_STORE_STORERECORDS_H
#define VQ_RECORDS_STORE_STORERECORDS_H

#include <windows.h>

#include "records/dict/tabledefn.h"

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

#endif
