/* Plain downloads. The body goes to a temporary file first, so that a
 * transfer that breaks off never leaves a half-written destination and its
 * length can be checked against Content-Length; only a whole (and, for a
 * gzip body, inflated) file is loaded into memory or copied over the
 * destination. One time-out while reading is recovered with a range request
 * for the rest. */
#include "net/download.h"
#include "net/gunzip.h"
#include "net/headerquery.h"
#include "net/httpengine.h"
#include "net/httperrortext.h"
#include "net/netlimits.h"
#include "net/progress.h"
#include "net/resumerequest.h"
#include "net/tempfile.h"
#include "agent/agentparams.h"
#include "agent/errortext.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/registry.h"
#include "agent/textconv.h"
#include "agent/textformat.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* Reads the Content-Encoding header and tells whether it names gzip; every
 * outcome is only logged. */
static BOOL responseIsGzip(HINTERNET request)
{
    DWORD size = 0;
    BOOL gzip = FALSE;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM, L"Content-Encoding", WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    DWORD error = GetLastError();
    if (error == ERROR_INSUFFICIENT_BUFFER) {
        size_t bytes = (size_t)size * 4 + 8;
        wchar_t *value = (wchar_t *)calloc(bytes, 1);
        DWORD valueSize = (DWORD)bytes - sizeof(wchar_t);
        if (value && WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM, L"Content-Encoding", value,
                                         &valueSize, WINHTTP_NO_HEADER_INDEX)) {
            LogDebug("InternetGetRequestEx :  Response Header Informations : %S \n", value);
            if (wcsstr(value, L"gzip")) {
                LogInfo("InternetGetRequestEx : Response Header contains content-Encoding as gzip \n");
                gzip = TRUE;
            } else {
                LogInfo("InternetGetRequestEx : Response Header doesn't contain content-Encoding as gzip \n");
            }
        } else {
            error = value ? GetLastError() : (DWORD)ERROR_NOT_ENOUGH_MEMORY;
            LogError("InternetGetRequestEx :  Error in WinHttpQueryHeaders --> %d \n", (int)error);
            HttpGetLastError(error);
        }
        free(value);
    } else if (error == ERROR_WINHTTP_HEADER_NOT_FOUND) {
        LogError("InternetGetRequestEx : Response Header doesn't contain content-Encoding. \n");
    } else {
        LogError("InternetGetRequestEx :  Error in WinHttpQueryHeaders --> %d \n", (int)error);
        HttpGetLastError(error);
    }
    return gzip;
}

/* Content-Length of the response into *length (0 when the header is
 * missing). 0 or the error that ends the download. */
static DWORD readContentLength(HINTERNET request, DWORD *length)
{
    DWORD error = QueryContentLength(request, length, "InternetGetRequestEx");
    if (error == ERROR_FILE_TOO_LARGE)
        return error;
    if (error != 0 && error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_WINHTTP_HEADER_NOT_FOUND) {
        LogError("InternetGetRequestEx :  Error in Content Length Header -> %d \n", (int)error);
        HttpGetLastError(error);
        return error;
    }
    if (error != 0)
        *length = 0;
    LogInfo("InternetGetRequestEx : Content Length of the request file: %u Bytes\n", (unsigned)*length);
    return 0;
}

/* Closes the handles the download holds, each failure an ERROR line. */
static void closeDownloadHandles(RequestHandles *handles)
{
    if (handles->request != VQ_NO_HANDLE && !WinHttpCloseHandle(handles->request)) {
        DWORD error = GetLastError();
        LogError("InternetGetRequestEx :  Error in WinHttpCloseHandle hRequest --> %d \n", (int)error);
        HttpGetLastError(error);
    }
    if (handles->connection != VQ_NO_HANDLE && !WinHttpCloseHandle(handles->connection)) {
        DWORD error = GetLastError();
        LogError("InternetGetRequestEx :  Error in WinHttpCloseHandle hConnect --> %d \n", (int)error);
        HttpGetLastError(error);
    }
    if (handles->session != VQ_NO_HANDLE && !WinHttpCloseHandle(handles->session)) {
        DWORD error = GetLastError();
        LogError("InternetGetRequestEx :  Error in WinHttpCloseHandle hSession --> %d \n", (int)error);
        HttpGetLastError(error);
    }
    handles->request = handles->connection = handles->session = VQ_NO_HANDLE;
}

