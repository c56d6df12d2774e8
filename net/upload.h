/* Uploads: data from memory or the content of a file posted to the server
 * with a WinHTTP POST request, and the server's answer read into memory. */
#ifndef VQ_NET_UPLOAD_H
#define VQ_NET_UPLOAD_H

#include <windows.h>
#include <winhttp.h>

#include "net/netlimits.h"

/* Posts `data` (SEND_DATA, SEND_REQUEST: its text length; SEND_MULTIPART_DATA:
 * `length` bytes, or the text length when `length` is 0) to `url`. SEND_DATA
 * gets the agent's time-outs. On status 200 with `out`, the answer is a new
 * text in *out (free()). Result: 0 on status 200; 407; another status code;
 * ERROR_INVALID_DATA (13) without data; ERROR_FILE_TOO_LARGE for an answer
 * too long to hold; else the WinHTTP or system error. *out is set only on 0. */
DWORD InternetSendRequestEx(BOOL useProxy, const char *protocol, const wchar_t *server,
                            INTERNET_PORT port, const wchar_t *proxyServer,
                            const wchar_t *proxyBypass, const wchar_t *proxyUser,
                            const wchar_t *proxyPassword, const wchar_t *url, const char *data,
                            char **out, DWORD requestType, BOOL keepAlive, DWORD length,
                            DWORD resendWaitMs = VQ_NET_RESEND_WAIT_MS);

/* Posts the content of the file `filePath` (UTF-8) in blocks of `blockSize`
 * bytes under a multipart header that carries the file's size. Results as
 * InternetSendRequestEx; ERROR_INVALID_DATA (13) when the path is absent, the
 * file is empty or the block size is 0; ERROR_FILE_TOO_LARGE (223) for a file
 * of 4 GiB or more (nothing is sent). */
DWORD InternetSendRequestByBitRate(BOOL useProxy, const char *protocol, const wchar_t *server,
                                   INTERNET_PORT port, const wchar_t *proxyServer,
                                   const wchar_t *proxyBypass, const wchar_t *proxyUser,
                                   const wchar_t *proxyPassword, const wchar_t *url,
                                   const char *filePath, char **out, DWORD requestType,
                                   BOOL keepAlive, DWORD blockSize,
                                   DWORD resendWaitMs = VQ_NET_RESEND_WAIT_MS);

#endif
