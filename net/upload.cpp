/* Uploads. Both operations open their own session, connection and POST
 * request with the engine's settings (user agent, proxy and its
 * credentials, secure protocols, the certificate demands of servertrust.h:
 * a pinned server gets the body only after its certificate passed) and follow the
 * engine's retry rule, except that a reopen replaces only the request
 * handle. The body is the data as it is: no multipart framing. */
#include "net/upload.h"
#include "net/httpengine.h"
#include "net/httperrortext.h"
#include "net/retryrule.h"
#include "net/servertrust.h"
#include "agent/agentparams.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* What is posted and how the log lines are named. */
struct UploadSpec {
    const char *name;       /* "InternetSendRequestEx" or "InternetSendRequestByBitRate" */
    BOOL fromFile;
    const char *data;       /* memory upload */
    DWORD postSize;
    const char *filePath;   /* file upload */
    DWORD blockSize;
    DWORD requestType;
    BOOL keepAlive;
};

static BOOL isHttps(const char *protocol)
{
    return protocol && _stricmp(protocol, "https") == 0;
}

/* Connection header, time-out, certificate flags, proxy credentials. */
static DWORD configure(const UploadSpec *job, const char *protocol, BOOL useProxy,
                       const wchar_t *proxyUser, const wchar_t *proxyPassword, HINTERNET request)
{
    BOOL keepAlive = job->fromFile ? TRUE : job->keepAlive;
    const wchar_t *header = keepAlive ? L"Connection: Keep-Alive" : L"Connection: close";
    if (!WinHttpAddRequestHeaders(request, header, (DWORD)-1L, WINHTTP_ADDREQ_FLAG_ADD)) {
        DWORD error = GetLastError();
        LogError("%s :  Error in WinHttpAddRequestHeaders --> %d \n", job->name, (int)error);
        HttpGetLastError(error);
    }
    BOOL ok = TRUE;
    if (!job->fromFile && job->requestType == SEND_DATA) {
        DWORD timeout = gv_agentParams.HTTPConnectionTimeout;
        ok = WinHttpSetOption(request, WINHTTP_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    }
    if (ok && isHttps(protocol))
        ok = ApplyRequestTrust(request, job->name);
    if (ok && useProxy && proxyUser && wcslen(proxyUser) >= VQ_NET_MIN_PROXY_CREDENTIAL_CHARS) {
        ok = WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, (void *)proxyUser,
                              (DWORD)wcslen(proxyUser));
        if (ok && proxyPassword && wcslen(proxyPassword) >= VQ_NET_MIN_PROXY_CREDENTIAL_CHARS)
            ok = WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, (void *)proxyPassword,
                                  (DWORD)wcslen(proxyPassword));
    }
    if (!ok) {
        DWORD error = GetLastError();
        LogError("%s :  Error in WinHttpSetOption --> %d \n", job->name, (int)error);
        HttpGetLastError(error);
        return error;
    }
    return 0;
}

/* The pin check between the request's headers and its body: the body goes
 * out only to the pinned certificate. 0 when no pin applies or it matched. */
static DWORD checkPin(const UploadSpec *job, const char *protocol, const wchar_t *server,
                      HINTERNET request)
{
    if (!isHttps(protocol))
        return 0;
    return CheckPinnedCertificate(request, CurrentRequestTrust(), server, job->name);
}

static BOOL isPinned(const char *protocol)
{
    const ServerTrust *trust = isHttps(protocol) ? CurrentRequestTrust() : NULL;
    return trust && trust->pinned;
}

/* Writes the whole of `data` as the body of a sent request. */
static BOOL writeAll(HINTERNET request, const char *data, DWORD size)
{
    DWORD done = 0;
    while (done < size) {
        DWORD written = 0;
        if (!WinHttpWriteData(request, data + done, size - done, &written))
            return FALSE;
        if (written == 0) {
            SetLastError(ERROR_WINHTTP_CONNECTION_ERROR);
            return FALSE;
        }
        done += written;
    }
    return TRUE;
}

