/* Log rotation: the size limit, backup naming and shifting, other files
 * sharing the base name, the writer appending after the truncation, passes on
 * the timer thread while the main thread writes, the stop waiting for a
 * running pass, and the agent's logging start rotating an old log. */
#include "agent/agentlog.h"
#include "agent/log.h"
#include "agent/logrotate.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <stdlib.h>

namespace {

const char *kName = "vqprereqhandler.log";

std::string sized(size_t n, char fill)
{
    return std::string(n, fill);
}

std::string backup(const vqt::ScratchDir &dir, int k)
{
    return dir.file("vqprereqhandler" + std::to_string(k) + ".log");
}

/* Every file of the folder with its content. */
std::map<std::string, std::string> snapshot(const vqt::ScratchDir &dir)
{
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir.path() + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files[fd.cFileName] = vqt::ReadWholeFile(dir.file(fd.cFileName));
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return files;
}

const std::regex kLine(R"(^\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ -?\d+ \] \[(INFO|ERROR|DEBUG|TRACE)\] .*$)");

/* A whole line of the writer; the rotation's two banner messages begin with
 * a line feed and so continue on a line of their own. */
bool wholeLine(const std::string &line)
{
    return std::regex_match(line, kLine) ||
           line == " @@@@@@@@@@@@@@@Inside RotateSpecificLogs Method @@@@@@@@@@@@@" ||
           line == " @@@@@@@@@@@@@@@ End of RotateSpecificLogs Method with error code 0 @@@@@@@@@@@@@";
}

LoggerSettings settingsFor(const vqt::ScratchDir &dir, int maxSize, int periodMs)
{
    LoggerSettings s;
    s.fileName = _strdup(kName);
    s.logDirectory = _strdup(dir.path().c_str());
    s.maxBackupCount = 5;
    s.maxFileSize = maxSize;
    s.timerPeriodMs = periodMs;
    s.openMode = 1;
    s.useTimer = TRUE;
    return s;
}

void freeSettings(LoggerSettings *s)
{
    free(s->fileName);
    free(s->logDirectory);
    s->fileName = s->logDirectory = NULL;
}

} // namespace

TEST(LogRotation, RotatesFromExactlyTheSizeLimit)
{
    vqt::ScratchDir dir("rot");
    std::string current = dir.file(kName);
    EXPECT_EQ(CheckLogSizeReached(current.c_str(), 2000000), 0);   /* missing file */

    ASSERT_TRUE(vqt::WriteWholeFile(current, sized(1999999, 'a')));
    EXPECT_EQ(CheckLogSizeReached(current.c_str(), 2000000), 0);
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir.path().c_str(), kName, 5, 2000000), 0u);
    EXPECT_EQ(vqt::ReadWholeFile(current).size(), 1999999u);
    EXPECT_FALSE(vqt::FileExistsA(backup(dir, 1)));

    /* One byte more: the first rotation copies to backup 1, deletes nothing
     * and truncates. */
    std::string content = sized(1999999, 'a') + "z";
    ASSERT_TRUE(vqt::WriteWholeFile(current, content));
    EXPECT_EQ(CheckLogSizeReached(current.c_str(), 2000000), 1);
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir.path().c_str(), kName, 5, 2000000), 0u);
    EXPECT_TRUE(vqt::FileExistsA(current));
    EXPECT_EQ(vqt::ReadWholeFile(current).size(), 0u);
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 1)), content);
    EXPECT_EQ(snapshot(dir).size(), 2u);
}

