/* The request router against the loopback servers: the address fallback
 * order with real listeners, refused connections and a name that does not
 * resolve; the last access name in memory and in the registry; the choice
 * of server and proxy; the URL rewriting per product code; and the request
 * types this build does not route. */
#include "net/router.h"
#include "net/httpengine.h"
#include "agent/agentparams.h"
#include "support/agentkey.h"
#include "support/testutil.h"
#include "support/netserver.h"
#include "support/routedrequest.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>

using vqt::kPoison;
using vqt::RequestsWith;
using vqt::SetParamText;
using vqt::UniqueToken;

namespace {

class Router : public vqt::RoutedRequestTest {
protected:
    Router() : RoutedRequestTest("http", "nettemp") {}
    void management(const char *last, const char *ip, const char *sec, const char *name, const char *flat)
    {
        AgentParameters *p = &gv_agentParams;
        SetParamText(&p->VQLastAccessName, last);
        SetParamText(&p->VQServerIPAddress, ip);
        SetParamText(&p->VQServerSecIPAddress, sec);
        SetParamText(&p->VQServerName, name);
        SetParamText(&p->VQServerFlatName, flat);
    }
};

std::string str(const char *s) { return s ? s : "<null>"; }

} // namespace

TEST_F(Router, AddressFallbackOrder)
{
    const char *good = vqt::kCaseHost;
    const char *good2 = vqt::kCaseHost2;
    const char *notFound = vqt::kNotFoundHost;
    const char *bad = vqt::kBadRequestHost;
    const char *closed = vqt::kRefusingHost;
    const char *noName = vqt::kUnresolvable;
    struct FallbackCase {
        const char *what;
        const char *addresses[5];   /* last, ip, secondary, name, flat */
        DWORD result;
        std::vector<std::string> hosts;   /* requests that reached a server */
        const char *lastAccess;           /* NULL: not written */
    };
    const FallbackCase cases[] = {
        {"last access name answers", {good, closed, closed, closed, closed}, 0, {good}, good},
        {"refused, then the IP address", {closed, good2, good, good, good}, 0, {good2}, good2},
        {"two-character last access name is skipped", {"ab", good2, good, good, good}, 0, {good2}, good2},
        {"404 is final at once", {notFound, good, good, good, good}, 404, {notFound}, NULL},
        {"IP 404 still tries the secondary, whose 404 ends it",
         {noName, notFound, notFound, good, good}, 404, {notFound, notFound}, NULL},
        {"400 falls back to the end", {bad, closed, closed, noName, good2}, 0, {bad, good2}, good2},
        {"IP 400, no secondary, the name answers", {closed, bad, NULL, good2, good}, 0, {bad, good2}, good2},
        {"secondary answers", {closed, noName, good2, good, good}, 0, {good2}, good2},
        {"nothing answers", {closed, noName, closed, noName, closed}, ERROR_WINHTTP_CANNOT_CONNECT, {}, NULL},
        {"no usable address", {NULL, "", "ab", NULL, NULL}, ERROR_WINHTTP_NAME_NOT_RESOLVED, {}, NULL},
    };
    for (const FallbackCase &c : cases) {
        management(c.addresses[0], c.addresses[1], c.addresses[2], c.addresses[3], c.addresses[4]);
        ASSERT_EQ(vqt::WriteAgentSz("ServerInfo", "VQLastAccessName", "unchanged"), 0);
        std::string token = UniqueToken();
        char *out = kPoison;
        EXPECT_EQ(AgentSendRequest(("/case/ok.xml?t=" + token).c_str(), NULL, &out, GET_DATA, TRUE, 1, 0, 0),
                  c.result)
            << c.what;
        EXPECT_EQ(vqt::HostsSeen(token), c.hosts) << c.what;
        std::string stored;
        ASSERT_TRUE(vqt::ReadAgentSz("ServerInfo", "VQLastAccessName", &stored));
        if (c.lastAccess) {
            EXPECT_STREQ(out, "hello from the loopback server\n") << c.what;
            EXPECT_EQ(stored, c.lastAccess) << c.what;
            EXPECT_EQ(str(gv_agentParams.VQLastAccessName), c.lastAccess) << c.what;
            free(out);
        } else {
            EXPECT_EQ(out, kPoison) << c.what;
            EXPECT_EQ(stored, "unchanged") << c.what;
            EXPECT_EQ(str(gv_agentParams.VQLastAccessName), str(c.addresses[0])) << c.what;
        }
    }
}

