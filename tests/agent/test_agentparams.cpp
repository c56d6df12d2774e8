/* Agent parameters read from Wine's registry: a complete agent key, every
 * required value missing in turn, the odd values and their rules, the
 * parameter dump in its order, and the proxy password decoding. */
#include "agent/agentparams.h"
#include "agent/registry.h"
#include "support/agentkey.h"
#include "support/testutil.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

using vqt::Dword;
using vqt::Missing;
using vqt::Sz;

class AgentParams : public ::testing::Test {
protected:
    void SetUp() override { savedWow64_ = gv_isWow64Process; }
    void TearDown() override
    {
        vqt::DeleteAgentKey();
        ResetAgentParameters();
        /* Other registry tests expect the 32-bit view flag as they left it. */
        gv_isWow64Process = savedWow64_;
    }
    DWORD init(const std::vector<vqt::AgentValue> &changes = {})
    {
        EXPECT_EQ(vqt::WriteAgentKey(dir_.path(), changes), 0);
        return InitializeAgentParameters();
    }
    std::string installDir() const { return dir_.path() + "\\"; }

    vqt::ScratchDir dir_{"params"};
    BOOL savedWow64_ = FALSE;
};

std::string str(const char *s) { return s ? s : "<null>"; }

/* Position of each piece in `text`, searched from the previous one on:
 * npos for the first piece that is not found in that order. */
size_t firstOutOfOrder(const std::string &text, const std::vector<std::string> &pieces)
{
    size_t at = 0;
    for (size_t i = 0; i < pieces.size(); i++) {
        size_t found = text.find(pieces[i], at);
        if (found == std::string::npos)
            return i;
        at = found + pieces[i].size();
    }
    return std::string::npos;
}

} // namespace

TEST_F(AgentParams, CompleteKeyFillsTheRecordAndDefaults)
{
    ASSERT_EQ(init(), 0u);
    const AgentParameters &p = gv_agentParams;
    EXPECT_EQ(str(p.VQServerName), vqt::kAgentServerName);
    EXPECT_EQ(p.VQServerPort, vqt::kAgentServerPort);
    EXPECT_EQ(p.VQServerSecurePort, vqt::kAgentServerPort + 363);
    EXPECT_EQ(str(p.VQServerProtocol), "http");
    EXPECT_EQ(p.ActiveServerPort, vqt::kAgentServerPort);
    /* Distribution server off: its protocol and port follow the server's. */
    EXPECT_EQ(str(p.DistributionServerProtocol), "http");
    EXPECT_EQ(p.ActiveDistributionServerPort, vqt::kAgentServerPort);
    EXPECT_EQ(p.DistributionServerName, nullptr);

    EXPECT_EQ(str(p.VQAgentInstallDir), installDir());
    EXPECT_EQ(str(p.CustomerId), vqt::kAgentCustomerId);
    EXPECT_EQ(str(gv_vqProductCode), "VQEE");
    EXPECT_EQ(str(p.ResourceID), vqt::kAgentResourceId);
    EXPECT_EQ(p.HTTPRequestTimeout, 60000u);
    EXPECT_EQ(p.HTTPConnectionTimeout, 30000u);
    EXPECT_EQ(str(p.EnableRemoteOfficeMgmt), "NO");
    EXPECT_EQ(str(p.ProxyEnabled), "NO");
    EXPECT_EQ(str(p.ProxyByPass), "<local>");
    EXPECT_TRUE(p.EnableChecksum);
    EXPECT_FALSE(p.EnableDSRoute);

    /* The missing rate and route values are written back. */
    EXPECT_EQ(p.DataTransferRate_KBps, 0u);
    std::string text;
    ASSERT_TRUE(vqt::ReadAgentSz("", "DataTransferRate_KBps", &text));
    EXPECT_EQ(text, "0");
    ASSERT_TRUE(vqt::ReadAgentSz("", "EnableDSRoute", &text));
    EXPECT_EQ(text, "no");

    /* The system's values: computer name and namespace are required. */
    ASSERT_NE(gv_localComputerName, nullptr);
    EXPECT_STRNE(gv_localComputerName, "");
    ASSERT_NE(p.ClientNamespace, nullptr);
    std::string ns = p.ClientNamespace;
    for (char &c : ns)
        c = (char)tolower((unsigned char)c);
    EXPECT_EQ(str(gv_clientDataPath), "client-data/acmecust01/domains/" + ns);

    char temp[300] = "";
    GetEnvironmentVariableA("TEMP", temp, sizeof(temp));
    EXPECT_STREQ(p.TempDirectory, temp);

    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_EQ(gv_isWow64Process, wow64);
}

