/* Bit-rate limited downloads. The bandwidth taken from the network is
 * capped by the block size and the cycle time alone: a HEAD request gives
 * the length, then each block is one range request on its own connection,
 * followed by a pause that stretches the cycle to 600 ms. The blocks gather
 * in a temporary file that is delivered only when whole. */
#include "net/bitrate.h"
#include "net/blockrate.h"
#include "net/headerquery.h"
#include "net/httpengine.h"
#include "net/httperrortext.h"
#include "net/netlimits.h"
#include "net/progress.h"
#include "net/resumebitrate.h"
#include "net/tempfile.h"
#include "agent/agentparams.h"
#include "agent/fileutil.h"
#include "agent/errortext.h"
#include "agent/log.h"
#include "agent/registry.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* The HEAD request: 0 with the content length, or the result that ends the
 * download. The handles are closed. */
static DWORD headRequest(BOOL useProxy, const char *protocol, const wchar_t *server, INTERNET_PORT port,
                         const wchar_t *proxyServer, const wchar_t *proxyBypass, const wchar_t *proxyUser,
                         const wchar_t *proxyPassword, const wchar_t *url, DWORD requestType,
                         DWORD *contentLength)
{
    RequestHandles h;
    InitRequestHandles(&h);
    h.kind = VQ_REQUEST_HEAD;
    DWORD result = GetInternetRequestHandle(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                            proxyUser, proxyPassword, url, requestType, TRUE, &h, FALSE);
    if (result == 0) {
        if (h.statusCode == 304) {
            LogInfo("InternetGetRequestByBitrate : File not modified since the time: %S\n", L"");
            result = VQ_NET_NOT_MODIFIED;
        } else if (h.statusCode != 200) {
            LogError("InternetGetRequestByBitrate : Failed with the http status code: %d \n", h.statusCode);
            result = (DWORD)h.statusCode;
        } else {
            result = QueryContentLength(h.request, contentLength, "InternetGetRequestByBitrate");
            if (result == ERROR_INSUFFICIENT_BUFFER) {
                *contentLength = 0;
                result = 0;
            }
            if (result != 0 && result != ERROR_FILE_TOO_LARGE) {
                LogError("InternetGetRequestByBitrate :  Error in Content Length Header -> %d \n", (int)result);
                HttpGetLastError(result);
            } else if (result == 0) {
                LogInfo("InternetGetRequestByBitrate : Content Length of the request file: %u Bytes\n",
                        (unsigned)*contentLength);
            }
        }
    }
    CloseRequestHandles(&h);
    return result;
}