/* Sends the request with the file as its body, in blocks. FALSE when the
 * send itself failed (the error is the thread's last error); *pinError is
 * set, and nothing of the file written, when the server's certificate is
 * not the pinned one. */
static BOOL sendFile(const UploadSpec *job, const char *protocol, const wchar_t *server,
                     HINTERNET request, DWORD *pinError)
{
    wchar_t *widePath = NULL;
    ChangeToWideStr(job->filePath, &widePath);
    FILE *file = widePath ? _wfopen(widePath, L"rb") : NULL;
    free(widePath);
    if (!file)
        return TRUE;   /* nothing sent: the receive step reports the state */
    char *block = (char *)malloc(job->blockSize);
    if (!block) {
        fclose(file);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    wchar_t header[VQ_NET_MULTIPART_HEADER_CHARS];
    _snwprintf(header, VQ_NET_MULTIPART_HEADER_CHARS - 1,
               L"Content-type: multipart/form-data; filesize=\"%d\"", (int)job->postSize);
    header[VQ_NET_MULTIPART_HEADER_CHARS - 1] = L'\0';
    LogInfo("InternetSendRequestByBitRate: Header buffer: %S", header);
    BOOL sent = WinHttpSendRequest(request, header, (DWORD)-1L, WINHTTP_NO_REQUEST_DATA, 0,
                                   job->postSize, 0);
    DWORD error = sent ? 0 : GetLastError();
    if (sent)
        *pinError = checkPin(job, protocol, server, request);
    DWORD left = *pinError == 0 ? job->postSize : 0;
    while (sent && left > 0) {
        size_t want = left < job->blockSize ? left : job->blockSize;
        size_t got = fread(block, 1, want, file);
        if (got == 0)
            break;
        DWORD written = 0;
        if (!WinHttpWriteData(request, block, (DWORD)got, &written))
            break;
        left -= (DWORD)got;
    }
    free(block);
    fclose(file);
    if (!sent)
        SetLastError(error);
    return sent;
}

/* Reads the status and, on 200 with `out`, the answer. */
static DWORD readAnswer(const UploadSpec *job, const wchar_t *server, HINTERNET request, char **out)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) {
        LogError("%s :  Error in WinHttpQueryHeaders --> %d \n", job->name, (int)error);
        HttpGetLastError(error);
        return error;
    }
    size_t bytes = (size_t)size * 4 + 8;
    wchar_t *raw = (wchar_t *)calloc(bytes, 1);
    DWORD rawSize = (DWORD)bytes - sizeof(wchar_t);
    if (!raw)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             raw, &rawSize, WINHTTP_NO_HEADER_INDEX)) {
        error = GetLastError();
        LogError("%s :  Error in WinHttpQueryHeaders --> %d \n", job->name, (int)error);
        HttpGetLastError(error);
        free(raw);
        return error;
    }
    LogDebug("%s :  Header Informations : \n %S \n", job->name, raw);
    free(raw);

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
        error = GetLastError();
        LogError("%s : WinHttpQueryHeaders failed with the error code while getting http status code %d \n",
                 job->name, (int)error);
        return error;
    }
    if (status == 407) {
        LogError("%s : Proxy Credentials are failed to authenticate %d \n", job->name, (int)status);
        return 407;
    }
    if (status != 200) {
        char *name = NULL;
        ChangeWideToUtf8Str(server, &name);
        LogError("%s : Failed to post the data to the server %s with http status code %d \n", job->name,
                 name ? name : "", (int)status);
        free(name);
        return status;
    }
    LogInfo("%s : Successfully posted the data to the server %S \n", job->name, server);
    if (!out)
        return 0;
    LogInfo("%s : Reading the response sent by the server %S \n", job->name, server);
    DWORD length = 0;
    DWORD lengthSize = sizeof(length);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &length, &lengthSize, WINHTTP_NO_HEADER_INDEX)) {
        error = GetLastError();
        LogError("%s :  WinHttpQueryHeaders failed with the error code while getting content length -> %d \n",
                 job->name, (int)error);
        HttpGetLastError(error);
        return error;
    }
    if (length > VQ_NET_MAX_RESPONSE_LENGTH) {
        LogError("%s : The answer of %u bytes is too long to hold \n", job->name, (unsigned)length);
        return ERROR_FILE_TOO_LARGE;
    }
    char *answer = (char *)calloc((size_t)(length + 2) * 4 + 4, 1);
    if (!answer)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD limit = length + 2;
    DWORD used = 0;
    while (used < limit) {
        DWORD got = 0;
        if (!WinHttpReadData(request, answer + used, limit - used, &got) || got == 0)
            break;
        used += got;
        LogDebug("%s : Received response from server %S: \n %s \n", job->name, server, answer);
        LogDebug("%s :  No Of Bytes -> %d \n", job->name, (int)got);
    }
    *out = answer;
    return 0;
}

