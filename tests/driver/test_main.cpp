/* The real program run under Wine, each run in a scratch working directory
 * with the stand-in deployment tool, a complete agent key whose install
 * directory is a scratch folder, and the Click-to-Run keys of an installed
 * Office; the exit code, the log, the document and the files are checked
 * afterwards. Every run that reaches setup waits the watch's 10 seconds. */
#include "support/agentkey.h"
#include "support/clicktorun.h"
#include "support/procstandin.h"
#include "support/standins.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

typedef std::vector<std::string> Texts;

const char kPowerKey[] = "System\\CurrentControlSet\\Control\\Power";
const char kSessionPowerKey[] = "System\\CurrentControlSet\\Control\\Session Manager\\Power";
const std::string kSample = VQ_DRIVER_TEST_DATA "/typical.xml";
const std::string kExpected = VQ_DRIVER_TEST_DATA "/typical.expected.xml";

class WholeRun : public ::testing::Test {
protected:
    vqt::ScratchDir work{"run"};
    vqt::ScratchDir install{"install"};
    vqt::AgentKeyScope agentKey;
    std::string sample;

    void SetUp() override
    {
        ASSERT_EQ(vqt::WriteAgentKey(install.path() + "\\",
                                     {vqt::Dword("", "VQAgentLogLevel", 4)}), 0);
        vqt::DeleteClickToRunKeys();
        vqt::ClickToRunKeys keys;
        keys.modifier = "O365ProPlusRetail.16_de-de_x-none";
        ASSERT_TRUE(vqt::WriteClickToRunKeys(keys));
        ASSERT_TRUE(vqt::ReadWholeFile(kSample, &sample));
        ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"), sample));
    }
    void TearDown() override { vqt::DeleteClickToRunKeys(); }

    /* Runs the program with `args` in the working directory; its exit code. */
    DWORD run(const std::string &args)
    {
        DWORD code = 0xFFFFFFFF;
        std::string program = vqt::BinDir() + "\\vqprereqhandler.exe";
        DWORD rc = vqt::RunProgram("\"" + program + "\" " + args, work.path().c_str(),
                                   10 * 60 * 1000, &code);
        EXPECT_EQ(rc, 0u) << "the program did not run to its end";
        return code;
    }
    std::string logPath() const { return install.file("logs\\vqprereqhandler.log"); }
    std::string log() const { return vqt::ReadWholeFile(logPath()); }
    /* INFO and ERROR messages ("[INFO] text") of the whole log, in order. */
    Texts messages() const
    {
        Texts out;
        for (const std::string &line : vqt::SplitLines(log())) {
            size_t at = line.find("] [INFO] ");
            if (at == std::string::npos)
                at = line.find("] [ERROR] ");
            if (at != std::string::npos)
                out.push_back(line.substr(at + 2));
        }
        return out;
    }
    /* The last line the run itself wrote, before the close line. */
    std::string lastRunLine() const
    {
        Texts m = messages();
        return m.size() >= 2 ? m[m.size() - 2] : std::string();
    }
    bool logHas(const std::string &text) const { return log().find(text) != std::string::npos; }
    std::string document() const { return vqt::ReadWholeFile(work.file("config.xml")); }
};

} // namespace

TEST_F(WholeRun, NoArgumentsEndsWithTwoAfterTheBanner)
{
    EXPECT_EQ(run(""), 2u);
    Texts m = messages();
    auto banner = std::find(m.begin(), m.end(), "[INFO] Office 365 Installer v1.00 for Cloud users");
    ASSERT_NE(banner, m.end()) << log();
    /* Between the two only the servers' certificate mode and the file
     * check's own ERROR line may come. */
    ASSERT_LT(banner + 1, m.end());
    EXPECT_EQ(banner[1].rfind("[INFO] LogServerCertificateModes : Management server : ", 0), 0u) << log();
    auto notFound = std::find(banner, m.end(), "[ERROR] Office Deployment Tool file not found.");
    ASSERT_NE(notFound, m.end()) << log();
    EXPECT_LE(notFound - banner, 3);
    EXPECT_FALSE(logHas("the tick count is")) << "no later step ran";
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 2");
    EXPECT_EQ(m.back().rfind("[INFO] Log close time: ", 0), 0u);
    EXPECT_EQ(document(), sample);
}

