/* System times as seconds since 1 January 1970, as the server expects
 * them in its requests and resume records. */
#ifndef VQ_AGENT_UNIXTIME_H
#define VQ_AGENT_UNIXTIME_H

#include <windows.h>

/* Seconds from 1970-01-01 00:00:00 to `time` (taken as it is, no zone). */
void SystemTimeToUnixSeconds(const SYSTEMTIME *time, LONGLONG *seconds);

/* SystemTimeToUnixSeconds plus the C runtime's zone offset (seconds west of
 * UTC), as a 32-bit number. */
LONG GetTimeInSeconds(const SYSTEMTIME *time);

/* GetTimeInSeconds of the local time now. */
LONG GetCurrentTimeInSeconds(void);

/* New wide decimal text (260 bytes) of the milliseconds since 1970 now;
 * the caller frees it. NULL when out of memory. */
wchar_t *GetCurrentTimeInMillisecondsText(void);

#endif
