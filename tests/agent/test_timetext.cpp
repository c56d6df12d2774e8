/* Date and time texts at fixed moments. */
#include "agent/timetext.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

static struct tm at(int year, int month, int day, int hour, int minute, int second)
{
    struct tm t;
    memset(&t, 0, sizeof(t));
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

static std::string timeText(BOOL hour24, const struct tm &t)
{
    char *text = NULL;
    EXPECT_TRUE(GetTimeText(hour24, &text, &t));
    std::string s = text ? text : "<null>";
    free(text);
    return s;
}

TEST(TimeText, TwelveAndTwentyFourHourForms)
{
    EXPECT_EQ("00:05:09 am", timeText(FALSE, at(2026, 12, 7, 0, 5, 9)));
    EXPECT_EQ("01:05:09 pm", timeText(FALSE, at(2026, 12, 7, 13, 5, 9)));
    EXPECT_EQ("12:00:00 pm", timeText(FALSE, at(2026, 12, 7, 12, 0, 0)));
    EXPECT_EQ("11:59:59 pm", timeText(FALSE, at(2026, 12, 7, 23, 59, 59)));
    EXPECT_EQ("23:59:59", timeText(TRUE, at(2026, 12, 7, 23, 59, 59)));
    EXPECT_EQ("00:00:00", timeText(TRUE, at(2026, 12, 7, 0, 0, 0)));
    EXPECT_FALSE(GetTimeText(TRUE, NULL));
}

TEST(TimeText, DateTexts)
{
    struct tm evening = at(2026, 12, 7, 18, 34, 2);
    EXPECT_STREQ("26-12-07", GetDateYYMMDD(&evening));
    EXPECT_STREQ("Dec 07,2026 18:34PM", GetDateTimeText(&evening));
    struct tm morning = at(2000, 1, 31, 9, 3, 0);
    EXPECT_STREQ("00-01-31", GetDateYYMMDD(&morning));
    EXPECT_STREQ("Jan 31,2000 09:03AM", GetDateTimeText(&morning));
    struct tm noon = at(2031, 6, 1, 12, 0, 0);
    EXPECT_STREQ("Jun 01,2031 12:00PM", GetDateTimeText(&noon));
}

TEST(TimeText, MonthNamesAndOutOfRangeIndex)
{
    EXPECT_STREQ("Jan", GetMonthName(0));
    EXPECT_STREQ("May", GetMonthName(4));
    EXPECT_STREQ("Dec", GetMonthName(11));
    EXPECT_STREQ("", GetMonthName(12));
    EXPECT_STREQ("", GetMonthName(-1));
}

TEST(TimeText, ClockFormMatchesTheLayout)
{
    /* The clock is not fixed here: only the shape can be checked. */
    const char *date = GetDateYYMMDD();
    ASSERT_EQ(8u, strlen(date));
    EXPECT_EQ('-', date[2]);
    EXPECT_EQ('-', date[5]);
    char *text = NULL;
    ASSERT_TRUE(GetTimeText(FALSE, &text));
    EXPECT_EQ(11u, strlen(text));
    EXPECT_TRUE(strstr(text, " am") || strstr(text, " pm"));
    free(text);
}
