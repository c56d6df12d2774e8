/* The request engine against the real loopback servers over Wine's
 * WinHTTP: what every request sends, the result for each kind of answer,
 * connection failures, the secure request and its certificate flags, the
 * named proxy with its credentials and bypass list, and the engine's small
 * helpers. */
#include "net/httpengine.h"
#include "agent/agentparams.h"
#include "support/scratchlog.h"
#include "support/netserver.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

using vqt::RequestsWith;
using vqt::UniqueToken;
using vqt::Wide;

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(vqt::HttpPort(), 0) << "the loopback servers' ports are not in the environment";
        gv_agentParams.HTTPRequestTimeout = 60000;
        gv_agentParams.HTTPConnectionTimeout = 30000;
    }
    /* A GET of `path` (the token is added) from host:port. */
    DWORD get(const std::string &host, int port, const std::string &path, const std::string &token,
              RequestHandles *h, const char *protocol = "http", BOOL keepAlive = TRUE,
              BOOL gzip = FALSE, DWORD type = GET_DATA)
    {
        std::wstring object = Wide(path + "?t=" + token);
        std::wstring server = Wide(host);
        return GetInternetRequestHandle(FALSE, protocol, server.c_str(), (INTERNET_PORT)port, NULL,
                                        NULL, NULL, NULL, object.c_str(), type, keepAlive, h, gzip);
    }
    DWORD viaProxy(const std::wstring &user, const std::wstring &password, const wchar_t *bypass,
                   const std::string &token, RequestHandles *h)
    {
        std::wstring proxy = L"127.0.0.1:" + std::to_wstring(vqt::ProxyPort());
        std::wstring object = Wide("/case/ok?t=" + token);
        return GetInternetRequestHandle(TRUE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(),
                                        proxy.c_str(), bypass, user.c_str(), password.c_str(),
                                        object.c_str(), GET_DATA, TRUE, h, FALSE);
    }
};

/* Closes the record's handles when the test ends. */
struct Handles {
    RequestHandles h;
    Handles() { InitRequestHandles(&h); }
    ~Handles() { CloseRequestHandles(&h); }
};

} // namespace

TEST_F(Engine, SendsTheAgentsHeaders)
{
    struct HeaderCase {
        BOOL keepAlive;
        BOOL gzip;
        int kind;
        const char *method;
        const char *connection;
    };
    const HeaderCase cases[] = {
        {TRUE, TRUE, VQ_REQUEST_GET, "GET", "keep-alive"},
        {FALSE, FALSE, VQ_REQUEST_GET, "GET", "close"},
        {TRUE, FALSE, VQ_REQUEST_HEAD, "HEAD", "keep-alive"},
        {TRUE, FALSE, VQ_REQUEST_GET_HEADER, "GET", "keep-alive"},
    };
    for (const HeaderCase &c : cases) {
        std::string token = UniqueToken();
        Handles hs;
        hs.h.kind = c.kind;
        hs.h.extraHeader = L"Range: bytes=3-7";
        hs.h.statusCode = -5;
        ASSERT_EQ(get(vqt::kCaseHost, vqt::HttpPort(), "/case/ok", token, &hs.h, "http", c.keepAlive,
                      c.gzip), 0u);
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        ASSERT_EQ(seen.size(), 1u) << token;
        const vqt::SeenRequest &r = seen[0];
        EXPECT_EQ(r.method, c.method);
        EXPECT_EQ(r.header("User-Agent"), "VelquinAgent");
        EXPECT_EQ(r.header("Accept"), "*/*");
        std::string connection = r.header("Connection");
        for (char &ch : connection)
            ch = (char)tolower((unsigned char)ch);
        EXPECT_EQ(connection, c.connection);
        EXPECT_EQ(r.header("Accept-Encoding"), c.gzip ? "gzip" : "");
        if (c.kind == VQ_REQUEST_GET_HEADER) {
            EXPECT_EQ(r.header("Range"), "bytes=3-7");
            EXPECT_EQ(hs.h.statusCode, 206);
        } else {
            EXPECT_FALSE(r.has("Range"));
            EXPECT_EQ(hs.h.statusCode, 200);
        }
    }
}

TEST_F(Engine, ResultAndStatusForEachAnswer)
{
    struct StatusCase {
        const char *path;
        DWORD result;
        int status;
    };
    /* The engine judges only 407; every other status is the caller's. */
    const StatusCase cases[] = {
        {"/case/ok", 0, 200},          {"/case/partial", 0, 206},   {"/case/notmodified", 0, 304},
        {"/case/badrequest", 0, 400},  {"/case/notfound", 0, 404},  {"/case/servererror", 0, 500},
        {"/case/proxyauth", 407, 407},
    };
    for (const StatusCase &c : cases) {
        Handles hs;
        hs.h.statusCode = -5;
        EXPECT_EQ(get(vqt::kCaseHost, vqt::HttpPort(), c.path, UniqueToken(), &hs.h), c.result) << c.path;
        EXPECT_EQ(hs.h.statusCode, c.status) << c.path;
        EXPECT_NE(hs.h.request, VQ_NO_HANDLE) << c.path;
    }
}

