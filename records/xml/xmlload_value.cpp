/* Conversion of an attribute text of a table-data document into a value
 * buffer of its column's type. Numbers must be wholly numbers: a text that
 * is not gives 0, never a partial read. Dates and times take the fields the
 * text supplies, in the fixed formats, and 0 for the rest, so no field of a
 * stored record is ever left unset. */
#include "records/xml/xmlload.h"
#include "records/base/coltypes.h"
#include "records/base/datetime.h"

#include "agent/log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

/* An optional sign and one or more digits, nothing else, within
 * [-limitNeg, limitPos]; 0 otherwise. The result is the value's two's
 * complement bits. */
static UINT64 parseInteger(const char *text, UINT64 limitPos, UINT64 limitNeg)
{
    const char *p = text;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (!*p)
        return 0;
    UINT64 v = 0;
    for (; *p; p++) {
        if (*p < '0' || *p > '9')
            return 0;
        UINT64 digit = (UINT64)(*p - '0');
        if (v > (~(UINT64)0 - digit) / 10)
            return 0;
        v = v * 10 + digit;
    }
    if (negative)
        return v > limitNeg ? 0 : (UINT64)0 - v;
    return v > limitPos ? 0 : v;
}

/* The whole text as a real number, or 0. */
static double parseReal(const char *text)
{
    if (!*text)
        return 0;
    char *end = NULL;
    double v = strtod(text, &end);
    return end && *end == 0 ? v : 0;
}

static BOOL store(BYTE **value, INT32 *size, const void *data, INT32 n)
{
    *value = CopyValueBuffer(data, n);
    if (!*value)
        return FALSE;
    *size = n;
    return TRUE;
}

BOOL AllocateAndCopyColumnValue(BYTE **value, INT32 *size, BYTE type, const char *text)
{
    if (!value || !size)
        return FALSE;
    *value = NULL;
    *size = 0;
    if (!text) {
        LogTrace("value parameter in AllocateAndCopyColumnValue is NULL \n");
        return FALSE;
    }
    switch (type) {
    case BRN_SQL_TINYINT:
    case BRN_SQL_UNSIGNED_TINYINT:
    case BRN_SQL_SMALLINT:
    case BRN_SQL_INT:
    case BRN_SQL_UNSIGNED_INT: {
        UINT32 v = (UINT32)parseInteger(text, 0xFFFFFFFFull, 0x80000000ull);
        return store(value, size, &v, 4);
    }
    case BRN_SQL_BIGINT:
    case BRN_SQL_UNSIGNED_LONG_INT: {
        UINT64 v = parseInteger(text, ~(UINT64)0, 0x8000000000000000ull);
        return store(value, size, &v, 8);
    }
    case BRN_SQL_FLOAT: {
        float v = (float)parseReal(text);
        return store(value, size, &v, 4);
    }
    case BRN_SQL_DOUBLE: {
        double v = parseReal(text);
        return store(value, size, &v, 8);
    }
    case BRN_SQL_CHAR:
    case BRN_SQL_VARCHAR:
    case BRN_SQL_TEXT:
        return store(value, size, text, (INT32)strlen(text));
    case BRN_SQL_DATE: {
        int y = 0, m = 0, d = 0;
        sscanf(text, "%d-%d-%d", &y, &m, &d);
        BrnDate date = {(WORD)y, (BYTE)m, (BYTE)d};
        return store(value, size, &date, BRN_DATE_SIZE);
    }
    case BRN_SQL_TIME: {
        int h = 0, mi = 0, s = 0;
        sscanf(text, "%d:%d:%d", &h, &mi, &s);
        BrnTime time = {(BYTE)h, (BYTE)mi, (BYTE)s};
        return store(value, size, &time, BRN_TIME_SIZE);
    }
    case BRN_SQL_DATETIME: {
        int y = 0, m = 0, d = 0, h = 0, mi = 0, s = 0;
        sscanf(text, "%d-%d-%d %d:%d:%d", &y, &m, &d, &h, &mi, &s);
        /* The buffer holds the record; its two parts belong to the buffer,
         * as for every date-time cell of the store. */
        BrnDateTime *dt = CreateBrnDateTime(y, m, d, h, mi, s);
        if (!dt)
            return FALSE;
        BOOL ok = store(value, size, dt, BRN_DATETIME_SIZE);
        if (ok)
            free(dt);
        else
            FreeBrnDateTime(dt);
        return ok;
    }
    case BRN_SQL_BOOLEAN: {
        BYTE v = strcasecmp(text, "false") == 0 ? 0 : 1;
        return store(value, size, &v, 1);
    }
    default:
        /* Codes 4, 11, 12, 13, 20, 21 (and unknown codes) take no value
         * from a document. */
        return TRUE;
    }
}
