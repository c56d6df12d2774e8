/* The resource identifier from the management server, against the loopback
 * server's resource documents (tests/net/data/resources/): the request path
 * in lower case, with and without "LocalDomainName"; the identifier stored
 * and announced to the stand-in agent service; and the failures that must
 * leave the registry alone. */
#include "agent/resourceid.h"
#include "driver/resourceid_server.h"
#include "agent/agentparams.h"
#include "records/dict/dictload.h"
#include "records/dict/tabledefn.h"
#include "records/store/tablestore.h"
#include "support/agentkey.h"
#include "support/scratchlog.h"
#include "support/standinservice.h"
#include "support/testutil.h"
#include "support/netserver.h"
#include "support/records/recordfixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>

using vqt::RequestsWith;

namespace {

char *const kPoison = (char *)(INT_PTR)0x5a5a5a5a;

void setText(char **slot, const std::string &text)
{
    free(*slot);
    *slot = _strdup(text.c_str());
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

class ResourceID : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(vqt::HttpPort(), 0) << "the loopback servers' ports are not in the environment";
        token_ = vqt::UniqueToken();
        ResetAgentParameters();
        AgentParameters *p = &gv_agentParams;
        strcpy(p->TempDirectory, temp_.path().c_str());
        setText(&p->VQServerProtocol, "http");
        setText(&p->VQLastAccessName, vqt::kCaseHost);
        setText(&p->EnableDistributionServer, "no");
        setText(&p->ProxyEnabled, "NO");
        setText(&p->ClientNamespace, "Corp.Example");
        setText(&p->AgentServiceName, "VqProcTestService");
        p->ActiveServerPort = vqt::HttpPort();
        setText(&gv_vqProductCode, "VQEE");
        /* Mixed case on purpose: the request must be all lower case. */
        setText(&gv_clientDataPath, "client-data/Acme-" + token_ + "/domains/Corp.Example");
    }
    void TearDown() override
    {
        SetResourceIDServerFetch(NULL);
        vqt::ClearAll();
        ResetAgentParameters();
    }
    void computer(const std::string &document)
    {
        setText(&gv_localComputerName, document + "-PC-" + token_);
    }
    static bool loadDictionary() { return LoadDataDictFiles(VQ_DATA_DIR) == TRUE; }
    static std::string storedID()
    {
        std::string id;
        return vqt::ReadAgentSz("SystemDetails", "VQAgentResourceID", &id) ? id : "<none>";
    }

    std::string token_;
    vqt::ScratchDir temp_{"resid"};
    vqt::ScratchLog log_{temp_.path(), "resid.log"};
    vqt::AgentKeyScope scope_;
};

} // namespace

TEST_F(ResourceID, TheRegistryValueIsUsedWithoutAnyRequest)
{
    ASSERT_EQ(0, vqt::WriteAgentKey(temp_.path(), {vqt::Sz("SystemDetails", "VQAgentResourceID", "REG-1")}));
    computer("found");
    SetResourceIDServerFetch(GetResourceIDFromServer);
    char *id = kPoison;
    EXPECT_EQ(0u, GetResourceID(&id));
    ASSERT_NE(kPoison, id);
    EXPECT_STREQ("REG-1", id);
    free(id);
    EXPECT_TRUE(RequestsWith(token_).empty());
}

/* The document found: the path in lower case (the namespace replaced by
 * the domain name where the registry has one), the identifier stored, and
 * control code 147 at the agent service. */
TEST_F(ResourceID, FoundIdentifierIsStoredAndAnnounced)
{
    struct {
        const char *domain;     /* "LocalDomainName", NULL for none */
        const char *segment;    /* what stands after "/domains/" */
    } cases[] = {{NULL, "corp.example"}, {"Branch.EXAMPLE", "branch.example"}};
    std::string marker = temp_.file("controls.txt");
    vqt::StandInService service(marker);
    ASSERT_TRUE(service.running());
    ASSERT_TRUE(loadDictionary());
    std::string expectedControls;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.segment);
        std::vector<vqt::AgentValue> values = {vqt::Missing("SystemDetails", "VQAgentResourceID")};
        if (c.domain)
            values.push_back(vqt::Sz("SystemDetails", "LocalDomainName", c.domain));
        ASSERT_EQ(0, vqt::WriteAgentKey(temp_.path(), values));
        computer("Found");
        DeleteAllTableRowObjects("Agentparams");
        SetResourceIDServerFetch(GetResourceIDFromServer);

        char *id = kPoison;
        EXPECT_EQ(0u, GetResourceID(&id));
        ASSERT_NE(kPoison, id);
        EXPECT_STREQ("RES-4711", id);
        free(id);
        EXPECT_EQ("RES-4711", storedID());
        auto seen = RequestsWith(token_);
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ("/client-data/acme-" + lower(token_) + "/domains/" + c.segment +
                      "/resources/found-pc-" + lower(token_) + ".xml",
                  seen[0].path);
        EXPECT_EQ("keep-alive", lower(seen[0].header("Connection")));
        expectedControls += "147\n";
        EXPECT_EQ(expectedControls, vqt::WaitForMarker(marker, expectedControls));
        token_ = vqt::UniqueToken();
        setText(&gv_clientDataPath, "client-data/Acme-" + token_ + "/domains/Corp.Example");
    }
    EXPECT_EQ(2u, log_.linesWith("The Resource ID from the server is given  by RES-4711").size());
    EXPECT_EQ(1u, log_.linesWith("lower_CDPath: client-data/acme-").size());
}

/* Every failure returns its code and leaves the registry without a value. */
TEST_F(ResourceID, FailuresWriteNothing)
{
    struct {
        const char *document;   /* the resource document served */
        bool dictionary;        /* the framework's dictionary is loaded */
        DWORD rc;
        const char *logged;
    } cases[] = {
        {"norow", true, ERROR_NOT_FOUND, "corresponding to the resource id"},
        {"absent", true, 404, "Unable to get the reource id xml from /client-data/"},
        /* The deployment run starts no framework: its dictionary is empty. */
        {"found", false, 0, "while loading resource id buffer to the memory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.document);
        ASSERT_EQ(0, vqt::WriteAgentKey(temp_.path(), {vqt::Missing("SystemDetails", "VQAgentResourceID")}));
        vqt::ClearAll();
        if (c.dictionary) {
            ASSERT_TRUE(loadDictionary());
        }
        computer(c.document);
        SetResourceIDServerFetch(GetResourceIDFromServer);
        char *id = kPoison;
        DWORD rc = GetResourceID(&id);
        if (c.rc) {
            EXPECT_EQ(c.rc, rc);
        } else {
            EXPECT_NE(0u, rc);
        }
        EXPECT_EQ(nullptr, id);
        EXPECT_EQ("<none>", storedID());
        EXPECT_EQ(1u, RequestsWith(token_).size());
        EXPECT_FALSE(log_.linesWith(c.logged).empty()) << log_.plainText();
        token_ = vqt::UniqueToken();
    }
    /* Without the program's server fetch only the registry is asked. */
    SetResourceIDServerFetch(NULL);
    char *id = kPoison;
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetResourceID(&id));
    EXPECT_EQ(nullptr, id);
}