TEST_F(Engine, ConnectionFailuresGiveWinHttpCodes)
{
    struct FailCase {
        const char *host;
        DWORD result;
    };
    const FailCase cases[] = {
        {vqt::kRefusingHost, ERROR_WINHTTP_CANNOT_CONNECT},
        {vqt::kUnresolvable, ERROR_WINHTTP_NAME_NOT_RESOLVED},
    };
    for (const FailCase &c : cases) {
        vqt::ScratchLog log;
        Handles hs;
        hs.h.statusCode = -5;
        EXPECT_EQ(get(c.host, vqt::HttpPort(), "/case/ok", UniqueToken(), &hs.h), c.result) << c.host;
        EXPECT_EQ(hs.h.statusCode, -5) << c.host;
        /* The failure is reported with the code's own text. */
        EXPECT_TRUE(log.has("GetInternetRequestHandle :  Error - WinHttpReceiveResponse --> " +
                            std::to_string(c.result)) ||
                    log.has("GetInternetRequestHandle :  Error in WinHttpSendRequest -> " +
                            std::to_string(c.result)))
            << log.plainText();
    }
}

TEST_F(Engine, SecureRequestWorksOnlyThroughTheCertificateFlags)
{
    int port = vqt::TlsPort();
    ASSERT_NE(port, 0);
    for (const char *protocol : {"https", "HTTPS", "HttpS"}) {
        std::string token = UniqueToken();
        Handles hs;
        ASSERT_EQ(get(vqt::kCaseHost, port, "/case/ok", token, &hs.h, protocol), 0u) << protocol;
        EXPECT_EQ(hs.h.statusCode, 200);
        EXPECT_EQ(RequestsWith(token).size(), 1u);
    }
    /* Plain HTTP to the TLS port gets no HTTP answer. */
    {
        Handles hs;
        hs.h.statusCode = -5;
        EXPECT_NE(get(vqt::kCaseHost, port, "/case/ok", UniqueToken(), &hs.h, "http"), 0u);
        EXPECT_EQ(hs.h.statusCode, -5);
    }
    /* The same request through WinHTTP without the flags is refused: the
     * certificate is self-signed and names another host. */
    HINTERNET session = WinHttpOpen(L"VelquinAgent", WINHTTP_ACCESS_TYPE_NO_PROXY, NULL, NULL, 0);
    ASSERT_NE(session, nullptr);
    HINTERNET connection = WinHttpConnect(session, L"127.0.0.1", (INTERNET_PORT)port, 0);
    ASSERT_NE(connection, nullptr);
    HINTERNET request = WinHttpOpenRequest(connection, L"GET", L"/case/ok", NULL, NULL, NULL,
                                           WINHTTP_FLAG_SECURE);
    ASSERT_NE(request, nullptr);
    SetLastError(0xdeadbeef);
    BOOL ok = WinHttpSendRequest(request, NULL, 0, NULL, 0, 0, 0) && WinHttpReceiveResponse(request, NULL);
    DWORD error = GetLastError();
    EXPECT_FALSE(ok);
    EXPECT_TRUE(error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR || error == ERROR_WINHTTP_SECURE_FAILURE ||
                error == ERROR_WINHTTP_SECURE_INVALID_CA ||
                error == ERROR_WINHTTP_SECURE_CERT_CN_INVALID)
        << error;
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
}

TEST_F(Engine, NamedProxyWithItsCredentials)
{
    ASSERT_NE(vqt::ProxyPort(), 0);
    /* Basic credentials as the proxy sees them. */
    const std::string right = "Basic cHJveHl1c2VyOnByb3h5cGFzcw==";      /* proxyuser:proxypass */
    const std::string wrong = "Basic cHJveHl1c2VyOndyb25ncGFzcw==";      /* proxyuser:wrongpass */
    const std::string shortPassword = "Basic cHJveHl1c2VyOng=";          /* proxyuser:x */
    struct ProxyCase {
        const wchar_t *user;
        const wchar_t *password;
        DWORD result;
        std::string sent;        /* the credentials of the proxy's last request, "" none */
        std::string neverSent;   /* credentials that must not appear */
    };
    const ProxyCase cases[] = {
        /* WinHTTP answers the proxy's 407 with the credentials itself. */
        {L"proxyuser", L"proxypass", 0, right, ""},
        {L"proxyuser", L"wrongpass", 407, wrong, ""},
        /* A one-character user name sets no credentials at all. */
        {L"p", L"proxypass", 407, "", ""},
        /* A one-character password is never set. */
        {L"proxyuser", L"x", 407, "*", shortPassword},
    };
    for (const ProxyCase &c : cases) {
        std::string token = UniqueToken();
        Handles hs;
        EXPECT_EQ(viaProxy(c.user, c.password, NULL, token, &hs.h), c.result) << token;
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        ASSERT_FALSE(seen.empty());
        std::string lastSent;
        bool reachedServer = false;
        for (const vqt::SeenRequest &r : seen) {
            if (r.listener == "proxy")
                lastSent = r.header("Proxy-Authorization");
            if (r.listener == "case")
                reachedServer = true;
            EXPECT_EQ(r.header("User-Agent"), "VelquinAgent");
            if (!c.neverSent.empty()) {
                EXPECT_NE(r.header("Proxy-Authorization"), c.neverSent);
            }
        }
        if (c.sent != "*") {
            EXPECT_EQ(lastSent, c.sent) << token;
        }
        EXPECT_EQ(reachedServer, c.result == 0) << token;
        if (c.result == 0) {
            EXPECT_EQ(hs.h.statusCode, 200);
        }
    }
}