TEST_F(WholeRun, TypicalComputerDeploysAndKeepsWhatIsInstalled)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe -version 16.0.17328.20282"), 0u) << log();
    EXPECT_EQ(document(), vqt::ReadWholeFile(kExpected));
    EXPECT_EQ(vqt::ReadToolCommandLine(work.path()),
              "\"" + work.file("odt.exe") + "\" /extract:\"" + work.file("Office365") +
                  "\" /quiet /norestart");
    EXPECT_TRUE(logHas("[INFO] execute : Process created successfully for \"" +
                       work.file("Office365") + "\\setup.exe\" /configure \"" +
                       work.file("config.xml") + "\""));
    EXPECT_TRUE(logHas("[INFO] FORCEAPPSHUTDOWN set as FALSE."));
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 0");
    EXPECT_FALSE(vqt::DirExistsA(work.file("Office365")));
    /* The log is in the install directory's logs folder at level 4. */
    EXPECT_TRUE(logHas("[DEBUG] @@@@@@@@ Inside execute Method @@@@@@@@"));
}

TEST_F(WholeRun, OptionNamesIgnoreCaseAndAlwaysKillAppsForcesShutdown)
{
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brennic\\Velquin\\VQAgent\\Patch\\",
                               "alwaysKillApps", 1), 0);
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    EXPECT_EQ(run("-XML config.xml -Odt odt.exe"), 0u) << log();
    EXPECT_TRUE(logHas("[INFO] XML File Name : config.xml"));
    EXPECT_TRUE(logHas("[INFO] Office Deployment Tool File Name : odt.exe"));
    EXPECT_TRUE(logHas("[INFO] alwaysKillApps is enabled."));
    EXPECT_TRUE(logHas("[INFO] FORCEAPPSHUTDOWN set as TRUE."));
    /* No -version: empty Version and TargetVersion. */
    EXPECT_NE(document().find("Version=\"\""), std::string::npos);
    EXPECT_NE(document().find("TargetVersion=\"\""), std::string::npos);
    EXPECT_NE(document().find("<Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/>"),
              std::string::npos);
}

TEST_F(WholeRun, MissingLastOrAbsoluteDocumentNameIsNotFound)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    for (std::string args : Texts{"-odt odt.exe -xml", "-odt odt.exe -xml missing.xml",
                             "-odt odt.exe -xml \"" + work.file("config.xml") + "\""}) {
        EXPECT_EQ(run(args), 2u) << args;
        EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 2") << args;
    }
    EXPECT_TRUE(logHas("[ERROR] Configuration XML file not found."));
    EXPECT_EQ(vqt::ReadToolCommandLine(work.path()), "") << "nothing was extracted";
    EXPECT_EQ(document(), sample);
}

TEST_F(WholeRun, SetupExitCodesPassThroughAnd17006Becomes20001)
{
    vqt::ScratchDir apps("apps");
    std::string word = apps.file("WINWORD.exe");
    ASSERT_TRUE(vqt::CopyFileTo(vqt::BinDir() + "\\proc_sleeper.exe", word));
    struct Case { int setup; DWORD expected; bool listed; } cases[] = {
        {3010, 3010, false}, {17006, 20001, true}, {1603, 1603, true}};
    for (const Case &c : cases) {
        DeleteFileA(logPath().c_str());
        vqt::SetupBehaviour b;
        b.exitCode = c.setup;
        /* The failed setup leaves Word running, as a user would have it. */
        b.spawn = "\"" + word + "\" 20000";
        ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), b));
        EXPECT_EQ(run("-xml config.xml -odt odt.exe -version 16.0.1"), c.expected);
        EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : " + std::to_string(c.expected));
        EXPECT_TRUE(logHas("[INFO] execute : Exit code for the application : " +
                           std::to_string(c.setup)));
        EXPECT_EQ(logHas("[INFO] Office application : WINWORD.exe running."), c.listed)
            << c.setup;
        EXPECT_FALSE(logHas("CheckInstalledState")) << "only a setup that ended with 0 is checked";
        EXPECT_FALSE(vqt::DirExistsA(work.file("Office365")));
        vqt::RunProgram("taskkill /f /im WINWORD.exe", NULL, 10000, NULL);
    }
}

