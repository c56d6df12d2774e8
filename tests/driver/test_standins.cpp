/* The stand-in deployment tool as the whole-program tests use it: the
 * extraction command line the product sends (quoted folder, a blank in the
 * path), the tool's own exit code, and the extracted setup.exe run by the
 * setup runner. */
#include "driver/setuprunner.h"
#include "support/standins.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string>

namespace {

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

} // namespace
