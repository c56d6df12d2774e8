/* The result-set form of a database query: column descriptions (name and
 * framework type code) and the rows in fetch order, each a list of cells in
 * column order. A cell holds its value converted to the column's type code
 * and the text the database delivered, so that a reader knowing the table's
 * own column types can convert it again. */
#ifndef VQ_RECORDS_SQL_RESULTSET_H
#define VQ_RECORDS_SQL_RESULTSET_H

#include <windows.h>

#include "records/base/reclimits.h"

typedef struct ResultColumn {
    char name[ODBC_COLUMN_NAME_MAX + 1];
    BYTE type;              /* framework type code from the SQL type */
    SHORT sqlType;          /* the SQL type the driver reported */
    BOOL binary;            /* read as bytes, not as text */
} ResultColumn;

typedef struct ResultCell {
    BYTE *value;            /* value buffer of the column's type; NULL = NULL */
    INT32 size;             /* 0 for NULL */
    char *text;             /* the delivered text (bytes for binary columns);
                             * NULL for a NULL cell */
    INT32 textLength;
} ResultCell;

typedef struct ResultRow {
    ResultCell *cells;      /* columnCount cells, in the row's own block */
    struct ResultRow *next;
    size_t blockSize;       /* bytes of the row's own block; a cell's value or
                             * text inside it is no block of its own */
} ResultRow;

typedef struct ResultSet {
    ResultColumn *columns;
    INT32 columnCount;
    ResultRow *firstRow;
    ResultRow *lastRow;
    INT32 rowCount;
} ResultSet;

/* A new row of `columnCount` empty cells, the row and its cells one block;
 * NULL when out of memory. */
ResultRow *NewResultRow(INT32 columnCount);

/* The same with `dataBytes` more, zeroed, after the cells: *data receives
 * their start (8-byte aligned). A provider puts cell values and texts there
 * so that a row costs one block; FreeResultRow frees what lies outside. */
ResultRow *NewPackedResultRow(INT32 columnCount, size_t dataBytes, BYTE **data);

/* Frees a cell's buffers (a date value's parts too); the cell is emptied.
 * Not for a cell whose buffers lie in its row's block (FreeResultRow). */
void FreeResultCell(ResultCell *cell, BYTE type);

/* Frees one row of a set with `columns`. */
void FreeResultRow(ResultRow *row, const ResultColumn *columns, INT32 columnCount);

/* Frees the set with all its rows; NULL is accepted. */
void FreeResultSet(ResultSet *set);

/* Fills `cell->value` (and its size) from its delivered text by the
 * column's type code, as the providers convert what the database gave:
 * a BOOLEAN is true for "1", a date or time part alone is taken as such, a
 * real may carry an exponent, a binary column's bytes are copied. TRUE for
 * a NULL cell (no text); FALSE when memory runs out or the text is no
 * value of the type. */
BOOL ConvertResultCellText(ResultCell *cell, const ResultColumn *col);

#endif
