/* The engine's retry rule. Where Wine's WinHTTP can be made to fail against
 * the loopback server, the decision is seen through the engine: how many
 * requests reached the server and what the call returned. The rest are
 * failures that Wine's WinHTTP does not produce, or not reliably, in a
 * synchronous request to a plain HTTP server: 12032 (the server's resend
 * request; Wine handles authentication and redirects itself), 12015 (a
 * failed login) and 12017 (a cancelled operation; both need a logon refused
 * or a handle closed mid-call), a receive time-out and a reset before the
 * status line (see the rows): for those the rule is checked as a table. */
#include "net/retryrule.h"
#include "net/httpengine.h"
#include "agent/agentparams.h"
#include "support/netserver.h"
#include "support/scratchlog.h"

#include <gtest/gtest.h>
#include <winhttp.h>
#include <string>

namespace {

struct RetryCase {
    NetSendStep step;
    DWORD error;
    BOOL reopened;
    NetRetryAction expected;
};

/* The failures no loopback server can provoke through Wine's WinHTTP. */
const RetryCase kUnreachableCases[] = {
    /* Send: a login failure or a cancelled send reopens once, then ends. */
    {NET_STEP_SEND, ERROR_WINHTTP_LOGIN_FAILURE, FALSE, NET_RETRY_REOPEN},
    {NET_STEP_SEND, ERROR_WINHTTP_LOGIN_FAILURE, TRUE, NET_RETRY_GIVE_UP},
    {NET_STEP_SEND, ERROR_WINHTTP_OPERATION_CANCELLED, FALSE, NET_RETRY_REOPEN},
    {NET_STEP_SEND, ERROR_WINHTTP_OPERATION_CANCELLED, TRUE, NET_RETRY_GIVE_UP},
    /* Send: a resend request there is not retried. */
    {NET_STEP_SEND, ERROR_WINHTTP_RESEND_REQUEST, FALSE, NET_RETRY_GIVE_UP},
    /* Receive: the server's resend request waits and resends, before and
     * after a reopen. */
    {NET_STEP_RECEIVE, ERROR_WINHTTP_RESEND_REQUEST, FALSE, NET_RETRY_RESEND_AFTER_WAIT},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_RESEND_REQUEST, TRUE, NET_RETRY_RESEND_AFTER_WAIT},
    /* Receive: a login failure reopens once, then resends at once. */
    {NET_STEP_RECEIVE, ERROR_WINHTTP_LOGIN_FAILURE, FALSE, NET_RETRY_REOPEN},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_LOGIN_FAILURE, TRUE, NET_RETRY_RESEND_NOW},
    /* Receive: a cancelled operation is not retried there. */
    {NET_STEP_RECEIVE, ERROR_WINHTTP_OPERATION_CANCELLED, FALSE, NET_RETRY_GIVE_UP},
    /* Receive: a time-out (Wine waits for the status line with WinHTTP's own
     * response time-out, not the agent's receive time-out) and a reset
     * (Wine reports a reset before the status line as 12152 or as the
     * socket's error, by timing) are given up. */
    {NET_STEP_RECEIVE, ERROR_WINHTTP_TIMEOUT, FALSE, NET_RETRY_GIVE_UP},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_CONNECTION_ERROR, TRUE, NET_RETRY_GIVE_UP},
};

} // namespace

TEST(RetryRule, FailuresWineDoesNotProduce)
{
    for (const RetryCase &c : kUnreachableCases)
        EXPECT_EQ(DecideNetRetry(c.step, c.error, c.reopened), c.expected)
            << "step " << c.step << " error " << c.error << " reopened " << c.reopened;
}

TEST(RetryRule, DecisionsThroughTheEngine)
{
    ASSERT_NE(vqt::HttpPort(), 0) << "the loopback servers' ports are not in the environment";
    gv_agentParams.HTTPConnectionTimeout = 30000;
    gv_agentParams.HTTPRequestTimeout = 1500;
    struct EngineCase {
        const char *host;
        const char *path;
        DWORD result;      /* 0xFFFFFFFF: any error */
        size_t requests;   /* that reached the server */
        size_t retries;    /* "as the error code received is" lines */
    };
    const EngineCase cases[] = {
        /* An answer that is not HTTP (12152 on receive): one reopen, then
         * resends on the same handle until five attempts are used; the
         * header query then reports the handle's state. */
        {vqt::kCaseHost, "/case/nothttp", 0xFFFFFFFFu, 6, 6},
        /* A refused connection fails the send: given up at once. */
        {vqt::kRefusingHost, "/case/ok", ERROR_WINHTTP_CANNOT_CONNECT, 0, 0},
    };
    for (const EngineCase &c : cases) {
        vqt::ScratchLog log;
        std::string token = vqt::UniqueToken();
        std::wstring object = vqt::Wide(std::string(c.path) + "?t=" + token);
        std::wstring server = vqt::Wide(c.host);
        RequestHandles h;
        InitRequestHandles(&h);
        DWORD result;
        {
            vqt::Deadline deadline(120, std::string("a request for ") + c.path);
            result = GetInternetRequestHandle(FALSE, "http", server.c_str(), (INTERNET_PORT)vqt::HttpPort(), NULL,
                                              NULL, NULL, NULL, object.c_str(), GET_DATA, TRUE, &h, FALSE, 10);
        }
        CloseRequestHandles(&h);
        if (c.result == 0xFFFFFFFFu) {
            EXPECT_NE(result, 0u) << c.path;
        } else {
            EXPECT_EQ(result, c.result) << c.path;
        }
        EXPECT_EQ(vqt::RequestsWith(token).size(), c.requests) << c.path;
        EXPECT_EQ(log.linesWith("as the error code received is").size(), c.retries) << c.path;
        EXPECT_FALSE(log.has("GetInternetRequestHandle : Resending the data to the server")) << c.path;
    }
    gv_agentParams.HTTPRequestTimeout = 60000;
}