/* TRUE when the response's Content-Encoding names gzip; nothing is logged
 * (the recovery's answer and a first answer that was not asked for gzip). */
static BOOL answerIsGzip(HINTERNET request)
{
    wchar_t value[128];
    DWORD size = sizeof(value) - sizeof(wchar_t);
    memset(value, 0, sizeof(value));
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM, L"Content-Encoding", value, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER;   /* a long value: not one this agent reads */
    return wcsstr(value, L"gzip") != NULL;
}

/* What the bytes kept so far are: how they are encoded and how long the
 * answer they came from said it was. A recovery's answer either continues
 * them (a 206 from where they end, in the same encoding) or replaces them
 * (the whole file from byte 0, with its own encoding and length); two
 * encodings are never spliced. */
struct KeptBody {
    DWORD total;           /* bytes in the temporary file */
    DWORD contentLength;   /* Content-Length of the answer they belong to */
    BOOL gzip;             /* that answer was gzip-encoded */
};

/* Request for what is still missing after a time-out. Identity bytes are
 * continued with a range request; gzip-encoded ones cannot be: the request
 * asks without gzip, and an offset into the compressed bytes means nothing
 * in the identity answer, so the whole file is asked for again. On 0 the new
 * handles are in *handles and *restart tells that the answer is the file
 * from byte 0 (the temporary file must start over; *kept then describes the
 * new answer). */
static DWORD requestRest(BOOL useProxy, const char *protocol, const wchar_t *server,
                         INTERNET_PORT port, const wchar_t *proxyServer, const wchar_t *proxyBypass,
                         const wchar_t *proxyUser, const wchar_t *proxyPassword, const wchar_t *url,
                         DWORD requestType, BOOL keepAlive, KeptBody *kept, RequestHandles *handles,
                         BOOL *restart)
{
    LogInfo("Total Bytes read so far:%u\n", (unsigned)kept->total);
    LogInfo("InternetGetRequestEx : second attempt to recover from previous error\n");
    closeDownloadHandles(handles);
    wchar_t range[VQ_NET_RANGE_HEADER_BYTES / sizeof(wchar_t)];
    if (kept->total == 0)
        swprintf(range, sizeof(range) / sizeof(range[0]), L"Range: bytes=0-%u", (unsigned)kept->contentLength);
    else
        swprintf(range, sizeof(range) / sizeof(range[0]), L"Range: bytes=%u-%u", (unsigned)kept->total,
                 (unsigned)kept->contentLength);
    InitRequestHandles(handles);
    if (kept->gzip) {
        LogInfo("InternetGetRequestEx : the bytes so far are gzip-encoded; the whole file is asked for again\n");
    } else {
        LogDebug("InternetGetRequestByBitrate: Content-Range Header message: %S\n", range);
        handles->kind = VQ_REQUEST_GET_HEADER;
        handles->extraHeader = range;
    }
    DWORD error = GetInternetRequestHandle(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                           proxyUser, proxyPassword, url, requestType, keepAlive,
                                           handles, FALSE);
    handles->extraHeader = NULL;
    if (error != 0)
        return error;
    /* 206 carries the rest; 200 carries the whole file again and must not be
     * appended; anything else carries no part of the file at all. */
    *restart = handles->statusCode == 200;
    if (handles->statusCode != 200 && handles->statusCode != 206) {
        LogError("InternetGetRequestEx : Failed with the http status code, %d \n", handles->statusCode);
        return (DWORD)handles->statusCode;
    }
    BOOL gzip = answerIsGzip(handles->request);
    if (handles->statusCode == 206) {
        /* A part is usable only in the encoding of the bytes it joins, and
         * only where they end (or, from byte 0, instead of them). */
        DWORD start = 0;
        if (!QueryContentRangeStart(handles->request, &start))
            start = (DWORD)-1;
        if (gzip != kept->gzip || (start != kept->total && start != 0)) {
            LogError("InternetGetRequestEx : The server sent a part that does not continue the %u bytes "
                     "received so far \n", (unsigned)kept->total);
            return ERROR_INVALID_DATA;
        }
        *restart = start != kept->total;
    } else {
        /* The whole file: its own length and encoding from now on. */
        DWORD length = 0;
        error = readContentLength(handles->request, &length);
        if (error != 0)
            return error;
        kept->contentLength = length;
        kept->gzip = gzip;
    }
    if (*restart)
        LogInfo("InternetGetRequestEx : The server sent the whole file again; the download "
                "starts over at byte 0\n");
    return 0;
}

