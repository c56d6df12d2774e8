/* Header queries shared by the downloads: Content-Length and the start of a
 * 206 answer's Content-Range, both read as text so that values beyond 32 bits
 * are refused rather than wrapped. */
#ifndef VQ_NET_HEADERQUERY_H
#define VQ_NET_HEADERQUERY_H

#include <windows.h>
#include <winhttp.h>

/* Content-Length of a received response into *length, read as text so that
 * a length beyond 32 bits is refused (ERROR_FILE_TOO_LARGE, logged with
 * `caller`) instead of wrapping. 0, or the header query's error
 * (ERROR_WINHTTP_HEADER_NOT_FOUND when there is none). */
DWORD QueryContentLength(HINTERNET request, DWORD *length, const char *caller);

/* First byte of a 206 answer's Content-Range ("bytes a-b/c"); FALSE when
 * the header is missing or unreadable. */
BOOL QueryContentRangeStart(HINTERNET request, DWORD *start);

#endif