static void closeAll(const UploadSpec *job, HINTERNET request, HINTERNET connection, HINTERNET session)
{
    const char *names[3] = {"hRequest", "hConnect", "hSession"};
    HINTERNET handles[3] = {request, connection, session};
    for (int i = 0; i < 3; i++) {
        if (handles[i] && !WinHttpCloseHandle(handles[i])) {
            DWORD error = GetLastError();
            LogError("%s :  Error in WinHttpCloseHandle %s --> %d \n", job->name, names[i], (int)error);
            HttpGetLastError(error);
        }
    }
}

static DWORD post(const UploadSpec *job, BOOL useProxy, const char *protocol, const wchar_t *server,
                  INTERNET_PORT port, const wchar_t *proxyServer, const wchar_t *proxyBypass,
                  const wchar_t *proxyUser, const wchar_t *proxyPassword, const wchar_t *url,
                  char **out, DWORD resendWaitMs)
{
    if (isHttps(protocol) && RefuseUnreadablePin(CurrentRequestTrust(), server, job->name))
        return ERROR_WINHTTP_SECURE_FAILURE;
    HINTERNET session;
    if (useProxy) {
        LogInfo("%s : Proxy Server Name : %S \n", job->name, proxyServer ? proxyServer : L"");
        session = WinHttpOpen(VQ_NET_USER_AGENT, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxyServer,
                              proxyBypass ? proxyBypass : WINHTTP_NO_PROXY_BYPASS, 0);
    } else {
        session = WinHttpOpen(VQ_NET_USER_AGENT, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (!session) {
        DWORD error = GetLastError();
        LogError("%s :  Error in WinHttpOpen --> %d \n", job->name, (int)error);
        HttpGetLastError(error);
        return error;
    }
    DWORD flags = WINHTTP_FLAG_REFRESH;
    if (isHttps(protocol)) {
        SetSecureProtocols(session);
        flags |= WINHTTP_FLAG_SECURE;
    }
    HINTERNET connection = WinHttpConnect(session, server, port, 0);
    if (!connection) {
        DWORD error = GetLastError();
        LogError("%s :  Error in WinHttpConnect --> %d \n", job->name, (int)error);
        HttpGetLastError(error);
        WinHttpCloseHandle(session);
        return error;
    }
    HINTERNET request = WinHttpOpenRequest(connection, L"POST", url, NULL, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
    if (!request) {
        DWORD error = GetLastError();
        LogError("%s :  Error in WinHttpOpenRequest --> %d \n", job->name, (int)error);
        HttpGetLastError(error);
        WinHttpCloseHandle(connection);
        WinHttpCloseHandle(session);
        return error;
    }

    DWORD result = configure(job, protocol, useProxy, proxyUser, proxyPassword, request);
    BOOL reopened = FALSE;
    BOOL received = FALSE;
    for (int attempt = 0; result == 0 && !received && attempt < VQ_NET_MAX_SEND_ATTEMPTS;) {
        BOOL sent;
        DWORD pinError = 0;
        if (job->fromFile) {
            sent = sendFile(job, protocol, server, request, &pinError);
        } else {
            if (job->requestType == SEND_DATA) {
                DWORD timeout = gv_agentParams.HTTPRequestTimeout;
                if (!WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout))) {
                    DWORD error = GetLastError();
                    LogError("%s :  Error in WinHttpSetOption before send request--> %d \n", job->name,
                             (int)error);
                    HttpGetLastError(error);
                }
            }
            if (job->requestType == SEND_MULTIPART_DATA &&
                !WinHttpAddRequestHeaders(request, L"Content-Type: multipart/form-data", (DWORD)-1L,
                                          WINHTTP_ADDREQ_FLAG_ADD)) {
                DWORD error = GetLastError();
                LogError("%s :  Error in WinHttpAddRequestHeaders (second Header ) --> %d \n", job->name,
                         (int)error);
                HttpGetLastError(error);
            }
            if (isPinned(protocol)) {
                /* Headers first: the data goes out only after the pin check. */
                sent = WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                          WINHTTP_NO_REQUEST_DATA, 0, job->postSize, 0);
                if (sent)
                    pinError = checkPin(job, protocol, server, request);
                if (sent && pinError == 0)
                    sent = writeAll(request, job->data, job->postSize);
            } else {
                sent = WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, (void *)job->data,
                                          job->postSize, job->postSize, 0);
            }
        }
        if (pinError != 0) {
            result = pinError;
            break;
        }
        NetRetryAction action;
        DWORD error = 0;
        if (!sent) {
            error = GetLastError();
            if (error == ERROR_WINHTTP_LOGIN_FAILURE || error == ERROR_WINHTTP_OPERATION_CANCELLED)
                LogInfo("%s : Going to close the request handle and going to resending the data to the "
                        "server %S \n", job->name, server);
            action = DecideNetRetry(NET_STEP_SEND, error, reopened);
            if (action != NET_RETRY_REOPEN) {
                LogError("%s :  Error in WinHttpSendRequest -> %d \n", job->name, (int)error);
                HttpGetLastError(error);
                result = error;
                break;
            }
        } else if (WinHttpReceiveResponse(request, NULL)) {
            received = TRUE;
            break;
        } else {
            error = GetLastError();
            action = DecideNetRetry(NET_STEP_RECEIVE, error, reopened);
            if (action == NET_RETRY_RESEND_AFTER_WAIT) {
                LogInfo("%s : Resending the data to the server %S \n", job->name, server);
                Sleep(resendWaitMs);
                attempt++;
                continue;
            }
            if (action == NET_RETRY_GIVE_UP) {
                LogInfo("%s :  Error - WinHttpReceiveResponse --> %d \n", job->name, (int)error);
                HttpGetLastError(error);
                result = error;
                break;
            }
            LogInfo("%s : Going to close the request handle and going to resending the data to the server "
                    "%S,as the error code received is %d \n", job->name, server, (int)error);
            if (action == NET_RETRY_RESEND_NOW) {
                attempt++;
                continue;
            }
        }
        /* Reopen: a new POST request on the same connection. */
        WinHttpCloseHandle(request);
        request = WinHttpOpenRequest(connection, L"POST", url, NULL, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
        if (!request) {
            error = GetLastError();
            LogError("%s :  Error in WinHttpOpenRequest --> %d \n", job->name, (int)error);
            HttpGetLastError(error);
            WinHttpCloseHandle(connection);
            WinHttpCloseHandle(session);
            return error;
        }
        reopened = TRUE;
        attempt = 0;
        result = configure(job, protocol, useProxy, proxyUser, proxyPassword, request);
    }
    if (result == 0)
        result = readAnswer(job, server, request, out);
    closeAll(job, request, connection, session);
    return result;
}

