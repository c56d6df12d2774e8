/* The log writer: line layout, level filter, open and close lines, default
 * place, directory creation. */
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <direct.h>
#include <errno.h>
#include <regex>

namespace {

const std::regex kPrefix(R"(^\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ -?\d+ \] )");

} // namespace

TEST(LogWriter, LineLayoutIsBracketsTimestampThreadTagMessage)
{
    vqt::ScratchDir dir("log");
    vqt::ScratchLog log(dir.path(), "a.log", 4);
    ASSERT_TRUE(log.opened());
    LogError("GetCustomerId: error while retrieving customerid\n");
    log.close();
    std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    std::string tid = std::to_string((int)GetCurrentThreadId());
    std::regex line(R"(^\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ )" + tid +
                    R"( \] \[ERROR\] GetCustomerId: error while retrieving customerid$)");
    EXPECT_TRUE(std::regex_match(lines[1], line)) << lines[1];
    /* The open and close lines repeat the timestamp after their text. */
    std::smatch m;
    std::regex open(R"(^\[ (\S+ \S+) \] \[ -?\d+ \] \[INFO\] Log open time: (\S+ \S+)$)");
    ASSERT_TRUE(std::regex_match(lines[0], m, open)) << lines[0];
    EXPECT_EQ(m[1], m[2]);
    std::regex close(R"(^\[ (\S+ \S+) \] \[ -?\d+ \] \[INFO\] Log close time: (\S+ \S+)$)");
    ASSERT_TRUE(std::regex_match(lines[2], m, close)) << lines[2];
    EXPECT_EQ(m[1], m[2]);
}

TEST(LogWriter, LevelsFilterAsTheirThresholdsSay)
{
    struct Case { BYTE level; const char *expected; } cases[] = {
        {0, ""}, {1, "I"}, {2, "IE"}, {3, "IED"}, {4, "IEDT"}, {9, "IEDT"},
    };
    for (const Case &c : cases) {
        vqt::ScratchDir dir("lvl");
        vqt::ScratchLog log(dir.path(), "l.log", c.level);
        ASSERT_TRUE(log.opened());
        LogInfo("I\n");
        LogError("E\n");
        LogDebug("D\n");
        LogTrace("T\n");
        log.close();
        std::vector<std::string> lines = log.lines();
        ASSERT_GE(lines.size(), 2u) << "level " << (int)c.level;
        EXPECT_NE(lines.front().find("Log open time: "), std::string::npos);
        EXPECT_NE(lines.back().find("Log close time: "), std::string::npos);
        std::string seen;
        for (size_t i = 1; i + 1 < lines.size(); i++)
            seen += lines[i].substr(lines[i].size() - 1);
        EXPECT_EQ(seen, c.expected) << "level " << (int)c.level;
    }
}

TEST(LogWriter, MessageIsThePrintfResultUnchanged)
{
    vqt::ScratchDir dir("fmt");
    vqt::ScratchLog log(dir.path(), "f.log", 3);
    ASSERT_TRUE(log.opened());
    LogInfo("XML File Name : %s %d %5.2f %%\n", "conf.xml", -7, 1.0);
    LogInfo("no line feed, ");
    LogDebug("next\n");
    log.close();
    std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 4u);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(lines[1], m, kPrefix));
    EXPECT_EQ(m.suffix().str(), "[INFO] XML File Name : conf.xml -7  1.00 %");
    /* A message without its line feed runs on into the next line's prefix. */
    ASSERT_TRUE(std::regex_search(lines[2], m, kPrefix));
    std::string rest = m.suffix().str();
    EXPECT_EQ(rest.rfind("[INFO] no line feed, [ ", 0), 0u) << rest;
    EXPECT_NE(rest.find("[DEBUG] next"), std::string::npos);
}

TEST(LogWriter, SecondOpenKeepsTheFirstFile)
{
    vqt::ScratchDir dir("twice");
    vqt::ScratchLog log(dir.path(), "one.log", 4);
    ASSERT_TRUE(log.opened());
    ASSERT_TRUE(SetLogFileName("two.log"));
    EXPECT_TRUE(OpenLogFileAppend());
    EXPECT_TRUE(OpenLogFile());
    log.close();
    std::string text = log.text();
    EXPECT_NE(text.find("[TRACE] gv_logFilePtr already Set\r\n"), std::string::npos) << text;
    EXPECT_FALSE(vqt::FileExistsA(dir.file("two.log")));
}

