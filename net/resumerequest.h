/* Resumable downloads: one request whose received bytes go to a partial
 * file that survives the run, so that the next run of the same URL asks
 * only for the missing bytes while the server still has the same version.
 * ResumeGetRequestEx fetches the rest in one range request (with a new one
 * after each time-out or lost connection); the bit-rate limited variant
 * (ResumeGetRequestByBitrate, resumebitrate.h) fetches it in blocks. Both end by
 * delivering the whole file and writing one access-log record. */
#ifndef VQ_NET_RESUMEREQUEST_H
#define VQ_NET_RESUMEREQUEST_H

#include <windows.h>
#include <winhttp.h>

#include "net/httpengine.h"
#include "net/resumehandler.h"

/* One resumable request. The texts are the caller's (the arguments of the
 * download), apart from serverLastModified and the buffer. */
struct ResumeRequest {
    BOOL keepAlive;
    BOOL useProxy;
    const wchar_t *url;
    const wchar_t *server;
    const wchar_t *destination;
    const wchar_t *proxyBypass;
    const wchar_t *proxyUser;
    const wchar_t *proxyPassword;
    const wchar_t *proxyServer;
    const char *protocol;
    char *serverLastModified;      /* owned; "" when the server sent none */
    DownloadResumeHandler handler;
    BYTE *buffer;                  /* owned receive buffer */
    DWORD capacity;                /* its size in bytes */
    DWORD held;                    /* received bytes not yet in the partial file */
    DWORD requestType;
    INTERNET_PORT port;
    DWORD contentLength;
    DWORD total;                   /* bytes of the file present, including held ones */
    const char *caller;            /* name in the log lines of the shared steps */

    ResumeRequest(BOOL useProxy, const char *protocol, const wchar_t *server, INTERNET_PORT port,
                  const wchar_t *proxyServer, const wchar_t *proxyBypass, const wchar_t *proxyUser,
                  const wchar_t *proxyPassword, const wchar_t *url, const wchar_t *destination,
                  DWORD requestType, BOOL keepAlive, const char *caller);
    ~ResumeRequest();
    ResumeRequest(const ResumeRequest &) = delete;
    ResumeRequest &operator=(const ResumeRequest &) = delete;

    /* A GET for the server's version (Last-Modified) and length; the body is
     * not read. 0, VQ_NET_NOT_MODIFIED, the status of any answer but 200,
     * ERROR_WINHTTP_HEADER_NOT_FOUND without a Content-Length (a download
     * of unknown length cannot be resumed), ERROR_FILE_TOO_LARGE above
     * 4 GiB - 1, or the engine's error. */
    DWORD PreDownloadHandling();
    /* Reads the resume state and checks it against the server's length;
     * 0, or ERROR_PATH_NOT_FOUND when no partial file can be named. */
    DWORD PrepareResume();
    /* Range request from `from` to the content length (`last` given, or
     * the length itself when it is 0) and the judgement of its answer: 206
     * from `from` goes on; 200, or a 206 from byte 0 where `from` was later,
     * starts the partial file again at 0; a 206 from anywhere else restarts
     * it and ends with ERROR_INVALID_DATA; any other status ends with it. */
    DWORD RequestRange(RequestHandles *handles, DWORD from, DWORD last, BOOL keepAliveFlag);
    /* Reads the answer's body into the buffer, writing it to the partial
     * file whenever the buffer would overflow, until the content length is
     * reached or the server sends no more. 0, or the receive error
     * (*writeFailed set when it was the partial file's). */
    DWORD ReceiveBody(RequestHandles *handles, BOOL *writeFailed);
    /* The end of every resumable download: closes the handles, frees the
     * buffer, delivers a whole file (GET_DATA into *out, else over the
     * destination) and writes the access-log record. */
    void PostDownloadHandling(RequestHandles *handles, DWORD *result, char **out);
    /* Appends this download's record to the success or failure access log
     * under the installation directory, in one write. */
    void PrintHTTPAccessLog(DWORD result);
};

/* TRUE for the receive errors that a new range request may recover from:
 * a time-out, a lost or reset connection, a failed connect. */
BOOL IsLostConnection(DWORD error);

/* The resumable download of "DownloadMode" 1. Results as
 * InternetGetRequestEx: 0 (the destination holds the whole file, or *out
 * its data for GET_DATA), VQ_NET_NOT_MODIFIED, an HTTP status,
 * VQ_NET_INCOMPLETE_FILE when the server sent less than its length, or an
 * error code; the partial file and its record then stay for the next run. */
DWORD ResumeGetRequestEx(BOOL useProxy, const char *protocol, const wchar_t *server, INTERNET_PORT port,
                         const wchar_t *proxyServer, const wchar_t *proxyBypass, const wchar_t *proxyUser,
                         const wchar_t *proxyPassword, const wchar_t *url, const wchar_t *destination,
                         char **out, DWORD requestType, BOOL keepAlive);

#endif
