/* Process execution and control against real processes under Wine: the
 * stand-in proc_sleeper.exe copied under Office applications' names and under
 * the test program's own name, started, found, not found and killed; execute
 * with its time limit, working directory and failure paths. */
#include "agent/process.h"
#include "support/scratchlog.h"
#include "support/procstandin.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

using StandIn = vqt::StandInProcess;

std::string currentDir()
{
    char buf[MAX_PATH * 4];
    DWORD n = GetCurrentDirectoryA(sizeof(buf), buf);
    return std::string(buf, n);
}

std::string sleeperCommand(const std::string &args)
{
    return "\"" + vqt::BinDir() + "\\proc_sleeper.exe\" " + args;
}

/* Waits until no process of `name` (other than this one) is listed. */
bool goneByName(const char *name, DWORD ms = 5000)
{
    for (DWORD waited = 0; waited <= ms; waited += 50) {
        if (FindProcessIdByName(name) == 0)
            return true;
        Sleep(50);
    }
    return false;
}

} // namespace

TEST(ProcessLookup, FindsOfficeStandInIgnoringCaseThenKillsIt)
{
    vqt::ScratchDir dir("proc");
    vqt::ScratchLog log(dir.path(), "p.log");
    StandIn word(dir, "WINWORD.EXE");
    EXPECT_EQ(FindProcessIdByName("winword.exe"), word.pid());
    EXPECT_EQ(FindProcessIdByName("EXCEL.EXE"), 0u);

    EXPECT_EQ(KillProcesses("WinWord.exe"), 1);
    ASSERT_TRUE(word.ended());
    /* The exit code read from the running process (STILL_ACTIVE) is the one
     * it is terminated with. */
    EXPECT_EQ(word.exitCode(), (DWORD)STILL_ACTIVE);
    EXPECT_TRUE(goneByName("WINWORD.EXE"));
    EXPECT_EQ(log.linesWith("WinWord.exe was Killed......").size(), 1u);
}

TEST(ProcessLookup, KillsEveryProcessOfTheNameAndNoOther)
{
    vqt::ScratchDir dir("proc");
    StandIn excel1(dir, "EXCEL.EXE");
    StandIn excel2(dir, "EXCEL.EXE");
    StandIn outlook(dir, "OUTLOOK.EXE");
    EXPECT_EQ(KillProcesses("EXCEL.EXE"), 1);
    EXPECT_TRUE(excel1.ended());
    EXPECT_TRUE(excel2.ended());
    EXPECT_FALSE(outlook.ended(300));
    EXPECT_EQ(FindProcessIdByName("OUTLOOK.EXE"), outlook.pid());
    /* Killing is by the whole name: a prefix names no process. */
    EXPECT_EQ(KillProcesses("OUTLOOK"), 0);
    EXPECT_FALSE(outlook.ended(100));
}

TEST(ProcessLookup, KillingAnAbsentNameLogsOnlyTheNameAndBanners)
{
    vqt::ScratchDir dir("proc");
    vqt::ScratchLog log(dir.path(), "p.log");
    EXPECT_EQ(KillProcesses("MSACCESS.EXE"), 0);
    log.close();
    std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 5u);   /* open, banner, name, banner, close */
    EXPECT_NE(lines[1].find("[DEBUG] @@@@@@@@@  Inside KillProcesses Method @@@@@@@@@@@"), std::string::npos);
    EXPECT_NE(lines[2].find("[INFO] Process name to kill : MSACCESS.EXE"), std::string::npos);
    EXPECT_NE(lines[3].find("[DEBUG] @@@@@@@@@  End of KillProcesses Method @@@@@@@@@@@"), std::string::npos);
}

TEST(ProcessLookup, NeverReportsTheCallingProcess)
{
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof(self));
    std::string full(self, n);
    std::string name = full.substr(full.find_last_of("\\/") + 1);
    EXPECT_EQ(FindProcessIdByName(name.c_str()), 0u) << name;

    /* Another process with the program's own name is found. */
    vqt::ScratchDir dir("proc");
    StandIn twin(dir, name);
    EXPECT_EQ(FindProcessIdByName(name.c_str()), twin.pid());
}

TEST(ProcessLookup, ComparesAtMostFifteenCharacters)
{
    vqt::ScratchDir dir("proc");
    StandIn longName(dir, "VQLONGSTANDINAB_one.exe");
    /* Same first 15 characters, different after them. */
    EXPECT_EQ(FindProcessIdByName("vqlongstandinab_two.exe"), longName.pid());
    EXPECT_EQ(FindProcessIdByName("VQLONGSTANDINAC_one.exe"), 0u);
    /* A shorter name must match the whole executable name. */
    EXPECT_EQ(FindProcessIdByName("VQLONGSTANDIN"), 0u);
}

