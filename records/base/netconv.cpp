/* Conversions for network-management values: object identifiers and IPv4
 * addresses in dotted text, the textual date-and-time form, 64-bit counters
 * and hexadecimal texts. */
#include "records/base/netconv.h"
#include "agent/textformat.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "agent/log.h"


/* --- object identifiers --- */

BOOL GetNextSubId(const char **cursor, DWORD *subId)
{
    if (!cursor || !*cursor || !subId)
        return FALSE;
    const char *p = *cursor;
    if (*p < '0' || *p > '9')
        return FALSE;
    ULONGLONG v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        v = v * 10 + (ULONGLONG)(*p - '0');
        if (v > 0xFFFFFFFFull)
            return FALSE;
    }
    if (*p == '.') {
        if (p[1] < '0' || p[1] > '9') /* "1..2" or a trailing dot */
            return FALSE;
        p++;
    } else if (*p != 0) {
        return FALSE;
    }
    *subId = (DWORD)v;
    *cursor = p;
    return TRUE;
}

/* Parses into a fresh array; *count and *ids only set on success. */
static BOOL parseDotted(const char *text, BOOL isIpAddress, DWORD **idsOut, DWORD *countOut)
{
    if (!text)
        return FALSE;
    const char *p = text;
    if (!isIpAddress && *p == '.')
        p++;
    if (!*p)
        return FALSE;
    DWORD ids[OID_MAX_LENGTH];
    DWORD count = 0;
    while (*p) {
        if (count == OID_MAX_LENGTH)
            return FALSE;
        const char *start = p;
        if (!GetNextSubId(&p, &ids[count]))
            return FALSE;
        if (isIpAddress) {
            size_t digits = strspn(start, "0123456789");
            if (ids[count] > 255 || digits > 3 || (digits > 1 && *start == '0'))
                return FALSE;
        }
        count++;
    }
    if (isIpAddress && count != 4)
        return FALSE;
    DWORD *copy = (DWORD *)malloc(count * sizeof(DWORD));
    if (!copy)
        return FALSE;
    memcpy(copy, ids, count * sizeof(DWORD));
    *idsOut = copy;
    *countOut = count;
    return TRUE;
}

BOOL ConvertToOidOrIpFromString(const char *text, Oid *oid, BOOL isIpAddress)
{
    if (!oid)
        return FALSE;
    DWORD *ids = NULL, count = 0;
    if (!parseDotted(text, isIpAddress, &ids, &count)) {
        LogError(isIpAddress ? "Incorrect format of IpAddress\n" : "Incorrect format of OID\n");
        return FALSE;
    }
    oid->ids = ids;
    oid->length = count;
    return TRUE;
}

char *ConvertToStringFromOid(const DWORD *ids, DWORD length)
{
    if (!ids && length)
        return NULL;
    /* At most ten digits and a dot per sub-identifier. */
    char *out = (char *)malloc((size_t)length * 11 + 1);
    if (!out)
        return NULL;
    size_t pos = 0;
    for (DWORD i = 0; i < length; i++)
        pos += (size_t)sprintf(out + pos, i ? ".%lu" : "%lu", (unsigned long)ids[i]);
    out[pos] = 0;
    return out;
}

char *ConvertToStringFromOID(const Oid *oid)
{
    if (!oid)
        return NULL;
    return ConvertToStringFromOid(oid->ids, oid->length);
}

char *ConvertToIpAddressFromOid(const Oid *oid)
{
    if (!oid || oid->length != 4)
        return NULL;
    for (DWORD i = 0; i < 4; i++)
        if (oid->ids[i] > 255)
            return NULL;
    return ConvertToStringFromOid(oid->ids, 4);
}

int CompareOid(const Oid *a, const Oid *b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    DWORD n = a->length < b->length ? a->length : b->length;
    for (DWORD i = 0; i < n; i++)
        if (a->ids[i] != b->ids[i])
            return a->ids[i] < b->ids[i] ? -1 : 1;
    if (a->length == b->length)
        return 0;
    return a->length < b->length ? -1 : 1;
}

static DWORD *copyIds(const DWORD *ids, DWORD n)
{
    DWORD *copy = (DWORD *)malloc(n ? n * sizeof(DWORD) : 1);
    if (copy && n)
        memcpy(copy, ids, n * sizeof(DWORD));
    return copy;
}

