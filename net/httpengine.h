/* The request engine: the one place where a GET or HEAD request to the
 * management server or a distribution server is opened, configured with the
 * agent's proxy, time-outs, secure protocols and certificate flags, sent
 * with the retry rule and answered. The downloads read the body through the
 * handles the engine leaves open and close them with CloseRequestHandles. */
#ifndef VQ_NET_HTTPENGINE_H
#define VQ_NET_HTTPENGINE_H

#include <windows.h>
#include <winhttp.h>

#include "net/netlimits.h"

/* Request types that the router passes through to the transfers. */
#define GET_DATA            11001
#define SEND_DATA           11002
#define DOWNLOAD_FILE       11003
#define SEND_REQUEST        11004
#define SEND_MULTIPART_DATA 11005
#define UPLOAD_FILE         11006

/* The "none" value of a handle in RequestHandles. */
#define VQ_NO_HANDLE ((HINTERNET)(INT_PTR)-1)

/* Kinds of request. */
#define VQ_REQUEST_GET        0
#define VQ_REQUEST_GET_HEADER 1   /* GET with the extra header line */
#define VQ_REQUEST_HEAD       2

/* One request in flight, owned by the caller. Each handle is stored as soon
 * as it is opened, so the caller can close whatever was opened. */
struct RequestHandles {
    HINTERNET session;
    HINTERNET connection;
    HINTERNET request;
    int kind;
    const wchar_t *extraHeader;   /* caller-owned; used with VQ_REQUEST_GET_HEADER */
    int statusCode;               /* out */
};

/* Sets the three handles to none, kind and status to 0, no extra header. */
void InitRequestHandles(RequestHandles *handles);

/* Opens, configures and sends one request and receives its response.
 * `protocol` "https" in any case makes it a secure request; its
 * certificate is checked only as the calling thread's request trust
 * (servertrust.h, set by the router) demands: by Windows when verification
 * is on, against the pinned fingerprint after the send (a mismatch is
 * ERROR_WINHTTP_SECURE_FAILURE, no answer read), and not at all otherwise.
 * An unreadable pin fails the request with ERROR_WINHTTP_SECURE_FAILURE
 * before anything is opened. Anything else is plain HTTP. GET_DATA
 * requests get the agent's connect and receive time-outs, other types keep
 * WinHTTP's. `resendWaitMs` is the pause before a resend the server asked
 * for (VQ_NET_RESEND_WAIT_MS in the product).
 * Result: 0 when a response other than 407 was received (its status is in
 * handles->statusCode, the handles stay open); 407 when the proxy refused
 * the credentials; else the WinHTTP or system error of the failing step.
 * The caller closes what is left open with CloseRequestHandles. */
DWORD GetInternetRequestHandle(BOOL useProxy, const char *protocol, const wchar_t *server,
                               INTERNET_PORT port, const wchar_t *proxyServer,
                               const wchar_t *proxyBypass, const wchar_t *proxyUser,
                               const wchar_t *proxyPassword, const wchar_t *objectPath,
                               DWORD requestType, BOOL keepAlive, RequestHandles *handles,
                               BOOL acceptGzip, DWORD resendWaitMs = VQ_NET_RESEND_WAIT_MS);

/* Closes request, connection, session, each only when it is not none; a
 * failed close is a DEBUG line. The handles keep their values. */
void CloseRequestHandles(RequestHandles *handles);

/* TLS 1.0 to 1.2 on the session on Windows 7 and 8 (their defaults lack
 * 1.1 and 1.2); nothing elsewhere. Always 1: the request goes on either way. */
BOOL SetSecureProtocols(HINTERNET session);

/* The Last-Modified header of a received response as the server wrote it,
 * in a new wide text (*out, free()). 0, or the query's error (*out NULL). */
DWORD GetFilelastmodifiedTime(HINTERNET request, wchar_t **out);

/* "<TEMP>\vq<thread id>.tmp": the temporary data file of this thread's
 * GET_DATA transfers. A new text (free()), NULL when out of memory. */
char *GetTempDataFileName(void);

/* The receive time-out as the engine's callers must see it: Wine's WinHTTP
 * reports a time-out while reading a body with the socket's WSAETIMEDOUT
 * (10060) where Windows reports ERROR_WINHTTP_TIMEOUT (12002). Every other
 * code is returned as it is. */
DWORD NormalizeReceiveError(DWORD error);

#endif