TEST_F(WholeRun, ExtractionResultDecidesWhetherTheRunGoesOn)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour(), 3010));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 0u) << "3010 counts as a good extraction";

    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour(), 1603));
    ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"), sample));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 1603u);
    EXPECT_TRUE(logHas("[ERROR] Failed to execute office deployment tool."));
    EXPECT_EQ(document(), sample) << "nothing edited after a failed extraction";
}

TEST_F(WholeRun, SetupThatCannotStartGivesItsWindowsError)
{
    /* The tool "extracts" nothing, so there is no setup.exe to start. */
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour(), 0, "odt.exe", false));
    DWORD code = run("-xml config.xml -odt odt.exe");
    EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) << code;
    EXPECT_TRUE(logHas("[ERROR] execute : Failed to create process for \"" +
                       work.file("Office365") + "\\setup.exe\" /configure \"" +
                       work.file("config.xml") + "\" with error code : " + std::to_string(code)));
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : " + std::to_string(code));
}

TEST_F(WholeRun, NoClickToRunLeavesTheDocumentAndRemovesTheFolder)
{
    vqt::DeleteClickToRunKeys();
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 2u);
    EXPECT_TRUE(logHas("[ERROR] Unable to open Reg Key -> "
                       "SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration. Error Code: 2"));
    EXPECT_NE(vqt::ReadToolCommandLine(work.path()), "") << "the tool was extracted first";
    EXPECT_FALSE(vqt::DirExistsA(work.file("Office365")));
    EXPECT_EQ(document(), sample);
}

TEST_F(WholeRun, UnparsableDocumentEndsWithThirteen)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"), "<Configuration><Add>"));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 13u);
    EXPECT_TRUE(logHas("[ERROR] Unable to open configuration XML file."));
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 13");
}

/* Another program holds the document open, so the rewrite cannot be saved:
 * the run ends with 13 before setup, and setup never sees the unmodified
 * document that might remove what the rewrite keeps. */
TEST_F(WholeRun, DocumentThatCannotBeSavedEndsWithThirteenBeforeSetup)
{
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    HANDLE held = CreateFileA(work.file("config.xml").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD code = run("-xml config.xml -odt odt.exe -version 16.0.1");
    CloseHandle(held);
    EXPECT_EQ(code, 13u) << log();
    EXPECT_TRUE(logHas("[ERROR] modifyAttribute : unable to save " + work.file("config.xml") +
                       ". Error Code : "))
        << log();
    EXPECT_FALSE(logHas("setup.exe\" /configure")) << "setup was not started";
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 13");
    EXPECT_EQ(document(), sample);
    EXPECT_FALSE(vqt::DirExistsA(work.file("Office365")));
}

TEST_F(WholeRun, OfficeApplicationOutsideTheStartupWindowEndsWith20001)
{
    /* Under Wine the tick count is the host's uptime; a machine booted less
     * than 15 minutes ago is inside the start-up window, where the guard
     * kills the application and the run goes on. */
    bool startup = GetTickCount64() <= 900000;
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, kPowerKey, "HibernateEnabled", 1), 0);
    vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kSessionPowerKey, KEY_WOW64_64KEY);
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    vqt::StandInProcess excel(work, "EXCEL.exe");
    DWORD code = run("-xml config.xml -odt odt.exe");
    vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kPowerKey);
    if (startup) {
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(excel.ended());
        return;
    }
    EXPECT_EQ(code, 20001u);
    EXPECT_FALSE(excel.ended(0));
    EXPECT_TRUE(logHas("[INFO] Not a startup event hence not killing the process (EXCEL.exe)."));
    EXPECT_TRUE(logHas("[INFO] !!! Fast Startup has been disabled"));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionPowerKey, 0,
                            KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key), 0);
    DWORD value = 7, size = sizeof(value);
    EXPECT_EQ(RegQueryValueExA(key, "HiberbootEnabled", NULL, NULL, (BYTE *)&value, &size), 0);
    RegCloseKey(key);
    EXPECT_EQ(value, 0u);
    vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kSessionPowerKey, KEY_WOW64_64KEY);
    EXPECT_EQ(vqt::ReadToolCommandLine(work.path()), "") << "nothing extracted";
    EXPECT_EQ(document(), sample) << "nothing edited";
}