DWORD InternetSendRequestEx(BOOL useProxy, const char *protocol, const wchar_t *server,
                            INTERNET_PORT port, const wchar_t *proxyServer,
                            const wchar_t *proxyBypass, const wchar_t *proxyUser,
                            const wchar_t *proxyPassword, const wchar_t *url, const char *data,
                            char **out, DWORD requestType, BOOL keepAlive, DWORD length,
                            DWORD resendWaitMs)
{
    LogDebug("@@@@@@@@ Inside InternetSendRequestEx Method @@@@@@@@ \n");
    LogInfo("InternetSendRequestEx : Velquin Server & Port -> %S : %d \n", server ? server : L"", (int)port);
    LogDebug("InternetSendRequestEx : URL to Post -> %S \n", url ? url : L"");
    LogDebug("InternetSendRequestEx : Data to Send -> \n %s \n", data ? data : "");
    DWORD result = ERROR_INVALID_DATA;
    if (data) {
        UploadSpec job;
        memset(&job, 0, sizeof(job));
        job.name = "InternetSendRequestEx";
        job.data = data;
        job.postSize = requestType == SEND_MULTIPART_DATA && length != 0 ? length : (DWORD)strlen(data);
        job.requestType = requestType;
        job.keepAlive = keepAlive;
        LogDebug("InternetSendRequestEx : dwPostSize: %d \n", (int)job.postSize);
        result = post(&job, useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser,
                      proxyPassword, url, out, resendWaitMs);
    }
    LogDebug("@@@@@@@@ End Of InternetSendRequestEx Method @@@@@@@@ \n");
    return result;
}

