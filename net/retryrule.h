/* What the request engine does when sending a request or receiving its
 * response fails: resend on the same handle after a wait, reopen the whole
 * request once, resend at once, or give up. One table holds the rule. */
#ifndef VQ_NET_RETRYRULE_H
#define VQ_NET_RETRYRULE_H

#include <windows.h>

/* The step of the send loop that failed. */
enum NetSendStep {
    NET_STEP_SEND = 0,      /* WinHttpSendRequest */
    NET_STEP_RECEIVE = 1    /* WinHttpReceiveResponse */
};

enum NetRetryAction {
    NET_RETRY_GIVE_UP = 0,          /* report the error */
    NET_RETRY_RESEND_AFTER_WAIT,    /* wait, count the attempt, send again on the same handle */
    NET_RETRY_REOPEN,               /* close everything and start again once */
    NET_RETRY_RESEND_NOW            /* count the attempt, send again on the same handle */
};

/* The action for `error` at `step`; `reopened` tells whether the call has
 * already used its one reopen. */
NetRetryAction DecideNetRetry(NetSendStep step, DWORD error, BOOL reopened);

#endif