TEST_F(Engine, ClosedProxyPortCannotConnect)
{
    std::string token = UniqueToken();
    std::wstring proxy = Wide(std::string(vqt::kRefusingHost) + ":" + std::to_string(vqt::HttpPort()));
    std::wstring object = Wide("/case/ok?t=" + token);
    Handles hs;
    EXPECT_EQ(GetInternetRequestHandle(TRUE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(),
                                       proxy.c_str(), NULL, L"proxyuser", L"proxypass", object.c_str(),
                                       GET_DATA, TRUE, &hs.h, FALSE),
              (DWORD)ERROR_WINHTTP_CANNOT_CONNECT);
    EXPECT_TRUE(RequestsWith(token).empty());
}

TEST_F(Engine, ServerThatNeverAnswersIsReopenedOnceThenResent)
{
    /* Each try ends in 12152: the first reopens everything once, then the
     * request is resent on the same handle until five attempts are used, and
     * the header query reports the handle's state. */
    vqt::ScratchLog log;
    std::string token = UniqueToken();
    Handles hs;
    hs.h.statusCode = -5;
    DWORD result = get(vqt::kCaseHost, vqt::HttpPort(), "/case/noanswer", token, &hs.h);
    EXPECT_NE(result, 0u);
    EXPECT_EQ(hs.h.statusCode, -5);
    EXPECT_EQ(RequestsWith(token).size(), 6u);
    EXPECT_EQ(log.linesWith("as the error code received is 12152").size(), 6u);
    EXPECT_TRUE(log.has("GetInternetRequestHandle :  Error in WinHttpQueryHeaders --> " +
                        std::to_string(result)))
        << log.plainText();
}

TEST_F(Engine, ProxyBypassListGoesDirect)
{
    std::string token = UniqueToken();
    Handles hs;
    ASSERT_EQ(viaProxy(L"proxyuser", L"proxypass", L"127.0.0.1", token, &hs.h), 0u);
    std::vector<vqt::SeenRequest> seen = RequestsWith(token);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].listener, "case");
}

TEST_F(Engine, LastModifiedIsTheServersText)
{
    Handles hs;
    ASSERT_EQ(get(vqt::kCaseHost, vqt::HttpPort(), "/case/modified", UniqueToken(), &hs.h), 0u);
    wchar_t *text = (wchar_t *)0x1;
    ASSERT_EQ(GetFilelastmodifiedTime(hs.h.request, &text), 0u);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, L"Tue, 01 Dec 2026 10:00:00 GMT");
    free(text);

    Handles none;
    ASSERT_EQ(get(vqt::kCaseHost, vqt::HttpPort(), "/case/ok", UniqueToken(), &none.h), 0u);
    text = (wchar_t *)0x1;
    EXPECT_EQ(GetFilelastmodifiedTime(none.h.request, &text), (DWORD)ERROR_WINHTTP_HEADER_NOT_FOUND);
    EXPECT_EQ(text, nullptr);
}

static DWORD WINAPI tempNameOnThread(void *arg)
{
    *(char **)arg = GetTempDataFileName();
    return 0;
}

TEST(EngineHelpers, TempDataFileNamePerThread)
{
    strcpy(gv_agentParams.TempDirectory, "C:\\temp dir");
    char *mine = GetTempDataFileName();
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(std::string(mine), "C:\\temp dir\\vq" + std::to_string(GetCurrentThreadId()) + ".tmp");
    char *again = GetTempDataFileName();
    EXPECT_STREQ(mine, again);
    char *other = NULL;
    HANDLE thread = CreateThread(NULL, 0, tempNameOnThread, &other, 0, NULL);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_NE(other, nullptr);
    EXPECT_STRNE(mine, other);
    free(mine);
    free(again);
    free(other);
    gv_agentParams.TempDirectory[0] = '\0';
}
