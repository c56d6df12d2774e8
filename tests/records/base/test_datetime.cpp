/* Date and time records: the text parsers with one, both or neither part,
 * the text forms, and the three HTTP header date forms with bad input. */
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "records/base/datetime.h"

namespace {

std::string take(char *text)
{
    std::string s = text ? text : "<null>";
    free(text);
    return s;
}

TEST(BrnDateTime, ParserFillsMissingPartWithZeros)
{
    BrnDateTime *dt = ConvertStringToBrnDateTime("10:20:30");
    ASSERT_NE(nullptr, dt);
    ASSERT_NE(nullptr, dt->date);
    ASSERT_NE(nullptr, dt->time);
    EXPECT_EQ(0, dt->date->year);
    EXPECT_EQ(0, dt->date->month);
    EXPECT_EQ(0, dt->date->day);
    EXPECT_EQ("10:20:30", take(BrnTimeToString(dt->time)));
    FreeBrnDateTime(dt);

    dt = ConvertStringToBrnDateTime("2024-02-29");
    ASSERT_NE(nullptr, dt);
    EXPECT_EQ("2024-02-29 00:00:00", take(BrnDateTimeToString(dt)));
    FreeBrnDateTime(dt);

    dt = ConvertStringToBrnDateTime("1999-12-31 23:59:58");
    ASSERT_NE(nullptr, dt);
    EXPECT_EQ("1999-12-31 23:59:58", take(BrnDateTimeToString(dt)));
    EXPECT_EQ(0, dt->extra1 | dt->extra2 | dt->extra3);
    FreeBrnDateTime(dt);

    EXPECT_EQ(nullptr, ConvertStringToBrnDateTime("20240229"));
    EXPECT_EQ(nullptr, ConvertStringToBrnDateTime(""));
    EXPECT_EQ(nullptr, ConvertStringToBrnDateTime(NULL));
}

TEST(BrnDateTime, GenericParserKeepsOnlyThePartsPresent)
{
    BrnDateTime *dt = ConvertStringToBrnGenDateTime("2001-02-03");
    ASSERT_NE(nullptr, dt);
    EXPECT_NE(nullptr, dt->date);
    EXPECT_EQ(nullptr, dt->time);
    EXPECT_EQ("2001-02-03", take(BrnDateTimeToString(dt)));
    FreeBrnDateTime(dt);

    dt = ConvertStringToBrnGenDateTime("04:05:06");
    ASSERT_NE(nullptr, dt);
    EXPECT_EQ(nullptr, dt->date);
    EXPECT_EQ("04:05:06", take(BrnDateTimeToString(dt)));
    FreeBrnDateTime(dt);

    EXPECT_EQ(nullptr, ConvertStringToBrnGenDateTime("noon"));

    BrnDateTime none = {NULL, NULL, 0, 0, 0};
    EXPECT_EQ(nullptr, BrnDateTimeToString(&none));
}

TEST(BrnDateTime, BareRecordVariantReportsItsType)
{
    BYTE code = 99;
    BrnDate *d = (BrnDate *)ConvertStringToBrnDateOrTime("2020-1-2", &code);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(16, code);
    EXPECT_EQ("2020-01-02", take(BrnDateToString(d)));
    free(d);
    BrnTime *t = (BrnTime *)ConvertStringToBrnDateOrTime("7:8:9", &code);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(17, code);
    EXPECT_EQ("07:08:09", take(BrnTimeToString(t)));
    free(t);
    BrnDateTime *dt = (BrnDateTime *)ConvertStringToBrnDateOrTime("2020-1-2 3:4:5", &code);
    ASSERT_NE(nullptr, dt);
    EXPECT_EQ(18, code);
    FreeBrnDateTime(dt);
    EXPECT_EQ(nullptr, ConvertStringToBrnDateOrTime("x", &code));
    EXPECT_EQ(0, code);
}

TEST(BrnDateTime, ConstructorsAndTextForms)
{
    BrnDateTime *dt = CreateBrnDateTimeEx(5, 1, 2, 3, 4, 5, 7, 8, 9);
    ASSERT_NE(nullptr, dt);
    EXPECT_EQ("0005-01-02 03:04:05", take(BrnDateTimeToString(dt)));
    EXPECT_EQ(7, dt->extra1);
    EXPECT_EQ(8, dt->extra2);
    EXPECT_EQ(9, dt->extra3);
    FreeBrnDateTime(dt);
    EXPECT_EQ(nullptr, BrnDateToString(NULL));
}

TEST(BrnDateTime, CurrentTime)
{
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    BrnDateTime *now = GetCurrentBrnDateTime();
    std::string text = take(GetCurrentDateTimeString());
    GetLocalTime(&after);
    ASSERT_NE(nullptr, now);
    EXPECT_GE(now->date->year, before.wYear);
    EXPECT_LE(now->date->year, after.wYear);
    ASSERT_EQ(19u, text.size()) << text;
    int y, mo, d, h, mi, s;
    EXPECT_EQ(6, sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s));
    EXPECT_GE(y, before.wYear);
    FreeBrnDateTime(now);
}

