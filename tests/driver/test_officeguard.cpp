/* The Office application guard against stand-in processes named like Office
 * applications: the start-up window at its edge and after the 32-bit tick
 * count wraps, "alwaysKillApps" 0, 1 and 2, and the list of running
 * applications after a failed setup. */
#include "driver/officeguard.h"
#include "support/procstandin.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

typedef std::vector<std::string> Texts;

class OfficeGuard : public ::testing::Test {
protected:
    vqt::ScratchDir dir{"guard"};
    void SetUp() override { vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brennic"); }
    void TearDown() override { vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brennic"); }
    static void setAlwaysKillApps(DWORD value)
    {
        ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, VQ_PATCH_KEY, "alwaysKillApps", value), 0);
    }
};

} // namespace

TEST_F(OfficeGuard, NothingRunningGivesZeroAndOnlyTheTwoLines)
{
    vqt::ScratchLog log;
    EXPECT_EQ(CloseOfficeApplications(5000000), 0);
    EXPECT_EQ(log.messages("INFO"),
              (Texts{"the tick count is 5000000", "alwaysKillApps is not enabled."}));
}

TEST_F(OfficeGuard, StartupWindowEndsAt900000Milliseconds)
{
    {
        vqt::StandInProcess word(dir, "WINWORD.exe");
        vqt::ScratchLog log;
        EXPECT_EQ(CloseOfficeApplications(900000), 0);
        EXPECT_TRUE(word.ended()) << "killed inside the start-up window";
        EXPECT_EQ(log.messages("INFO"),
                  (Texts{"the tick count is 900000", "alwaysKillApps is not enabled.",
                         "Killing the process (WINWORD.exe).", "Process name to kill : WINWORD.exe",
                         "WINWORD.exe was Killed......"}));
    }
    {
        vqt::StandInProcess word(dir, "WINWORD.exe");
        vqt::ScratchLog log;
        EXPECT_EQ(CloseOfficeApplications(900001), 1);
        EXPECT_FALSE(word.ended(300)) << "left running outside the window";
        EXPECT_EQ(log.messages("INFO").back(),
                  "Not a startup event hence not killing the process (WINWORD.exe).");
    }
}

TEST_F(OfficeGuard, EveryApplicationLeftRunningIsNamedInListOrder)
{
    vqt::StandInProcess visio(dir, "VISIO.exe");
    vqt::StandInProcess excel(dir, "excel.EXE");
    vqt::StandInProcess word(dir, "WINWORD.exe");
    vqt::ScratchLog log;
    /* Beyond 24.8 days the signed line shows a negative count. */
    EXPECT_EQ(CloseOfficeApplications(0x90000000ull), 1);
    EXPECT_EQ(log.messages("INFO"),
              (Texts{"the tick count is -1879048192", "alwaysKillApps is not enabled.",
                     "Not a startup event hence not killing the process (WINWORD.exe).",
                     "Not a startup event hence not killing the process (EXCEL.exe).",
                     "Not a startup event hence not killing the process (VISIO.exe)."}));
    EXPECT_FALSE(word.ended(0) || excel.ended(0) || visio.ended(0));
}

TEST_F(OfficeGuard, AWrappedThirtyTwoBitCountIsNotAStartupEvent)
{
    /* 49.7 days and one second after boot the 32-bit count reads 1000; the
     * users' applications must not be killed as if Windows had just started. */
    vqt::StandInProcess word(dir, "WINWORD.exe");
    vqt::ScratchLog log;
    EXPECT_EQ(CloseOfficeApplications(0x100000000ull + 1000), 1);
    EXPECT_FALSE(word.ended(300));
    EXPECT_EQ(log.messages("INFO").front(), "the tick count is 1000");
}

TEST_F(OfficeGuard, AlwaysKillAppsKillsForAnyNonZeroButForcesShutdownOnlyForOne)
{
    EXPECT_FALSE(IsAlwaysKillAppsSet());
    for (DWORD value : {1u, 2u}) {
        setAlwaysKillApps(value);
        vqt::StandInProcess word(dir, "WINWORD.exe");
        vqt::ScratchLog log;
        EXPECT_EQ(CloseOfficeApplications(5000000), 0) << value;
        EXPECT_TRUE(word.ended()) << value;
        Texts info = log.messages("INFO");
        ASSERT_GE(info.size(), 3u);
        EXPECT_EQ(info[0], "the tick count is 5000000");
        EXPECT_EQ(info[1], "alwaysKillApps is enabled.");
        EXPECT_EQ(info[2], "Killing the process (WINWORD.exe).");
        EXPECT_EQ(IsAlwaysKillAppsSet(), value == 1) << value;
    }
    setAlwaysKillApps(0);
    EXPECT_FALSE(IsAlwaysKillAppsSet());
}

TEST_F(OfficeGuard, RunningApplicationsAreListedAfterAFailedSetup)
{
    vqt::ScratchLog log;
    LogRunningOfficeApplications();
    EXPECT_TRUE(log.messages("INFO").empty());
    vqt::StandInProcess pptico(dir, "PPTICO.exe");
    vqt::StandInProcess outlook(dir, "OUTLOOK.exe");
    LogRunningOfficeApplications();
    EXPECT_EQ(log.messages("INFO"),
              (Texts{"Office application : OUTLOOK.exe running.",
                     "Office application : PPTICO.exe running."}));
    EXPECT_FALSE(outlook.ended(0)) << "listing kills nothing";
}
