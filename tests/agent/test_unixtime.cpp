/* Time conversions: seconds since 1970 and the current times. */
#include "agent/unixtime.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <time.h>

TEST(UnixTime, SecondsSince1970)
{
    SYSTEMTIME epoch = {1970, 1, 4, 1, 0, 0, 0, 0};
    SYSTEMTIME y2k = {2000, 1, 6, 1, 0, 0, 0, 0};
    SYSTEMTIME later = {2026, 12, 1, 7, 18, 13, 32, 45};
    LONGLONG s = -1;
    SystemTimeToUnixSeconds(&epoch, &s);
    EXPECT_EQ(s, 0);
    SystemTimeToUnixSeconds(&y2k, &s);
    EXPECT_EQ(s, 946684800);
    SystemTimeToUnixSeconds(&later, &s);
    EXPECT_EQ(s, 1796667212);   /* milliseconds dropped */

    _tzset();
    vqt::ScratchLog log(VQ_LOG_LEVEL_DEBUG);
    EXPECT_EQ(GetTimeInSeconds(&y2k), (LONG)(946684800 + _timezone));
    EXPECT_TRUE(log.has("[DEBUG] GetTimeInSeconds : retDate :: " + std::to_string(946684800 + _timezone) + "\n"));
}

TEST(UnixTime, CurrentTimes)
{
    _tzset();
    time_t before = time(NULL);
    LONG now = GetCurrentTimeInSeconds();
    time_t after = time(NULL);
    /* Local time seen as UTC, plus the zone's offset west: UTC again
     * (outside daylight time), within an hour either way. */
    EXPECT_GE((long long)now, (long long)before - 3600 - 1);
    EXPECT_LE((long long)now, (long long)after + 3600 + 1);

    wchar_t *ms = GetCurrentTimeInMillisecondsText();
    ASSERT_NE(ms, nullptr);
    long long value = _wtoi64(ms);
    EXPECT_GE(value, (long long)before * 1000);
    EXPECT_LE(value, ((long long)time(NULL) + 1) * 1000);
    free(ms);
}
