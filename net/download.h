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
 * ERROR_INVALID_DATA for a gzip body that does not inflate; ERROR_OPEN_FAILED
 * when the downloaded data cannot be read back; else the engine's, the
 * file's or the copy's error. *out is only set on success. */
DWORD InternetGetRequestEx(BOOL useProxy, const char *protocol, const wchar_t *server,
                           INTERNET_PORT port, const wchar_t *proxyServer,
                           const wchar_t *proxyBypass, const wchar_t *proxyUser,
                           const wchar_t *proxyPassword, const wchar_t *url,
                           const wchar_t *destination, char **out, DWORD requestType,
                           BOOL keepAlive, BOOL acceptGzip);

/* Content-Length of a received response into *length, read as text so that
 * a length beyond 32 bits is refused (ERROR_FILE_TOO_LARGE, logged with
 * `caller`) instead of wrapping. 0, or the header query's error
 * (ERROR_WINHTTP_HEADER_NOT_FOUND when there is none). */
DWORD QueryContentLength(HINTERNET request, DWORD *length, const char *caller);

/* The temporary file of a download: destination + thread id + ".tmp" next to
 * the destination (whose folder is made first) for DOWNLOAD_FILE, this
 * thread's data file for GET_DATA, NULL otherwise. A new text (free()). */
wchar_t *DownloadTempFileName(const wchar_t *destination, DWORD requestType, const char *caller);

/* Reads this thread's temporary data file (text mode: CR LF becomes LF)
 * into a new text *out. 1 on success, 0 when the file cannot be opened or
 * memory runs out (*out untouched). */
int LoadDatafromFile(char **out);

/* Reads the file `path` in text mode into a new text *out: 1, or 0 when it
 * cannot be opened or memory runs out (*out untouched). */
int LoadTextFile(const wchar_t *path, char **out);

/* First byte of a 206 answer's Content-Range ("bytes a-b/c"); FALSE when
 * the header is missing or unreadable. */
BOOL QueryContentRangeStart(HINTERNET request, DWORD *start);

#endif