DWORD InternetGetRequestEx(BOOL useProxy, const char *protocol, const wchar_t *server,
                           INTERNET_PORT port, const wchar_t *proxyServer,
                           const wchar_t *proxyBypass, const wchar_t *proxyUser,
                           const wchar_t *proxyPassword, const wchar_t *url,
                           const wchar_t *destination, char **out, DWORD requestType,
                           BOOL keepAlive, BOOL acceptGzip)
{
    LogDebug("@@@@@@@@ Inside InternetGetRequestEx Method @@@@@@@@ \n");
    LogInfo("InternetGetRequestEx : Velquin Server & Port -> %S : %d \n", server ? server : L"", (int)port);
    LogDebug("InternetGetRequestEx : URL to Get -> %S \n", url ? url : L"");

    RequestHandles handles;
    InitRequestHandles(&handles);
    DWORD result = GetInternetRequestHandle(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                            proxyUser, proxyPassword, url, requestType, keepAlive,
                                            &handles, acceptGzip);
    /* The bytes kept: their encoding is the answer's own whether or not
     * gzip was asked for (only asked-for gzip is inflated at the end). */
    KeptBody kept;
    kept.total = 0;
    kept.contentLength = 0;
    kept.gzip = FALSE;
    if (handles.request != VQ_NO_HANDLE)
        kept.gzip = acceptGzip ? responseIsGzip(handles.request) : answerIsGzip(handles.request);

    wchar_t *tempName = NULL;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (result == 0) {
        if (handles.statusCode == 304) {
            LogInfo("InternetGetRequestEx :File not modified since the time: %S\n", L"");
            result = VQ_NET_NOT_MODIFIED;
        } else if (handles.statusCode != 200) {
            LogError("InternetGetRequestEx : Failed with the http status code, %d \n", handles.statusCode);
            result = (DWORD)handles.statusCode;
        } else {
            result = readContentLength(handles.request, &kept.contentLength);
        }
    }
    if (result == 0) {
        tempName = DownloadTempFileName(destination, requestType, "InternetGetRequestEx");
        if (tempName) {
            file = CreateFileW(tempName, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
            if (file == INVALID_HANDLE_VALUE) {
                result = GetLastError();
                LogError("InternetGetRequestEx : Error occured while creating the file --> %d \n", (int)result);
                HttpGetLastError(result);
            }
        } else if (requestType == GET_DATA || requestType == DOWNLOAD_FILE) {
            result = requestType == DOWNLOAD_FILE && !destination ? (DWORD)ERROR_INVALID_PARAMETER
                                                                  : (DWORD)ERROR_NOT_ENOUGH_MEMORY;
            LogError("InternetGetRequestEx : Error occured while creating the file --> %d \n", (int)result);
            HttpGetLastError(result);
        }
    }

    if (result == 0) {
        BOOL checkSize = TRUE;
        /* A time-out is recovered only when bytes arrived since the previous
         * recovery, and only while the recoveries take the file past the
         * farthest byte it reached (progress.h): a server that stalls at the
         * same place again, or sends the same start again, ends the download
         * instead of keeping it in a loop. */
        BOOL recovered = FALSE;
        DWORD recoveredAt = 0;
        TransferProgress progress;
        ProgressStart(&progress, 0);
        BYTE *buffer = NULL;
        DWORD bufferSize = 0;
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(handles.request, &available)) {
                DWORD error = NormalizeReceiveError(GetLastError());
                LogError("InternetGetRequestEx : Error occured in WinHttpQueryDataAvailable --> %d \n",
                         (int)error);
                HttpGetLastError(error);
                if (error != ERROR_WINHTTP_TIMEOUT || (recovered && kept.total <= recoveredAt)) {
                    result = error;
                    break;
                }
                if (!ProgressAfterAttempt(&progress, kept.total)) {
                    LogError("InternetGetRequestEx : %d recoveries in a row did not take the file past "
                             "byte %u \n", progress.fruitless, (unsigned)progress.best);
                    result = error;
                    break;
                }
                BOOL restart = FALSE;
                error = requestRest(useProxy, protocol, server, port, proxyServer, proxyBypass,
                                    proxyUser, proxyPassword, url, requestType, keepAlive, &kept,
                                    &handles, &restart);
                if (error != 0) {
                    result = error;
                    break;
                }
                if (restart && file != INVALID_HANDLE_VALUE) {
                    LARGE_INTEGER zero;
                    zero.QuadPart = 0;
                    if (!SetFilePointerEx(file, zero, NULL, FILE_BEGIN) || !SetEndOfFile(file)) {
                        result = GetLastError();
                        LogError("InternetGetRequestEx :  Error in WriteFile --> %d \n", (int)result);
                        checkSize = FALSE;
                        break;
                    }
                }
                /* New bytes are counted from where this answer starts: byte 0
                 * when it restarted the file. */
                if (restart)
                    kept.total = 0;
                recovered = TRUE;
                recoveredAt = kept.total;
                continue;
            }
            if (available == 0)
                break;
            if (available + 1 > bufferSize) {
                BYTE *bigger = (BYTE *)realloc(buffer, (size_t)available + 1);
                if (!bigger) {
                    result = ERROR_NOT_ENOUGH_MEMORY;
                    checkSize = FALSE;
                    break;
                }
                buffer = bigger;
                bufferSize = available + 1;
            }
            DWORD got = 0;
            if (!WinHttpReadData(handles.request, buffer, available, &got)) {
                result = NormalizeReceiveError(GetLastError());
                LogError("InternetGetRequestEx :  Error in WinHttpReadData --> %d \n", (int)result);
                HttpGetLastError(result);
                checkSize = FALSE;
                break;
            }
            kept.total += got;
            if (file != INVALID_HANDLE_VALUE && !WriteWholeBuffer(file, buffer, got)) {
                result = GetLastError();
                LogError("InternetGetRequestEx :  Error in WriteFile --> %d \n", (int)result);
                checkSize = FALSE;
                break;
            }
            if (kept.total == kept.contentLength) {
                LogInfo("Bytes read reached the contenlength\n");
                break;
            }
            if (got == 0)
                break;
        }
        free(buffer);
        if (checkSize) {
            LogInfo("InternetGetRequestEx : Total bytes read = %u\n", (unsigned)kept.total);
            if (result == 0) {
                LARGE_INTEGER fileSize;
                fileSize.QuadPart = kept.total;
                if (file != INVALID_HANDLE_VALUE && !GetFileSizeEx(file, &fileSize))
                    fileSize.QuadPart = -1;
                if (fileSize.QuadPart == (LONGLONG)kept.contentLength) {
                    LogInfo("InternetGetRequestEx : GetFileSize returns :  %u\n", (unsigned)fileSize.QuadPart);
                    LogInfo("InternetGetRequestEx : File completely downloaded..!\n");
                } else {
                    result = VQ_NET_INCOMPLETE_FILE;
                    LogInfo("InternetGetRequestEx : Error in downloading..!\n");
                    LogInfo("InternetGetRequestEx : Only partial file downloaded. GetFileSize returns :  %u\n",
                            (unsigned)fileSize.QuadPart);
                }
            }
        }
    }
    /* WriteFile keeps no buffer of its own, so closing the handle is all it
     * takes for the data to be read back; forcing the temporary file to the
     * disk (FlushFileBuffers) would only slow a file that is read once and
     * deleted. */
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    closeDownloadHandles(&handles);

    if (result == 0 && tempName) {
        if (acceptGzip && kept.gzip) {
            LogInfo("InternetGetRequestEx : Successfully downloaded the Gzip compressed file from the "
                    "server %S \n", server ? server : L"");
            LogDebug("InternetGetRequestEx : Need to decompress the file\n");
            DWORD error = InflateGzipFile(tempName, VQ_NET_MAX_INFLATED_BYTES);
            if (error == 0) {
                LogInfo("InternetGetRequestEx : File Decompressed successfully.\n");
            } else {
                LogError("InternetGetRequestEx : Could not decompress the gzip file --> %d \n", (int)error);
                HttpGetLastError(error);
                result = error;
            }
        }
    }
    if (result == 0 && tempName) {
        if (requestType == GET_DATA) {
            char *data = NULL;
            if (LoadDatafromFile(&data) == 1) {
                LogDebug("Data in memory : %s\n", data);
                if (out)
                    *out = data;
                else
                    free(data);
            } else {
                LogError("InternetGetRequestEx: could n't read the data from .tmp file \n");
                result = ERROR_OPEN_FAILED;
            }
        } else if (!CopyFileW(tempName, destination, FALSE)) {
            result = GetLastError();
            LogError("InternetGetRequestEx : could n't copy from %S file to %S ,\n", tempName, destination);
            LogErrorMessage(result);
        } else {
            LogInfo("InternetGetRequestEx : Successfully downloaded the file %S from the server %S to "
                    "the destination file %S \n", url ? url : L"", server ? server : L"", destination);
        }
    }
    if (tempName) {
        if (file != INVALID_HANDLE_VALUE)
            DeleteFileW(tempName);
        free(tempName);
    }
    LogDebug("@@@@@@@@ End Of InternetGetRequestEx Method @@@@@@@@ \n");
    return result;
}

