/* The bit-rate limited resumable download ("DownloadMode" 1 in transfer
 * mode 1): the missing bytes are fetched as range requests of the rate's
 * block size, each on its own connection and followed by the pause of the
 * block cycle, into the partial file of the resumable download. A block
 * that timed out or lost its connection is repeated once from what was
 * received; blocks that do not take the file past the farthest byte it
 * reached a few times in a row end it (progress.h). */
#include "net/resumebitrate.h"
#include "net/blockrate.h"
#include "net/httperrortext.h"
#include "net/netlimits.h"
#include "net/progress.h"
#include "net/resumerequest.h"
#include "agent/agentparams.h"
#include "agent/log.h"

#include <stdlib.h>

DWORD ResumeGetRequestByBitrate(BOOL useProxy, const char *protocol, const wchar_t *server, INTERNET_PORT port,
                                const wchar_t *proxyServer, const wchar_t *proxyBypass, const wchar_t *proxyUser,
                                const wchar_t *proxyPassword, const wchar_t *url, const wchar_t *destination,
                                char **out, DWORD requestType, BOOL keepAlive)
{
    ResumeRequest r(useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser, proxyPassword, url,
                    destination, requestType, keepAlive, "ResumeGetRequestByBitrate");
    LogDebug("@@@@@@@@ Inside ResumeGetRequestByBitrate Method @@@@@@@@ \n");
    LogInfo("ResumeGetRequestByBitrate : Velquin Server & Port -> %S : %d \n", server ? server : L"", (int)port);
    LogDebug("ResumeGetRequestByBitrate : URL to Get -> %S \n", url ? url : L"");
    RequestHandles h;
    InitRequestHandles(&h);
    DWORD result = r.buffer ? r.PreDownloadHandling() : (DWORD)ERROR_NOT_ENOUGH_MEMORY;
    if (result != 0) {
        r.PostDownloadHandling(&h, &result, out);
        LogDebug("@@@@@@@@ End Of ResumeGetRequestByBitrate Method @@@@@@@@ \n");
        return result;
    }
    result = r.PrepareResume();
    DWORD block = BitrateBlockSize(gv_agentParams.DataTransferRate_KBps);
    LogDebug("ResumeGetRequestByBitrate: Block of bytes to read: %u\n", (unsigned)block);

    BOOL writeFailed = FALSE;
    BOOL repeating = FALSE;
    TransferProgress progress;
    ProgressStart(&progress, r.total);
    while (result == 0 && r.total < r.contentLength) {
        DWORD started = BitrateClockMs();
        DWORD from = r.total;
        DWORD last = from + block - 1;
        if (last < from || last > r.contentLength)
            last = r.contentLength;
        result = r.RequestRange(&h, from, last, TRUE);
        LogError("ResumeGetRequestByBitrate: GetInternetRequestHandle function return code: %u  %d\n",
                 (unsigned)result, h.statusCode);
        if (result != 0)
            break;
        /* A 200 or a 206 from byte 0 may have moved the start back. */
        DWORD before = r.total;
        DWORD error = r.ReceiveBody(&h, &writeFailed);
        LogInfo("ResumeGetRequestByBitrate: Bytes Read: %d\n", (int)r.total);
        if (error != 0 && (writeFailed || !IsLostConnection(error))) {
            result = error;
            break;
        }
        CloseRequestHandles(&h);
        InitRequestHandles(&h);
        if (r.total >= r.contentLength)
            break;
        BOOL goesOn = ProgressAfterAttempt(&progress, r.total);
        if (error != 0 && repeating && r.total == before)
            goesOn = FALSE;
        if (!goesOn) {
            LogError("ResumeGetRequestByBitrate : %d blocks in a row did not take the file past byte %u \n",
                     progress.fruitless, (unsigned)progress.best);
            result = error != 0 ? error : (DWORD)VQ_NET_INCOMPLETE_FILE;
            break;
        }
        if (error != 0) {
            LogInfo("ResumeGetRequestByBitrate : second attempt of the previous request\n");
            repeating = TRUE;
            continue;
        }
        repeating = FALSE;
        Sleep(BitratePauseMs(BitrateClockMs() - started));
    }
    LogInfo("ResumeGetRequestByBitrate: Total bytes read = %u\n", (unsigned)r.total);
    if (result == 0 && r.total < r.contentLength)
        result = VQ_NET_INCOMPLETE_FILE;
    /* As in ResumeGetRequestEx: received bytes are kept unless writing
     * failed. */
    if (!writeFailed && r.buffer) {
        DWORD error = r.handler.ProcessDownloadedBuffer(r.buffer, r.held, FALSE);
        r.held = 0;
        if (error != 0 && result == 0)
            result = error;
    }
    r.PostDownloadHandling(&h, &result, out);
    LogDebug("@@@@@@@@ End Of ResumeGetRequestByBitrate Method @@@@@@@@ \n");
    return result;
}
