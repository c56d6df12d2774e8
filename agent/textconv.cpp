/* Conversions between UTF-8 and UTF-16. Every narrow text of the agent is
 * UTF-8, so the "ANSI" conversion uses code page 65001 too; invalid UTF-8
 * comes out with U+FFFD in place of the bad bytes. */
#include "agent/textconv.h"
#include "agent/lasterror.h"
#include "agent/log.h"

#include <stdlib.h>

/* Measures and converts; NULL when the text cannot be converted. */
static wchar_t *utf8ToWide(const char *text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
    if (n <= 0) {
        LogLastErrorMessage();
        return NULL;
    }
    wchar_t *wide = (wchar_t *)calloc((size_t)n, sizeof(wchar_t));
    if (!wide)
        return NULL;
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, n) <= 0) {
        LogLastErrorMessage();
        free(wide);
        return NULL;
    }
    return wide;
}

wchar_t *Utf8ToWideText(const char *utf8)
{
    return utf8 ? utf8ToWide(utf8) : NULL;
}

char *WideToUtf8Counted(const wchar_t *wide, size_t count, size_t spareZeros,
                        size_t *lengthOut)
{
    if (lengthOut)
        *lengthOut = 0;
    if (!wide || count > 0x7FFFFFFF)
        return NULL;
    if (spareZeros < 1)
        spareZeros = 1;
    int n = 0;
    if (count > 0) {
        n = WideCharToMultiByte(CP_UTF8, 0, wide, (int)count, NULL, 0, NULL, NULL);
        if (n <= 0) {
            LogLastErrorMessage();
            return NULL;
        }
    }
    char *utf8 = (char *)calloc((size_t)n + spareZeros, 1);
    if (!utf8)
        return NULL;
    if (n > 0 && WideCharToMultiByte(CP_UTF8, 0, wide, (int)count, utf8, n, NULL, NULL) <= 0) {
        LogLastErrorMessage();
        free(utf8);
        return NULL;
    }
    if (lengthOut)
        *lengthOut = (size_t)n;
    return utf8;
}

BOOL ChangeToWideStr(const char *ansiString, wchar_t **wideOut)
{
    if (wideOut)
        *wideOut = NULL;
    if (!ansiString) {
        LogError("ChangeToWideStr: AnsiString is empty! \n");
        return FALSE;
    }
    if (!wideOut)
        return FALSE;
    *wideOut = utf8ToWide(ansiString);
    return *wideOut != NULL;
}

BOOL ChangeUtf8ToWideStr(const char *utf8, wchar_t **wideOut)
{
    if (wideOut)
        *wideOut = NULL;
    if (!utf8) {
        LogError("ChangeUtf8ToWideStr: utf8 is empty! \n");
        return FALSE;
    }
    if (!wideOut)
        return FALSE;
    LogDebug("UTF String Received:%s\n", utf8);
    *wideOut = utf8ToWide(utf8);
    return *wideOut != NULL;
}

BOOL ChangeWideToUtf8Str(const wchar_t *wide, char **utf8Out)
{
    if (utf8Out)
        *utf8Out = NULL;
    if (!wide || !utf8Out)
        return FALSE;
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, NULL, 0, NULL, NULL);
    if (n <= 0) {
        LogLastErrorMessage();
        return FALSE;
    }
    char *utf8 = (char *)calloc((size_t)n + 1, 1);
    if (!utf8)
        return FALSE;
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, n, NULL, NULL) <= 0) {
        LogLastErrorMessage();
        free(utf8);
        return FALSE;
    }
    *utf8Out = utf8;
    return TRUE;
}

BOOL ChangeAnsiToUTF8Str(const char *ansiString, char **utf8Out)
{
    if (utf8Out)
        *utf8Out = NULL;
    if (!ansiString) {
        LogError("ChangeAnsiToUTF8Str: ansiString is empty! \n");
        return FALSE;
    }
    wchar_t *wide = NULL;
    if (!ChangeToWideStr(ansiString, &wide))
        return FALSE;
    BOOL ok = ChangeWideToUtf8Str(wide, utf8Out);
    free(wide);
    return ok;
}
