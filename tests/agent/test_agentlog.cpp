/* The agent's logging start and stop: the log in the install directory's
 * "logs" folder at the registry's level, and the failures that must still
 * start and stop cleanly. */
#include "agent/agentlog.h"
#include "agent/log.h"
#include "agent/logrotate.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const char *kAgentKey = "Software\\Brennic\\Velquin\\VQAgent";

class AgentLogging : public ::testing::Test {
protected:
    void SetUp() override
    {
        CloseLogFile();
        FreeLogSettings();
        vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKey);
    }
    void TearDown() override
    {
        StopAgentLogging();
        vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKey);
    }
};

} // namespace

TEST_F(AgentLogging, MissingInstallDirectoryReturnsItsErrorAndOpensNothing)
{
    EXPECT_EQ(StartAgentLogging("vqprereqhandler.log"), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(gv_logFilePtr, nullptr);
    EXPECT_FALSE(IsLogRotationRunning());   /* no timer for a log that never opened */
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, kAgentKey, "VQAgentLogLevel", 4), 0);
    EXPECT_EQ(StartAgentLogging("vqprereqhandler.log"), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(gv_logFilePtr, nullptr);
    EXPECT_FALSE(IsLogRotationRunning());
}

TEST_F(AgentLogging, LogGoesToInstallDirLogsAtRegistryLevel)
{
    vqt::ScratchDir dir("agentlog");
    ASSERT_EQ(vqt::RegSetSz(HKEY_LOCAL_MACHINE, kAgentKey, "VQAgentInstallDir", dir.path() + "\\"), 0);
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, kAgentKey, "VQAgentLogLevel", 1), 0);
    ASSERT_EQ(StartAgentLogging("vqprereqhandler.log"), 0u);
    const LoggerSettings *s = GetLoggerSettings();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->maxBackupCount, 5);
    EXPECT_EQ(s->maxFileSize, 2000000);
    EXPECT_EQ(s->timerPeriodMs, 900000);
    EXPECT_EQ(s->openMode, 1);
    EXPECT_STREQ(s->logDirectory, (dir.path() + "\\logs").c_str());
    LogInfo("info line\n");
    LogError("error line\n");
    StopAgentLogging();
    std::string text = vqt::ReadWholeFile(dir.file("logs\\vqprereqhandler.log"));
    EXPECT_NE(text.find("[INFO] info line"), std::string::npos);
    EXPECT_EQ(text.find("error line"), std::string::npos);
    EXPECT_NE(text.find("Log close time: "), std::string::npos);
}

TEST_F(AgentLogging, MissingLevelGivesTwo)
{
    vqt::ScratchDir dir("agentlevel");
    ASSERT_EQ(vqt::RegSetSz(HKEY_LOCAL_MACHINE, kAgentKey, "VQAgentInstallDir", dir.path() + "\\"), 0);
    ASSERT_EQ(StartAgentLogging("x.log"), 0u);
    EXPECT_EQ(GetLogLevel(), 2);
    LogError("shown\n");
    LogDebug("hidden\n");
    StopAgentLogging();
    std::string text = vqt::ReadWholeFile(dir.file("logs\\x.log"));
    EXPECT_NE(text.find("[ERROR] shown"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
}

TEST_F(AgentLogging, UnwritableLogFolderStillStartsAndStopsCleanly)
{
    ASSERT_EQ(vqt::RegSetSz(HKEY_LOCAL_MACHINE, kAgentKey, "VQAgentInstallDir", "Q:\\nowhere\\"), 0);
    EXPECT_EQ(StartAgentLogging("vqprereqhandler.log"), 0u);
    EXPECT_EQ(gv_logFilePtr, nullptr);
    LogInfo("dropped\n");
    EXPECT_EQ(StopAgentLogging(), 0u);
    EXPECT_EQ(StopAgentLogging(), 0u);
}
