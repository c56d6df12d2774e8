/* Plain downloads: one GET (plus one range request after a time-out) into a
 * temporary file, checked against Content-Length, then handed back in
 * memory (GET_DATA) or copied over the destination file (DOWNLOAD_FILE). */
#ifndef VQ_NET_DOWNLOAD_H
#define VQ_NET_DOWNLOAD_H

#include <windows.h>
#include <winhttp.h>

/* The entry of transfer mode 0. A DOWNLOAD_FILE whose URL has neither
 * ".xml" nor ".json" goes to the resumable download (ResumeGetRequestEx)
 * in "DownloadMode" 1; everything else to InternetGetRequestEx. */
DWORD InternetGetDownloader(BOOL useProxy, const char *protocol, const wchar_t *server,
                            INTERNET_PORT port, const wchar_t *proxyServer,
                            const wchar_t *proxyBypass, const wchar_t *proxyUser,
                            const wchar_t *proxyPassword, const wchar_t *url,
                            const wchar_t *destination, char **out, DWORD requestType,
                            BOOL keepAlive, BOOL acceptGzip);

/* The plain transfer. 0 on success (GET_DATA: *out is a new text, free()
 * it; DOWNLOAD_FILE: the destination holds the resource); VQ_NET_NOT_MODIFIED
 * for status 304; the status code of any other status than 200;
 * VQ_NET_INCOMPLETE_FILE when the file is not as long as Content-Length;
 * ERROR_FILE_TOO_LARGE for a Content-Length above 4 GiB - 1;
 * ERROR_INVALID_DATA for a gzip body that does not inflate, or inflates to
 * more than VQ_NET_MAX_INFLATED_BYTES (nothing is delivered); ERROR_OPEN_FAILED
 * when the downloaded data cannot be read back; else the engine's, the
 * file's or the copy's error. *out is only set on success. */
DWORD InternetGetRequestEx(BOOL useProxy, const char *protocol, const wchar_t *server,
                           INTERNET_PORT port, const wchar_t *proxyServer,
                           const wchar_t *proxyBypass, const wchar_t *proxyUser,
                           const wchar_t *proxyPassword, const wchar_t *url,
                           const wchar_t *destination, char **out, DWORD requestType,
                           BOOL keepAlive, BOOL acceptGzip);

#endif
