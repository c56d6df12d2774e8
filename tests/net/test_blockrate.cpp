/* The block cycle's arithmetic: block size for a rate, the pause after a
 * block on both sides of the slow-block threshold (the worked example of
 * blockrate.h among them), a cycle measured across midnight, and the clock
 * the cycle is measured with. */
#include "net/blockrate.h"

#include <gtest/gtest.h>

namespace {

TEST(BitrateRule, BlockSizeAndPause)
{
    EXPECT_EQ(BitrateBlockSize(1024), 512000u);
    EXPECT_EQ(BitrateBlockSize(0), 512000u);
    const DWORD pauses[][2] = {{0, 600}, {100, 500}, {449, 151}, {450, 100}, {5000, 100},
                               {0xFFFFFF00u, 100}};
    for (const auto &p : pauses)
        EXPECT_EQ(BitratePauseMs(p[0]), p[1]) << p[0];
}

TEST(BitrateRule, BlockSizeIsFiveHundredBytesPerKBps)
{
    const DWORD sizes[][2] = {{1, 500}, {10, 5000}, {333, 166500}, {8000, 4000000}};
    for (const auto &s : sizes)
        EXPECT_EQ(BitrateBlockSize(s[0]), s[1]) << s[0];
}

TEST(BitrateRule, WorkedExampleCycles)
{
    /* block took, pause, whole cycle (ms) */
    const DWORD rows[][3] = {{200, 400, 600}, {449, 151, 600}, {450, 100, 550},
                             {2000, 100, 2100}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r[0]);
        EXPECT_EQ(BitratePauseMs(r[0]), r[1]);
        EXPECT_EQ(r[0] + BitratePauseMs(r[0]), r[2]);
    }
}

TEST(BitrateRule, CycleAcrossMidnightCountsAsLongBlock)
{
    const DWORD start = 86399900u;   /* 23:59:59.900 */
    const DWORD end = 50u;           /* 00:00:00.050 of the next day */
    EXPECT_EQ(BitratePauseMs(end - start), 100u);
}

TEST(BitrateRule, ClockIsMillisecondsOfTheLocalDay)
{
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    DWORD clock = BitrateClockMs();
    GetLocalTime(&after);
    EXPECT_LT(clock, 86400000u);
    if (after.wHour < before.wHour)
        GTEST_SKIP() << "the local day changed during the reading";
    /* Within the two readings, by the hour and minute fields alone. */
    DWORD lo = (before.wHour * 60u + before.wMinute) * 60000u;
    DWORD hi = (after.wHour * 60u + after.wMinute + 1u) * 60000u;
    EXPECT_GE(clock, lo);
    EXPECT_LT(clock, hi);
}

} // namespace
