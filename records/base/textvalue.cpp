/* Conversion of literal texts into value buffers of a column type: whole
 * numbers, reals, texts, dates and times, booleans and the byte-copied
 * types. */
#include "records/base/textvalue.h"
#include "records/base/coltypes.h"
#include "records/base/datetime.h"
#include "records/base/strutil.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

/* An optional sign then digits only; anything else is 0. Overflow wraps,
 * as the buffer's width does. */
static INT64 textToInteger(const char *text)
{
    const char *p = text;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    UINT64 v = 0;
    for (; *p; p++) {
        if (*p < '0' || *p > '9')
            return 0;
        v = v * 10 + (UINT64)(*p - '0');
    }
    return negative ? (INT64)(0 - v) : (INT64)v;
}

/* An optional sign, digits, then optionally "." and digits; anything else
 * is 0. */
static double textToReal(const char *text)
{
    const char *p = text;
    if (*p == '+' || *p == '-')
        p++;
    while (*p >= '0' && *p <= '9')
        p++;
    if (*p == '.') {
        p++;
        while (*p >= '0' && *p <= '9')
            p++;
    }
    if (*p != '\0')
        return 0;
    return TextToDouble(text, NULL);
}

BYTE *DateTimeValueBuffer(BrnDateTime *dateTime)
{
    if (!dateTime)
        return NULL;
    BYTE *buf = AllocValueBuffer(BRN_DATETIME_SIZE);
    if (!buf) {
        FreeBrnDateTime(dateTime);
        return NULL;
    }
    memcpy(buf, dateTime, BRN_DATETIME_SIZE);
    free(dateTime);
    return buf;
}

BYTE *ConvertTextToValue(const char *text, INT32 *size, BYTE type)
{
    if (!text || !size)
        return NULL;
    BYTE *buf = NULL;
    switch (type) {
    case BRN_SQL_NOT_SUPPORTED_TYPE:
    case BRN_SQL_DECIMAL:
    case BRN_SQL_NUMERIC:
    case BRN_SQL_BLOB:
    case BRN_SQL_CLOB: {
        /* The caller's size, but never past the end of the text. */
        size_t length = strlen(text);
        INT32 n = *size;
        if (n < 0)
            n = 0;
        if ((size_t)n > length)
            n = (INT32)length;
        buf = CopyValueBuffer(text, n);
        if (buf)
            *size = n;
        return buf;
    }
    case BRN_SQL_TINYINT:
    case BRN_SQL_UNSIGNED_TINYINT:
    case BRN_SQL_SMALLINT:
    case BRN_SQL_UNSIGNED_SMALLINT:
    case BRN_SQL_INT:
    case BRN_SQL_UNSIGNED_INT: {
        INT32 v = (INT32)(UINT32)(UINT64)textToInteger(text);
        buf = CopyValueBuffer(&v, 4);
        if (buf)
            *size = 4;
        return buf;
    }
    case BRN_SQL_BIGINT:
    case BRN_SQL_UNSIGNED_LONG_INT: {
        INT64 v = textToInteger(text);
        buf = CopyValueBuffer(&v, 8);
        if (buf)
            *size = 8;
        return buf;
    }
    case BRN_SQL_FLOAT:
    case BRN_SQL_REAL: {
        float v = (float)textToReal(text);
        buf = CopyValueBuffer(&v, 4);
        if (buf)
            *size = 4;
        return buf;
    }
    case BRN_SQL_DOUBLE: {
        double v = textToReal(text);
        buf = CopyValueBuffer(&v, 8);
        if (buf)
            *size = 8;
        return buf;
    }
    case BRN_SQL_CHAR:
    case BRN_SQL_VARCHAR:
    case BRN_SQL_TEXT: {
        INT32 length = (INT32)strlen(text);
        buf = CopyValueBuffer(text, length);
        if (buf)
            *size = length;
        return buf;
    }
    case BRN_SQL_DATE:
    case BRN_SQL_TIME:
    case BRN_SQL_DATETIME: {
        /* The buffer holds the record itself (its two part references and
         * three fields); the parts belong to the buffer from here on. A
         * DATE holds only its date and a TIME only its time: a part the
         * type does not have would reach the database as a literal that it
         * refuses ("0000-00-00 23:59:58" for a TIME). A text without the
         * type's part is no value of it. */
        BrnDateTime *dt = ConvertStringToBrnDateTime(text);
        if (!dt)
            return NULL;
        if (type == BRN_SQL_DATE || type == BRN_SQL_TIME) {
            BOOL wantDate = type == BRN_SQL_DATE;
            if (!strchr(text, wantDate ? '-' : ':')) {
                FreeBrnDateTime(dt);
                return NULL;
            }
            if (wantDate) {
                free(dt->time);
                dt->time = NULL;
            } else {
                free(dt->date);
                dt->date = NULL;
            }
        }
        buf = DateTimeValueBuffer(dt);
        if (buf)
            *size = BRN_DATETIME_SIZE;
        return buf;
    }
    case BRN_SQL_BOOLEAN: {
        BYTE v;
        if (_stricmp(text, "TRUE") == 0)
            v = 1;
        else if (_stricmp(text, "FALSE") == 0)
            v = 0;
        else
            return NULL;
        buf = CopyValueBuffer(&v, 1);
        if (buf)
            *size = 1;
        return buf;
    }
    default:
        return NULL;
    }
}
