/* The real program run under Wine: a scratch working directory with the
 * stand-in deployment tool, the agent key pointing the log at a scratch
 * install directory, and the exit code, log and files checked afterwards. */
#include "support/standins.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

const char *kAgentKey = "Software\\Brennic\\Velquin\\VQAgent";

std::string programPath() { return vqt::BinDir() + "\\vqprereqhandler.exe"; }

class WholeRun : public ::testing::Test {
protected:
    vqt::ScratchDir work{"run"};
    vqt::ScratchDir install{"install"};

    void SetUp() override
    {
        vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKey);
        ASSERT_EQ(vqt::RegSetSz(HKEY_LOCAL_MACHINE, kAgentKey, "VQAgentInstallDir",
                                install.path() + "\\"), 0);
        ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, kAgentKey, "VQAgentLogLevel", 4), 0);
        ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"), kConfig));
    }
    void TearDown() override { vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKey); }

    /* Runs the program with `args` in the working directory; the exit code. */
    DWORD run(const std::string &args)
    {
        DWORD code = 0xFFFFFFFF;
        DWORD rc = vqt::RunProgram("\"" + programPath() + "\" " + args, work.path().c_str(),
                                   10 * 60 * 1000, &code);
        EXPECT_EQ(rc, 0u) << "the program did not run to its end";
        return code;
    }
    std::string log() const
    {
        return vqt::ReadWholeFile(install.file("logs\\vqprereqhandler.log"));
    }
    /* The message part of each line the run wrote ("[INFO] text"). */
    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const std::string &line : vqt::SplitLines(log())) {
            size_t tag = line.find("] [");
            tag = tag == std::string::npos ? tag : line.find("] ", tag + 3);
            if (tag != std::string::npos)
                out.push_back(line.substr(tag + 2));
        }
        return out;
    }
    /* The last line the run itself wrote, before the close line. */
    std::string lastRunLine() const
    {
        std::vector<std::string> m = messages();
        return m.size() >= 2 ? m[m.size() - 2] : std::string();
    }
    bool logHas(const std::string &text) const { return log().find(text) != std::string::npos; }

    static constexpr const char *kConfig =
        "<Configuration>\n  <Add OfficeClientEdition=\"32\">\n"
        "    <Product ID=\"O365ProPlusRetail\">\n      <Language ID=\"en-us\" />\n"
        "    </Product>\n  </Add>\n</Configuration>\n";
};

} // namespace

TEST_F(WholeRun, NoArgumentsEndsWithTwoAfterTheBanner)
{
    EXPECT_EQ(run(""), 2u);
    std::vector<std::string> m = messages();
    ASSERT_GE(m.size(), 4u) << log();
    auto banner = std::find(m.begin(), m.end(), "[INFO] Office 365 Installer v1.00 for Cloud users");
    ASSERT_NE(banner, m.end()) << log();
    ASSERT_NE(banner + 1, m.end());
    EXPECT_EQ(*(banner + 1), "[ERROR] Office Deployment Tool file not found.");
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 2");
}

TEST_F(WholeRun, OptionNamesIgnoreCaseAndSetupResultIsTheExitCode)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    EXPECT_EQ(run("-XML config.xml -Odt odt.exe"), 0u) << log();
    EXPECT_TRUE(logHas("[INFO] XML File Name : config.xml"));
    EXPECT_TRUE(logHas("[INFO] Office Deployment Tool File Name : odt.exe"));
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 0");
    /* The extraction folder is gone at the end of the run. */
    EXPECT_FALSE(vqt::DirExistsA(work.file("Office365")));
}

TEST_F(WholeRun, XmlAsLastArgumentIsIgnored)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    EXPECT_EQ(run("-odt odt.exe -xml"), 2u);
    EXPECT_TRUE(logHas("[ERROR] Configuration XML file not found."));
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 2");
}

TEST_F(WholeRun, MissingOrAbsoluteDocumentIsNotFound)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    EXPECT_EQ(run("-odt odt.exe -xml missing.xml"), 2u);
    EXPECT_TRUE(logHas("[ERROR] Configuration XML file not found."));
    /* A full path is still appended to the working directory. */
    EXPECT_EQ(run("-odt odt.exe -xml \"" + work.file("config.xml") + "\""), 2u);
}

TEST_F(WholeRun, SetupExitCodesPassThroughAnd17006Becomes20001)
{
    struct Case { int setup; DWORD expected; } cases[] = {{3010, 3010}, {17006, 20001}, {1603, 1603}};
    for (const Case &c : cases) {
        vqt::SetupBehaviour b;
        b.exitCode = c.setup;
        ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), b));
        EXPECT_EQ(run("-xml config.xml -odt odt.exe -version 16.0.1"), c.expected);
        EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : " + std::to_string(c.expected));
        EXPECT_TRUE(logHas("[INFO] Version to install : 16.0.1"));
        EXPECT_FALSE(vqt::DirExistsA(work.file("Office365")));
    }
}

TEST_F(WholeRun, SetupThatCannotStartGivesItsWindowsError)
{
    /* The tool "extracts" nothing, so there is no setup.exe to start. */
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour(), 0, "odt.exe", false));
    ASSERT_TRUE(CreateDirectoryA(work.file("Office365").c_str(), NULL));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 2u);
    EXPECT_TRUE(logHas("[ERROR] execute : Failed to create process for "));
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 2");
}

TEST_F(WholeRun, NoInstallDirectoryGivesThirteenAndNoLog)
{
    vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKey);
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    ASSERT_TRUE(CreateDirectoryA(work.file("Office365").c_str(), NULL));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 13u);
    EXPECT_FALSE(vqt::DirExistsA(install.file("logs")));
    /* Nothing of the run happened: an earlier extraction folder stays. */
    EXPECT_TRUE(vqt::DirExistsA(work.file("Office365")));
}
