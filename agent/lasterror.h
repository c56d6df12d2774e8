/* The ERROR line that reports the calling thread's last error. */
#ifndef VQ_AGENT_LASTERROR_H
#define VQ_AGENT_LASTERROR_H

#include <windows.h>

/* ERROR " Error Message: %s\n" with the system text of GetLastError()
 * (FormatMessageA, line breaks kept), else the update error table's text. */
void LogLastErrorMessage(void);

#endif