TEST(Execute, ReturnsTheExitCodeAndMapsInstallerSuccessCodes)
{
    vqt::ScratchDir dir("exec");
    vqt::ScratchLog log(dir.path(), "e.log");
    char *remarks = NULL;
    std::string cmd = sleeperCommand("0 5");
    EXPECT_EQ(execute(NULL, cmd.c_str(), &remarks, 1, FALSE), 5);
    ASSERT_NE(remarks, nullptr);
    EXPECT_STRNE(remarks, "");
    std::string remarksLine = "execute : Remarks from the CreateProcess is " + std::string(remarks) +
                              " for the executable " + cmd;
    EXPECT_EQ(log.linesWith(remarksLine).size(), 1u);
    EXPECT_EQ(log.linesWith("execute : Exit code for the application : 5").size(), 1u);
    free(remarks);

    const int success[] = {0, 1508, 1641, 3010};
    for (int code : success) {
        remarks = NULL;
        std::string c = sleeperCommand("0 " + std::to_string(code));
        EXPECT_EQ(execute(NULL, c.c_str(), NULL, 1, FALSE), code);
        EXPECT_EQ(ExecuteAndMapSuccess(NULL, c.c_str(), &remarks, 1, FALSE), 0) << code;
        EXPECT_NE(remarks, nullptr);
        free(remarks);
    }
    std::string failing = sleeperCommand("0 1603");
    EXPECT_EQ(ExecuteAndMapSuccess(NULL, failing.c_str(), NULL, 1, FALSE), 1603);
}

TEST(Execute, LimitZeroReturnsAtOnceAndLeavesTheProcessRunning)
{
    vqt::ScratchDir dir("exec");
    std::string exe = dir.file("ONENOTE.EXE");
    ASSERT_TRUE(vqt::CopyFileTo(vqt::BinDir() + "\\proc_sleeper.exe", exe));
    char *remarks = NULL;
    DWORD start = GetTickCount();
    EXPECT_EQ(execute(NULL, ("\"" + exe + "\" forever").c_str(), &remarks, 0, FALSE), 0);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_NE(remarks, nullptr);
    free(remarks);
    EXPECT_NE(FindProcessIdByName("ONENOTE.EXE"), 0u);
    EXPECT_EQ(KillProcesses("ONENOTE.EXE"), 1);
    EXPECT_TRUE(goneByName("ONENOTE.EXE"));
}

TEST(Execute, RunsInTheWorkingDirectoryAndRestoresTheCurrentOne)
{
    vqt::ScratchDir dir("exec");
    vqt::ScratchDir work("work");
    std::string before = currentDir();
    std::string marker = dir.file("cwd.txt");
    EXPECT_EQ(execute(work.path().c_str(), sleeperCommand("0 0 \"" + marker + "\"").c_str(), NULL, 1, FALSE),
              0);
    EXPECT_EQ(vqt::ReadWholeFile(marker), work.path());
    EXPECT_EQ(currentDir(), before);
}

TEST(Execute, FailuresGiveAWindowsCodeAndRemarksAndKeepTheCurrentDirectory)
{
    vqt::ScratchDir dir("exec");
    vqt::ScratchLog log(dir.path(), "e.log");
    std::string before = currentDir();
    std::string marker = dir.file("ran.txt");
    std::string cmd = sleeperCommand("0 0 \"" + marker + "\"");

    /* A working directory that does not exist: nothing is started. */
    char *remarks = NULL;
    LONG rc = execute(dir.file("no-such-dir").c_str(), cmd.c_str(), &remarks, 1, FALSE);
    EXPECT_TRUE(rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) << rc;
    ASSERT_NE(remarks, nullptr);
    EXPECT_STRNE(remarks, "");
    free(remarks);
    EXPECT_FALSE(vqt::FileExistsA(marker));
    EXPECT_EQ(currentDir(), before);
    EXPECT_EQ(log.linesWith("execute : Failed to set the WorkingDirectory " + dir.file("no-such-dir")).size(),
              1u);

    /* A program that does not exist. */
    remarks = NULL;
    rc = execute(dir.path().c_str(), ("\"" + dir.file("missing.exe") + "\"").c_str(), &remarks, 1, FALSE);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_NE(remarks, nullptr);
    free(remarks);
    EXPECT_EQ(currentDir(), before);
    EXPECT_EQ(log.linesWith("execute : Failed to Create the Process for the application").size(), 1u);

    /* No command line at all, with and without a working directory. */
    remarks = NULL;
    EXPECT_EQ(execute(dir.path().c_str(), NULL, &remarks, 1, FALSE), ERROR_INVALID_DATA);
    EXPECT_NE(remarks, nullptr);
    free(remarks);
    EXPECT_EQ(execute(NULL, NULL, NULL, 0, FALSE), ERROR_INVALID_DATA);
    EXPECT_EQ(currentDir(), before);
}

TEST(Execute, ProcessOutlivingItsLimitIsTerminatedWith258)
{
    vqt::ScratchDir dir("exec");
    vqt::ScratchLog log(dir.path(), "e.log");
    std::string exe = dir.file("MSPUB.EXE");
    ASSERT_TRUE(vqt::CopyFileTo(vqt::BinDir() + "\\proc_sleeper.exe", exe));
    std::string cmd = "\"" + exe + "\" forever 7";
    char *remarks = NULL;
    DWORD start = GetTickCount();
    EXPECT_EQ(execute(dir.path().c_str(), cmd.c_str(), &remarks, 1, FALSE), 258);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 59000u);
    EXPECT_LT(elapsed, 90000u);
    EXPECT_NE(remarks, nullptr);
    free(remarks);
    EXPECT_TRUE(goneByName("MSPUB.EXE"));
    EXPECT_EQ(log.linesWith("execute : Terminating the Process for application " + cmd +
                            " as time is exceeded 1 Minutes").size(),
              1u);
    EXPECT_EQ(log.linesWith("execute : The process has been successfully terminated ..!").size(), 1u);
}