DWORD InternetGetDownloader(BOOL useProxy, const char *protocol, const wchar_t *server,
                            INTERNET_PORT port, const wchar_t *proxyServer,
                            const wchar_t *proxyBypass, const wchar_t *proxyUser,
                            const wchar_t *proxyPassword, const wchar_t *url,
                            const wchar_t *destination, char **out, DWORD requestType,
                            BOOL keepAlive, BOOL acceptGzip)
{
    BOOL dataFile = url && (wcsstr(url, L".xml") || wcsstr(url, L".json"));
    if (!dataFile) {
        LogInfo("InternetGetDownloader : Velquin Server & Port -> %S : %d \n", server ? server : L"",
                (int)port);
        DWORD mode = 0;
        if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_SETTINGS_KEY, "DownloadMode", &mode) != 0)
            mode = 0;
        if (mode == 1 && requestType == DOWNLOAD_FILE)
            return ResumeGetRequestEx(useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser,
                                      proxyPassword, url, destination, out, requestType, keepAlive);
        LogInfo("InternetGetDownloader : Download Mode %d\n", (int)mode);
    }
    return InternetGetRequestEx(useProxy, protocol, server, port, proxyServer, proxyBypass, proxyUser,
                                proxyPassword, url, destination, out, requestType, keepAlive, acceptGzip);
}