BOOL CopyOid(Oid *target, const Oid *source)
{
    if (!target || !source || (!source->ids && source->length))
        return FALSE;
    DWORD *ids = copyIds(source->ids, source->length);
    if (!ids)
        return FALSE;
    target->ids = ids;
    target->length = source->length;
    return TRUE;
}

DWORD GetOidLength(const Oid *oid)
{
    return oid ? oid->length : 0;
}

BOOL SetNOid(Oid *oid, const DWORD *ids, DWORD n)
{
    if (!oid || (!ids && n))
        return FALSE;
    DWORD *copy = copyIds(ids, n);
    if (!copy)
        return FALSE;
    free(oid->ids);
    oid->ids = copy;
    oid->length = n;
    return TRUE;
}

BOOL ReallocateAndSetOID(Oid *target, const Oid *source)
{
    if (!source)
        return FALSE;
    return SetNOid(target, source->ids, source->length);
}

BOOL CopyStringToOid(Oid *oid, const char *text)
{
    return ConvertToOidOrIpFromString(text, oid, FALSE);
}

Oid *CopyStringToOID(const char *text)
{
    Oid *oid = (Oid *)calloc(1, sizeof(Oid));
    if (!oid)
        return NULL;
    if (!CopyStringToOid(oid, text)) {
        free(oid);
        return NULL;
    }
    return oid;
}

void PrintOid(const Oid *oid)
{
    if (!oid)
        return;
    char *line = (char *)malloc((size_t)oid->length * 11 + 1);
    if (!line)
        return;
    size_t pos = 0;
    for (DWORD i = 0; i < oid->length; i++)
        pos += (size_t)sprintf(line + pos, "%lu\t", (unsigned long)oid->ids[i]);
    line[pos] = 0;
    LogDebug("%s\n", line);
    free(line);
}

void ClearOid(Oid *oid)
{
    if (!oid)
        return;
    free(oid->ids);
    oid->ids = NULL;
    oid->length = 0;
}

void FreeOid(Oid *oid)
{
    if (!oid)
        return;
    free(oid->ids);
    free(oid);
}

BOOL IsValidOid(const char *text)
{
    DWORD *ids = NULL, count = 0;
    if (!parseDotted(text, FALSE, &ids, &count))
        return FALSE;
    free(ids);
    return TRUE;
}

BOOL IsValidIPAddress(const char *text)
{
    DWORD *ids = NULL, count = 0;
    if (!parseDotted(text, TRUE, &ids, &count))
        return FALSE;
    free(ids);
    return TRUE;
}

/* --- date and time --- */

char *ConvertToStringFromDateTime(const NetDateTime *dt)
{
    if (!dt)
        return NULL;
    if (dt->hasZone)
        return FormatNewText("%d-%d-%d,%d:%d:%d.%d,%c%d:%d", dt->year, dt->month, dt->day,
                         dt->hour, dt->minute, dt->second, dt->deciSecond,
                         dt->direction == '-' ? '-' : '+', dt->zoneHours,
                         dt->zoneMinutes);
    return FormatNewText("%d-%d-%d,%d:%d:%d.%d", dt->year, dt->month, dt->day, dt->hour,
                     dt->minute, dt->second, dt->deciSecond);
}

BOOL ConvertToDateTimeFromString(const char *text, NetDateTime *dt)
{
    if (!text || !dt)
        return FALSE;
    int y, mo, d, h, mi, s, ds, zh, zm, used = 0;
    char dir = 0;
    if (sscanf(text, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d%n", &y, &mo, &d, &h, &mi, &s, &ds,
               &dir, &zh, &zm, &used) != 10 || text[used] != 0)
        return FALSE;
    if (y < 0 || y > 65535 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23
        || mi < 0 || mi > 59 || s < 0 || s > 60 || ds < 0 || ds > 9
        || (dir != '+' && dir != '-') || zh < 0 || zh > 13 || zm < 0 || zm > 59)
        return FALSE;
    dt->year = (WORD)y;
    dt->month = (BYTE)mo;
    dt->day = (BYTE)d;
    dt->hour = (BYTE)h;
    dt->minute = (BYTE)mi;
    dt->second = (BYTE)s;
    dt->deciSecond = (BYTE)ds;
    dt->hasZone = TRUE;
    dt->direction = dir;
    dt->zoneHours = (BYTE)zh;
    dt->zoneMinutes = (BYTE)zm;
    return TRUE;
}

/* --- Counter64 --- */

