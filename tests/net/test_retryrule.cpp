/* The engine's retry rule, row by row: which failure resends after the
 * wait, which reopens once, which resends at once after the reopen, and that
 * everything else gives up. These are the paths Wine's WinHTTP cannot be
 * made to produce against a real server. */
#include "net/retryrule.h"

#include <gtest/gtest.h>
#include <winhttp.h>

namespace {

struct RetryCase {
    NetSendStep step;
    DWORD error;
    BOOL reopened;
    NetRetryAction expected;
};

const RetryCase kCases[] = {
    /* Send: a login failure or a cancelled send reopens once, then ends. */
    {NET_STEP_SEND, ERROR_WINHTTP_LOGIN_FAILURE, FALSE, NET_RETRY_REOPEN},
    {NET_STEP_SEND, ERROR_WINHTTP_LOGIN_FAILURE, TRUE, NET_RETRY_GIVE_UP},
    {NET_STEP_SEND, ERROR_WINHTTP_OPERATION_CANCELLED, FALSE, NET_RETRY_REOPEN},
    {NET_STEP_SEND, ERROR_WINHTTP_OPERATION_CANCELLED, TRUE, NET_RETRY_GIVE_UP},
    /* Send: everything else ends at once, a resend request included. */
    {NET_STEP_SEND, ERROR_WINHTTP_RESEND_REQUEST, FALSE, NET_RETRY_GIVE_UP},
    {NET_STEP_SEND, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, FALSE, NET_RETRY_GIVE_UP},
    {NET_STEP_SEND, ERROR_WINHTTP_CANNOT_CONNECT, FALSE, NET_RETRY_GIVE_UP},
    {NET_STEP_SEND, ERROR_WINHTTP_TIMEOUT, FALSE, NET_RETRY_GIVE_UP},
    /* Receive: the server's resend request waits and resends, before and
     * after a reopen. */
    {NET_STEP_RECEIVE, ERROR_WINHTTP_RESEND_REQUEST, FALSE, NET_RETRY_RESEND_AFTER_WAIT},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_RESEND_REQUEST, TRUE, NET_RETRY_RESEND_AFTER_WAIT},
    /* Receive: login failure and an unparsable answer reopen once, then
     * resend on the same handle without a wait. */
    {NET_STEP_RECEIVE, ERROR_WINHTTP_LOGIN_FAILURE, FALSE, NET_RETRY_REOPEN},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_LOGIN_FAILURE, TRUE, NET_RETRY_RESEND_NOW},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, FALSE, NET_RETRY_REOPEN},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, TRUE, NET_RETRY_RESEND_NOW},
    /* Receive: a cancelled operation is not retried there. */
    {NET_STEP_RECEIVE, ERROR_WINHTTP_OPERATION_CANCELLED, FALSE, NET_RETRY_GIVE_UP},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_TIMEOUT, FALSE, NET_RETRY_GIVE_UP},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_CONNECTION_ERROR, TRUE, NET_RETRY_GIVE_UP},
    {NET_STEP_RECEIVE, 0, FALSE, NET_RETRY_GIVE_UP},
};

} // namespace

TEST(RetryRule, EachRowOfTheRule)
{
    for (const RetryCase &c : kCases)
        EXPECT_EQ(DecideNetRetry(c.step, c.error, c.reopened), c.expected)
            << "step " << c.step << " error " << c.error << " reopened " << c.reopened;
}