DWORD InternetSendRequestByBitRate(BOOL useProxy, const char *protocol, const wchar_t *server,
                                   INTERNET_PORT port, const wchar_t *proxyServer,
                                   const wchar_t *proxyBypass, const wchar_t *proxyUser,
                                   const wchar_t *proxyPassword, const wchar_t *url,
                                   const char *filePath, char **out, DWORD requestType,
                                   BOOL keepAlive, DWORD blockSize, DWORD resendWaitMs)
{
    LogDebug("***************** Inside InternetSendRequestByBitRate Method ***************** \n");
    LogInfo("InternetSendRequestByBitRate : Velquin Server & Port -> %S : %d \n", server ? server : L"",
            (int)port);
    LogDebug("InternetSendRequestByBitRate : URL to Post -> %S \n", url ? url : L"");
    DWORD result = ERROR_INVALID_DATA;
    ULONGLONG size = 0;
    if (filePath) {
        if (!GetFileSizeByName(filePath, &size))
            size = 0;
        DWORD low = (DWORD)(size & 0xFFFFFFFFu);
        if (size > VQ_NET_MAX_CONTENT_LENGTH) {
            /* Its low 32 bits would post a cut file and report it as sent. */
            LogError("InternetSendRequestByBitRate: File Size %llu is larger than %llu bytes, the largest "
                     "upload this agent can post\n", size, VQ_NET_MAX_CONTENT_LENGTH);
            result = ERROR_FILE_TOO_LARGE;
        } else if ((int)low <= 0) {
            LogError("InternetSendRequestByBitRate: File Size is zero: %d\n", (int)low);
        } else if (blockSize == 0) {
            LogError("InternetSendRequestByBitRate: Block size is zero\n");
        } else {
            UploadSpec job;
            memset(&job, 0, sizeof(job));
            job.name = "InternetSendRequestByBitRate";
            job.fromFile = TRUE;
            job.filePath = filePath;
            job.postSize = low;
            job.blockSize = blockSize;
            job.requestType = requestType;
            job.keepAlive = keepAlive;
            result = post(&job, useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser,
                          proxyPassword, url, out, resendWaitMs);
        }
    }
    LogDebug("***************** End Of InternetSendRequestByBitRate Method ***************** \n");
    return result;
}
