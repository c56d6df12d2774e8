/* The bound on the retries of a transfer (see progress.h). */
#include "net/progress.h"
#include "net/netlimits.h"

void ProgressStart(TransferProgress *progress, DWORD present)
{
    progress->best = present;
    progress->fruitless = 0;
}

BOOL ProgressAfterAttempt(TransferProgress *progress, DWORD present)
{
    if (present > progress->best) {
        progress->best = present;
        progress->fruitless = 0;
    } else {
        progress->fruitless++;
    }
    return progress->fruitless < VQ_NET_MAX_ATTEMPTS_WITHOUT_PROGRESS;
}
