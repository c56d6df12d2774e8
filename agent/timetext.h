/* Date and time texts of the download access log. Each takes the time to
 * show; NULL means the local time now (the C runtime's clock). The static
 * results are overwritten by the next call. */
#ifndef VQ_AGENT_TIMETEXT_H
#define VQ_AGENT_TIMETEXT_H

#include <windows.h>
#include <time.h>

/* "Jan" .. "Dec" for 0-11; "" for any other index. Static text. */
const char *GetMonthName(int month);

/* "YY-MM-DD", e.g. 26-12-07. Static text. */
const char *GetDateYYMMDD(const struct tm *when = NULL);

/* "Mon DD,YYYY HH:MMAM|PM" with a 24-hour hour, e.g. Dec 07,2026 18:34PM.
 * Static text. */
const char *GetDateTimeText(const struct tm *when = NULL);

/* New 13-byte text "HH:MM:SS" in *out (the caller frees it). With hour24
 * FALSE the hour is 12-hour (0 and 12 stay) and " am" or " pm" follows.
 * FALSE when out is NULL or memory runs out. */
BOOL GetTimeText(BOOL hour24, char **out, const struct tm *when = NULL);

#endif
