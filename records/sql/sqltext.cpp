/* The SQL generators' growing text, the value-to-text conversion shared by
 * every dialect, and one literal quoting function per dialect. */
#include "records/sql/sqltext.h"
#include "records/base/coltypes.h"
#include "records/base/datetime.h"
#include "records/base/reclimits.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <float.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void SqlTextInit(SqlText *t)
{
    t->text = NULL;
    t->length = 0;
    t->capacity = 0;
    t->failed = FALSE;
}

void SqlTextFree(SqlText *t)
{
    free(t->text);
    SqlTextInit(t);
}

static BOOL reserve(SqlText *t, size_t extra)
{
    if (t->failed)
        return FALSE;
    size_t need = t->length + extra + 1;
    if (need <= t->capacity)
        return TRUE;
    size_t cap = t->capacity ? t->capacity : SQLTEXT_INITIAL_SIZE;
    while (cap < need)
        cap += need - cap > SQLTEXT_GROWTH ? need - cap : SQLTEXT_GROWTH;
    char *grown = (char *)realloc(t->text, cap);
    if (!grown) {
        t->failed = TRUE;
        return FALSE;
    }
    t->text = grown;
    t->capacity = cap;
    return TRUE;
}

void SqlTextAppendN(SqlText *t, const char *piece, size_t n)
{
    if (!piece || !reserve(t, n))
        return;
    memcpy(t->text + t->length, piece, n);
    t->length += n;
    t->text[t->length] = '\0';
}

void SqlTextAppend(SqlText *t, const char *piece)
{
    if (piece)
        SqlTextAppendN(t, piece, strlen(piece));
}

void SqlTextAppendF(SqlText *t, const char *format, ...)
{
    if (t->failed)
        return;
    char small[256];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n < 0) {
        t->failed = TRUE;
        return;
    }
    if ((size_t)n < sizeof small) {
        SqlTextAppendN(t, small, (size_t)n);
        return;
    }
    if (!reserve(t, (size_t)n))
        return;
    va_start(ap, format);
    vsnprintf(t->text + t->length, (size_t)n + 1, format, ap);
    va_end(ap);
    t->length += (size_t)n;
}

char *SqlTextDetach(SqlText *t)
{
    if (t->failed) {
        SqlTextFree(t);
        return NULL;
    }
    if (!t->text && !reserve(t, 0))
        return NULL;
    if (t->length == 0)
        t->text[0] = '\0';
    char *out = t->text;
    SqlTextInit(t);
    return out;
}

/* 'value' with each quote doubled and, when `backslash` is set, each
 * backslash doubled. Runs without special characters are copied whole. */
static void quoteWith(SqlText *t, const char *value, BOOL backslash)
{
    SqlTextAppendN(t, "'", 1);
    const char *run = value ? value : "";
    const char *p = run;
    for (; *p; p++) {
        if (*p == '\'' || (backslash && *p == '\\')) {
            SqlTextAppendN(t, run, (size_t)(p - run + 1));
            run = p;            /* the special character is written again */
        }
    }
    SqlTextAppendN(t, run, (size_t)(p - run));
    SqlTextAppendN(t, "'", 1);
}

void SqliteQuoteLiteral(SqlText *t, const char *value)
{
    quoteWith(t, value, FALSE);
}

/* PostgreSQL reads backslashes literally in standard strings (the default
 * since 9.1). */
void PgsqlQuoteLiteral(SqlText *t, const char *value)
{
    quoteWith(t, value, FALSE);
}

void MysqlQuoteLiteral(SqlText *t, const char *value)
{
    quoteWith(t, value, TRUE);
}

void FirebirdQuoteLiteral(SqlText *t, const char *value)
{
    quoteWith(t, value, FALSE);
}

/* The date and time parts of a type 16-18 cell: a BrnDate (4 bytes), a
 * BrnTime (3) or a BrnDateTime (11) whose parts may be missing. */
static void dateParts(const BYTE *value, INT32 size, const BrnDate **date, const BrnTime **time)
{
    *date = NULL;
    *time = NULL;
    if (size == BRN_DATETIME_SIZE) {
        const BrnDateTime *dt = (const BrnDateTime *)value;
        *date = dt->date;
        *time = dt->time;
    } else if (size == BRN_DATE_SIZE) {
        *date = (const BrnDate *)value;
    } else if (size == BRN_TIME_SIZE) {
        *time = (const BrnTime *)value;
    }
}

BOOL IsSqlNumberLiteral(const char *text, size_t length)
{
    size_t i = 0;
    if (i < length && (text[i] == '+' || text[i] == '-'))
        i++;
    size_t digits = 0;
    while (i < length && text[i] >= '0' && text[i] <= '9')
        i++, digits++;
    if (i < length && text[i] == '.') {
        i++;
        while (i < length && text[i] >= '0' && text[i] <= '9')
            i++, digits++;
    }
    if (digits == 0)
        return FALSE;
    if (i < length && (text[i] == 'e' || text[i] == 'E')) {
        i++;
        if (i < length && (text[i] == '+' || text[i] == '-'))
            i++;
        size_t exponent = 0;
        while (i < length && text[i] >= '0' && text[i] <= '9')
            i++, exponent++;
        if (exponent == 0)
            return FALSE;
    }
    return i == length;
}

