/* Date and time records of the framework, their texts and parsers, and the
 * reader of HTTP header dates. */
#include "records/base/datetime.h"
#include "agent/textformat.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "agent/log.h"

/* Each record is allocated one zero byte longer than itself, like every value
 * buffer of the table store, so a record can be stored as a column value
 * as it is. */
BrnDate *CreateBrnDate(int year, int month, int day)
{
    BrnDate *d = (BrnDate *)calloc(1, sizeof(BrnDate) + 1);
    if (!d) {
        LogError("BrnDate creation failed");
        return NULL;
    }
    d->year = (WORD)year;
    d->month = (BYTE)month;
    d->day = (BYTE)day;
    return d;
}

BrnTime *CreateBrnTime(int hour, int minute, int second)
{
    BrnTime *t = (BrnTime *)calloc(1, sizeof(BrnTime) + 1);
    if (!t) {
        LogError("BrnTime creation failed");
        return NULL;
    }
    t->hour = (BYTE)hour;
    t->minute = (BYTE)minute;
    t->second = (BYTE)second;
    return t;
}

BrnDateTime *CreateBrnDateTimeFromParts(BrnDate *date, BrnTime *time)
{
    BrnDateTime *dt = (BrnDateTime *)calloc(1, sizeof(BrnDateTime) + 1);
    if (!dt) {
        LogError("BrnDateTime creation failed");
        return NULL;
    }
    dt->date = date;
    dt->time = time;
    return dt;
}

BrnDateTime *CreateBrnDateTimeEx(int year, int month, int day,
                                 int hour, int minute, int second,
                                 int extra1, int extra2, int extra3)
{
    BrnDate *d = CreateBrnDate(year, month, day);
    BrnTime *t = d ? CreateBrnTime(hour, minute, second) : NULL;
    BrnDateTime *dt = t ? CreateBrnDateTimeFromParts(d, t) : NULL;
    if (!dt) {
        if (!d || !t)
            LogError("BrnDateTime creation failed");
        free(d);
        free(t);
        return NULL;
    }
    dt->extra1 = (BYTE)extra1;
    dt->extra2 = (BYTE)extra2;
    dt->extra3 = (BYTE)extra3;
    return dt;
}

BrnDateTime *CreateBrnDateTime(int year, int month, int day,
                               int hour, int minute, int second)
{
    return CreateBrnDateTimeEx(year, month, day, hour, minute, second, 0, 0, 0);
}

void FreeBrnDateTime(BrnDateTime *dateTime)
{
    if (!dateTime)
        return;
    free(dateTime->date);
    free(dateTime->time);
    free(dateTime);
}


char *BrnDateToString(const BrnDate *date)
{
    if (!date)
        return NULL;
    return FormatNewText("%04d-%02d-%02d", date->year, date->month, date->day);
}

char *BrnTimeToString(const BrnTime *time)
{
    if (!time)
        return NULL;
    return FormatNewText("%02d:%02d:%02d", time->hour, time->minute, time->second);
}

char *BrnDateTimeToString(const BrnDateTime *dt)
{
    if (!dt)
        return NULL;
    if (dt->date && dt->time)
        return FormatNewText("%04d-%02d-%02d %02d:%02d:%02d", dt->date->year,
                         dt->date->month, dt->date->day, dt->time->hour,
                         dt->time->minute, dt->time->second);
    if (dt->date)
        return BrnDateToString(dt->date);
    return BrnTimeToString(dt->time);
}

char *GetCurrentDateTimeString(void)
{
    time_t now = time(NULL);
    struct tm *local = localtime(&now);
    if (!local)
        return NULL;
    char buf[32];
    if (!strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S", local))
        return NULL;
    return _strdup(buf);
}

BrnDateTime *GetCurrentBrnDateTime(void)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    BrnDate *d = CreateBrnDate(st.wYear, st.wMonth, st.wDay);
    if (!d) {
        LogError("CreateBrnDate Failed");
        return NULL;
    }
    BrnTime *t = CreateBrnTime(st.wHour, st.wMinute, st.wSecond);
    if (!t) {
        LogError("CreateBrnTime Failed");
        free(d);
        return NULL;
    }
    BrnDateTime *dt = CreateBrnDateTimeFromParts(d, t);
    if (!dt) {
        free(d);
        free(t);
    }
    return dt;
}

/* The fields of a date-time text; unread fields stay 0. */
struct DateTimeFields {
    int year, month, day, hour, minute, second;
    bool hasDate, hasTime;
};

static bool readDateTimeFields(const char *text, DateTimeFields *f)
{
    memset(f, 0, sizeof(*f));
    f->hasDate = strchr(text, '-') != NULL;
    f->hasTime = strchr(text, ':') != NULL;
    if (f->hasDate && f->hasTime)
        sscanf(text, "%d-%d-%d %d:%d:%d", &f->year, &f->month, &f->day,
               &f->hour, &f->minute, &f->second);
    else if (f->hasDate)
        sscanf(text, "%d-%d-%d", &f->year, &f->month, &f->day);
    else if (f->hasTime)
        sscanf(text, "%d:%d:%d", &f->hour, &f->minute, &f->second);
    return f->hasDate || f->hasTime;
}