TEST(LogWriter, AppendKeepsEarlierLinesAndTruncateDropsThem)
{
    vqt::ScratchDir dir("modes");
    {
        vqt::ScratchLog log(dir.path(), "m.log", 1);
        ASSERT_TRUE(log.opened());
        LogInfo("first run\n");
    }
    {
        vqt::ScratchLog log(dir.path(), "m.log", 1);
        ASSERT_TRUE(log.opened());
        LogInfo("second run\n");
        log.close();
        std::string text = log.text();
        EXPECT_NE(text.find("first run"), std::string::npos);
        EXPECT_NE(text.find("second run"), std::string::npos);
    }
    CloseLogFile();
    FreeLogSettings();
    ASSERT_TRUE(SetLogDefaults());
    ASSERT_TRUE(SetLogParams("m.log", dir.path().c_str(), 1));
    ASSERT_TRUE(OpenLogFile());
    LogInfo("third run\n");
    CloseLogFile();
    FreeLogSettings();
    std::string text = vqt::ReadWholeFile(dir.path() + "/m.log");
    EXPECT_EQ(text.find("first run"), std::string::npos);
    EXPECT_NE(text.find("third run"), std::string::npos);
}

TEST(LogWriter, DefaultsPutCparloLogInParentLogsFolder)
{
    vqt::ScratchDir dir("defaults");
    std::string work = dir.file("work");
    ASSERT_TRUE(CreateDirectoryA(work.c_str(), NULL));
    char old[MAX_PATH];
    GetCurrentDirectoryA(sizeof(old), old);
    ASSERT_TRUE(SetCurrentDirectoryA(work.c_str()));
    CloseLogFile();
    FreeLogSettings();
    ASSERT_TRUE(SetLogDefaults());
    EXPECT_EQ(GetLogLevel(), 3);
    ASSERT_TRUE(OpenLogFileAppend());
    LogDebug("at the default level\n");
    CloseLogFile();
    FreeLogSettings();
    SetCurrentDirectoryA(old);
    std::string text = vqt::ReadWholeFile(dir.file("logs\\cparlo.log"));
    EXPECT_NE(text.find("[DEBUG] at the default level"), std::string::npos);
}

TEST(LogWriter, NothingIsWrittenOrCrashesWithoutAnOpenLog)
{
    CloseLogFile();
    FreeLogSettings();
    LogInfo("dropped %s\n", "line");
    LogError("dropped\n");
    CloseLogFile();     /* no file: must return quietly */
    CloseLogFile();
    EXPECT_EQ(gv_logFilePtr, nullptr);
    /* An unopenable path fails the open and leaves the writer closed. */
    ASSERT_TRUE(SetLogDefaults());
    ASSERT_TRUE(SetLogParams("x.log", "Q:\\no\\such\\drive", 3));
    EXPECT_FALSE(OpenLogFileAppend());
    EXPECT_EQ(gv_logFilePtr, nullptr);
    LogInfo("still dropped\n");
    CloseLogFile();
    FreeLogSettings();
    EXPECT_FALSE(SetLogParams(NULL, "dir", 3));
    EXPECT_FALSE(SetLogFileName(NULL));
    EXPECT_FALSE(SetLogDirectory(NULL));
}

TEST(MakeDirRecursive, CreatesFindsAndReportsErrors)
{
    vqt::ScratchDir dir("mkdir");
    std::string base = dir.path();
    for (char &c : base)
        if (c == '\\')
            c = '/';
    EXPECT_EQ(MakeDirRecursive((base + "/a/b/c").c_str()), 0);
    EXPECT_TRUE(vqt::DirExistsA(dir.file("a\\b\\c")));
    EXPECT_EQ(MakeDirRecursive((base + "/a/b/c").c_str()), 1);
    EXPECT_EQ(MakeDirRecursive((base + "/a/b/d//").c_str()), 0);
    /* Backslashes only: the missing parent cannot be found by '/', so the
     * first attempt's error comes back at once. */
    std::string back = dir.path() + "\\x\\y\\z";
    EXPECT_EQ(MakeDirRecursive(back.c_str()), ENOENT);
    EXPECT_FALSE(vqt::DirExistsA(dir.file("x")));
    EXPECT_EQ(MakeDirRecursive(""), ENOENT);
    EXPECT_EQ(MakeDirRecursive(NULL), ENOENT);
    /* A file in the way is reported, not looped on. */
    ASSERT_TRUE(vqt::WriteWholeFile(dir.file("f"), "x"));
    int r = MakeDirRecursive((base + "/f/sub").c_str());
    EXPECT_NE(r, 0);
    EXPECT_NE(r, 1);
}
