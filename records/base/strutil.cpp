/* Text utilities of the framework: copies, delimiter handling, comparisons
 * and small conversions. Comparisons take bytes as signed characters, as the
 * framework's stored orderings were made that way. */
#include "records/base/strutil.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "agent/log.h"

int CopyString(char **out, const char *text)
{
    if (!out)
        return STRUTIL_NO_MEMORY;
    *out = NULL;
    if (!text)
        return STRUTIL_OK;
    *out = _strdup(text);
    return *out ? STRUTIL_OK : STRUTIL_NO_MEMORY;
}

int CopyNString(char **out, const char *text, size_t n)
{
    if (!out)
        return STRUTIL_NO_MEMORY;
    *out = (char *)malloc(n + 1);
    if (!*out) {
        LogError("Unable to allocate memory\n");
        return STRUTIL_NO_MEMORY;
    }
    if (n && text)
        memcpy(*out, text, n);
    else
        n = 0;
    (*out)[n] = 0;
    return STRUTIL_OK;
}

BOOL ReallocateAndSetString(char **target, const char *text)
{
    if (!target)
        return FALSE;
    char *copy = NULL;
    if (text && !(copy = _strdup(text)))
        return FALSE;
    free(*target);
    *target = copy;
    return TRUE;
}

int CountDelimiter(const char *text, char delimiter)
{
    int n = 0;
    for (const char *p = text; p && *p; p++)
        if (*p == delimiter)
            n++;
    return n;
}

char *GetStringBeforeDelimiter(const char *text, char delimiter)
{
    const char *d = text ? strchr(text, delimiter) : NULL;
    if (!d || delimiter == 0)
        return NULL;
    char *out = NULL;
    CopyNString(&out, text, (size_t)(d - text));
    return out;
}

char *GetStringAfterDelimiter(const char *text, char delimiter)
{
    const char *d = text ? strchr(text, delimiter) : NULL;
    if (!d || delimiter == 0)
        return NULL;
    return _strdup(d + 1);
}

void FreeStringArray(char **array)
{
    if (!array)
        return;
    for (char **p = array; *p; p++)
        free(*p);
    free(array);
}

char **SplitString(const char *text, char delimiter, int *count)
{
    if (count)
        *count = 0;
    if (!text || delimiter == 0)
        return NULL;
    int parts = CountDelimiter(text, delimiter) + 1;
    char **array = (char **)calloc((size_t)parts + 1, sizeof(char *));
    if (!array)
        return NULL;
    const char *start = text;
    for (int i = 0; i < parts; i++) {
        const char *end = strchr(start, delimiter);
        size_t len = end ? (size_t)(end - start) : strlen(start);
        if (CopyNString(&array[i], start, len) != STRUTIL_OK) {
            FreeStringArray(array);
            return NULL;
        }
        start = end ? end + 1 : start + len;
    }
    if (count)
        *count = parts;
    return array;
}

static int foldAZ(int c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

int CompareStringIgnoreCase(const char *a, const char *b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    const signed char *p = (const signed char *)a, *q = (const signed char *)b;
    for (;; p++, q++) {
        int d = foldAZ(*p) - foldAZ(*q);
        if (d || !*p)
            return d;
    }
}

int CompareStringSigned(const char *a, const char *b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    const signed char *p = (const signed char *)a, *q = (const signed char *)b;
    for (;; p++, q++) {
        int d = *p - *q;
        if (d || !*p)
            return d;
    }
}

char *SubString(const char *text, const char *part)
{
    if (!text || !part)
        return NULL;
    return (char *)strstr(text, part);
}

BOOL FindSubString(const char *text, const char *part)
{
    return SubString(text, part) != NULL;
}

int GetIndex(const char *text, int length, char ch)
{
    for (int i = 0; text && i < length; i++)
        if (text[i] == ch)
            return i;
    return -1;
}

BOOL IsStringMatched(const char *a, const char *b)
{
    if (!a || !b)
        return a == b;
    return strcmp(a, b) == 0;
}

int ConvertToInteger(const char *text)
{
    return text ? atoi(text) : 0;
}

/* The division is done in SSE2 double precision: the x87 unit would round
 * to its extended precision first and then to double, which can differ
 * from the one correct rounding in the last bit. */
__attribute__((target("sse2,fpmath=sse"))) static double exactQuotient(UINT64 digits, int scale)
{
    static const double powersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    volatile double quotient = (double)digits / powersOfTen[scale];
    return quotient;
}

double TextToDouble(const char *text, char **end)
{
    const char *p = text;
    BOOL negative = FALSE;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    UINT64 digits = 0;
    int count = 0, scale = 0;
    BOOL point = FALSE;
    for (;; p++) {
        if (*p >= '0' && *p <= '9') {
            digits = digits * 10 + (UINT64)(*p - '0');
            count++;
            scale += point;
        } else if (*p == '.' && !point) {
            point = TRUE;
        } else {
            break;
        }
    }
    /* Up to 15 digits the integer is below 2^53, so exact as a double. */
    if (count == 0 || count > 15 || *p == 'e' || *p == 'E' || *p == 'x' || *p == 'X' || (negative && digits == 0))
        return strtod(text, end);
    if (end)
        *end = (char *)p;
    double value = exactQuotient(digits, scale);
    return negative ? -value : value;
}

long ConvertDecimalStringToNumber(const char *text)
{
    if (!text || !*text)
        return -1;
    long long v = 0;
    for (const char *p = text; *p; p++) {
        if (*p < '0' || *p > '9')
            return -1;
        v = v * 10 + (*p - '0');
        if (v > LONG_MAX)
            return -1;
    }
    return (long)v;
}

char *ReverseString(char *text)
{
    if (!text)
        return NULL;
    size_t n = strlen(text);
    for (size_t i = 0; i < n / 2; i++) {
        char t = text[i];
        text[i] = text[n - 1 - i];
        text[n - 1 - i] = t;
    }
    return text;
}
