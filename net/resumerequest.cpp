/* The resumable request: a GET for the server's version and length, the
 * resume state checked against them, one range request for the missing
 * bytes (a new one after each time-out or lost connection that brought
 * progress), the bytes gathered in memory and saved to the partial file a
 * buffer at a time, and the whole file delivered at the end. Only bytes
 * that belong where they are written reach the partial file: an answer
 * that starts elsewhere than asked starts the file again. */
#include "net/resumerequest.h"
#include "net/accesslog.h"
#include "net/headerquery.h"
#include "net/httperrortext.h"
#include "net/netlimits.h"
#include "net/progress.h"
#include "agent/agentparams.h"
#include "agent/log.h"
#include "agent/textconv.h"
#include "agent/textformat.h"
#include "agent/textutil.h"
#include "agent/timetext.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

ResumeRequest::ResumeRequest(BOOL useProxy_, const char *protocol_, const wchar_t *server_,
                             INTERNET_PORT port_, const wchar_t *proxyServer_,
                             const wchar_t *proxyBypass_, const wchar_t *proxyUser_,
                             const wchar_t *proxyPassword_, const wchar_t *url_,
                             const wchar_t *destination_, DWORD requestType_, BOOL keepAlive_,
                             const char *caller_)
    : keepAlive(keepAlive_), useProxy(useProxy_), url(url_), server(server_), destination(destination_),
      proxyBypass(proxyBypass_), proxyUser(proxyUser_), proxyPassword(proxyPassword_),
      proxyServer(proxyServer_), protocol(protocol_), serverLastModified(NULL), buffer(NULL), capacity(0),
      held(0), requestType(requestType_), port(port_), contentLength(0), total(0), caller(caller_)
{
    buffer = (BYTE *)calloc(VQ_NET_DEFAULT_SAVE_LIMIT_BYTES, 1);
    capacity = buffer ? VQ_NET_DEFAULT_SAVE_LIMIT_BYTES : 0;
}

ResumeRequest::~ResumeRequest()
{
    free(buffer);
    free(serverLastModified);
}

DWORD ResumeRequest::PreDownloadHandling()
{
    RequestHandles h;
    InitRequestHandles(&h);
    DWORD result = GetInternetRequestHandle(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                            proxyUser, proxyPassword, url, requestType, keepAlive, &h, FALSE);
    if (result != 0) {
        LogError("PreDownloadHandling: ERROR in GetInternetRequestHandle - %d\n", (int)result);
    } else if (h.statusCode == 304) {
        LogInfo("PreDownloadHandling :File not modified since the time: %S\n", L"");
        result = VQ_NET_NOT_MODIFIED;
    } else if (h.statusCode != 200) {
        LogError("PreDownloadHandling : Failed with the http status code, %d \n", h.statusCode);
        result = (DWORD)h.statusCode;
    } else {
        wchar_t *modified = NULL;
        GetFilelastmodifiedTime(h.request, &modified);
        free(serverLastModified);
        serverLastModified = NULL;
        if (!modified || !ChangeWideToUtf8Str(modified, &serverLastModified))
            serverLastModified = _strdup("");
        free(modified);
        result = QueryContentLength(h.request, &contentLength, "PreDownloadHandling");
        if (result != 0 && result != ERROR_FILE_TOO_LARGE) {
            /* Without a length there is no telling where to resume or when
             * the file is whole. */
            LogError("PreDownloadHandling :  Error in Content Length Header -> %d \n", (int)result);
            HttpGetLastError(result);
        } else if (result == 0) {
            LogInfo("PreDownloadHandling : Content Length of the request file: %u Bytes\n",
                    (unsigned)contentLength);
        }
    }
    CloseRequestHandles(&h);
    return result;
}

DWORD ResumeRequest::PrepareResume()
{
    handler.serverFileSize = contentLength;
    handler.Initialize(destination, serverLastModified, url);
    if (!handler.partialFile) {
        LogError("%s : No partial file can be named (is VQAgentInstallDir set?) \n", caller);
        return ERROR_PATH_NOT_FOUND;
    }
    /* A record longer than the server's file can only be stale: a range
     * request from beyond the end would fail on every run. */
    if (handler.partialSizeAtStart > contentLength)
        handler.PreDownloadCleaningOfPartialFile();
    if (handler.saveLimit != capacity) {
        BYTE *sized = (BYTE *)realloc(buffer, handler.saveLimit);
        if (sized) {
            buffer = sized;
            capacity = handler.saveLimit;
        }
    }
    total = handler.partialSizeAtStart;
    return buffer ? 0 : (DWORD)ERROR_NOT_ENOUGH_MEMORY;
}

