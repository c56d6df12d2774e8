/* Printing tables, views and results at DEBUG level, and their text forms.
 * Each line is built whole and written as one log line; the text forms grow
 * their buffer as needed rather than writing into a fixed area. */
#include "records/store/tablestore.h"
#include "records/base/datetime.h"
#include "records/store/storecolumns.h"

#include "agent/log.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A growing text; `failed` sticks once an allocation fails. */
typedef struct TextBuf {
    char *data;
    size_t length;
    size_t capacity;
    bool failed;
} TextBuf;

static void textAppendf(TextBuf *t, const char *format, ...) __attribute__((format(gnu_printf, 2, 3)));
static void textAppendf(TextBuf *t, const char *format, ...)
{
    if (t->failed)
        return;
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(NULL, 0, format, ap);
    va_end(ap);
    if (n < 0) {
        t->failed = true;
        return;
    }
    if (t->length + (size_t)n + 1 > t->capacity) {
        size_t cap = t->capacity ? t->capacity : 256;
        while (cap < t->length + (size_t)n + 1)
            cap *= 2;
        char *grown = (char *)realloc(t->data, cap);
        if (!grown) {
            t->failed = true;
            return;
        }
        t->data = grown;
        t->capacity = cap;
    }
    va_start(ap, format);
    vsnprintf(t->data + t->length, t->capacity - t->length, format, ap);
    va_end(ap);
    t->length += (size_t)n;
}

/* The date, time or date-time of a cell: the XML loader stores a bare
 * BrnDate (4 bytes) or BrnTime (3), the database and text conversions a
 * BrnDateTime (11) holding the parts. Missing parts read as zeros. */
static void cellDate(const BYTE *value, INT32 size, BrnDate *out)
{
    memset(out, 0, sizeof *out);
    if (size == BRN_DATETIME_SIZE) {
        const BrnDateTime *dt = (const BrnDateTime *)value;
        if (dt->date)
            *out = *dt->date;
    } else if (size >= BRN_DATE_SIZE)
        memcpy(out, value, sizeof *out);
}

static void cellTime(const BYTE *value, INT32 size, BrnTime *out)
{
    memset(out, 0, sizeof *out);
    if (size == BRN_DATETIME_SIZE) {
        const BrnDateTime *dt = (const BrnDateTime *)value;
        if (dt->time)
            *out = *dt->time;
    } else if (size >= BRN_TIME_SIZE)
        memcpy(out, value, sizeof *out);
}

/* Appends one cell in the format of its type. The print operations also
 * write 64-bit integers and long texts; the text forms leave them out. */
static void appendCell(TextBuf *t, BYTE type, const BYTE *value, INT32 size, bool forPrint)
{
    if (!value) {
        textAppendf(t, "%s\t", "NULL");
        return;
    }
    switch (type) {
    case BRN_SQL_TINYINT:
    case BRN_SQL_UNSIGNED_TINYINT:
    case BRN_SQL_SMALLINT:
    case BRN_SQL_INT:
    case BRN_SQL_UNSIGNED_INT:
        textAppendf(t, "%d\t", (int)ReadInt32Value(value, size));
        break;
    case BRN_SQL_BIGINT:
        if (forPrint)
            textAppendf(t, "%lld\t", (long long)ReadInt64Value(value, size));
        break;
    case BRN_SQL_FLOAT:
        textAppendf(t, "%f\t", (double)ReadFloatValue(value, size));
        break;
    case BRN_SQL_DOUBLE:
        textAppendf(t, "%f\t", ReadDoubleValue(value, size));
        break;
    case BRN_SQL_CHAR:
    case BRN_SQL_VARCHAR:
        textAppendf(t, "%s\t", (const char *)value);
        break;
    case BRN_SQL_TEXT:
        if (forPrint)
            textAppendf(t, "%s\t", (const char *)value);
        break;
    case BRN_SQL_DATE: {
        BrnDate d;
        cellDate(value, size, &d);
        char s[32];
        snprintf(s, sizeof s, "%04d-%02d-%02d", d.year, d.month, d.day);
        textAppendf(t, "%s\t", s);
        break;
    }
    case BRN_SQL_TIME: {
        BrnTime tm;
        cellTime(value, size, &tm);
        char s[32];
        snprintf(s, sizeof s, "%02d:%02d:%02d", tm.hour, tm.minute, tm.second);
        textAppendf(t, "%s\t", s);
        break;
    }
    case BRN_SQL_DATETIME: {
        BrnDate d;
        BrnTime tm;
        cellDate(value, size, &d);
        cellTime(value, size, &tm);
        char s[48];
        snprintf(s, sizeof s, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                 tm.hour, tm.minute, tm.second);
        textAppendf(t, "%s\t", s);
        break;
    }
    case BRN_SQL_BOOLEAN:
        textAppendf(t, "%d\t", (int)value[0]);
        break;
    default:
        /* 4, 8, 11, 12, 13, 20, 21: not written. */
        break;
    }
}

