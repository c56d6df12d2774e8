/* Conversions between UTF-8 and UTF-16 text. Every narrow text of the agent
 * is UTF-8 (code page 65001), the "ANSI" conversion included. Results are
 * new buffers that the caller releases with free(). */
#ifndef VQ_AGENT_TEXTCONV_H
#define VQ_AGENT_TEXTCONV_H

#include <windows.h>

BOOL ChangeToWideStr(const char *ansiString, wchar_t **wideOut);
BOOL ChangeUtf8ToWideStr(const char *utf8, wchar_t **wideOut);
BOOL ChangeWideToUtf8Str(const wchar_t *wide, char **utf8Out);
BOOL ChangeAnsiToUTF8Str(const char *ansiString, char **utf8Out);

/* The UTF-16 form of zero-terminated UTF-8 text, without the debug line of
 * ChangeUtf8ToWideStr: for layers that convert every name they pass to a
 * wide API. NULL for NULL, invalid text or no memory. */
wchar_t *Utf8ToWideText(const char *utf8);

/* The UTF-8 form of `count` UTF-16 characters, zero characters inside kept
 * (a REG_MULTI_SZ list converts whole). The result has `spareZeros` zero
 * bytes (at least 1) after its *lengthOut bytes. NULL when out of memory or
 * the characters cannot be converted. */
char *WideToUtf8Counted(const wchar_t *wide, size_t count, size_t spareZeros,
                        size_t *lengthOut);

#endif
