/* The setup runner against the stand-in setup.exe and a foreign warning
 * window under Wine: exit codes, the one pass of the metered-connection
 * watch, the process-id check, a failed start and the time limit. First the
 * stand-in deployment tool as the whole-program tests use it: the
 * extraction command line the product sends (quoted folder, a blank in the
 * path), the tool's own exit code, and the extracted setup.exe run by the
 * setup runner. */
#include "driver/setuprunner.h"
#include "support/standins.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <deque>
#include <string>
#include <vector>

namespace {

/* Short enough to keep the suite quick, long enough for the stand-in to
 * have its window up under Wine before the watch looks. */
const DWORD kWatchDelayMs = 1500;
const DWORD kWaitLimitMs = 60000;

const char kFound[] = "Metered connection warning window found.";
const char kMismatch[] = "[ERROR] Setup.exe process id did not match.";
const char kOkFound[] = "Ok Button found.";

TEST(StandinTool, ExtractsSetupThatTheRunnerCanRun)
{
    vqt::ScratchDir dir("odt");
    std::string work = dir.file("work dir");
    ASSERT_TRUE(CreateDirectoryA(work.c_str(), NULL));
    vqt::SetupBehaviour b;
    b.exitCode = 17006;
    ASSERT_TRUE(vqt::PrepareStandinTool(work, b, 3010));

    std::string folder = work + "\\Office365";
    std::string cmd = "\"" + work + "\\odt.exe\" /extract:\"" + folder + "\" /quiet /norestart";
    DWORD code = 0;
    ASSERT_EQ(0u, vqt::RunProgram(cmd, NULL, 30000, &code));
    EXPECT_EQ(3010u, code);
    EXPECT_EQ(cmd, vqt::ReadToolCommandLine(work));
    EXPECT_TRUE(vqt::FileExistsA(folder + "\\setup.exe"));
    EXPECT_TRUE(vqt::FileExistsA(folder + "\\setup_settings.ini"));

    std::string config = work + "\\configuration.xml";
    ASSERT_TRUE(vqt::WriteWholeFile(config, "<Configuration/>\n"));
    EXPECT_EQ(17006, ExecuteSetup(folder.c_str(), config.c_str(), 0, 30000));
    EXPECT_EQ("\"" + folder + "\\setup.exe\" /configure \"" + config + "\"",
              vqt::ReadSetupCommandLine(folder));
}

TEST(StandinTool, FailingOrIncompleteExtractionLeavesNoFolder)
{
    vqt::ScratchDir dir("odt");
    std::string folder = dir.file("Office365");
    struct Case { bool extract; const char *args; DWORD code; };
    const Case cases[] = {
        {false, " /quiet /norestart", 1603},                  /* told to fail */
        {true, " /quiet", ERROR_INVALID_PARAMETER},           /* no /norestart */
        {true, "", ERROR_INVALID_PARAMETER},                  /* no switches */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args);
        ASSERT_TRUE(vqt::PrepareStandinTool(dir.path(), vqt::SetupBehaviour(), 1603, "odt.exe",
                                            c.extract));
        std::string cmd = "\"" + dir.file("odt.exe") + "\" /extract:\"" + folder + "\"" + c.args;
        DWORD code = 0;
        ASSERT_EQ(0u, vqt::RunProgram(cmd, NULL, 30000, &code));
        EXPECT_EQ(c.code, code);
        EXPECT_FALSE(vqt::DirExistsA(folder));
    }
}

class SetupRunnerTest : public ::testing::Test {
protected:
    vqt::ScratchDir dir{"setup"};
    std::string folder = dir.file("Office365");
    std::string config = dir.file("configuration.xml");
    vqt::ScratchLog log{dir.path(), "test.log", 3};
    std::deque<vqt::ForeignWindow> foreign;   /* references stay valid */

    void SetUp() override
    {
        ASSERT_TRUE(log.opened());
        ASSERT_TRUE(vqt::WriteWholeFile(config, "<Configuration><Add/></Configuration>\n"));
    }
    void TearDown() override
    {
        for (auto &w : foreign)
            vqt::StopForeignWindow(&w);
    }

    LONG run(const vqt::SetupBehaviour &b, DWORD limitMs = kWaitLimitMs)
    {
        EXPECT_TRUE(vqt::PrepareExtractedSetup(folder, b));
        return ExecuteSetup(folder.c_str(), config.c_str(), kWatchDelayMs, limitMs);
    }

