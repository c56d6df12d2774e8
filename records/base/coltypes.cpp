/* Value buffers of the column types: allocation with the spare terminating
 * byte, and reads of numeric cells that never go past a short buffer. */
#include "records/base/coltypes.h"

#include <stdlib.h>
#include <string.h>

BOOL IsTextColumnType(BYTE type)
{
    return type == BRN_SQL_CHAR || type == BRN_SQL_VARCHAR || type == BRN_SQL_TEXT;
}

BYTE *AllocValueBuffer(INT32 size)
{
    if (size < 0)
        return NULL;
    return (BYTE *)calloc((size_t)size + 1, 1);
}

BYTE *CopyValueBuffer(const void *data, INT32 size)
{
    BYTE *buf = AllocValueBuffer(size);
    if (buf && size > 0)
        memcpy(buf, data, (size_t)size);
    return buf;
}

/* Copies at most `width` bytes of a cell into `out`, which the caller has
 * zeroed; a NULL cell or a non-positive size copies nothing. */
static void readPrefix(const BYTE *value, INT32 size, void *out, size_t width)
{
    if (!value || size <= 0)
        return;
    memcpy(out, value, (size_t)size < width ? (size_t)size : width);
}

INT32 ReadInt32Value(const BYTE *value, INT32 size)
{
    INT32 v = 0;
    readPrefix(value, size, &v, sizeof v);
    return v;
}

INT64 ReadInt64Value(const BYTE *value, INT32 size)
{
    INT64 v = 0;
    readPrefix(value, size, &v, sizeof v);
    return v;
}

float ReadFloatValue(const BYTE *value, INT32 size)
{
    float v = 0;
    readPrefix(value, size, &v, sizeof v);
    return v;
}

double ReadDoubleValue(const BYTE *value, INT32 size)
{
    double v = 0;
    readPrefix(value, size, &v, sizeof v);
    return v;
}