DWORD ResumeRequest::RequestRange(RequestHandles *h, DWORD from, DWORD last, BOOL keepAliveFlag)
{
    wchar_t range[VQ_NET_RANGE_HEADER_BYTES / sizeof(wchar_t)];
    swprintf(range, sizeof(range) / sizeof(range[0]), L"Range: bytes=%u-%u", (unsigned)from,
             (unsigned)(last ? last : contentLength));
    LogDebug("%s: Content-Range Header message: %S\n", caller, range);
    InitRequestHandles(h);
    h->kind = VQ_REQUEST_GET_HEADER;
    h->extraHeader = range;
    DWORD result = GetInternetRequestHandle(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                            proxyUser, proxyPassword, url, requestType, keepAliveFlag, h,
                                            FALSE);
    h->extraHeader = NULL;
    LogDebug("%s: GetInternetRequestHandle function return code: %u\n", caller, (unsigned)result);
    if (result != 0)
        return result;
    if (h->statusCode != 200 && h->statusCode != 206) {
        LogError("%s : Failed with the http status code, %d \n", caller, h->statusCode);
        return (DWORD)h->statusCode;
    }
    DWORD start = 0;
    if (h->statusCode == 206 && !QueryContentRangeStart(h->request, &start))
        start = (DWORD)-1;
    if (h->statusCode == 206 && start == from)
        return 0;
    /* 200, or a 206 that does not start where asked: only an answer from
     * byte 0 can be used, and then the partial file starts again there. */
    if (from > 0 && (h->statusCode == 200 || start == 0)) {
        held = 0;
        total = 0;
        handler.RestartAtZero();
        return 0;
    }
    if (h->statusCode == 200)
        return 0;
    LogError("%s : The server sent a range that does not start at byte %u \n", caller, (unsigned)from);
    held = 0;
    total = 0;
    handler.RestartAtZero();
    return ERROR_INVALID_DATA;
}

DWORD ResumeRequest::ReceiveBody(RequestHandles *h, BOOL *writeFailed)
{
    *writeFailed = FALSE;
    for (;;) {
        if (total >= contentLength) {
            LogInfo("%s : Bytes read reached the contenlength\n", caller);
            return 0;
        }
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(h->request, &available)) {
            DWORD error = NormalizeReceiveError(GetLastError());
            LogError("%s : Error occured in WinHttpQueryDataAvailable --> %d \n", caller, (int)error);
            HttpGetLastError(error);
            return error;
        }
        if (available == 0)
            return 0;
        /* Never more than the file's length: a longer body is not this file. */
        if (available > contentLength - total)
            available = contentLength - total;
        if (available > capacity) {
            DWORD error = handler.ProcessDownloadedBuffer(buffer, held, TRUE);
            held = 0;
            if (error != 0) {
                LogError("%s :  Error in WriteFile --> %d \n", caller, (int)error);
                *writeFailed = TRUE;
                return error;
            }
            BYTE *bigger = (BYTE *)realloc(buffer, available);
            if (!bigger)
                return ERROR_NOT_ENOUGH_MEMORY;
            LogInfo("Reallocating buffer to %d\n", (int)available);
            buffer = bigger;
            capacity = available;
        }
        if (held + available > capacity) {
            DWORD error = handler.ProcessDownloadedBuffer(buffer, held, TRUE);
            held = 0;
            if (error != 0) {
                LogError("%s :  Error in WriteFile --> %d \n", caller, (int)error);
                *writeFailed = TRUE;
                return error;
            }
        }
        DWORD got = 0;
        if (!WinHttpReadData(h->request, buffer + held, available, &got)) {
            DWORD error = NormalizeReceiveError(GetLastError());
            LogError("%s :  Error in WinHttpReadData --> %d \n", caller, (int)error);
            HttpGetLastError(error);
            return error;
        }
        if (got == 0)
            return 0;
        total += got;
        held += got;
    }
}

void ResumeRequest::PostDownloadHandling(RequestHandles *h, DWORD *result, char **out)
{
    LogInfo("Proceeding for PostDownloadHandling \n");
    if (h)
        CloseRequestHandles(h);
    if (h)
        InitRequestHandles(h);
    free(buffer);
    buffer = NULL;
    capacity = 0;
    if (*result == 0) {
        /* The last check before anything is handed over: the partial file
         * must hold exactly the server's length. */
        ULONGLONG size = 0;
        if (!handler.PartialFileSize(&size) || size != contentLength) {
            LogError("PostDownloadHandling : the partial file has %llu bytes where %u were expected \n",
                     size, (unsigned)contentLength);
            *result = VQ_NET_INCOMPLETE_FILE;
        }
    }
    if (*result == 0) {
        if (requestType == GET_DATA) {
            char *data = NULL;
            if (handler.LoadDatafromFile(&data)) {
                LogInfo("PostDownloadHandling Data in memory : %s\n", data);
                if (out)
                    *out = data;
                else
                    free(data);
            } else {
                LogError("PostDownloadHandling : could n't read the data from .tmp file \n");
                *result = VQ_NET_DATA_NOT_LOADED;
            }
        } else {
            DWORD error = handler.SaveToDestFile();
            if (error == 0) {
                LogInfo("PostDownloadHandling : Successfully downloaded the file %S from the server %S to the "
                        "destination file %S \n", url ? url : L"", server ? server : L"",
                        destination ? destination : L"");
            } else {
                LogInfo("PostDownloadHandling : failed\n");
                *result = error;
            }
        }
    }
    PrintHTTPAccessLog(*result);
}