TEST_F(WholeRun, MeteredWarningOfSetupIsPressed)
{
    vqt::SetupBehaviour b;
    b.showWarning = true;
    b.exitCode = 1;            /* the exit code if nobody presses */
    b.clickedExitCode = 0;
    b.warningLimitMs = 60000;
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), b));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 0u) << log();
    EXPECT_TRUE(logHas("[INFO] Metered connection warning window found."));
    EXPECT_TRUE(logHas("[INFO] Ok Button found."));
}

TEST_F(WholeRun, FullLogOfAnEarlierRunIsRotatedBeforeTheBanner)
{
    ASSERT_TRUE(CreateDirectoryA(install.file("logs").c_str(), NULL));
    std::string old(2000000, 'o');
    ASSERT_TRUE(vqt::WriteWholeFile(logPath(), old));
    EXPECT_EQ(run(""), 2u);
    EXPECT_EQ(vqt::ReadWholeFile(install.file("logs\\vqprereqhandler1.log")), old);
    Texts m = messages();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(log().find('o'), log().find("Log open time") + 1) << "old content is gone";
    EXPECT_NE(std::find(m.begin(), m.end(), "[INFO] Office 365 Installer v1.00 for Cloud users"),
              m.end());
}

TEST_F(WholeRun, NoInstallDirectoryGivesThirteenAndNoLog)
{
    vqt::DeleteAgentKey();
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    ASSERT_TRUE(CreateDirectoryA(work.file("Office365").c_str(), NULL));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe"), 13u);
    EXPECT_FALSE(vqt::DirExistsA(install.file("logs")));
    /* Nothing of the run happened: an earlier extraction folder stays. */
    EXPECT_TRUE(vqt::DirExistsA(work.file("Office365")));
    EXPECT_EQ(document(), sample);
}

/* An install directory with a non-ASCII name ("Agent Ä"): the earlier full
 * log there is rotated and the run's log lands in its logs folder. */
TEST_F(WholeRun, NonAsciiInstallDirectoryHoldsTheLogAndItsBackup)
{
    vqt::ScratchDir agent("Agent \xC3\x84");
    ASSERT_NE(agent.path().find("\xC3\x84"), std::string::npos);
    ASSERT_EQ(vqt::WriteAgentKey(agent.path() + "\\", {vqt::Dword("", "VQAgentLogLevel", 4)}), 0);
    const std::string logs = agent.file("logs");
    ASSERT_TRUE(CreateDirectoryA(logs.c_str(), NULL));
    ASSERT_TRUE(vqt::WriteWholeFile(logs + "\\vqprereqhandler.log", std::string(2000000, 'o')));
    EXPECT_EQ(run(""), 2u);
    std::string text = vqt::ReadWholeFile(logs + "\\vqprereqhandler.log");
    EXPECT_NE(text.find("[INFO] Exit Code : 2"), std::string::npos) << text;
    EXPECT_TRUE(vqt::FileExistsA(logs + "\\vqprereqhandler1.log"));
    EXPECT_FALSE(vqt::DirExistsA(install.file("logs")));
}

/* No resource identifier in the registry: the program asks the loopback
 * server for the computer's resource document by its lower-cased path.
 * The deployment run starts no record framework, so the document cannot be
 * loaded: nothing is written, and the deployment goes on to its exit code. */
