/* Release of the result-set form. Date and time cells hold a BrnDateTime
 * whose parts are blocks of their own. */
#include "records/sql/resultset.h"
#include "records/base/coltypes.h"
#include "records/base/datetime.h"
#include "records/base/strutil.h"
#include "records/base/textvalue.h"

#include <stdlib.h>
#include <string.h>

ResultRow *NewPackedResultRow(INT32 columnCount, size_t dataBytes, BYTE **data)
{
    size_t cells = columnCount > 0 ? (size_t)columnCount : 1;
    size_t head = (sizeof(ResultRow) + cells * sizeof(ResultCell) + 7) & ~(size_t)7;
    if (dataBytes > (size_t)-1 - head)
        return NULL;
    ResultRow *row = (ResultRow *)calloc(1, head + dataBytes);
    if (!row)
        return NULL;
    row->cells = (ResultCell *)(row + 1);
    row->blockSize = head + dataBytes;
    if (data)
        *data = (BYTE *)row + head;
    return row;
}

ResultRow *NewResultRow(INT32 columnCount)
{
    return NewPackedResultRow(columnCount, 0, NULL);
}

void FreeResultCell(ResultCell *cell, BYTE type)
{
    if (!cell)
        return;
    if (cell->value && cell->size == BRN_DATETIME_SIZE
        && (type == BRN_SQL_DATE || type == BRN_SQL_TIME || type == BRN_SQL_DATETIME)) {
        BrnDateTime *dt = (BrnDateTime *)cell->value;
        free(dt->date);
        free(dt->time);
    }
    free(cell->value);
    free(cell->text);
    cell->value = NULL;
    cell->text = NULL;
    cell->size = 0;
    cell->textLength = 0;
}

void FreeResultRow(ResultRow *row, const ResultColumn *columns, INT32 columnCount)
{
    if (!row)
        return;
    const BYTE *start = (const BYTE *)row, *end = start + row->blockSize;
    if (row->cells) {
        for (INT32 i = 0; i < columnCount; i++) {
            ResultCell *cell = &row->cells[i];
            /* Buffers in the row's block go with it. */
            if ((const BYTE *)cell->value >= start && (const BYTE *)cell->value < end)
                cell->value = NULL;
            if ((const BYTE *)cell->text >= start && (const BYTE *)cell->text < end)
                cell->text = NULL;
            FreeResultCell(cell, columns ? columns[i].type : 0);
        }
    }
    free(row);
}

void FreeResultSet(ResultSet *set)
{
    if (!set)
        return;
    ResultRow *r = set->firstRow;
    while (r) {
        ResultRow *next = r->next;
        FreeResultRow(r, set->columns, set->columnCount);
        r = next;
    }
    free(set->columns);
    free(set);
}

BOOL ConvertResultCellText(ResultCell *cell, const ResultColumn *col)
{
    if (!cell->text)
        return TRUE;
    INT32 size = cell->textLength;
    switch (col->type) {
    case BRN_SQL_BOOLEAN:
        cell->value = ConvertTextToValue(strcmp(cell->text, "1") == 0 ? "TRUE" : "FALSE", &size, col->type);
        break;
    case BRN_SQL_DATE:
    case BRN_SQL_TIME:
    case BRN_SQL_DATETIME: {
        BrnDateTime *dt = col->type == BRN_SQL_DATETIME ? ConvertStringToBrnDateTime(cell->text)
                                                        : ConvertStringToBrnGenDateTime(cell->text);
        cell->value = DateTimeValueBuffer(dt);
        size = BRN_DATETIME_SIZE;
        break;
    }
    case BRN_SQL_FLOAT:
    case BRN_SQL_DOUBLE: {
        /* A delivered real may have an exponent ("1e+300"), which the
         * literal grammar of ConvertTextToValue does not take. */
        double v = TextToDouble(cell->text, NULL);
        if (col->type == BRN_SQL_FLOAT) {
            float f = (float)v;
            cell->value = CopyValueBuffer(&f, 4);
            size = 4;
        } else {
            cell->value = CopyValueBuffer(&v, 8);
            size = 8;
        }
        break;
    }
    default:
        if (col->binary)
            cell->value = CopyValueBuffer(cell->text, cell->textLength);
        else
            cell->value = ConvertTextToValue(cell->text, &size, col->type);
        break;
    }
    cell->size = size;
    return cell->value != NULL;
}
