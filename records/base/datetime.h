/* The framework's date and time records (BrnDate, BrnTime, BrnDateTime),
 * their text forms, their parsers, and the parser of the three date formats
 * of HTTP headers. Every record and text returned is a new heap block. */
#ifndef VQ_RECORDS_BASE_DATETIME_H
#define VQ_RECORDS_BASE_DATETIME_H

#include <windows.h>
#include <time.h>

struct BrnDate {
    WORD year;
    BYTE month;
    BYTE day;
};

struct BrnTime {
    BYTE hour;
    BYTE minute;
    BYTE second;
};

/* Either part may be missing. The three further fields are 0 unless the
 * nine-field constructor set them. */
struct BrnDateTime {
    BrnDate *date;
    BrnTime *time;
    BYTE extra1;
    BYTE extra2;
    BYTE extra3;
};

/* Recorded sizes of the values in the table store. */
#define BRN_DATE_SIZE     4
#define BRN_TIME_SIZE     3
#define BRN_DATETIME_SIZE 11

/* Records are heap blocks one zero byte longer than the record (a valid
 * value buffer of the table store); release a date or time with free(), a
 * date-time with FreeBrnDateTime. NULL with ERROR "BrnDate creation failed",
 * "BrnTime creation failed" or "BrnDateTime creation failed" when out of
 * memory. */
BrnDate *CreateBrnDate(int year, int month, int day);
BrnTime *CreateBrnTime(int hour, int minute, int second);
BrnDateTime *CreateBrnDateTime(int year, int month, int day,
                               int hour, int minute, int second);
BrnDateTime *CreateBrnDateTimeEx(int year, int month, int day,
                                 int hour, int minute, int second,
                                 int extra1, int extra2, int extra3);
/* A date-time of the given parts, which it takes over (either may be NULL). */
BrnDateTime *CreateBrnDateTimeFromParts(BrnDate *date, BrnTime *time);

/* Frees the parts and the record; NULL is accepted. */
void FreeBrnDateTime(BrnDateTime *dateTime);

/* "%04d-%02d-%02d", "%02d:%02d:%02d", "%04d-%02d-%02d %02d:%02d:%02d". A
 * date-time with one part gives that part's form, with none NULL. */
char *BrnDateToString(const BrnDate *date);
char *BrnTimeToString(const BrnTime *time);
char *BrnDateTimeToString(const BrnDateTime *dateTime);

/* The local time now as "%Y-%m-%d %H:%M:%S". */
char *GetCurrentDateTimeString(void);

/* The local date and time now (ERROR "CreateBrnDate Failed" or
 * "CreateBrnTime Failed" when out of memory). */
BrnDateTime *GetCurrentBrnDateTime(void);

/* "y-m-d h:m:s", "y-m-d" or "h:m:s" into a date-time with both parts, the
 * fields missing from the text 0. NULL for a text with neither "-" nor ":",
 * and with ERROR "datetimeStr NULL \n" for NULL. */
BrnDateTime *ConvertStringToBrnDateTime(const char *text);

/* As above, but a text of one part gives the bare record: a BrnDate (type
 * code 16) or a BrnTime (17); a text of both a BrnDateTime (18). The code is
 * stored in *typeCode. */
void *ConvertStringToBrnDateOrTime(const char *text, BYTE *typeCode);

/* A date-time holding only the part(s) present in the text; ERROR
 * "The String is not a datetimeStr \n" and NULL for neither. */
BrnDateTime *ConvertStringToBrnGenDateTime(const char *text);

/* Month name ("Jan".."Dec", case-insensitive, first three letters) to 0..11,
 * -1 when unknown. */
int ParseMonth(const char *name);

/* Reads an HTTP header date in any of its three forms:
 *   "Sun, 06 Nov 1994 08:49:37 GMT"    (RFC 1123)
 *   "Sunday, 06-Nov-94 08:49:37 GMT"   (RFC 850; two-digit years: below 70
 *                                       are 20xx, others 19xx)
 *   "Sun Nov  6 08:49:37 1994"          (asctime)
 * into *out (tm_year from 1900, tm_mon 0..11, tm_wday/tm_yday not set).
 * FALSE for any other text or a field out of range. */
BOOL ParseDateTime(const char *text, struct tm *out);

/* Orders two broken-down times by year, month, day, hour, minute, second:
 * -1, 0 or 1. */
int CompareTime(const struct tm *a, const struct tm *b);

#endif