/* A finite real with `digits` significant digits; the engines have no
 * literal for infinities and NaN, so those are refused. */
static BOOL appendReal(SqlText *t, double v, int digits)
{
    if (!isfinite(v)) {
        LogError("SqlTextAppendValue : a real that is not finite has no SQL literal\n");
        return FALSE;
    }
    SqlTextAppendF(t, "%.*g", digits, v);
    return TRUE;
}

BOOL SqlTextAppendValue(SqlText *t, const BYTE *value, INT32 size, BYTE type)
{
    if (type == BRN_SQL_NOT_SUPPORTED_TYPE || type > BRN_SQL_LAST_TYPE)
        return FALSE;
    if (!value) {
        SqlTextAppendN(t, "NULL", 4);
        return TRUE;
    }
    switch (type) {
    case BRN_SQL_TINYINT:
    case BRN_SQL_SMALLINT:
    case BRN_SQL_INT:
        SqlTextAppendF(t, "%d", (int)ReadInt32Value(value, size));
        return TRUE;
    case BRN_SQL_UNSIGNED_TINYINT:
    case BRN_SQL_UNSIGNED_SMALLINT:
    case BRN_SQL_UNSIGNED_INT:
        SqlTextAppendF(t, "%u", (unsigned)ReadInt32Value(value, size));
        return TRUE;
    case BRN_SQL_BIGINT:
        SqlTextAppendF(t, "%lld", (long long)ReadInt64Value(value, size));
        return TRUE;
    case BRN_SQL_UNSIGNED_LONG_INT:
        SqlTextAppendF(t, "%llu", (unsigned long long)ReadInt64Value(value, size));
        return TRUE;
    case BRN_SQL_FLOAT:
    case BRN_SQL_REAL: {
        /* Nine significant digits give every float back exactly; but near
         * the end of the range they may read as a number beyond the largest
         * float ("3.40282347e+38"), which a server refuses as out of range:
         * those get the seventeen digits of the float's exact value. */
        double v = (double)ReadFloatValue(value, size);
        char nine[32];
        snprintf(nine, sizeof nine, "%.9g", v);
        return appendReal(t, v, fabs(strtod(nine, NULL)) > FLT_MAX ? 17 : 9);
    }
    case BRN_SQL_DOUBLE:
        /* Seventeen give every double back exactly ("%f" kept six decimals
         * and wrote 1e300 as a 301-digit number). */
        return appendReal(t, ReadDoubleValue(value, size), 17);
    case BRN_SQL_DECIMAL:
    case BRN_SQL_NUMERIC: {
        /* Written bare, so only a number literal may pass: anything else
         * would be SQL of the caller's making. */
        size_t n = size > 0 ? (size_t)size : 0;
        const void *nul = memchr(value, 0, n);
        if (nul)
            n = (size_t)((const BYTE *)nul - value);
        if (!IsSqlNumberLiteral((const char *)value, n)) {
            LogError("SqlTextAppendValue : \"%.*s\" is not a number; no statement is written\n",
                     (int)(n > 64 ? 64 : n), (const char *)value);
            return FALSE;
        }
        SqlTextAppendN(t, (const char *)value, n);
        return TRUE;
    }
    case BRN_SQL_DATE:
    case BRN_SQL_TIME:
    case BRN_SQL_DATETIME: {
        /* A DATE is written as its date, a TIME as its time, a DATETIME as
         * both (midnight when it holds no time): each a literal the engines
         * accept for the column's own type. */
        const BrnDate *d;
        const BrnTime *tm;
        dateParts(value, size, &d, &tm);
        if (type == BRN_SQL_TIME) {
            if (!tm)
                return FALSE;
            SqlTextAppendF(t, "%02d:%02d:%02d", tm->hour, tm->minute, tm->second);
        } else if (!d) {
            return FALSE;
        } else if (type == BRN_SQL_DATE) {
            SqlTextAppendF(t, "%04d-%02d-%02d", d->year, d->month, d->day);
        } else {
            SqlTextAppendF(t, "%04d-%02d-%02d %02d:%02d:%02d", d->year, d->month, d->day,
                           tm ? tm->hour : 0, tm ? tm->minute : 0, tm ? tm->second : 0);
        }
        return TRUE;
    }
    case BRN_SQL_BOOLEAN:
        SqlTextAppend(t, value[0] == 1 ? "'t'" : "'f'");
        return TRUE;
    default: {
        /* Texts and bytes: the recorded size, never past a terminating 0. */
        size_t n = size > 0 ? (size_t)size : 0;
        const void *nul = memchr(value, 0, n);
        if (nul)
            n = (size_t)((const BYTE *)nul - value);
        SqlTextAppendN(t, (const char *)value, n);
        return TRUE;
    }
    }
}

char *ConvertValueToText(const BYTE *value, INT32 size, BYTE type)
{
    SqlText t;
    SqlTextInit(&t);
    if (!SqlTextAppendValue(&t, value, size, type)) {
        SqlTextFree(&t);
        return NULL;
    }
    return SqlTextDetach(&t);
}
