/* Bit-rate limited downloads: the file is fetched as a series of range
 * requests of a fixed block size, each on a fresh connection, with a pause
 * after each block so that a block cycle lasts at least 600 ms. */
#ifndef VQ_NET_BITRATE_H
#define VQ_NET_BITRATE_H

#include <windows.h>
#include <winhttp.h>

/* Bytes per block for `rateKBps` (rate x 500; the default rate for 0). */
DWORD BitrateBlockSize(DWORD rateKBps);

/* Pause after a block that took `elapsedMs`: 600 - elapsed below 450 ms,
 * else 100 ms. */
DWORD BitratePauseMs(DWORD elapsedMs);

/* The transfer of mode 1, with the block size from the agent's
 * "DataTransferRate_KBps". Results as InternetGetRequestEx; a missing
 * Content-Length in the HEAD answer is an error here; three blocks in a row
 * that bring no byte end it with VQ_NET_INCOMPLETE_FILE; a 206 whose range
 * does not start where asked ends it with ERROR_INVALID_DATA. In
 * "DownloadMode" 1 (resumable, not in this build) the result is
 * ERROR_NOT_SUPPORTED. */
DWORD InternetGetRequestByBitrate(BOOL useProxy, const char *protocol, const wchar_t *server,
                                  INTERNET_PORT port, const wchar_t *proxyServer,
                                  const wchar_t *proxyBypass, const wchar_t *proxyUser,
                                  const wchar_t *proxyPassword, const wchar_t *url,
                                  const wchar_t *destination, char **out, DWORD requestType,
                                  BOOL keepAlive);

#endif
