/* Date and time texts of the download access log, built from two-digit
 * parts. Reading the clock is kept apart from the formatting so that any
 * moment can be shown. */
#include "agent/timetext.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define VQ_TIME_TEXT_SIZE 13

static const char *const s_monthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

/* The moment to show: the caller's, or the local time now. */
static struct tm resolveTime(const struct tm *when)
{
    if (when)
        return *when;
    time_t now = time(NULL);
    struct tm local;
    struct tm *shown = localtime(&now);
    if (shown)
        local = *shown;
    else
        memset(&local, 0, sizeof(local));
    return local;
}

/* A number 0-99 as two decimal digits, tens then ones; a number out of that
 * range is reduced to its last two digits so the field width never grows. */
static void twoDigits(char *out, int value)
{
    if (value < 0)
        value = -value;
    value %= 100;
    out[0] = (char)('0' + value / 10);
    out[1] = (char)('0' + value % 10);
    out[2] = '\0';
}

const char *GetMonthName(int month)
{
    if (month < 0 || month > 11)
        return "";
    return s_monthNames[month];
}

const char *GetDateYYMMDD(const struct tm *when)
{
    static char text[16];
    struct tm t = resolveTime(when);
    char yy[3], mm[3], dd[3];
    twoDigits(yy, t.tm_year + 1900);
    twoDigits(mm, t.tm_mon + 1);
    twoDigits(dd, t.tm_mday);
    snprintf(text, sizeof(text), "%s-%s-%s", yy, mm, dd);
    return text;
}

const char *GetDateTimeText(const struct tm *when)
{
    static char text[32];
    struct tm t = resolveTime(when);
    char dd[3], hh[3], mi[3];
    twoDigits(dd, t.tm_mday);
    twoDigits(hh, t.tm_hour);
    twoDigits(mi, t.tm_min);
    snprintf(text, sizeof(text), "%s %s,%04d %s:%s%s", GetMonthName(t.tm_mon), dd,
             t.tm_year + 1900, hh, mi, t.tm_hour >= 12 ? "PM" : "AM");
    return text;
}

BOOL GetTimeText(BOOL hour24, char **out, const struct tm *when)
{
    if (!out)
        return FALSE;
    *out = NULL;
    char *text = (char *)calloc(VQ_TIME_TEXT_SIZE, 1);
    if (!text)
        return FALSE;
    struct tm t = resolveTime(when);
    int hour = t.tm_hour;
    if (!hour24 && hour > 12)
        hour -= 12;
    char hh[3], mi[3], ss[3];
    twoDigits(hh, hour);
    twoDigits(mi, t.tm_min);
    twoDigits(ss, t.tm_sec);
    snprintf(text, VQ_TIME_TEXT_SIZE, "%s:%s:%s%s", hh, mi, ss,
             hour24 ? "" : (t.tm_hour >= 12 ? " pm" : " am"));
    *out = text;
    return TRUE;
}