/* Fetches every block into `file`. 0, or the result that ends it. */
static DWORD fetchBlocks(BOOL useProxy, const char *protocol, const wchar_t *server, INTERNET_PORT port,
                         const wchar_t *proxyServer, const wchar_t *proxyBypass, const wchar_t *proxyUser,
                         const wchar_t *proxyPassword, const wchar_t *url, DWORD requestType,
                         DWORD contentLength, HANDLE file, DWORD *totalOut)
{
    DWORD block = BitrateBlockSize(gv_agentParams.DataTransferRate_KBps);
    LogDebug("InternetGetRequestByBitrate: Block of bytes to read: %u\n", (unsigned)block);
    DWORD total = 0;
    DWORD result = 0;
    BOOL previousTimedOut = FALSE;
    /* Every block counts, the repeated ones too: blocks that never take the
     * file past the farthest byte it reached end the transfer. */
    TransferProgress progress;
    ProgressStart(&progress, 0);
    BYTE *buffer = NULL;
    DWORD bufferSize = 0;
    while (contentLength > 0 && total < contentLength) {
        DWORD started = BitrateClockMs();
        DWORD last = total + block - 1;
        if (last < total || last > contentLength)
            last = contentLength;
        wchar_t range[VQ_NET_RANGE_HEADER_BYTES / sizeof(wchar_t)];
        swprintf(range, sizeof(range) / sizeof(range[0]), L"Range: bytes=%u-%u", (unsigned)total, (unsigned)last);
        LogDebug("InternetGetRequestByBitrate: Content-Range Header message: %S\n", range);
        RequestHandles h;
        InitRequestHandles(&h);
        h.kind = VQ_REQUEST_GET_HEADER;
        h.extraHeader = range;
        DWORD rc = GetInternetRequestHandle(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                            proxyUser, proxyPassword, url, requestType, TRUE, &h, FALSE);
        LogDebug("InternetGetRequestByBitrate: GetInternetRequestHandle function return code: %u\n", (unsigned)rc);
        if (rc != 0) {
            /* Any failure of the request ends the transfer with its code. */
            CloseRequestHandles(&h);
            result = rc;
            break;
        }
        if (h.statusCode != 200 && h.statusCode != 206) {
            LogError("InternetGetRequestByBitrate : Failed with the http status code %d \n", h.statusCode);
            CloseRequestHandles(&h);
            result = (DWORD)h.statusCode;
            break;
        }
        DWORD from = 0;
        if (h.statusCode == 206 && !QueryContentRangeStart(h.request, &from))
            from = (DWORD)-1;
        if (h.statusCode == 206 && from != total && from != 0) {
            LogError("InternetGetRequestByBitrate : The server sent a range that does not start at byte %u \n",
                     (unsigned)total);
            CloseRequestHandles(&h);
            result = ERROR_INVALID_DATA;
            break;
        }
        if ((h.statusCode == 200 || from == 0) && total > 0) {
            /* The range was ignored: the answer is the file from byte 0 and
             * replaces what the earlier blocks wrote. */
            LARGE_INTEGER zero;
            zero.QuadPart = 0;
            LogInfo("InternetGetRequestByBitrate : The server sent the whole file again; the download "
                    "starts over at byte 0\n");
            if (!SetFilePointerEx(file, zero, NULL, FILE_BEGIN) || !SetEndOfFile(file)) {
                result = GetLastError();
                CloseRequestHandles(&h);
                break;
            }
            total = 0;
        }
        BOOL timedOut = FALSE;
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(h.request, &available)) {
                DWORD error = NormalizeReceiveError(GetLastError());
                LogError("InternetGetRequestByBitrate : Error occured in WinHttpQueryDataAvailable --> %d \n",
                         (int)error);
                HttpGetLastError(error);
                if (error != ERROR_WINHTTP_TIMEOUT || previousTimedOut)
                    result = error;
                else
                    timedOut = TRUE;
                break;
            }
            previousTimedOut = FALSE;
            LogDebug("InternetGetRequestByBitrate: Bytes Available to read now: %u\n", (unsigned)available);
            if (available == 0)
                break;
            if (available + 1 > bufferSize) {
                BYTE *bigger = (BYTE *)realloc(buffer, (size_t)available + 1);
                if (!bigger) {
                    result = ERROR_NOT_ENOUGH_MEMORY;
                    break;
                }
                buffer = bigger;
                bufferSize = available + 1;
            }
            DWORD got = 0;
            if (!WinHttpReadData(h.request, buffer, available, &got)) {
                result = NormalizeReceiveError(GetLastError());
                LogError("InternetGetRequestByBitrate :  Error in WinHttpReadData --> %d \n", (int)result);
                HttpGetLastError(result);
                break;
            }
            if (got == 0)
                break;
            total += got;
            if (!WriteWholeBuffer(file, buffer, got)) {
                result = GetLastError();
                LogError("InternetGetRequestByBitrate :  Error in WriteFile --> %d \n", (int)result);
                HttpGetLastError(result);
                break;
            }
        }
        LogDebug("InternetGetRequestByBitrate: Bytes Read: %d\n", (int)total);
        CloseRequestHandles(&h);
        if (result != 0)
            break;
        if (total >= contentLength)
            break;
        if (!ProgressAfterAttempt(&progress, total)) {
            LogError("InternetGetRequestByBitrate : %d blocks in a row did not take the file past byte %u \n",
                     progress.fruitless, (unsigned)progress.best);
            result = timedOut ? (DWORD)ERROR_WINHTTP_TIMEOUT : (DWORD)VQ_NET_INCOMPLETE_FILE;
            break;
        }
        if (timedOut) {
            LogInfo("InternetGetRequestByBitrate : second attempt of the previous request\n");
            previousTimedOut = TRUE;
            continue;
        }
        /* Across midnight the difference is taken as unsigned: a long block. */
        Sleep(BitratePauseMs(BitrateClockMs() - started));
    }
    free(buffer);
    *totalOut = total;
    return result;
}