TEST_F(AgentParams, EachRequiredValueMissingGivesThirteenAndItsErrorLine)
{
    struct Case {
        vqt::AgentValue missing;
        std::vector<vqt::AgentValue> extra;
        const char *line;
    } cases[] = {
        {Missing("ServerInfo", "VQServerName"), {},
         "InitializeServerDetailsFromRegistry : Error while fetching server name from registry! \n"},
        {Missing("ServerInfo", "VQServerPort"), {},
         "InitializeServerDetailsFromRegistry : Error while fetching server port from registry! \n"},
        {Missing("", "EnableDistributionServer"), {},
         "InitializeAgentParameters : Error while fetching Master Agent entry from registry! \n"},
        {Missing("ServerInfo", "DistributionServerName"),
         {Sz("", "EnableDistributionServer", "YES"), Sz("ServerInfo", "DistributionServerPort", "9090")},
         "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server name from registry! \n"},
        {Missing("ServerInfo", "DistributionServerPort"),
         {Sz("", "EnableDistributionServer", "yes"), Sz("ServerInfo", "DistributionServerName", "ds1")},
         "InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server port from registry! \n"},
        {Missing("", "VQAgentVersion"), {},
         "InitializeAgentDetails : Error while fetching agent version from registry! \n"},
        {Missing("", "AgentServiceName"), {},
         "InitializeAgentDetails : Error while fetching agent service name from registry! \n"},
        {Missing("", "MSPName"), {},
         "InitializeAgentDetails : Error while fetching msp name from registry! \n"},
        {Missing("", "CustomerName"), {},
         "InitializeAgentDetails : Error while fetching customer name from registry! \n"},
        {Missing("", "CustomerId"), {}, "GetCustomerId: error while retrieving customerid\n"},
        {Sz("", "CustomerId", ""), {},
         "InitializeAgentDetails : Error while fetching customer Id from registry! \n"},
        {Missing("", "VQProductCode"), {},
         "InitializeAgentDetails : Error while fetching product Code from registry! \n"},
        {Missing("", "VQAgentInstallDir"), {},
         "InitializeAgentDetails : Error while fetching agent install directory from registry! \n"},
    };
    const char *stepLines[] = {
        "InitializeAgentParameters : Error while fetching Server details from registry! \n",
        "InitializeAgentParameters : Error while fetching Master Agent entry from registry! \n",
        "InitializeAgentParameters : Error while fetching DS Server details from registry! \n",
        "InitializeAgentParameters : Error while the Agent details ! \n",
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.missing.name + " " + c.line);
        std::vector<vqt::AgentValue> changes = c.extra;
        changes.push_back(c.missing);
        vqt::ScratchLog log(VQ_LOG_LEVEL_TRACE);
        ASSERT_TRUE(log.opened());
        EXPECT_EQ(init(changes), 13u);
        std::string text = log.plainText();
        EXPECT_NE(text.find(std::string("[ERROR] ") + c.line), std::string::npos) << text;
        bool stepNamed = false;
        for (const char *s : stepLines)
            stepNamed |= text.find(std::string("[ERROR] ") + s) != std::string::npos;
        EXPECT_TRUE(stepNamed);
        /* Nothing after the failing step: no dump. */
        EXPECT_EQ(text.find("Velquin Server Name"), std::string::npos);
    }
}

