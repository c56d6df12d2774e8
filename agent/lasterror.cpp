/* The ERROR line for the calling thread's last error: the low layers (text
 * conversion, registry access) report a failed Windows call with it. It
 * reads the narrow system text and needs no text conversion, so those
 * layers can use it without depending on the error texts of errortext.cpp,
 * which convert through them. */
#include "agent/lasterror.h"
#include "agent/log.h"
#include "agent/updateerror.h"

#include <stdlib.h>

void LogLastErrorMessage(void)
{
    DWORD code = GetLastError();
    char *system = NULL;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             NULL, code, 0, (LPSTR)&system, 0, NULL);
    if (n != 0 && system) {
        LogError(" Error Message: %s\n", system);
    } else {
        char *text = OfficeUpdateError(code);
        LogError(" Error Message: %s\n", text ? text : "");
        free(text);
    }
    if (system)
        LocalFree(system);
}