    vqt::ForeignWindow &startForeign(const char *name, bool topmost)
    {
        foreign.emplace_back();
        EXPECT_TRUE(vqt::StartForeignWindow(dir.file(name), &foreign.back(), "OK", topmost));
        return foreign.back();
    }

    std::string expectedCommandLine() const
    {
        return "\"" + folder + "\\setup.exe\" /configure \"" + config + "\"";
    }

    /* The log's lines without their time stamp and thread prefix. */
    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const std::string &line : vqt::SplitLines(log.text())) {
            size_t tag = line.find("] [");
            tag = tag == std::string::npos ? tag : line.find("] [", tag + 3);
            out.push_back(tag == std::string::npos ? line : line.substr(tag + 2));
        }
        return out;
    }

    int count(const std::string &text) const
    {
        int n = 0;
        for (const std::string &m : messages())
            if (m.find(text) != std::string::npos)
                n++;
        return n;
    }

    /* Index of the first message at or after `from` holding `text`, -1 if none. */
    int indexOf(const std::string &text, int from = 0) const
    {
        std::vector<std::string> m = messages();
        for (int i = from; i < (int)m.size(); i++)
            if (m[i].find(text) != std::string::npos)
                return i;
        return -1;
    }
};

TEST_F(SetupRunnerTest, ExitCodeOfAQuickSetupIsReadAfterTheWatch)
{
    for (int code : {0, 3010, 17006}) {
        SCOPED_TRACE(code);
        DWORD before = gv_setupProcessId;
        vqt::SetupBehaviour b;
        b.exitCode = code;
        DWORD start = GetTickCount();
        EXPECT_EQ(code, run(b));
        /* The setup ends at once, yet the watch pause is kept. */
        EXPECT_GE(GetTickCount() - start, kWatchDelayMs - 50);
        EXPECT_NE(0u, gv_setupProcessId);
        EXPECT_NE(before, gv_setupProcessId);
        EXPECT_EQ(1, count("[INFO] execute : Exit code for the application : " +
                           std::to_string(code) + " "));
    }
    EXPECT_EQ(expectedCommandLine(), vqt::ReadSetupCommandLine(folder));
    /* Started hidden (STARTF_USESHOWWINDOW, SW_HIDE) in our own working
     * directory. */
    char cwd[MAX_PATH * 2];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    EXPECT_EQ("flags=1 show=0\ncwd=" + std::string(cwd) + "\n", vqt::ReadSetupStartup(folder));

    int created = indexOf("[INFO] execute : Process created successfully for " +
                          expectedCommandLine());
    int checking = indexOf("[INFO] Checkin for metered connection warning.", created);
    int checked = indexOf("[INFO] Metered connection check completed.", checking);
    int exitLine = indexOf("[INFO] execute : Exit code for the application : 0 ", checked);
    EXPECT_GE(created, 0);
    EXPECT_EQ(created + 1, checking);
    EXPECT_EQ(checking + 1, checked);
    EXPECT_EQ(checked + 1, exitLine);
    EXPECT_EQ(0, count(kFound));
    EXPECT_EQ(0, count("[ERROR]"));
    EXPECT_EQ(0, count("Terminating"));
}

TEST_F(SetupRunnerTest, OwnWarningIsPressedTwiceWhateverTheCaseOfOk)
{
    for (const char *text : {"OK", "Ok"}) {
        SCOPED_TRACE(text);
        vqt::SetupBehaviour b;
        b.showWarning = true;
        b.buttonText = text;
        b.exitCode = 5;             /* given up waiting for a press */
        b.clickedExitCode = 3010;
        b.warningLimitMs = 20000;
        EXPECT_EQ(3010, run(b));
        EXPECT_EQ(2, vqt::ReadSetupClicks(folder));
    }
    EXPECT_EQ(2, count(kFound));
    EXPECT_EQ(2, count("[INFO] " + std::string(kOkFound)));
    EXPECT_EQ(0, count("[ERROR]"));
    int found = indexOf(kFound);
    EXPECT_EQ(found + 1, indexOf(kOkFound));
    EXPECT_EQ(found + 2, indexOf("Metered connection check completed."));
}

