/* The request engine: opens a WinHTTP session, connection and request for
 * one GET or HEAD, configures them with the agent's settings, runs the send
 * loop with its retry rule and reads the status of the response. Every
 * failing WinHTTP call is logged with its name and code and the code's
 * text. */
#include "net/httpengine.h"
#include "net/httperrortext.h"
#include "net/retryrule.h"
#include "net/servertrust.h"
#include "agent/agentparams.h"
#include "agent/log.h"
#include "agent/sysinfo.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

void InitRequestHandles(RequestHandles *handles)
{
    handles->session = VQ_NO_HANDLE;
    handles->connection = VQ_NO_HANDLE;
    handles->request = VQ_NO_HANDLE;
    handles->kind = VQ_REQUEST_GET;
    handles->extraHeader = NULL;
    handles->statusCode = 0;
}

static BOOL isHttps(const char *protocol)
{
    return protocol && _stricmp(protocol, "https") == 0;
}

/* Closes one handle the engine opened itself and forgets it, so that the
 * caller's CloseRequestHandles does not close the value a second time. */
static void closeOwn(HINTERNET *handle)
{
    if (*handle != VQ_NO_HANDLE && *handle != NULL)
        WinHttpCloseHandle(*handle);
    *handle = VQ_NO_HANDLE;
}

static void closeAllOwn(RequestHandles *handles)
{
    closeOwn(&handles->request);
    closeOwn(&handles->connection);
    closeOwn(&handles->session);
}

static size_t wideLength(const wchar_t *text)
{
    return text ? wcslen(text) : 0;
}

/* Session, connection and a configured request (steps before sending).
 * 0 or the error of the failing step. */
