/* The bound on the retries of a transfer, as arithmetic only: a transfer
 * that asks again (a bit-rate block, a new request after a time-out or a
 * lost connection) may go on only while its attempts bring the file further
 * than it ever reached. No request, file or log is touched here, so the
 * plain, the bit-rate limited and both resumable downloads share it.
 *
 * Progress is the farthest byte held ("best"), not the bytes an attempt
 * brought: a server that answers every range with 200 and breaks off after
 * 3000 bytes brings 3000 bytes each time, yet the file never gets past
 * byte 3000. Worked example, VQ_NET_MAX_ATTEMPTS_WITHOUT_PROGRESS = 3:
 *
 *   attempt   bytes held after it   best    without progress   goes on
 *   1         3000                  3000    0                  yes
 *   2         3000 (restarted at 0) 3000    1                  yes
 *   3         2000 (restarted at 0) 3000    2                  yes
 *   4         3000 (restarted at 0) 3000    3                  no
 *
 * and any attempt that passes the best starts the count again at 0, so a
 * slow transfer that gains a little each time is never cut off. */
#ifndef VQ_NET_PROGRESS_H
#define VQ_NET_PROGRESS_H

#include <windows.h>

struct TransferProgress {
    DWORD best;        /* the farthest the file reached, in bytes */
    int fruitless;     /* attempts in a row that did not pass it */
};

/* A transfer that starts with `present` bytes of the file already held. */
void ProgressStart(TransferProgress *progress, DWORD present);

/* An attempt ended with `present` bytes of the file held. TRUE while the
 * transfer may make another attempt; FALSE once
 * VQ_NET_MAX_ATTEMPTS_WITHOUT_PROGRESS attempts in a row did not pass the
 * best. */
BOOL ProgressAfterAttempt(TransferProgress *progress, DWORD present);

#endif