TEST(LogRotation, FullSetOfBackupsShiftsUpAndDropsTheOldest)
{
    vqt::ScratchDir dir("rot");
    std::string current = dir.file(kName);
    ASSERT_TRUE(vqt::WriteWholeFile(current, "current"));
    for (int k = 1; k <= 4; k++)
        ASSERT_TRUE(vqt::WriteWholeFile(backup(dir, k), "backup" + std::to_string(k)));
    EXPECT_EQ(FindNoOfRepeatedFileNames(dir.path().c_str(), "vqprereqhandler"), 5);

    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir.path().c_str(), kName, 5, 7), 0u);
    EXPECT_EQ(vqt::ReadWholeFile(current), "");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 1)), "current");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 2)), "backup1");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 3)), "backup2");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 4)), "backup3");
    EXPECT_FALSE(vqt::FileExistsA(backup(dir, 5)));
    EXPECT_EQ(snapshot(dir).size(), 5u);
}

TEST(LogRotation, UnrelatedFilesSharingTheBaseNameRaiseTheCountButStay)
{
    vqt::ScratchDir dir("rot");
    std::string current = dir.file(kName);
    ASSERT_TRUE(vqt::WriteWholeFile(current, "current"));
    ASSERT_TRUE(vqt::WriteWholeFile(backup(dir, 1), "backup1"));
    ASSERT_TRUE(vqt::WriteWholeFile(dir.file("vqprereqhandler-notes.txt"), "notes"));
    ASSERT_TRUE(CreateDirectoryA(dir.file("vqprereqhandler.old").c_str(), NULL));
    ASSERT_TRUE(vqt::WriteWholeFile(dir.file("other.log"), "other"));
    EXPECT_EQ(FindNoOfRepeatedFileNames(dir.path().c_str(), "vqprereqhandler"), 4);

    /* The shift starts at 3 (3 <- 2 finds nothing), then 2 <- 1, 1 <- current. */
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir.path().c_str(), kName, 5, 1), 0u);
    EXPECT_EQ(vqt::ReadWholeFile(current), "");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 1)), "current");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 2)), "backup1");
    EXPECT_FALSE(vqt::FileExistsA(backup(dir, 3)));
    EXPECT_EQ(vqt::ReadWholeFile(dir.file("vqprereqhandler-notes.txt")), "notes");
    EXPECT_EQ(vqt::ReadWholeFile(dir.file("other.log")), "other");
    EXPECT_TRUE(vqt::DirExistsA(dir.file("vqprereqhandler.old")));

    /* So many that the count passes the maximum: the oldest backup is
     * still the one overwritten, the set stays at four. */
    for (int k = 1; k <= 4; k++)
        ASSERT_TRUE(vqt::WriteWholeFile(backup(dir, k), "b" + std::to_string(k)));
    ASSERT_TRUE(vqt::WriteWholeFile(current, "now"));
    EXPECT_EQ(FindNoOfRepeatedFileNames(dir.path().c_str(), "vqprereqhandler"), 7);
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir.path().c_str(), kName, 5, 1), 0u);
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 1)), "now");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 2)), "b1");
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 4)), "b3");
    EXPECT_FALSE(vqt::FileExistsA(backup(dir, 5)));
    EXPECT_FALSE(vqt::FileExistsA(backup(dir, 6)));
    EXPECT_EQ(vqt::ReadWholeFile(dir.file("vqprereqhandler-notes.txt")), "notes");
}

TEST(LogRotation, NamesAndCountsOfBackups)
{
    char *name = MakeBackupFileName("C:\\logs", "vqprereqhandler.log", 3);
    EXPECT_STREQ(name, "C:\\logs\\vqprereqhandler3.log");
    free(name);
    /* Up to the first ".log"; a name without one is kept whole. */
    name = MakeBackupFileName("d", "a.log.log", 1);
    EXPECT_STREQ(name, "d\\a1.log");
    free(name);
    name = MakeBackupFileName("d", "trace", 2);
    EXPECT_STREQ(name, "d\\trace2.log");
    free(name);

    vqt::ScratchDir dir("rot");
    EXPECT_EQ(FindNoOfRepeatedFileNames(dir.path().c_str(), "vqprereqhandler"), -1);
    EXPECT_EQ(FindNoOfRepeatedFileNames(dir.file("missing").c_str(), "vqprereqhandler"), -1);
    /* A failed search rotates nothing and loses nothing. */
    std::string current = dir.file(kName);
    ASSERT_TRUE(vqt::WriteWholeFile(current, "keep"));
    EXPECT_EQ(RotateSpecificLogs(dir.file("missing").c_str(), kName, 5, 1), 0u);
    EXPECT_EQ(vqt::ReadWholeFile(current), "keep");
}