TEST(HttpDate, ThreeFormsGiveTheSameTime)
{
    struct tm a, b, c;
    ASSERT_TRUE(ParseDateTime("Sun, 06 Nov 1994 08:49:37 GMT", &a));
    ASSERT_TRUE(ParseDateTime("Sunday, 06-Nov-94 08:49:37 GMT", &b));
    ASSERT_TRUE(ParseDateTime("Sun Nov  6 08:49:37 1994", &c));
    EXPECT_EQ(94, a.tm_year);
    EXPECT_EQ(10, a.tm_mon);
    EXPECT_EQ(6, a.tm_mday);
    EXPECT_EQ(8, a.tm_hour);
    EXPECT_EQ(49, a.tm_min);
    EXPECT_EQ(37, a.tm_sec);
    EXPECT_EQ(0, CompareTime(&a, &b));
    EXPECT_EQ(0, CompareTime(&a, &c));
}

TEST(HttpDate, TwoDigitYearsAndMonthNames)
{
    struct tm t;
    ASSERT_TRUE(ParseDateTime("Monday, 01-Jan-07 00:00:00 GMT", &t));
    EXPECT_EQ(2007, t.tm_year + 1900);
    ASSERT_TRUE(ParseDateTime("Friday, 31-Dec-99 23:59:59 GMT", &t));
    EXPECT_EQ(1999, t.tm_year + 1900);
    EXPECT_EQ(11, t.tm_mon);
    EXPECT_EQ(0, ParseMonth("jan"));
    EXPECT_EQ(11, ParseMonth("DEC"));
    EXPECT_EQ(-1, ParseMonth("Sept"));
    EXPECT_EQ(-1, ParseMonth(NULL));
}

TEST(HttpDate, BadInputIsRefused)
{
    struct tm t;
    const char *bad[] = {
        "",
        "yesterday",
        "Sun, 06 Nov 1994",                    /* cut short */
        "Sun, 06 Nov 1994 08:49:37",           /* no zone */
        "Sun, 06 Foo 1994 08:49:37 GMT",       /* unknown month */
        "Sun, 06 Nov 1994 24:00:00 GMT",       /* hour */
        "Sun, 06 Nov 1994 08:60:00 GMT",       /* minute */
        "Sun, 32 Nov 1994 08:49:37 GMT",       /* day */
        "Sun, 00 Nov 1994 08:49:37 GMT",
        "Sun, 06 Nov 1994 08:49:37 GMT extra", /* trailing text */
        "Sun Nov  6 08:49:37",                 /* asctime without year */
        "Sunday, 06-November-94 08:49:37 GMT",
    };
    for (const char *text : bad)
        EXPECT_FALSE(ParseDateTime(text, &t)) << text;
    EXPECT_FALSE(ParseDateTime(NULL, &t));
    /* An overlong word must not overrun the parser's fields. */
    std::string longWord(5000, 'x');
    EXPECT_FALSE(ParseDateTime((longWord + " 06 Nov 1994 08:49:37 GMT").c_str(), &t));
}

TEST(HttpDate, CompareTimeOrdersFieldByField)
{
    struct tm a, b;
    ASSERT_TRUE(ParseDateTime("Sun, 06 Nov 1994 08:49:37 GMT", &a));
    ASSERT_TRUE(ParseDateTime("Mon, 07 Nov 1994 00:00:00 GMT", &b));
    EXPECT_EQ(-1, CompareTime(&a, &b));
    EXPECT_EQ(1, CompareTime(&b, &a));
    ASSERT_TRUE(ParseDateTime("Sun, 06 Nov 1994 08:49:38 GMT", &b));
    EXPECT_EQ(-1, CompareTime(&a, &b));
    ASSERT_TRUE(ParseDateTime("Sun, 06 Dec 1993 23:59:59 GMT", &b));
    EXPECT_EQ(1, CompareTime(&a, &b));
}

} // namespace