static void appendHeader(TextBuf *t, const TableDefn *td, const CustomViewDefn *vd)
{
    INT32 n = StoreColumnCount(td, vd);
    for (INT32 i = 0; i < n; i++) {
        const char *name = StoreColumnName(td, vd, i);
        textAppendf(t, "%s\t", name ? name : "");
    }
    textAppendf(t, "\n");
}

static void appendRow(TextBuf *t, const TableDefn *td, const CustomViewDefn *vd,
                      const RowObject *row, bool forPrint)
{
    INT32 n = StoreColumnCount(td, vd);
    for (INT32 i = 0; i < n; i++)
        appendCell(t, StoreColumnType(td, vd, i), row->values[i], row->sizes[i], forPrint);
    textAppendf(t, "\n");
}

/* Writes the text built so far as one DEBUG line and starts a new one. */
static void flushLine(TextBuf *t)
{
    if (!t->failed && t->data)
        LogDebug("%s", t->data);
    t->length = 0;
    t->failed = false;
    if (t->data)
        t->data[0] = '\0';
}

static void printRows(const TableDefn *td, const CustomViewDefn *vd, const RowObject *rows)
{
    TextBuf t = {NULL, 0, 0, false};
    appendHeader(&t, td, vd);
    flushLine(&t);
    for (const RowObject *row = rows; row; row = row->next) {
        appendRow(&t, td, vd, row, true);
        flushLine(&t);
    }
    free(t.data);
}

void PrintCustomViewData(const char *viewName)
{
    LogTrace("\t@@@@@ Inside PrintCustomViewData() @@@@@\n");
    TableData *td = GetTableDataByName(viewName);
    if (!td || td->kind != TABLE_KIND_VIEW)
        return;
    printRows(NULL, td->viewDefn, td->firstRow);
}

void PrintTableData(const char *tableName)
{
    LogTrace("\t@@@@@ Inside PrintTableData() @@@@@\n");
    TableData *td = GetTableDataByName(tableName);
    if (!td)
        return;
    if (td->kind == TABLE_KIND_VIEW) {
        PrintCustomViewData(tableName);
        return;
    }
    printRows(td->tableDefn, NULL, td->firstRow);
}

void PrintResultData(ResultData *result)
{
    LogTrace("\t@@@@@ Inside PrintResultData() @@@@@\n");
    if (!result)
        return;
    const TableDefn *td = result->kind == TABLE_KIND_TABLE ? result->tableDefn : NULL;
    const CustomViewDefn *vd = result->kind == TABLE_KIND_VIEW ? result->viewDefn : NULL;
    TextBuf t = {NULL, 0, 0, false};
    appendHeader(&t, td, vd);
    flushLine(&t);
    for (ResultEntry *e = result->first; e; e = e->next) {
        if (!e->row || (e->row->flags & ROW_FLAG_DELETED))
            continue;
        appendRow(&t, td, vd, e->row, true);
        flushLine(&t);
    }
    free(t.data);
}

static char *toStringRows(const TableDefn *td, const CustomViewDefn *vd, const RowObject *rows)
{
    TextBuf t = {NULL, 0, 0, false};
    appendHeader(&t, td, vd);
    for (const RowObject *row = rows; row; row = row->next)
        appendRow(&t, td, vd, row, false);
    if (t.failed) {
        free(t.data);
        return NULL;
    }
    LogTrace("String Value of Relvar Data\n %s\n", t.data);
    return t.data;
}

char *ToStringCustomViewData(const char *viewName)
{
    LogTrace("\t@@@@@ Inside ToStringCustomViewData() @@@@@\n");
    TableData *td = GetTableDataByName(viewName);
    if (!td || td->kind != TABLE_KIND_VIEW)
        return NULL;
    return toStringRows(NULL, td->viewDefn, td->firstRow);
}

char *ToStringTableData(const char *tableName)
{
    LogTrace("\t@@@@@ Inside ToStringTableData() @@@@@\n");
    TableData *td = GetTableDataByName(tableName);
    if (!td)
        return NULL;
    if (td->kind == TABLE_KIND_VIEW)
        return ToStringCustomViewData(tableName);
    return toStringRows(td->tableDefn, NULL, td->firstRow);
}