BOOL IsLostConnection(DWORD error)
{
    /* Wine's WinHTTP reports a reset connection with the socket's own
     * WSAECONNRESET where Windows says ERROR_WINHTTP_CONNECTION_ERROR. */
    return error == ERROR_WINHTTP_TIMEOUT || error == ERROR_WINHTTP_CONNECTION_ERROR ||
           error == ERROR_WINHTTP_CANNOT_CONNECT || error == VQ_NET_SOCKET_RESET;
}

DWORD ResumeGetRequestEx(BOOL useProxy, const char *protocol, const wchar_t *server, INTERNET_PORT port,
                         const wchar_t *proxyServer, const wchar_t *proxyBypass, const wchar_t *proxyUser,
                         const wchar_t *proxyPassword, const wchar_t *url, const wchar_t *destination,
                         char **out, DWORD requestType, BOOL keepAlive)
{
    LogDebug("@@@@@@@@ Inside ResumeGetRequestEx Method @@@@@@@@ \n");
    LogDebug("ResumeGetRequestEx : URL to Get -> %S \n", url ? url : L"");
    ResumeRequest r(useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser, proxyPassword, url,
                    destination, requestType, keepAlive, "ResumeGetRequestEx");
    RequestHandles h;
    InitRequestHandles(&h);
    DWORD result = r.buffer ? r.PreDownloadHandling() : (DWORD)ERROR_NOT_ENOUGH_MEMORY;
    if (result != 0) {
        r.PostDownloadHandling(&h, &result, out);
        LogError("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ \n");
        return result;
    }
    result = r.PrepareResume();
    if (result == 0 && r.handler.partialSizeAtStart == r.contentLength) {
        r.PostDownloadHandling(&h, &result, out);
        LogError("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ Full File already exist\n");
        return result;
    }

    BOOL writeFailed = FALSE;
    if (result == 0) {
        LogError("ResumeGetRequestEx: Content-Range Header message: Range: bytes=%u-%u\n",
                 (unsigned)r.handler.resumeOffset, (unsigned)r.contentLength);
        result = r.RequestRange(&h, r.handler.resumeOffset, 0, TRUE);
    }
    /* A time-out or a lost connection is recovered with a range request
     * from what is present; recoveries that do not take the file past the
     * farthest byte it reached end it (progress.h). */
    TransferProgress progress;
    ProgressStart(&progress, r.total);
    while (result == 0) {
        DWORD error = r.ReceiveBody(&h, &writeFailed);
        if (error == 0 || writeFailed || !IsLostConnection(error)) {
            result = error;
            break;
        }
        if (!ProgressAfterAttempt(&progress, r.total)) {
            LogError("ResumeGetRequestEx : %d recoveries in a row did not take the file past byte %u \n",
                     progress.fruitless, (unsigned)progress.best);
            result = error;
            break;
        }
        LogInfo("ResumeGetRequestEx : Total Bytes read so far:%u\n", (unsigned)r.total);
        LogInfo("ResumeGetRequestEx : second attempt to recover from previous error\n");
        CloseRequestHandles(&h);
        result = r.RequestRange(&h, r.total, 0, keepAlive);
    }
    LogInfo("ResumeGetRequestEx: Total bytes read = %u\n", (unsigned)r.total);

    if (r.total < r.contentLength) {
        /* A body that ended early is no success, whatever the reads said. */
        if (result == 0)
            result = VQ_NET_INCOMPLETE_FILE;
        CountResumeFailure(result);
    }
    /* The held bytes are the file's own whatever ended the transfer (an
     * answer that did not fit dropped them already): they are kept for the
     * next run unless writing is what failed. */
    if (!writeFailed && r.buffer) {
        DWORD error = r.handler.ProcessDownloadedBuffer(r.buffer, r.held, FALSE);
        r.held = 0;
        if (error != 0 && result == 0)
            result = error;
    }
    r.PostDownloadHandling(&h, &result, out);
    LogDebug("@@@@@@@@ End Of ResumeGetRequestEx Method @@@@@@@@ \n");
    return result;
}

void ResumeRequest::PrintHTTPAccessLog(DWORD result)
{
    const char *installDir = gv_agentParams.VQAgentInstallDir;
    if (!installDir)
        return;
    char *path = FormatNewText(result == 0 ? "%slogs\\downloadSuccessAccess.log" : "%slogs\\downloadFailureAccess.log",
                               installDir);
    if (!path)
        return;
    LogDebug("downloadaccesslog : %s \n", path);
    /* From the request's own URL: the handler has not read it yet when the
     * download ended before its state was set up (a failed first request). */
    char *narrowUrl = NULL;
    if (url)
        ChangeWideToUtf8Str(url, &narrowUrl);
    char *fileName = GetLastUrlFileName(narrowUrl ? narrowUrl : "");
    free(narrowUrl);
    char *endTime = NULL;
    GetTimeText(TRUE, &endTime);
    char *record = FormatAccessLogRecord(handler.logPrefix, fileName, requestType, contentLength, result, total,
                                         endTime, server, (int)port, url);
    /* A file that cannot be opened is skipped: the download's result stands. */
    if (record)
        AppendAccessLogRecord(path, record);
    free(record);
    free(endTime);
    free(fileName);
    free(path);
}
