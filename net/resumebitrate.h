/* The bit-rate limited resumable download ("DownloadMode" 1 in transfer
 * mode 1), the entry that InternetGetRequestByBitrate hands such URLs to. */
#ifndef VQ_NET_RESUMEBITRATE_H
#define VQ_NET_RESUMEBITRATE_H

#include <windows.h>
#include <winhttp.h>

/* The bit-rate limited resumable download: the blocks go to the partial
 * file of the resumable download (resumerequest.h), so an interrupted
 * download goes on from where it stopped on the next run. Results as
 * ResumeGetRequestEx; three blocks in a row that bring no byte end it with
 * VQ_NET_INCOMPLETE_FILE, as do two failed tries of one block. */
DWORD ResumeGetRequestByBitrate(BOOL useProxy, const char *protocol, const wchar_t *server,
                                INTERNET_PORT port, const wchar_t *proxyServer,
                                const wchar_t *proxyBypass, const wchar_t *proxyUser,
                                const wchar_t *proxyPassword, const wchar_t *url,
                                const wchar_t *destination, char **out, DWORD requestType,
                                BOOL keepAlive);

#endif
