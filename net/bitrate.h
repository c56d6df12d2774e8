/* Bit-rate limited downloads: the file is fetched as a series of range
 * requests of a fixed block size, each on a fresh connection, with a pause
 * after each block so that a block cycle lasts at least 600 ms (blockrate.h). */
#ifndef VQ_NET_BITRATE_H
#define VQ_NET_BITRATE_H

#include <windows.h>
#include <winhttp.h>

/* The transfer of mode 1, with the block size from the agent's
 * "DataTransferRate_KBps". Results as InternetGetRequestEx; a missing
 * Content-Length in the HEAD answer is an error here; three blocks in a row
 * that bring no byte end it with VQ_NET_INCOMPLETE_FILE; a 200 answer, or a
 * 206 from byte 0, to a later block starts the file again at byte 0; a 206
 * that starts anywhere else than asked ends it with ERROR_INVALID_DATA. For
 * URLs without ".xml" or ".json" in "DownloadMode" 1 the transfer is
 * ResumeGetRequestByBitrate's, whatever the request type. */
DWORD InternetGetRequestByBitrate(BOOL useProxy, const char *protocol, const wchar_t *server,
                                  INTERNET_PORT port, const wchar_t *proxyServer,
                                  const wchar_t *proxyBypass, const wchar_t *proxyUser,
                                  const wchar_t *proxyPassword, const wchar_t *url,
                                  const wchar_t *destination, char **out, DWORD requestType,
                                  BOOL keepAlive);

#endif