TEST_F(AgentParams, FailedStepKeepsWhatWasReadAndInitialValues)
{
    EXPECT_EQ(init({Missing("", "VQProductCode")}), 13u);
    EXPECT_EQ(str(gv_agentParams.VQServerName), vqt::kAgentServerName);
    EXPECT_EQ(str(gv_agentParams.CustomerId), vqt::kAgentCustomerId);
    EXPECT_EQ(str(gv_vqProductCode), "VQEE");
    EXPECT_EQ(gv_agentParams.VQAgentInstallDir, nullptr);
    EXPECT_EQ(gv_agentParams.HTTPRequestTimeout, 60000u);
    EXPECT_EQ(gv_agentParams.DataTransferRate_KBps, 1024u);
}

TEST_F(AgentParams, ProtocolAndPortRules)
{
    ASSERT_EQ(init({Sz("ServerInfo", "VQServerProtocol", "HTTPS")}), 0u);
    EXPECT_EQ(gv_agentParams.ActiveServerPort, vqt::kAgentServerPort + 363);
    EXPECT_EQ(gv_agentParams.ActiveDistributionServerPort, vqt::kAgentServerPort + 363);
    EXPECT_EQ(str(gv_agentParams.DistributionServerProtocol), "HTTPS");

    ASSERT_EQ(init({Sz("ServerInfo", "VQServerProtocol", "https"),
                    Sz("ServerInfo", "VQServerSecurePort", "9443")}), 0u);
    EXPECT_EQ(gv_agentParams.ActiveServerPort, 9443);

    /* Three characters count as missing: http and the plain port. */
    ASSERT_EQ(init({Sz("ServerInfo", "VQServerProtocol", "ftp"),
                    Sz("ServerInfo", "VQServerSecurePort", "9443")}), 0u);
    EXPECT_EQ(str(gv_agentParams.VQServerProtocol), "http");
    EXPECT_EQ(gv_agentParams.ActiveServerPort, vqt::kAgentServerPort);
}

TEST_F(AgentParams, ShortSecondaryAddressesCountAsAbsent)
{
    std::vector<vqt::AgentValue> ds = {
        Sz("", "EnableDistributionServer", "Yes"), Sz("ServerInfo", "DistributionServerName", "ds1"),
        Sz("ServerInfo", "DistributionServerPort", "9090")};

    auto with = [&](const char *sec, const char *dsSec) {
        std::vector<vqt::AgentValue> c = ds;
        c.push_back(Sz("ServerInfo", "VQServerSecIPAddress", sec));
        c.push_back(Sz("ServerInfo", "DistributionServerSecIPAddress", dsSec));
        return c;
    };
    ASSERT_EQ(init(with("ab", "abc")), 0u);
    EXPECT_EQ(gv_agentParams.VQServerSecIPAddress, nullptr);
    EXPECT_EQ(gv_agentParams.DistributionServerSecIPAddress, nullptr);

    ASSERT_EQ(init(with("abc", "abcd")), 0u);
    EXPECT_EQ(str(gv_agentParams.VQServerSecIPAddress), "abc");
    EXPECT_EQ(str(gv_agentParams.DistributionServerSecIPAddress), "abcd");
}

TEST_F(AgentParams, DistributionServerTakesTheServerProtocol)
{
    ASSERT_EQ(init({Sz("ServerInfo", "VQServerProtocol", "https"),
                    Sz("", "EnableDistributionServer", "yes"),
                    Sz("ServerInfo", "DistributionServerName", "ds1"),
                    Sz("ServerInfo", "DistributionServerPort", "9090"),
                    Sz("ServerInfo", "DistributionServerProtocol", "http")}), 0u);
    const AgentParameters &p = gv_agentParams;
    EXPECT_EQ(str(p.DistributionServerProtocol), "https");
    EXPECT_EQ(p.DistributionServerSecurePort, 9090 + 363);
    EXPECT_EQ(p.ActiveDistributionServerPort, 9090 + 363);
    std::string text;
    ASSERT_TRUE(vqt::ReadAgentSz("ServerInfo", "DistributionServerProtocol", &text));
    EXPECT_EQ(text, "https");
}