TEST(LogRotation, WriterGoesOnAppendingAfterTheTruncation)
{
    vqt::ScratchDir dir("rot");
    vqt::ScratchLog log(dir.path(), kName, 3);
    for (int i = 0; i < 50; i++)
        LogInfo("before rotation %d\n", i);
    std::string written = log.text();
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir.path().c_str(), kName, 5, 1000), 0u);
    LogInfo("after rotation\n");
    log.close();

    std::string backup1 = vqt::ReadWholeFile(backup(dir, 1));
    EXPECT_EQ(backup1.compare(0, written.size(), written), 0);
    std::string now = vqt::ReadWholeFile(log.path());
    /* Appending continues at the new end: no hole of zero bytes where the
     * old content was, every line whole. */
    EXPECT_EQ(now.find('\0'), std::string::npos);
    EXPECT_LT(now.size(), 2000u);
    std::vector<std::string> lines = vqt::SplitLines(now);
    ASSERT_FALSE(lines.empty());
    for (const std::string &line : lines)
        EXPECT_TRUE(wholeLine(line)) << line;
    EXPECT_EQ(log.linesWith("after rotation").size(), 1u);
    EXPECT_EQ(log.linesWith("before rotation").size(), 0u);
}

/* The main thread writes numbered lines while passes run on the timer
 * thread every few milliseconds. The files, oldest backup first, must hold
 * whole lines only and an unbroken run of numbers up to the last: a line
 * written between a copy and its truncation would be missing. */
TEST(LogRotation, TimerPassesWhileMainThreadWritesSplitAndLoseNoLine)
{
    vqt::ScratchDir dir("rot");
    vqt::ScratchLog log(dir.path(), kName, 3);
    LoggerSettings settings = settingsFor(dir, 20000, 5);
    StartLogRotation(&settings);
    ASSERT_TRUE(IsLogRotationRunning());
    const int count = 4000;
    for (int i = 0; i < count; i++) {
        LogInfo("main line %06d with some text to fill it up to a realistic length ..........\n", i);
        if (i % 20 == 0)
            Sleep(1);
    }
    EXPECT_TRUE(StopLogRotation());
    EXPECT_FALSE(IsLogRotationRunning());
    log.close();
    freeSettings(&settings);

    std::string all;
    for (int k = 4; k >= 1; k--)
        all += vqt::ReadWholeFile(backup(dir, k));
    ASSERT_TRUE(vqt::FileExistsA(backup(dir, 2))) << "too few rotations to judge";
    all += vqt::ReadWholeFile(log.path());
    EXPECT_EQ(all.find('\0'), std::string::npos);

    std::string mainTid = std::to_string((int)GetCurrentThreadId());
    std::regex numbered(R"(\] \[ (-?\d+) \] \[INFO\] main line (\d{6}) with some text)");
    int expected = -1;
    int timerLines = 0;
    for (const std::string &line : vqt::SplitLines(all)) {
        ASSERT_TRUE(wholeLine(line)) << line;
        if (line.find("LoggerTimerRoutine : Inside") != std::string::npos &&
            line.find("[ " + mainTid + " ]") == std::string::npos)
            timerLines++;
        std::smatch m;
        if (!std::regex_search(line, m, numbered))
            continue;
        int n = std::stoi(m[2]);
        if (expected >= 0) {
            ASSERT_EQ(n, expected) << "line lost or out of order";
        }
        expected = n + 1;
    }
    EXPECT_EQ(expected, count);
    EXPECT_GT(timerLines, 0);
}