void ConvertToCounter64FromULongLong(ULONGLONG value, Counter64 *counter)
{
    if (!counter)
        return;
    counter->high = (DWORD)(value >> 32);
    counter->low = (DWORD)value;
}

ULONGLONG ConvertToULongLongFromCounter64(const Counter64 *counter)
{
    if (!counter)
        return 0;
    return ((ULONGLONG)counter->high << 32) | counter->low;
}

BOOL ConvertToCounter64(const BYTE *bytes, int length, Counter64 *counter)
{
    /* A counter is at most eight value bytes, nine with the sign octet that
     * an encoder puts before a high bit. Shorter inputs are the same
     * big-endian number with fewer bytes; only the bytes given are read. */
    if (!bytes || !counter || length < 1 || length > 9)
        return FALSE;
    if (length == 9) {
        bytes++;
        length--;
    }
    int lowCount = length < 4 ? length : 4;
    DWORD high = 0, low = 0;
    for (int i = 0; i < length - lowCount; i++)
        high = (high << 8) | bytes[i];
    for (int i = length - lowCount; i < length; i++)
        low = (low << 8) | bytes[i];
    counter->high = high;
    counter->low = low;
    return TRUE;
}

char *ConvertToStringFromCounter64(const Counter64 *counter)
{
    if (!counter)
        return NULL;
    return FormatNewText("%lld", (long long)ConvertToULongLongFromCounter64(counter));
}

/* --- hexadecimal and numbers --- */

int GetHexValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

LONGLONG ConvertToDecimalFromHexa(const char *hex)
{
    if (!hex)
        return -1;
    if (hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X'))
        hex += 2;
    if (!*hex)
        return -1;
    ULONGLONG v = 0;
    for (; *hex; hex++) {
        int d = GetHexValue(*hex);
        if (d < 0 || v > (0x7FFFFFFFFFFFFFFFull >> 4))
            return -1;
        v = (v << 4) | (ULONGLONG)d;
    }
    return (LONGLONG)v;
}

char *ConvertToHexValue(const BYTE *bytes, int length)
{
    if ((!bytes && length) || length < 0)
        return NULL;
    static const char digits[] = "0123456789ABCDEF";
    char *out = (char *)malloc((size_t)length * 2 + 1);
    if (!out)
        return NULL;
    for (int i = 0; i < length; i++) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 15];
    }
    out[2 * length] = 0;
    return out;
}

char *ConvertToStringFromHex(const char *hex, int *length)
{
    if (length)
        *length = 0;
    if (!hex)
        return NULL;
    size_t n = strlen(hex);
    if (n % 2)
        return NULL;
    char *out = (char *)malloc(n / 2 + 1);
    if (!out)
        return NULL;
    for (size_t i = 0; i < n / 2; i++) {
        int hi = GetHexValue(hex[2 * i]), lo = GetHexValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            free(out);
            return NULL;
        }
        out[i] = (char)((hi << 4) | lo);
    }
    out[n / 2] = 0;
    if (length)
        *length = (int)(n / 2);
    return out;
}

char *ToString(BOOL value)
{
    return _strdup(value ? "TRUE" : "FALSE");
}

char *ConvertToStringFromInteger(int value)
{
    return FormatNewText("%d", value);
}

char *ConvertToStringFromUnsignedInteger(unsigned int value)
{
    return FormatNewText("%u", value);
}

char *ConvertToCharArray(const Oid *oid, int *length)
{
    if (length)
        *length = 0;
    if (!oid || (!oid->ids && oid->length))
        return NULL;
    char *out = (char *)malloc((size_t)oid->length + 1);
    if (!out)
        return NULL;
    for (DWORD i = 0; i < oid->length; i++) {
        if (oid->ids[i] > 255) {
            free(out);
            return NULL;
        }
        out[i] = (char)oid->ids[i];
    }
    out[oid->length] = 0;
    if (length)
        *length = (int)oid->length;
    return out;
}

void PrintStream(const BYTE *bytes, int length)
{
    if (!bytes || length <= 0)
        return;
    char line[16 * 3 + 1];
    for (int start = 0; start < length; start += 16) {
        size_t pos = 0;
        for (int i = start; i < length && i < start + 16; i++)
            pos += (size_t)sprintf(line + pos, "%02X ", bytes[i]);
        line[pos] = 0;
        LogDebug("%s\n", line);
    }
}