TEST_F(AgentParams, TransferRateRuleRewritesOddValues)
{
    struct Case { const char *stored; DWORD used; const char *after; } cases[] = {
        {"4000", 0, "0"}, {"3072", 3072, "3072"}, {"3073", 0, "0"}, {"-1", 0, "0"},
        {"", 0, "0"}, {"512", 512, "512"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_EQ(init({Sz("", "DataTransferRate_KBps", c.stored)}), 0u);
        EXPECT_EQ(gv_agentParams.DataTransferRate_KBps, c.used);
        std::string text;
        ASSERT_TRUE(vqt::ReadAgentSz("", "DataTransferRate_KBps", &text));
        EXPECT_EQ(text, c.after);
    }
}

TEST_F(AgentParams, FlagsAndNumbersFromTheAgentKey)
{
    ASSERT_EQ(init({Sz("", "EnableChecksum", "no"), Dword("", "HTTPRequestTimeout", 1234),
                    Dword("", "HTTPConnectionTimeout", 99), Dword("", "ShutdownBlocked", 1),
                    Sz("", "EnableDSRoute", "")}), 0u);
    const AgentParameters &p = gv_agentParams;
    EXPECT_FALSE(p.EnableChecksum);
    EXPECT_EQ(p.HTTPRequestTimeout, 1234u);
    EXPECT_EQ(p.HTTPConnectionTimeout, 99u);
    EXPECT_EQ(p.ShutdownBlocked, 1u);
    EXPECT_FALSE(p.EnableDSRoute);
    /* An empty route text is left alone in the registry. */
    std::string text;
    ASSERT_TRUE(vqt::ReadAgentSz("", "EnableDSRoute", &text));
    EXPECT_EQ(text, "");

    ASSERT_EQ(init({Sz("", "EnableChecksum", "YES")}), 0u);
    EXPECT_TRUE(gv_agentParams.EnableChecksum);
}

TEST_F(AgentParams, ImagedComputerGivesCodeAfterEverythingWasReadAndDumped)
{
    vqt::ScratchLog log(VQ_LOG_LEVEL_TRACE);
    EXPECT_EQ(init({Dword("", "ImagedComputer", 1)}), (DWORD)VQ_IMAGED_COMPUTER);
    EXPECT_EQ(str(gv_agentParams.ResourceID), vqt::kAgentResourceId);
    std::string text = log.plainText();
    EXPECT_EQ(firstOutOfOrder(text, {"Agent Installation Mode",
                                     "[INFO] InitializeAgentParameters : Computer is detected as imaged One .. \n"}),
              std::string::npos) << text;

    EXPECT_EQ(init({Dword("", "ImagedComputer", 2)}), 0u);
}

TEST_F(AgentParams, RouteViaDistributionServerReplacesTheServerAndDropsTheProxy)
{
    vqt::ScratchLog log(VQ_LOG_LEVEL_TRACE);
    ASSERT_EQ(init({Sz("", "EnableDistributionServer", "yes"), Sz("", "EnableDSRoute", "Yes"),
                    Sz("", "ProxyEnabled", "yes"), Sz("", "ProxyPassword", "c2VjcmV0"),
                    Sz("ServerInfo", "VQServerIPAddress", "10.0.0.1"),
                    Sz("ServerInfo", "VQServerSecIPAddress", "10.0.0.2"),
                    Sz("ServerInfo", "DistributionServerName", "ds1.example.test"),
                    Sz("ServerInfo", "DistributionServerIPAddress", "10.1.1.1"),
                    Sz("ServerInfo", "DistributionLastAccessName", "10.1.1.1"),
                    Sz("ServerInfo", "DistributionServerPort", "9090")}), 0u);
    const AgentParameters &p = gv_agentParams;
    EXPECT_TRUE(p.EnableDSRoute);
    EXPECT_EQ(str(p.VQServerName), "ds1.example.test");
    EXPECT_EQ(str(p.VQServerFlatName), "ds1.example.test");
    EXPECT_EQ(str(p.VQServerIPAddress), "10.1.1.1");
    EXPECT_EQ(str(p.VQServerSecIPAddress), "10.0.0.2");   /* no DS secondary: kept */
    EXPECT_EQ(str(p.VQLastAccessName), "10.1.1.1");
    EXPECT_EQ(str(p.ProxyEnabled), "NO");
    EXPECT_EQ(p.ActiveServerPort, vqt::kAgentServerPort);  /* ports stay */
    EXPECT_EQ(str(p.ProxyPassword), "secret");
    EXPECT_TRUE(log.has("[INFO] Enable Distribution Server Route                       -> 1 \n"));
}

TEST_F(AgentParams, CertificateValuesAreOptInAndFollowTheDistributionRoute)
{
    const char pinA[] = "ca406e903de2b1424db7f0d2a46c1ddf70ce8cadde86f6b306ab44e7355081d2";
    const char pinB[] = "E9:1C:A3:63:D8:4F:36:11:01:49:8A:D2:8B:28:5C:20:62:32:DD:92:77:29:84:7C:93:EC:B8:50:D3:FC:63:71";
    const std::vector<vqt::AgentValue> ds = {
        Sz("", "EnableDistributionServer", "yes"), Sz("ServerInfo", "DistributionServerName", "ds1"),
        Sz("ServerInfo", "DistributionServerPort", "9090")};
    struct CertCase {
        std::vector<vqt::AgentValue> values;
        const char *managementPin;
        const char *distributionPin;
        DWORD verify;
    };
    std::vector<vqt::AgentValue> both = ds;
    both.push_back(Sz("ServerInfo", "VQServerCertThumbprint", pinA));
    both.push_back(Sz("ServerInfo", "DistributionServerCertThumbprint", pinB));
    both.push_back(Dword("ServerInfo", "VQVerifyServerCertificate", 1));
    std::vector<vqt::AgentValue> routed = both;
    routed.push_back(Sz("", "EnableDSRoute", "yes"));
    const CertCase cases[] = {
        {{}, NULL, NULL, 0},
        /* The distribution server's value is read only when it is enabled. */
        {{Sz("ServerInfo", "DistributionServerCertThumbprint", pinB)}, NULL, NULL, 0},
        {both, pinA, pinB, 1},
        /* Routed through the distribution server, its requests meet its pin. */
        {routed, pinB, pinB, 1},
    };
    for (const CertCase &c : cases) {
        ResetAgentParameters();
        vqt::ScratchLog log;
        ASSERT_EQ(init(c.values), 0u);
        const AgentParameters &p = gv_agentParams;
        EXPECT_EQ(str(p.VQServerCertThumbprint), str(c.managementPin));
        EXPECT_EQ(str(p.DistributionServerCertThumbprint), str(c.distributionPin));
        EXPECT_EQ(p.VQVerifyServerCertificate, c.verify);
        /* The mode lines come with the parameters. */
        EXPECT_EQ(log.linesWith("LogServerCertificateModes : Management server : ").size(), 1u);
        EXPECT_TRUE(log.linesWith("is not a SHA-256 fingerprint").empty());
    }
}

TEST_F(AgentParams, DumpLinesInOrder)
{
    vqt::ScratchLog log(VQ_LOG_LEVEL_INFO);
    ASSERT_EQ(init({Sz("", "EnableDistributionServer", "yes"), Sz("", "EnableDSRoute", "yes"),
                    Sz("", "InstallMode", "2"),
                    Sz("ServerInfo", "DistributionServerName", "ds1"),
                    Sz("ServerInfo", "DistributionServerPort", "9090")}), 0u);
    const std::string stars = "[INFO] ****************************************************************** \n";
    std::string port = std::to_string(vqt::kAgentServerPort);
    std::vector<std::string> lines = {
        stars,
        "[INFO] Velquin Server Name                -> " + std::string(vqt::kAgentServerName) + " \n",
        "[INFO] Velquin Server Flat Name           -> ",
        "[INFO] Velquin Server IPAddress           -> ",
        "[INFO] Velquin Server Secondary IPAddress -> ",
        "[INFO] Velquin Last Access Name           -> ",
        "[INFO] Velquin Server Port                -> " + port + " \n",
        "[INFO] Velquin Server Protocol            -> http \n",
        "[INFO] Velquin Agent Version              -> 5.2.1 \n",
        "[INFO] Velquin Agent InstallDir           -> " + installDir() + " \n",
        "[INFO] Velquin Client Namespace           -> ",
        "[INFO] Velquin Server Data Path           -> client-data/acmecust01/domains/",
        "[INFO] Velquin MSP Name\t           -> Example MSP \n",
        "[INFO] Velquin Customer Name\t           -> Acme Corporation \n",
        "[INFO] Velquin Customer Id\t\t   -> AcmeCust01 \n",
        "[INFO] Velquin Product Code               -> VQEE \n",
        "[INFO] Local Computer Name                       -> ",
        "[INFO] Local Computer IP Address                 -> ",
        "[INFO] Local Computer MAC Address                -> ",
        "[INFO] Local Computer Subnet Mask                -> ",
        "[INFO] VQ Distribution Server Enabled            -> yes \n",
        "[INFO] The remote office name is                 -> ",
        "[INFO] Velquin Agent HTTP Request Timeout -> 60000 \n",
        "[INFO] Local Computer Domain controller          -> ",
        "[INFO] The Agent Machine Resource Id is given by -> RES-1001 \n",
        "[INFO] Agent Checksum Enabled\t\t               -> 1 \n",
        "[INFO] Agent Data Transfer Rate in KBps\t\t   -> 0 \n",
        "[INFO] Agent Installation Source\t\t\t\t   -> ",
        "[INFO] Agent Installation Mode\t\t\t\t   -> 2 (2-> silent, 5->Manual) \n",
        stars,
        "[INFO] VQ Distribution Server  Name      \t\t\t-> ds1 \n",
        "[INFO] VQ Distribution Server  IPAddress \t\t\t-> ",
        "[INFO] VQ Distribution Server  Sec IPAddress         \t\t-> ",
        "[INFO] VQ Distribution Server  Port      \t\t\t-> 9090 \n",
        "[INFO] VQ Distribution Server  Last Access Name\t\t-> ",
        "[INFO] VQ Distribution Server  Protocol  \t\t\t-> http \n",
        "[INFO] Remote Office ID                          -> ",
        stars,
        "[INFO] Enable Distribution Server Route                       -> 1 \n",
        stars,
    };
    std::string text = log.plainText();
    size_t bad = firstOutOfOrder(text, lines);
    EXPECT_EQ(bad, std::string::npos) << "missing or out of order: "
                                      << (bad < lines.size() ? lines[bad] : "") << "\n" << text;
}

TEST_F(AgentParams, ProxyPasswordFromTheRegistry)
{
    struct Case { const char *stored; const char *decoded; bool errorLine; } cases[] = {
        {"  c2VjcmV0\t\r\n", "secret", false},
        {"cGFzcw==", "pass", false},
        {"not base64!", "", true},
        {"c2VjcmV", "", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        vqt::ScratchLog log(VQ_LOG_LEVEL_TRACE);
        ASSERT_EQ(init({Sz("", "ProxyEnabled", "YES"), Sz("", "ProxyUserName", "proxyuser"),
                        Sz("", "ProxyServerName", "proxy.example.test:3128"),
                        Sz("", "ProxyPassword", c.stored)}), 0u);
        EXPECT_EQ(str(gv_agentParams.ProxyPassword), c.decoded);
        EXPECT_EQ(str(gv_agentParams.ProxyUserName), "proxyuser");
        EXPECT_EQ(str(gv_agentParams.ProxyByPass), "<local>");
        EXPECT_TRUE(log.has("[INFO] Proxy Server Name -> proxy.example.test:3128 \n"));
        EXPECT_EQ(log.has("[ERROR] DecodeProxyPassword :"), c.errorLine);
        /* The log at its most detailed level holds neither form of it. */
        EXPECT_EQ(log.plainText().find("c2VjcmV"), std::string::npos);
        EXPECT_EQ(log.plainText().find("cGFzcw"), std::string::npos);
        if (*c.decoded) {
            EXPECT_EQ(log.plainText().find(std::string(": ") + c.decoded), std::string::npos);
            EXPECT_TRUE(log.has("[DEBUG] Decrypted password is: ********\n"));
        }
        EXPECT_TRUE(log.has("[DEBUG] Password from registry: ********\n"));
    }
}

TEST(ProxyPassword, DecodesStandardBase64WithPaddingAndWhiteSpace)
{
    struct Case { const char *in; const char *out; } cases[] = {
        {"", ""}, {"   ", ""}, {"YQ==", "a"}, {"YWI=", "ab"}, {"YWJj", "abc"},
        {" YWJjZA== ", "abcd"}, {"Pz8/Pj4+", "\?\?\?>>>"}, {"K/8=", "+\xff"},
    };
    for (const Case &c : cases) {
        char *decoded = DecodeProxyPassword(c.in);
        ASSERT_NE(decoded, nullptr) << c.in;
        EXPECT_STREQ(decoded, c.out) << c.in;
        free(decoded);
    }
    char *none = DecodeProxyPassword(NULL);
    ASSERT_NE(none, nullptr);
    EXPECT_STREQ(none, "");
    free(none);
}

TEST(ProxyPassword, InvalidTextDecodesEmptyAndStaysInsideItsBuffer)
{
    const char *bad[] = {"YWJ", "YWJjZ", "YW Jj", "YW*j", "Y\x80Jj", "=WJj", "YW=j", "YWJj\xc3\xa9==",
                         /* padding before the last group */
                         "YQ==YWJj", "YWI=YWJj", "YQ==YQ=="};
    for (const char *b : bad) {
        char *decoded = DecodeProxyPassword(b);
        ASSERT_NE(decoded, nullptr) << b;
        EXPECT_STREQ(decoded, "") << b;
        free(decoded);
    }
    /* The decoder writes at most length / 4 * 3 + 1 bytes, also on error. */
    const char *texts[] = {"YWJjZGVm", "YWJjZGV*", "YQ==YWJj", "////////"};
    for (const char *t : texts) {
        unsigned char buf[16];
        memset(buf, 0xAB, sizeof(buf));
        size_t len = strlen(t);
        DecodeBase64(t, len, buf);
        for (size_t i = len / 4 * 3 + 1; i < sizeof(buf); i++)
            EXPECT_EQ(buf[i], 0xAB) << t << " byte " << i;
    }
    unsigned char buf[8];
    EXPECT_EQ(DecodeBase64("YWJjZGV*", 8, buf), -1);
    EXPECT_EQ(DecodeBase64("YWJ", 3, buf), -1);
    EXPECT_EQ(DecodeBase64("YWJjZGVm", 8, buf), 6);
}

TEST_F(AgentParams, InstallDirGetterAndCustomerId)
{
    ASSERT_EQ(vqt::WriteAgentKey(dir_.path()), 0);
    char *dir = NULL;
    EXPECT_EQ(GetAgentInstallDir(&dir), 0u);
    EXPECT_EQ(str(dir), installDir());
    free(dir);
    char *id = NULL;
    EXPECT_EQ(GetCustomerId(&id), 0u);
    EXPECT_EQ(str(id), vqt::kAgentCustomerId);
    free(id);

    vqt::DeleteAgentKey();
    EXPECT_EQ(GetAgentInstallDir(&dir), 2u);
    EXPECT_EQ(dir, nullptr);
    EXPECT_EQ(GetCustomerId(&id), 13u);
    EXPECT_EQ(id, nullptr);
}
