/* The request engine's retry rule. A server that asks for the request again
 * (12032) gets it again after a pause; a login failure, a cancelled send or a
 * response that cannot be parsed points at a broken connection, which one
 * fresh session, connection and request may cure; everything else is
 * reported at once. */
#include "net/retryrule.h"

#include <winhttp.h>

/* reopened = -1 matches either state. */
struct NetRetryRow {
    NetSendStep step;
    DWORD error;
    int reopened;
    NetRetryAction action;
};

static const NetRetryRow kRetryRows[] = {
    {NET_STEP_SEND,    ERROR_WINHTTP_LOGIN_FAILURE,           0, NET_RETRY_REOPEN},
    {NET_STEP_SEND,    ERROR_WINHTTP_OPERATION_CANCELLED,     0, NET_RETRY_REOPEN},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_RESEND_REQUEST,         -1, NET_RETRY_RESEND_AFTER_WAIT},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_LOGIN_FAILURE,           0, NET_RETRY_REOPEN},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_LOGIN_FAILURE,           1, NET_RETRY_RESEND_NOW},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0, NET_RETRY_REOPEN},
    {NET_STEP_RECEIVE, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 1, NET_RETRY_RESEND_NOW},
};

NetRetryAction DecideNetRetry(NetSendStep step, DWORD error, BOOL reopened)
{
    int state = reopened ? 1 : 0;
    for (size_t i = 0; i < sizeof(kRetryRows) / sizeof(kRetryRows[0]); i++) {
        const NetRetryRow &row = kRetryRows[i];
        if (row.step == step && row.error == error && (row.reopened < 0 || row.reopened == state))
            return row.action;
    }
    return NET_RETRY_GIVE_UP;
}
