/* Conversions of system times into seconds since 1970 through file times
 * (100-nanosecond steps since 1601). */
#include "agent/unixtime.h"
#include "agent/log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timeb.h>
#include <time.h>
#include <wchar.h>

static LONGLONG fileTimeSeconds(const SYSTEMTIME *time)
{
    FILETIME ft;
    if (!SystemTimeToFileTime(time, &ft))
        return 0;
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (LONGLONG)(u.QuadPart / 10000000ULL);
}

void SystemTimeToUnixSeconds(const SYSTEMTIME *time, LONGLONG *seconds)
{
    SYSTEMTIME epoch = {1970, 1, 4, 1, 0, 0, 0, 0};
    *seconds = fileTimeSeconds(time) - fileTimeSeconds(&epoch);
}

LONG GetTimeInSeconds(const SYSTEMTIME *time)
{
    LONGLONG seconds = 0;
    SystemTimeToUnixSeconds(time, &seconds);
    _tzset();
    seconds += _timezone;
    char text[32];
    snprintf(text, sizeof(text), "%lld", seconds);
    LONG result = (LONG)strtol(text, NULL, 10);
    LogDebug("GetTimeInSeconds : retDate :: %s\n", text);
    LogInfo("GetTimeInSeconds : Time in Second : %d\n", (int)result);
    return result;
}

LONG GetCurrentTimeInSeconds(void)
{
    TIME_ZONE_INFORMATION zone;
    DWORD which = GetTimeZoneInformation(&zone);
    /* SystemTimeToTzSpecificLocalTime applies the bias, reduced by the
     * daylight bias while daylight time is in effect. */
    if (which == TIME_ZONE_ID_INVALID)
        memset(&zone, 0, sizeof(zone));
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(which == TIME_ZONE_ID_INVALID ? NULL : &zone, &utc, &local))
        GetLocalTime(&local);
    return GetTimeInSeconds(&local);
}

wchar_t *GetCurrentTimeInMillisecondsText(void)
{
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    LONGLONG seconds = 0;
    SystemTimeToUnixSeconds(&utc, &seconds);
    struct __timeb64 now;
    _ftime64(&now);
    LONGLONG millis = seconds * 1000 + now.millitm;
    wchar_t *text = (wchar_t *)calloc(260, 1);
    if (!text)
        return NULL;
    swprintf(text, 260 / sizeof(wchar_t), L"%lld", millis);
    printf("\nTime = %ls", text);
    return text;
}