TEST_F(Router, DistributionServerIsNeverReachedThroughTheProxy)
{
    AgentParameters *p = &gv_agentParams;
    management(vqt::kCaseHost, NULL, NULL, NULL, NULL);
    SetParamText(&p->EnableDistributionServer, "YES");
    SetParamText(&p->DistributionLastAccessName, vqt::kRefusingHost);
    SetParamText(&p->DistributionServerFlatName, vqt::kCaseHost2);
    useProxy();

    /* toVQServer 0: the distribution server, directly; its flat name
     * answers and becomes its last access name. */
    std::string token = UniqueToken();
    char *out = NULL;
    ASSERT_EQ(AgentSendRequest(("/case/ok.xml?t=" + token).c_str(), NULL, &out, GET_DATA, TRUE, 0, 0, 0), 0u);
    free(out);
    std::vector<vqt::SeenRequest> seen = RequestsWith(token);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].listener, "case");
    EXPECT_EQ(seen[0].header("Host").substr(0, 9), vqt::kCaseHost2);
    std::string stored;
    ASSERT_TRUE(vqt::ReadAgentSz("ServerInfo", "DistributionLastAccessName", &stored));
    EXPECT_EQ(stored, vqt::kCaseHost2);
    EXPECT_EQ(str(p->VQLastAccessName), vqt::kCaseHost);

    /* toVQServer 1: the management server, through the proxy. */
    token = UniqueToken();
    out = NULL;
    ASSERT_EQ(AgentSendRequest(("/case/ok.xml?t=" + token).c_str(), NULL, &out, GET_DATA, TRUE, 1, 0, 0), 0u);
    free(out);
    seen = RequestsWith(token);
    ASSERT_GE(seen.size(), 2u);
    for (size_t i = 0; i + 1 < seen.size(); i++)
        EXPECT_EQ(seen[i].listener, "proxy");
    EXPECT_EQ(seen.back().listener, "case");
    EXPECT_EQ(seen.back().header("Host").substr(0, 9), vqt::kCaseHost);
    EXPECT_EQ(seen.back().header("Accept-Encoding"), "gzip");
}

TEST_F(Router, UrlRewritingPerProductCode)
{
    management(vqt::kCaseHost, NULL, NULL, NULL, NULL);
    struct UrlCase {
        const char *productCode;
        const char *url;     /* "@" is replaced by the token */
        DWORD type;
        const char *path;    /* what the server saw, "@" for the token */
    };
    const UrlCase cases[] = {
        {"VQOD", "/x/case/ok.xml?t=@", GET_DATA, "/clientdatarequest?fileName=/x/case/ok.xml?t=@"},
        {"vqod", "/agentSlot?x=1&c=/case/ok&t=@", GET_DATA, "/agentSlot?x=1&c=/case/ok&t=@"},
        {"VQOD", "/q/AGENTINFO?c=/case/ok&t=@", GET_DATA, "/q/AGENTINFO?c=/case/ok&t=@"},
        {"KORVA", "a\\case\\ok.xml?t=@", GET_DATA, "/vq/a/case/ok.xml?t=@"},
        {"VQEE", "\\case\\ok.xml?t=@", GET_DATA, "/case/ok.xml?t=@"},
    };
    for (const UrlCase &c : cases) {
        SetParamText(&gv_vqProductCode, c.productCode);
        std::string token = UniqueToken();
        std::string url = c.url, path = c.path;
        url.replace(url.find('@'), 1, token);
        path.replace(path.find('@'), 1, token);
        char *out = NULL;
        EXPECT_EQ(AgentSendRequest(url.c_str(), NULL, &out, GET_DATA, TRUE, 1, 0, 0), 0u) << c.url;
        free(out);
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        ASSERT_EQ(seen.size(), 1u) << c.url;
        EXPECT_EQ(seen[0].path, path);
    }
}

TEST_F(Router, SendTypesPostAndModesWithoutTransfer)
{
    management(vqt::kCaseHost, NULL, NULL, NULL, NULL);
    std::string token = UniqueToken();
    char *out = NULL;
    ASSERT_EQ(AgentSendRequest(("/case/ok?t=" + token).c_str(), "posted", &out, SEND_DATA, TRUE, 1, 0, 0), 0u);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "hello from the loopback server\n");
    free(out);
    std::vector<vqt::SeenRequest> seen = RequestsWith(token);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].header("@body"), "706f73746564");   /* "posted" */

    /* Mode 1 fetches by blocks after a HEAD request. */
    token = UniqueToken();
    out = NULL;
    ASSERT_EQ(AgentSendRequest(("/case/ok.xml?t=" + token).c_str(), NULL, &out, GET_DATA, TRUE, 1, 0, 1), 0u);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "hello from the loopback server\n");
    free(out);
    seen = RequestsWith(token);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "HEAD");
    EXPECT_EQ(seen[1].header("Range"), "bytes=0-31");

    /* Mode 2 makes no GET. */
    token = UniqueToken();
    out = kPoison;
    EXPECT_EQ(AgentSendRequest(("/case/ok.xml?t=" + token).c_str(), NULL, &out, GET_DATA, TRUE, 1, 0, 2),
              (DWORD)ERROR_WINHTTP_NAME_NOT_RESOLVED);
    EXPECT_EQ(out, kPoison);
    EXPECT_TRUE(RequestsWith(token).empty());
}

TEST_F(Router, GetDataFromServerIgnoresTheGivenServer)
{
    management(vqt::kCaseHost2, NULL, NULL, NULL, NULL);
    std::string token = UniqueToken();
    char *out = NULL;
    ASSERT_EQ(GetDataFromServer("elsewhere.example", 1, ("/case/ok.xml?t=" + token).c_str(), &out, TRUE), 0u);
    ASSERT_NE(out, nullptr);
    EXPECT_STREQ(out, "hello from the loopback server\n");
    free(out);
    std::vector<std::string> hosts = vqt::HostsSeen(token);
    EXPECT_EQ(hosts, std::vector<std::string>{vqt::kCaseHost2});
    /* The caller's keep-alive reaches the request, and the plain download
     * asks for gzip: how the resource document is fetched. */
    std::vector<vqt::SeenRequest> seen = RequestsWith(token);
    ASSERT_EQ(seen.size(), 1u);
    std::string connection = seen[0].header("Connection");
    for (char &ch : connection)
        ch = (char)tolower((unsigned char)ch);
    EXPECT_EQ(connection, "keep-alive");
    EXPECT_EQ(seen[0].header("Accept-Encoding"), "gzip");
}