/* A pass that runs while the rotation stops is waited for: once the stop
 * has returned, nothing in the folder changes any more, so the log can be
 * closed and the settings freed. */
TEST(LogRotation, StopWaitsForARunningPassAndArmsNoMore)
{
    vqt::ScratchDir dir("rot");
    vqt::ScratchLog log(dir.path(), kName, 3);
    LoggerSettings settings = settingsFor(dir, 1, 1);
    for (int i = 0; i < 200; i++)
        LogInfo("filler line %d for the backups to have something to copy ....................\n", i);
    StartLogRotation(&settings);
    for (int i = 0; i < 300; i++) {
        LogInfo("line %d\n", i);
        if (i % 10 == 0)
            Sleep(1);
    }
    ASSERT_TRUE(StopLogRotation());
    std::map<std::string, std::string> atStop = snapshot(dir);
    /* Settings a late pass would read are gone. */
    freeSettings(&settings);
    settings.maxBackupCount = -1;
    Sleep(300);
    EXPECT_EQ(snapshot(dir), atStop);
    EXPECT_TRUE(vqt::FileExistsA(backup(dir, 1)));
    log.close();
}

TEST(LogRotation, AgentLoggingStartRotatesAnOldLogBeforeTheOpenLine)
{
    const std::string agentKey = VQ_AGENT_KEY;
    vqt::ScratchDir dir("rot");
    ASSERT_EQ(vqt::RegSetSz(HKEY_LOCAL_MACHINE, agentKey, "VQAgentInstallDir", dir.path() + "\\"), 0);
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, agentKey, "VQAgentLogLevel", 3), 0);
    ASSERT_TRUE(CreateDirectoryA(dir.file("logs").c_str(), NULL));
    std::string current = dir.file("logs\\vqprereqhandler.log");
    std::string old = sized(2000000, 'o');
    ASSERT_TRUE(vqt::WriteWholeFile(current, old));

    EXPECT_EQ(StartAgentLogging("vqprereqhandler.log"), 0u);
    EXPECT_TRUE(IsLogRotationRunning());
    const LoggerSettings *s = GetLoggerSettings();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->timerPeriodMs, 900000);
    LogInfo("first line of this run\n");
    EXPECT_EQ(StopAgentLogging(), 0u);
    EXPECT_FALSE(IsLogRotationRunning());

    EXPECT_EQ(vqt::ReadWholeFile(dir.file("logs\\vqprereqhandler1.log")), old);
    std::vector<std::string> lines = vqt::SplitLines(vqt::ReadWholeFile(current));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines.front().find("[INFO] Log open time: "), std::string::npos);
    EXPECT_NE(lines[1].find("first line of this run"), std::string::npos);
    EXPECT_NE(lines.back().find("[INFO] Log close time: "), std::string::npos);
    EXPECT_EQ(vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, agentKey), 0);
}

/* A log folder with a non-ASCII name ("logs Ä"): the files are found and
 * rotated, and the lines that name them show the folder as it is. */
TEST(LogRotation, NonAsciiFolderIsRotatedAndNamedRight)
{
    vqt::ScratchDir dir("logs \xC3\x84");
    std::string current = dir.file(kName);
    ASSERT_TRUE(vqt::WriteWholeFile(current, sized(20, 'a')));
    vqt::ScratchLog log(VQ_LOG_LEVEL_TRACE);
    EXPECT_EQ(RotateLoggerForEverRunningProcess(dir.path().c_str(), kName, 5, 10), 0u);
    EXPECT_EQ(vqt::ReadWholeFile(backup(dir, 1)), sized(20, 'a'));
    EXPECT_EQ(vqt::ReadWholeFile(current), "");
    EXPECT_TRUE(log.has("[INFO] RotateSpecificLogs : File successfully copied from " + current +
                        " to  " + backup(dir, 1) + " so we are going to truncate"))
        << log.plainText();
}