TEST_F(SetupRunnerTest, ButtonTextMustBeOkAsAWhole)
{
    /* An accelerator or a trailing blank is not a match; the setup keeps
     * waiting until it gives up by itself. */
    for (const char *text : {"&OK", "OK ", "OKAY"}) {
        SCOPED_TRACE(text);
        vqt::SetupBehaviour b;
        b.showWarning = true;
        b.buttonText = text;
        b.exitCode = 7;
        b.clickedExitCode = 0;
        b.warningLimitMs = kWatchDelayMs + 1500;
        EXPECT_EQ(7, run(b));
        EXPECT_EQ(0, vqt::ReadSetupClicks(folder));
    }
    EXPECT_EQ(3, count(kFound));
    EXPECT_EQ(0, count(kOkFound));
}

TEST_F(SetupRunnerTest, WarningOfAnotherProcessIsLeftAlone)
{
    vqt::ForeignWindow &other = startForeign("foreign.txt", false);
    vqt::SetupBehaviour b;
    b.exitCode = 0;
    b.sleepMs = kWatchDelayMs + 1000;   /* still running during the watch */
    EXPECT_EQ(0, run(b));
    EXPECT_EQ(0, vqt::ReadForeignClicks(other));
    EXPECT_EQ(1, count(kFound));
    EXPECT_EQ(1, count(kMismatch));
    EXPECT_EQ(0, count(kOkFound));
    EXPECT_EQ(indexOf(kFound) + 1, indexOf(kMismatch));
    EXPECT_EQ(indexOf(kMismatch) + 1, indexOf("Metered connection check completed."));
}

TEST_F(SetupRunnerTest, ForeignWarningFirstThenOwnIsPressedAndTheSearchStops)
{
    /* A topmost foreign window is enumerated before setup's; an ordinary one
     * opened before setup's window lies below it and is never reached. */
    vqt::ForeignWindow &first = startForeign("first.txt", true);
    vqt::ForeignWindow &below = startForeign("below.txt", false);
    vqt::SetupBehaviour b;
    b.showWarning = true;
    b.exitCode = 5;
    b.clickedExitCode = 0;
    b.warningLimitMs = 20000;
    EXPECT_EQ(0, run(b));
    EXPECT_EQ(2, vqt::ReadSetupClicks(folder));
    EXPECT_EQ(0, vqt::ReadForeignClicks(first));
    EXPECT_EQ(0, vqt::ReadForeignClicks(below));

    int firstFound = indexOf(kFound);
    int mismatch = indexOf(kMismatch);
    int secondFound = indexOf(kFound, firstFound + 1);
    EXPECT_EQ(firstFound + 1, mismatch);
    EXPECT_EQ(mismatch + 1, secondFound);
    EXPECT_EQ(secondFound + 1, indexOf(kOkFound));
    EXPECT_EQ(2, count(kFound));
    EXPECT_EQ(1, count(kMismatch));
}

TEST_F(SetupRunnerTest, MissingSetupIsAFileNotFoundWithoutWatchOrWait)
{
    CreateDirectoryA(folder.c_str(), NULL);
    gv_setupProcessId = 4242;
    DWORD start = GetTickCount();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ExecuteSetup(folder.c_str(), config.c_str(),
                                                 kWatchDelayMs, kWaitLimitMs));
    EXPECT_LT(GetTickCount() - start, kWatchDelayMs);
    EXPECT_EQ(4242u, gv_setupProcessId);
    std::vector<std::string> m = messages();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ("[ERROR] execute : Failed to create process for " + expectedCommandLine() +
                  " with error code : 2",
              m.back());
    EXPECT_EQ(0, count("Checkin"));
    EXPECT_EQ(0, count("Process created"));
}

TEST_F(SetupRunnerTest, SetupBeyondTheLimitIsTerminatedAndReportedAsTimeOut)
{
    vqt::SetupBehaviour b;
    b.exitCode = 0;
    b.sleepMs = 120000;
    DWORD start = GetTickCount();
    LONG r = run(b, 1000);
    EXPECT_LT(GetTickCount() - start, 30000u);
    /* Never 0 (success) and never STILL_ACTIVE: the time-out code. */
    EXPECT_EQ((LONG)WAIT_TIMEOUT, r);

    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, gv_setupProcessId);
    if (p) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p, 0));
        CloseHandle(p);
    }
    int term = indexOf("[INFO] execute : Terminating the Process for application " +
                       expectedCommandLine() + " as time is exceeded 100 Minutes ");
    ASSERT_GE(term, 0);
    EXPECT_EQ(term + 1,
              indexOf("[INFO] execute : The process has been successfully terminated ..! "));
    EXPECT_EQ(term + 2, indexOf("[INFO] execute : Exit code for the application : 258 "));
    EXPECT_EQ(0, count("[ERROR]"));
}

} // namespace
