/* The system's message text for an error code, with the installers' own
 * codes as a fallback, and the ERROR/INFO lines that report it. */
#ifndef VQ_AGENT_ERRORTEXT_H
#define VQ_AGENT_ERRORTEXT_H

#include <windows.h>

/* Text for `code` (FormatMessageW, else the update error table), logged as
 * ERROR (non-zero code) or INFO (0). Returns a new UTF-8 text; free(). */
char *Message(DWORD code);

/* The same through FormatMessageA, trimmed and logged; nothing returned. */
void MessageA(DWORD code);

/* Message(code), then releases the text. */
void LogErrorMessage(DWORD code);

#endif
