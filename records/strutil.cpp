/* Text utilities of the framework: copies, delimiter handling, comparisons
 * and small conversions. Comparisons take bytes as signed characters, as the
 * framework's stored orderings were made that way. */
#include "records/strutil.h"

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