TEST_F(WholeRun, MissingResourceIdentifierIsAskedForAndTheRunGoesOn)
{
    const char *port = getenv("VQ_NET_HTTP_PORT");
    const char *requestLog = getenv("VQ_NET_REQUEST_LOG");
    ASSERT_TRUE(port && requestLog) << "the loopback servers' ports are not in the environment";
    ASSERT_EQ(vqt::WriteAgentKey(install.path() + "\\",
                                 {vqt::Dword("", "VQAgentLogLevel", 4),
                                  vqt::Sz("ServerInfo", "VQServerName", "127.0.0.1"),
                                  vqt::Sz("ServerInfo", "VQServerPort", port),
                                  vqt::Sz("ServerInfo", "VQServerProtocol", "http"),
                                  vqt::Missing("SystemDetails", "VQAgentResourceID")}), 0);
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof(name);
    ASSERT_TRUE(GetComputerNameA(name, &size));
    std::string computer = name;
    std::transform(computer.begin(), computer.end(), computer.begin(), ::tolower);
    /* The server answers the computer's document from its state folder
     * (the request log's folder): one that carries the identifier. */
    std::string state = requestLog;
    state.resize(state.find_last_of('\\'));
    CreateDirectoryA((state + "\\resources").c_str(), NULL);
    std::string document = state + "\\resources\\" + computer + ".xml";
    ASSERT_TRUE(vqt::WriteWholeFile(
        document, "<resource><Agentparams PARAM_NAME=\"RESOURCE_ID\" param_Value=\"R-1\"/></resource>"));

    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    EXPECT_EQ(run("-xml config.xml -odt odt.exe -version 16.0.17328.20282"), 0u) << log();
    std::string seen;
    for (const std::string &line : vqt::SplitLines(vqt::ReadWholeFile(requestLog)))
        if (line.find("/client-data/acmecust01/domains/") != std::string::npos &&
            line.find("/resources/" + computer + ".xml\t") != std::string::npos)
            seen = line;
    EXPECT_FALSE(seen.empty()) << "no request for the resource document";
    /* The document carries an identifier: only a failed load leaves the
     * registry without it. (The parameters are read before the log opens,
     * so the load's ERROR line is not in the run's log.) */
    std::string id;
    EXPECT_FALSE(vqt::ReadAgentSz("SystemDetails", "VQAgentResourceID", &id)) << id;
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 0");
    DeleteFileA(document.c_str());
}

/* Setup ends with 0 and leaves a Click-to-Run state behind; the run reads
 * it again and names what the rewritten document asked for and did not
 * get. The exit code stays 0 in every case. The document asks for
 * O365ProPlusRetail (de-de, en-us) and VisioProRetail (en-us), both without
 * groove and lync. */
