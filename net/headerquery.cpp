/* Header queries shared by the plain, the bit-rate limited and the resumable
 * downloads. The numbers are read from the header's text rather than with
 * WINHTTP_QUERY_FLAG_NUMBER, so that a value beyond 32 bits is seen and
 * refused instead of wrapping to a small length or offset. */
#include "net/headerquery.h"
#include "net/netlimits.h"
#include "agent/log.h"

#include <string.h>
#include <wchar.h>

DWORD QueryContentLength(HINTERNET request, DWORD *length, const char *caller)
{
    wchar_t text[VQ_NET_CONTENT_LENGTH_CHARS];
    DWORD size = sizeof(text) - sizeof(wchar_t);
    memset(text, 0, sizeof(text));
    *length = 0;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text, &size, WINHTTP_NO_HEADER_INDEX))
        return GetLastError();
    const wchar_t *p = text;
    while (*p == L' ' || *p == L'\t')
        p++;
    unsigned long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; p++) {
        value = value * 10 + (unsigned)(*p - L'0');
        if (value > VQ_NET_MAX_CONTENT_LENGTH) {
            LogError("%s : Content Length %S is larger than %llu bytes, the largest download this "
                     "agent can take \n", caller, text, VQ_NET_MAX_CONTENT_LENGTH);
            return ERROR_FILE_TOO_LARGE;
        }
    }
    *length = (DWORD)value;
    return 0;
}

BOOL QueryContentRangeStart(HINTERNET request, DWORD *start)
{
    wchar_t text[128];
    DWORD size = sizeof(text) - sizeof(wchar_t);
    memset(text, 0, sizeof(text));
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_RANGE, WINHTTP_HEADER_NAME_BY_INDEX, text,
                             &size, WINHTTP_NO_HEADER_INDEX))
        return FALSE;
    const wchar_t *p = wcsstr(text, L"bytes");
    if (!p)
        return FALSE;
    p += 5;
    while (*p == L' ' || *p == L'=')
        p++;
    if (*p < L'0' || *p > L'9')
        return FALSE;
    unsigned long long value = 0;
    for (; *p >= L'0' && *p <= L'9' && value <= 0xFFFFFFFFull; p++)
        value = value * 10 + (unsigned)(*p - L'0');
    if (value > 0xFFFFFFFFull)
        return FALSE;
    *start = (DWORD)value;
    return TRUE;
}