static DWORD openRequest(BOOL useProxy, const char *protocol, const wchar_t *server,
                         INTERNET_PORT port, const wchar_t *proxyServer,
                         const wchar_t *proxyBypass, const wchar_t *proxyUser,
                         const wchar_t *proxyPassword, const wchar_t *objectPath,
                         DWORD requestType, BOOL keepAlive, RequestHandles *handles)
{
    HINTERNET session;
    if (useProxy) {
        LogDebug("GetInternetRequestHandle : Proxy Server Name : %S \n",
                 proxyServer ? proxyServer : L"");
        session = WinHttpOpen(VQ_NET_USER_AGENT, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxyServer,
                              proxyBypass ? proxyBypass : WINHTTP_NO_PROXY_BYPASS, 0);
    } else {
        session = WinHttpOpen(VQ_NET_USER_AGENT, WINHTTP_ACCESS_TYPE_NO_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (!session) {
        DWORD error = GetLastError();
        LogError("GetInternetRequestHandle :  Error in WinHttpOpen --> %d \n", (int)error);
        HttpGetLastError(error);
        return error;
    }
    handles->session = session;

    DWORD flags = WINHTTP_FLAG_REFRESH;
    if (isHttps(protocol)) {
        SetSecureProtocols(session);
        flags |= WINHTTP_FLAG_SECURE;
    }

    HINTERNET connection = WinHttpConnect(session, server, port, 0);
    if (!connection) {
        DWORD error = GetLastError();
        LogError("GetInternetRequestHandle :  Error in WinHttpConnect --> %d \n", (int)error);
        HttpGetLastError(error);
        closeOwn(&handles->session);
        return error;
    }
    handles->connection = connection;

    const wchar_t *acceptTypes[] = {L"*/*", NULL};
    const wchar_t *verb = handles->kind == VQ_REQUEST_HEAD ? L"HEAD" : L"GET";
    HINTERNET request = WinHttpOpenRequest(connection, verb, objectPath, NULL,
                                           WINHTTP_NO_REFERER, acceptTypes, flags);
    if (!request) {
        DWORD error = GetLastError();
        LogError("GetInternetRequestHandle :  Error in WinHttpOpenRequest --> %d \n", (int)error);
        HttpGetLastError(error);
        closeOwn(&handles->connection);
        closeOwn(&handles->session);
        return error;
    }
    handles->request = request;

    /* Header failures are reported and the request goes on without them. */
    const wchar_t *connectionHeader = keepAlive ? L"Connection: Keep-Alive" : L"Connection: close";
    if (!WinHttpAddRequestHeaders(request, connectionHeader, (DWORD)-1L, WINHTTP_ADDREQ_FLAG_ADD)) {
        DWORD error = GetLastError();
        LogError("GetInternetRequestHandle :  Error in WinHttpAddRequestHeaders --> %d \n", (int)error);
        HttpGetLastError(error);
    }
    if (handles->kind == VQ_REQUEST_GET_HEADER && handles->extraHeader) {
        if (!WinHttpAddRequestHeaders(request, handles->extraHeader, (DWORD)-1L,
                                      WINHTTP_ADDREQ_FLAG_ADD)) {
            DWORD error = GetLastError();
            LogError("InternetGetRequestByBitrate :  Error in WinHttpAddRequestHeaders --> %d \n",
                     (int)error);
            HttpGetLastError(error);
        }
    }

    BOOL ok = TRUE;
    if (requestType == GET_DATA) {
        DWORD timeout = gv_agentParams.HTTPConnectionTimeout;
        ok = WinHttpSetOption(request, WINHTTP_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    }
    if (ok && isHttps(protocol))
        ok = ApplyRequestTrust(request, "GetInternetRequestHandle");
    if (ok && useProxy && wideLength(proxyUser) >= VQ_NET_MIN_PROXY_CREDENTIAL_CHARS) {
        ok = WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, (void *)proxyUser,
                              (DWORD)wcslen(proxyUser));
        if (ok && wideLength(proxyPassword) >= VQ_NET_MIN_PROXY_CREDENTIAL_CHARS)
            ok = WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, (void *)proxyPassword,
                                  (DWORD)wcslen(proxyPassword));
    }
    if (!ok) {
        DWORD error = GetLastError();
        LogError("GetInternetRequestHandle :  Error in WinHttpSetOption --> %d \n", (int)error);
        HttpGetLastError(error);
        return error;
    }
    return 0;
}

/* Outcome of the send loop. */
enum SendOutcome { SEND_RESPONSE, SEND_REOPEN, SEND_FAILED };

static SendOutcome sendLoop(const char *protocol, const wchar_t *server, DWORD requestType,
                            BOOL acceptGzip, BOOL reopened, DWORD resendWaitMs,
                            RequestHandles *handles, DWORD *error)
{
    static const wchar_t kGzipHeader[] = L"Accept-Encoding: gzip";
    for (int attempt = 0; attempt < VQ_NET_MAX_SEND_ATTEMPTS;) {
        if (requestType == GET_DATA) {
            DWORD timeout = gv_agentParams.HTTPRequestTimeout;
            if (!WinHttpSetOption(handles->request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &timeout,
                                  sizeof(timeout))) {
                *error = GetLastError();
                LogError("GetInternetRequestHandle :  Error in WinHttpSetOption before send "
                         "request --> %d \n", (int)*error);
                HttpGetLastError(*error);
                return SEND_FAILED;
            }
        }
        LogInfo("GetInternetRequestHandle : IsAcceptEncodingGzip-Enabled -> %d\n", acceptGzip ? 1 : 0);
        BOOL sent;
        if (acceptGzip) {
            LogDebug("WinHttpSendRequest with \"Accept-Encoding: gzip\" Header\n");
            sent = WinHttpSendRequest(handles->request, kGzipHeader,
                                      (DWORD)(sizeof(kGzipHeader) / sizeof(wchar_t) - 1),
                                      WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
        } else {
            sent = WinHttpSendRequest(handles->request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                      WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
        }
        if (!sent) {
            *error = GetLastError();
            if (*error == ERROR_WINHTTP_LOGIN_FAILURE || *error == ERROR_WINHTTP_OPERATION_CANCELLED)
                LogInfo("GetInternetRequestHandle : Going to close the request handle and going to "
                        "resending the data to the server %S \n", server);
            if (DecideNetRetry(NET_STEP_SEND, *error, reopened) == NET_RETRY_REOPEN)
                return SEND_REOPEN;
            LogError("GetInternetRequestHandle :  Error in WinHttpSendRequest -> %d \n", (int)*error);
            HttpGetLastError(*error);
            return SEND_FAILED;
        }
        /* The connection is up and the certificate known: a pinned server
         * must have presented its own before any answer is read. */
        if (isHttps(protocol)) {
            *error = CheckPinnedCertificate(handles->request, CurrentRequestTrust(), server,
                                            "GetInternetRequestHandle");
            if (*error != 0)
                return SEND_FAILED;
        }
        if (WinHttpReceiveResponse(handles->request, NULL))
            return SEND_RESPONSE;
        *error = GetLastError();
        switch (DecideNetRetry(NET_STEP_RECEIVE, *error, reopened)) {
        case NET_RETRY_RESEND_AFTER_WAIT:
            LogInfo("GetInternetRequestHandle : Resending the data to the server %S \n", server);
            Sleep(resendWaitMs);
            attempt++;
            break;
        case NET_RETRY_REOPEN:
            LogInfo("GetInternetRequestHandle : Going to close the request handle and going to "
                    "resending the data to the server %S,as the error code received is %d \n",
                    server, (int)*error);
            return SEND_REOPEN;
        case NET_RETRY_RESEND_NOW:
            LogInfo("GetInternetRequestHandle : Going to close the request handle and going to "
                    "resending the data to the server %S,as the error code received is %d \n",
                    server, (int)*error);
            attempt++;
            break;
        default:
            LogInfo("GetInternetRequestHandle :  Error - WinHttpReceiveResponse --> %d \n", (int)*error);
            HttpGetLastError(*error);
            return SEND_FAILED;
        }
    }
    /* Every attempt used without a response: the header queries below
     * report the state of the handle. */
    return SEND_RESPONSE;
}

/* The raw headers for the DEBUG log, then the status code. */
static DWORD readStatus(RequestHandles *handles)
{
    DWORD size = 0;
    if (!WinHttpQueryHeaders(handles->request, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                             WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            LogError("GetInternetRequestHandle :  Error in WinHttpQueryHeaders --> %d \n", (int)error);
            HttpGetLastError(error);
            return error;
        }
    }
    size_t bytes = (size_t)size * 4 + 8;
    wchar_t *raw = (wchar_t *)calloc(bytes, 1);
    if (!raw)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD rawSize = (DWORD)bytes - sizeof(wchar_t);
    if (!WinHttpQueryHeaders(handles->request, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                             WINHTTP_HEADER_NAME_BY_INDEX, raw, &rawSize, WINHTTP_NO_HEADER_INDEX)) {
        DWORD error = GetLastError();
        LogError("GetInternetRequestHandle :  Error in WinHttpQueryHeaders --> %d \n", (int)error);
        HttpGetLastError(error);
        free(raw);
        return error;
    }
    LogDebug("GetInternetRequestHandle :  Header Informations : \n %S \n", raw);
    free(raw);

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!WinHttpQueryHeaders(handles->request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX)) {
        DWORD error = GetLastError();
        LogError("GetInternetRequestHandle : WinHttpQueryHeaders failed with the error code while "
                 "getting http status code %d \n", (int)error);
        return error;
    }
    handles->statusCode = (int)status;
    return 0;
}

DWORD GetInternetRequestHandle(BOOL useProxy, const char *protocol, const wchar_t *server,
                               INTERNET_PORT port, const wchar_t *proxyServer,
                               const wchar_t *proxyBypass, const wchar_t *proxyUser,
                               const wchar_t *proxyPassword, const wchar_t *objectPath,
                               DWORD requestType, BOOL keepAlive, RequestHandles *handles,
                               BOOL acceptGzip, DWORD resendWaitMs)
{
    LogDebug("@@@@@@@@ Inside GetInternetRequestHandle Method @@@@@@@@ \n");
    if (!handles)
        return ERROR_INVALID_PARAMETER;
    if (isHttps(protocol) && RefuseUnreadablePin(CurrentRequestTrust(), server, "GetInternetRequestHandle"))
        return ERROR_WINHTTP_SECURE_FAILURE;
    BOOL reopened = FALSE;
    for (;;) {
        DWORD error = openRequest(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                  proxyUser, proxyPassword, objectPath, requestType, keepAlive,
                                  handles);
        if (error != 0)
            return error;
        SendOutcome outcome = sendLoop(protocol, server, requestType, acceptGzip, reopened,
                                       resendWaitMs, handles, &error);
        if (outcome == SEND_FAILED)
            return error;
        if (outcome == SEND_RESPONSE)
            break;
        /* One reopen per call: a fresh session, connection and request. */
        closeAllOwn(handles);
        reopened = TRUE;
    }

    DWORD error = readStatus(handles);
    if (error != 0)
        return error;
    if (handles->statusCode == 407) {
        LogError("GetInternetRequestHandle : Proxy Credentials are failed to authenticate %d \n",
                 handles->statusCode);
        return 407;
    }
    LogDebug("@@@@@@@@ End of GetInternetRequestHandle Method @@@@@@@@ \n");
    return 0;
}

void CloseRequestHandles(RequestHandles *handles)
{
    if (!handles)
        return;
    if (handles->request != VQ_NO_HANDLE && !WinHttpCloseHandle(handles->request))
        LogDebug("Error in WinHttpCloseHandle hRequest --> %d \n", (int)GetLastError());
    if (handles->connection != VQ_NO_HANDLE && !WinHttpCloseHandle(handles->connection))
        LogDebug("Error in WinHttpCloseHandle hConnect --> %d \n", (int)GetLastError());
    if (handles->session != VQ_NO_HANDLE && !WinHttpCloseHandle(handles->session))
        LogDebug("Error in WinHttpCloseHandle hSession --> %d \n", (int)GetLastError());
}

BOOL SetSecureProtocols(HINTERNET session)
{
    if (!isWin7orWin8())
        return TRUE;
    LogInfo("SetSecureProtocols : Configuring security protocols \n");
    DWORD protocols = VQ_NET_SECURE_PROTOCOLS;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
        DWORD error = GetLastError();
        LogError("SetSecureProtocols :  Error in WinHttpSetOption for security protocols --> %d \n",
                 (int)error);
        HttpGetLastError(error);
    } else {
        LogInfo("SetSecureProtocols :  Security protocols configured successfully \n");
    }
    return TRUE;
}

DWORD GetFilelastmodifiedTime(HINTERNET request, wchar_t **out)
{
    LogDebug("@@@@@@@@@@@ Inside GetFilelastmodifiedTime Method   @@@@@@@@@@@@@\n");
    DWORD result = 0;
    if (out)
        *out = NULL;
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_LAST_MODIFIED, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) {
        LogError("GetFilelastmodifiedTime: Could n't query HEADER for last modified time\n");
        result = error;
    } else {
        size_t bytes = (size_t)size * 4 + 2;
        wchar_t *text = (wchar_t *)calloc(bytes, 1);
        DWORD textSize = (DWORD)bytes - sizeof(wchar_t);
        if (!text) {
            result = ERROR_NOT_ENOUGH_MEMORY;
        } else if (WinHttpQueryHeaders(request, WINHTTP_QUERY_LAST_MODIFIED,
                                       WINHTTP_HEADER_NAME_BY_INDEX, text, &textSize,
                                       WINHTTP_NO_HEADER_INDEX) ||
                   GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            LogDebug("GetFilelastmodifiedTime : File last modified time: %S\n", text);
            if (out)
                *out = text;
            else
                free(text);
        } else {
            result = GetLastError();
            LogError("GetFilelastmodifiedTime :  Error in Content Length Header -> %d \n", (int)result);
            free(text);
        }
    }
    LogDebug("@@@@@@@@@@@ End of GetFilelastmodifiedTime Method   @@@@@@@@@@@@@\n");
    return result;
}

char *GetTempDataFileName(void)
{
    return FormatNewText("%s\\vq%d.tmp", gv_agentParams.TempDirectory, (int)GetCurrentThreadId());
}

DWORD NormalizeReceiveError(DWORD error)
{
    return error == VQ_NET_SOCKET_TIMEOUT ? (DWORD)ERROR_WINHTTP_TIMEOUT : error;
}