TEST_F(WholeRun, CheckAfterSetupNamesWhatSetupLeftBehind)
{
    const std::string removing =
        "<Configuration>\n  <Add OfficeClientEdition=\"64\">\n"
        "    <Product ID=\"O365ProPlusRetail\"><Language ID=\"en-us\"/></Product>\n  </Add>\n"
        "  <Remove>\n    <Product ID=\"ProjectProRetail\"/>\n  </Remove>\n</Configuration>\n";
    struct Case {
        const char *name;
        vqt::ResultingState state;
        std::string document;     /* "" = the sample */
        Texts errors;             /* the check's ERROR lines */
    };
    vqt::ResultingState asked, productMissing, languageMissing, exclusionMissing, removedThere,
        unreadable;
    productMissing.write = true;
    productMissing.productReleaseIds = "O365ProPlusRetail";
    languageMissing.write = true;
    languageMissing.modifier = "";
    exclusionMissing.write = true;
    exclusionMissing.excludedApps = "groove";
    removedThere.write = true;
    removedThere.productReleaseIds = "O365ProPlusRetail,VisioProRetail,ProjectProRetail";
    unreadable.removeConfiguration = true;
    const Case cases[] = {
        {"everything as asked", asked, "", {}},
        {"a product missing", productMissing, "",
         {"[ERROR] CheckInstalledState : Product VisioProRetail is not installed."}},
        {"a language missing", languageMissing, "",
         {"[ERROR] CheckInstalledState : Language de-de of Product O365ProPlusRetail is not installed."}},
        {"an exclusion not applied", exclusionMissing, "",
         {"[ERROR] CheckInstalledState : ExcludeApp lync of Product O365ProPlusRetail is not applied.",
          "[ERROR] CheckInstalledState : ExcludeApp lync of Product VisioProRetail is not applied."}},
        {"a removed product still there", removedThere, removing,
         {"[ERROR] CheckInstalledState : Product ProjectProRetail was removed by the document and is still installed."}},
        {"the state unreadable", unreadable, "",
         {"[ERROR] CheckInstalledState : unable to read the Click-to-Run state after setup. Error Code : 2"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(logPath().c_str());
        vqt::DeleteClickToRunKeys();
        vqt::ClickToRunKeys keys;
        keys.modifier = "O365ProPlusRetail.16_de-de_x-none";
        ASSERT_TRUE(vqt::WriteClickToRunKeys(keys));
        ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"),
                                        c.document.empty() ? sample : c.document));
        vqt::SetupBehaviour b;
        b.state = c.state;
        ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), b));
        EXPECT_EQ(run("-xml config.xml -odt odt.exe -version 16.0.1"), 0u) << log();
        Texts errors, m = messages();
        for (const std::string &line : m)
            if (line.rfind("[ERROR] CheckInstalledState", 0) == 0)
                errors.push_back(line);
        EXPECT_EQ(errors, c.errors) << log();
        bool allThere = std::find(m.begin(), m.end(),
                                  "[INFO] CheckInstalledState : Click-to-Run holds what the "
                                  "document asked for.") != m.end();
        EXPECT_EQ(allThere, c.errors.empty());
        if (!c.state.removeConfiguration) {
            EXPECT_TRUE(logHas("[INFO] CheckInstalledState : installed now : Platform x64, "
                               "ClientCulture en-us, Products "));
        }
        EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 0");
    }
}

namespace {

/* The Click-to-Run values the runs read, as one text. */
std::string clickToRunValues()
{
    std::string all;
    const char *config = "SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, config, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != 0)
        return "(no key)";
    for (const char *name : {"Platform", "ProductReleaseIds", "ClientCulture",
                             "O365ProPlusRetail.ExcludedApps"}) {
        char value[1024] = "";
        DWORD size = sizeof(value) - 1;
        LONG rc = RegQueryValueExA(key, name, NULL, NULL, (BYTE *)value, &size);
        all += std::string(name) + "=" + (rc == 0 ? value : "(none)") + ";";
    }
    RegCloseKey(key);
    return all;
}

} // namespace

/* -preview on the typical computer with Excel running outside the start-up
 * window: the rewritten document and the summary are printed, and nothing
 * was run, killed, extracted or changed. */