DWORD InternetGetRequestByBitrate(BOOL useProxy, const char *protocol, const wchar_t *server,
                                  INTERNET_PORT port, const wchar_t *proxyServer,
                                  const wchar_t *proxyBypass, const wchar_t *proxyUser,
                                  const wchar_t *proxyPassword, const wchar_t *url,
                                  const wchar_t *destination, char **out, DWORD requestType,
                                  BOOL keepAlive)
{
    (void)keepAlive;   /* every request of the transfer keeps its connection alive */
    if (url && !wcsstr(url, L".xml") && !wcsstr(url, L".json")) {
        LogInfo("InternetGetDownloader : Velquin Server & Port -> %S : %d \n", server ? server : L"", (int)port);
        DWORD mode = 0;
        if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_SETTINGS_KEY, "DownloadMode", &mode) == 0 && mode == 1)
            return ResumeGetRequestByBitrate(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                             proxyUser, proxyPassword, url, destination, out, requestType,
                                             keepAlive);
    }
    LogDebug("@@@@@@@@ Inside InternetGetRequestByBitrate Method @@@@@@@@ \n");
    LogInfo("InternetGetRequestByBitrate : Velquin Server & Port -> %S : %d \n", server ? server : L"", (int)port);
    LogDebug("InternetGetRequestByBitrate : URL to Get -> %S \n", url ? url : L"");

    DWORD contentLength = 0;
    DWORD total = 0;
    DWORD result = headRequest(useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser,
                               proxyPassword, url, requestType, &contentLength);
    wchar_t *tempName = NULL;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (result == 0) {
        tempName = DownloadTempFileName(destination, requestType, "InternetGetRequestByBitrate");
        if (tempName)
            file = CreateFileW(tempName, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            result = tempName ? GetLastError() : (DWORD)ERROR_INVALID_PARAMETER;
            LogError("InternetGetRequestByBitrate: Error occured while creating the file --> %d \n", (int)result);
            HttpGetLastError(result);
        }
    }
    if (result == 0) {
        result = fetchBlocks(useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser,
                             proxyPassword, url, requestType, contentLength, file, &total);
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    LogInfo("InternetGetRequestByBitrate: Total bytes read = %u\n", (unsigned)total);

    if (result == 0) {
        if (requestType == GET_DATA) {
            char *data = NULL;
            if (LoadDatafromFile(&data) == 1) {
                LogDebug("Data in memory : %s\n", data);
                if (out)
                    *out = data;
                else
                    free(data);
            } else {
                LogError("InternetGetRequestByBitrate: could n't read the data from .tmp file \n");
                result = ERROR_OPEN_FAILED;
            }
        } else if (!CopyFileW(tempName, destination, FALSE)) {
            result = GetLastError();
            LogError("InternetGetRequestByBitrate : could n't copy from .tmp file, errorcode --> %d \n", (int)result);
        } else {
            LogInfo("InternetGetRequestByBitrate : Successfully downloaded the file %S from the server %S\n",
                    url ? url : L"", server ? server : L"");
        }
    }
    if (tempName) {
        if (file != INVALID_HANDLE_VALUE)
            DeleteFileW(tempName);
        free(tempName);
    }
    LogDebug("@@@@@@@@ End Of InternetGetRequestByBitrate Method @@@@@@@@ \n");
    return result;
}
