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

#endif
