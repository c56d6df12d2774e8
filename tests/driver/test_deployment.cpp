/* A working directory the run cannot read: the run must end with 13 without
 * deleting anything, above all not the "\Office365" folder at the root of
 * the drive that an empty working directory would name. Wine keeps the
 * working directory below MAX_PATH, so a directory longer than the run's
 * buffer cannot be made here: the run is given a smaller buffer instead
 * (the same GetCurrentDirectoryA result, "does not fit"). */
#include "driver/deployment.h"
#include "support/agentkey.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

TEST(WorkingDirectory, ReadFailsWhenTheBufferIsTooSmall)
{
    vqt::ScratchDir work("wd");
    char before[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, before), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(work.path().c_str()));
    std::string dir = "poison";
    EXPECT_TRUE(ReadWorkingDirectory(&dir));
    EXPECT_EQ(dir, work.path());
    /* Exactly the length, no room for the terminator: does not fit. */
    dir = "poison";
    EXPECT_FALSE(ReadWorkingDirectory(&dir, (DWORD)work.path().size()));
    EXPECT_EQ(dir, "");
    dir = "poison";
    EXPECT_TRUE(ReadWorkingDirectory(&dir, (DWORD)work.path().size() + 1));
    EXPECT_EQ(dir, work.path());
    dir = "poison";
    EXPECT_FALSE(ReadWorkingDirectory(&dir, 0));
    EXPECT_EQ(dir, "");
    SetCurrentDirectoryA(before);
}

TEST(WorkingDirectory, UnreadableDirectoryEndsWithThirteenAndDeletesNothing)
{
    vqt::ScratchDir work("wd");
    vqt::ScratchDir install("wdinstall");
    vqt::AgentKeyScope agentKey;
    ASSERT_EQ(vqt::WriteAgentKey(install.path() + "\\"), 0);
    ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"), "<Configuration><Add/></Configuration>"));
    ASSERT_TRUE(vqt::WriteWholeFile(work.file("odt.exe"), "MZ"));
    ASSERT_TRUE(CreateDirectoryA(work.file("Office365").c_str(), NULL));
    ASSERT_TRUE(vqt::WriteWholeFile(work.file("Office365\\keep.txt"), "earlier run"));

    char before[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, before), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(work.path().c_str()));
    /* What an empty working directory would name: the drive's root. */
    const std::string rootFolder = work.path().substr(0, 2) + "\\Office365";
    bool madeRoot = CreateDirectoryA(rootFolder.c_str(), NULL) != FALSE;
    ASSERT_TRUE(vqt::WriteWholeFile(rootFolder + "\\keep.txt", "not ours"));

    char arg0[] = "vqprereqhandler.exe", a1[] = "-xml", a2[] = "config.xml", a3[] = "-odt",
         a4[] = "odt.exe";
    char *argv[] = {arg0, a1, a2, a3, a4};
    LONG code = RunDeployment(5, argv, (DWORD)work.path().size());
    SetCurrentDirectoryA(before);

    EXPECT_EQ(code, 13);
    EXPECT_TRUE(vqt::FileExistsA(rootFolder + "\\keep.txt"));
    EXPECT_TRUE(vqt::FileExistsA(work.file("Office365\\keep.txt")));
    std::string log = vqt::ReadWholeFile(install.file("logs\\vqprereqhandler.log"));
    EXPECT_NE(log.find("[ERROR] RunDeployment : unable to read the working directory; nothing "
                       "is extracted or deleted."),
              std::string::npos) << log;
    EXPECT_NE(log.find("[INFO] Exit Code : 13\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Office Deployment Tool file not found"), std::string::npos);

    DeleteFileA((rootFolder + "\\keep.txt").c_str());
    if (madeRoot)
        RemoveDirectoryA(rootFolder.c_str());
}
