/* The system's message text for an error code, with the installers' own
 * codes from the update error table where the system has none, and the
 * ERROR/INFO lines that report it. */
#include "agent/errortext.h"
#include "agent/log.h"
#include "agent/textconv.h"
#include "agent/updateerror.h"

#include <stdlib.h>
#include <string.h>

/* One line of text, no inserts, from the system table. */
#define VQ_MESSAGE_FLAGS (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | \
                          FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK)

static void logMessageLine(DWORD code, const char *text)
{
    if (!text)
        text = "";
    if (code != 0)
        LogError("Error Code : %d , Error Message : %s \n", (int)code, text);
    else
        LogInfo("Message : %s \n", text);
}

char *Message(DWORD code)
{
    wchar_t *system = NULL;
    char *text = NULL;
    DWORD n = FormatMessageW(VQ_MESSAGE_FLAGS, NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             (LPWSTR)&system, 0, NULL);
    if (n != 0 && system)
        ChangeWideToUtf8Str(system, &text);
    if (system)
        LocalFree(system);
    /* No system text (or it could not be converted): installers' codes. */
    if (!text)
        text = OfficeUpdateError(code);
    logMessageLine(code, text);
    return text;
}

static int isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void MessageA(DWORD code)
{
    char *system = NULL;
    char *text = NULL;
    DWORD n = FormatMessageA(VQ_MESSAGE_FLAGS, NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             (LPSTR)&system, 0, NULL);
    if (n != 0 && system) {
        size_t len = strlen(system);
        text = (char *)malloc(len + 1);
        if (text)
            memcpy(text, system, len + 1);
    }
    if (system)
        LocalFree(system);
    if (!text)
        text = OfficeUpdateError(code);
    if (text) {
        char *start = text;
        while (isBlank(*start))
            start++;
        size_t len = strlen(start);
        while (len > 0 && isBlank(start[len - 1]))
            start[--len] = '\0';
        logMessageLine(code, start);
    } else {
        logMessageLine(code, NULL);
    }
    free(text);
}

void LogErrorMessage(DWORD code)
{
    free(Message(code));
}