/* A date-time of the wanted parts, or NULL when out of memory. */
static BrnDateTime *buildDateTime(const DateTimeFields *f, bool withDate, bool withTime)
{
    BrnDate *d = withDate ? CreateBrnDate(f->year, f->month, f->day) : NULL;
    BrnTime *t = withTime ? CreateBrnTime(f->hour, f->minute, f->second) : NULL;
    BrnDateTime *dt = NULL;
    if ((!withDate || d) && (!withTime || t))
        dt = CreateBrnDateTimeFromParts(d, t);
    if (!dt) {
        free(d);
        free(t);
    }
    return dt;
}

BrnDateTime *ConvertStringToBrnDateTime(const char *text)
{
    LogTrace("Inside ConvertStringToBrnDateTime \n");
    if (!text) {
        LogError("datetimeStr NULL \n");
        return NULL;
    }
    DateTimeFields f;
    if (!readDateTimeFields(text, &f))
        return NULL;
    return buildDateTime(&f, true, true);
}

void *ConvertStringToBrnDateOrTime(const char *text, BYTE *typeCode)
{
    LogTrace("Inside ConvertStringToBrnDateTime \n");
    if (typeCode)
        *typeCode = 0;
    if (!text) {
        LogError("datetimeStr NULL \n");
        return NULL;
    }
    DateTimeFields f;
    if (!readDateTimeFields(text, &f))
        return NULL;
    void *value;
    BYTE code;
    if (f.hasDate && f.hasTime) {
        value = buildDateTime(&f, true, true);
        code = 18;
    } else if (f.hasDate) {
        value = CreateBrnDate(f.year, f.month, f.day);
        code = 16;
    } else {
        value = CreateBrnTime(f.hour, f.minute, f.second);
        code = 17;
    }
    if (value && typeCode)
        *typeCode = code;
    return value;
}

BrnDateTime *ConvertStringToBrnGenDateTime(const char *text)
{
    LogTrace("Inside ConvertStringToBrnGenDateTime \n");
    if (!text) {
        LogError("datetimeStr NULL \n");
        return NULL;
    }
    DateTimeFields f;
    if (!readDateTimeFields(text, &f)) {
        LogError("The String is not a datetimeStr \n");
        return NULL;
    }
    return buildDateTime(&f, f.hasDate, f.hasTime);
}

int ParseMonth(const char *name)
{
    static const char *const months[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                           "jul", "aug", "sep", "oct", "nov", "dec"};
    if (!name || strlen(name) != 3)
        return -1;
    for (int m = 0; m < 12; m++)
        if (_strnicmp(name, months[m], 3) == 0)
            return m;
    return -1;
}

/* TRUE when only blanks follow position `used` of `text`. */
static bool onlyBlanksAfter(const char *text, int used)
{
    for (const char *p = text + used; *p; p++)
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            return false;
    return true;
}

BOOL ParseDateTime(const char *text, struct tm *out)
{
    if (!text || !out)
        return FALSE;
    char weekday[32], month[32], zone[32];
    int day = 0, year = 0, hour = 0, minute = 0, second = 0, used = 0;
    bool twoDigitYear = false;

    if (sscanf(text, "%31s %d %31s %d %d:%d:%d %31s%n", weekday, &day, month,
               &year, &hour, &minute, &second, zone, &used) == 8
        && onlyBlanksAfter(text, used)) {
        /* Sun, 06 Nov 1994 08:49:37 GMT */
    } else if (sscanf(text, "%31s %d-%3s-%d %d:%d:%d %31s%n", weekday, &day, month,
                      &year, &hour, &minute, &second, zone, &used) == 8
               && onlyBlanksAfter(text, used)) {
        /* Sunday, 06-Nov-94 08:49:37 GMT */
        twoDigitYear = year >= 0 && year < 100;
    } else if (sscanf(text, "%31s %31s %d %d:%d:%d %d%n", weekday, month, &day,
                      &hour, &minute, &second, &year, &used) == 7
               && onlyBlanksAfter(text, used)) {
        /* Sun Nov  6 08:49:37 1994 */
    } else {
        return FALSE;
    }
    if (twoDigitYear)
        year += year < 70 ? 2000 : 1900;
    int mon = ParseMonth(month);
    if (mon < 0 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0
        || minute > 59 || second < 0 || second > 60 || year < 1000 || year > 9999)
        return FALSE;
    memset(out, 0, sizeof(*out));
    out->tm_year = year - 1900;
    out->tm_mon = mon;
    out->tm_mday = day;
    out->tm_hour = hour;
    out->tm_min = minute;
    out->tm_sec = second;
    return TRUE;
}

int CompareTime(const struct tm *a, const struct tm *b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    const int fa[6] = {a->tm_year, a->tm_mon, a->tm_mday, a->tm_hour, a->tm_min, a->tm_sec};
    const int fb[6] = {b->tm_year, b->tm_mon, b->tm_mday, b->tm_hour, b->tm_min, b->tm_sec};
    for (int i = 0; i < 6; i++)
        if (fa[i] != fb[i])
            return fa[i] < fb[i] ? -1 : 1;
    return 0;
}