TEST_F(WholeRun, PreviewPrintsTheRewriteAndChangesNothing)
{
    bool startup = GetTickCount64() <= 900000;
    ASSERT_TRUE(vqt::PrepareStandinTool(work.path(), vqt::SetupBehaviour()));
    vqt::StandInProcess excel(work, "EXCEL.exe");
    ASSERT_TRUE(CreateDirectoryA(work.file("Office365").c_str(), NULL));
    ASSERT_TRUE(vqt::WriteWholeFile(work.file("Office365\\earlier.txt"), "earlier run"));
    std::string times = vqt::FileTimes(work.file("config.xml"));
    std::string folderTimes = vqt::FileTimes(work.path());
    std::string registry = clickToRunValues();
    Sleep(50);

    std::string out;
    DWORD code = 0xFFFFFFFF;
    std::string program = vqt::BinDir() + "\\vqprereqhandler.exe";
    ASSERT_EQ(vqt::RunProgramWithOutput("\"" + program +
                                            "\" -preview -xml config.xml -odt odt.exe -version "
                                            "16.0.17328.20282",
                                        work.path().c_str(), 10 * 60 * 1000, &code, &out),
              0u);
    EXPECT_EQ(code, 0u) << log();
    /* The addresses that the agent's parameters print come first. */
    std::string start = "==== " + work.file("config.xml") + " as a run would save it ====\n";
    size_t at = out.find(start);
    ASSERT_NE(at, std::string::npos) << out;
    std::string expected = vqt::ReadWholeFile(kExpected);
    EXPECT_EQ(out.compare(at + start.size(), expected.size(), expected), 0) << out;
    std::string summary = out.substr(std::min(out.size(), at + start.size() + expected.size()));
    for (const std::string &line :
         Texts{"==== Preview of " + work.file("config.xml") +
                   ": nothing on this computer was changed ====\n",
               "Click-to-Run          : Platform x64, ClientCulture en-us, Products "
               "O365ProPlusRetail, VisioProRetail\n",
               "OfficeClientEdition   : \"32\" -> \"64\"\n",
               "Version               : (not set) -> \"16.0.17328.20282\"\n",
               "Products in the document:\n  O365ProPlusRetail : languages en-us; excluded (none)\n",
               "Products after the rewrite:\n"
               "  O365ProPlusRetail : languages de-de, en-us; excluded groove, lync\n"
               "  VisioProRetail : languages en-us; excluded groove, lync\n",
               "FORCEAPPSHUTDOWN      : TRUE -> FALSE\n",
               std::string("Office applications   : EXCEL.exe running: ") +
                   (startup ? "a run would close them"
                            : "a run would leave them running and end with 20001"),
               "Deployment tool       : " + work.file("odt.exe") + "\n"})
        EXPECT_NE(summary.find(line), std::string::npos) << line << "\nin:\n" << summary;

    EXPECT_FALSE(excel.ended(0)) << "Excel was not killed";
    EXPECT_EQ(vqt::ReadToolCommandLine(work.path()), "") << "the tool was not run";
    EXPECT_EQ(vqt::ReadWholeFile(work.file("Office365\\earlier.txt")), "earlier run")
        << "nothing was deleted";
    EXPECT_EQ(document(), sample);
    EXPECT_EQ(vqt::FileTimes(work.file("config.xml")), times);
    EXPECT_EQ(vqt::FileTimes(work.path()), folderTimes);
    EXPECT_EQ(clickToRunValues(), registry);
    EXPECT_FALSE(logHas("Inside execute Method")) << "nothing was started";
    EXPECT_FALSE(logHas("Killing the process"));
    EXPECT_EQ(lastRunLine(), "[INFO] Exit Code : 0");
}

/* The preview's exit codes: 2 for a missing document, 13 for one that does
 * not parse or cannot be rewritten (no Add), 0 otherwise, also without a
 * deployment tool. */
TEST_F(WholeRun, PreviewExitCodes)
{
    struct Case { const char *args; const char *document; DWORD code; } cases[] = {
        {"-preview -xml missing.xml", NULL, 2},
        {"-xml config.xml -PREVIEW", "<Configuration><Add>", 13},
        {"-preview -xml config.xml", "<Configuration><Updates/></Configuration>", 13},
        {"-preview -xml config.xml", "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args);
        std::string text = c.document && *c.document ? c.document : sample;
        ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"), text));
        std::string out;
        DWORD code = 0xFFFFFFFF;
        ASSERT_EQ(vqt::RunProgramWithOutput("\"" + vqt::BinDir() + "\\vqprereqhandler.exe\" " +
                                                c.args,
                                            work.path().c_str(), 10 * 60 * 1000, &code, &out),
                  0u);
        EXPECT_EQ(code, c.code) << log();
        EXPECT_EQ(document(), text);
        size_t at = out.find(" as a run would save it ====\n<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<Configuration>\n");
        EXPECT_EQ(at != std::string::npos, c.code == 0) << out;
        if (c.code == 0) {
            EXPECT_NE(out.find("Deployment tool       : not given (\"-odt\"): a run would end with 2"),
                      std::string::npos) << out;
        }
    }
}
