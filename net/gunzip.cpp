/* Inflates a gzip file into a sibling file and moves it over the original.
 * The data stream is read and written in fixed chunks, so the memory used
 * does not depend on the size of the file, and the inflated size is bounded,
 * so a small body cannot fill the disk (or, for GET_DATA, the memory). */
#include "net/gunzip.h"
#include "net/netlimits.h"
#include "agent/fileutil.h"
#include "agent/log.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <zlib.h>

/* zlib's window bits for a gzip wrapper (16 + the largest window). */
#define VQ_GZIP_WINDOW_BITS (16 + MAX_WBITS)

/* Inflates everything from `in` into `out`, at most `maxBytes`: 0,
 * ERROR_INVALID_DATA or the error of a read or write. */
static DWORD inflateStream(HANDLE in, HANDLE out, unsigned char *inBuf, unsigned char *outBuf, DWORD maxBytes)
{
    ULONGLONG inflated = 0;
    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    if (inflateInit2(&stream, VQ_GZIP_WINDOW_BITS) != Z_OK)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD result = 0;
    BOOL sawMember = FALSE;
    BOOL memberEnded = FALSE;
    BOOL atEnd = FALSE;
    while (result == 0) {
        if (stream.avail_in == 0 && !atEnd) {
            DWORD got = 0;
            if (!ReadFile(in, inBuf, VQ_NET_INFLATE_CHUNK_BYTES, &got, NULL)) {
                result = GetLastError();
                break;
            }
            if (got == 0)
                atEnd = TRUE;
            stream.next_in = inBuf;
            stream.avail_in = got;
        }
        if (stream.avail_in == 0 && atEnd) {
            /* The data must end exactly at the end of a member. */
            if (!sawMember || !memberEnded)
                result = ERROR_INVALID_DATA;
            break;
        }
        stream.next_out = outBuf;
        stream.avail_out = VQ_NET_INFLATE_CHUNK_BYTES;
        int rc = inflate(&stream, Z_NO_FLUSH);
        DWORD produced = VQ_NET_INFLATE_CHUNK_BYTES - stream.avail_out;
        inflated += produced;
        if (inflated > maxBytes) {
            /* Checked before the write: no byte beyond the bound reaches the disk. */
            LogError("InflateGzipFile : the data inflates to more than %u bytes \n", (unsigned)maxBytes);
            result = ERROR_INVALID_DATA;
            break;
        }
        if (produced > 0 && !WriteWholeBuffer(out, outBuf, produced)) {
            result = GetLastError();
            break;
        }
        if (rc == Z_STREAM_END) {
            sawMember = TRUE;
            memberEnded = TRUE;
            /* Another member may follow. */
            if (inflateReset(&stream) != Z_OK)
                result = ERROR_INVALID_DATA;
        } else if (rc == Z_OK) {
            sawMember = TRUE;
            memberEnded = FALSE;
        } else if (rc == Z_BUF_ERROR && stream.avail_in == 0) {
            /* Needs more input: read on. */
        } else {
            result = ERROR_INVALID_DATA;
        }
    }
    inflateEnd(&stream);
    return result;
}

DWORD InflateGzipFile(const wchar_t *path, DWORD maxBytes)
{
    if (!path)
        return ERROR_INVALID_PARAMETER;
    size_t len = wcslen(path);
    wchar_t *inflatedPath = (wchar_t *)calloc(len + 8, sizeof(wchar_t));
    unsigned char *inBuf = (unsigned char *)malloc(VQ_NET_INFLATE_CHUNK_BYTES);
    unsigned char *outBuf = (unsigned char *)malloc(VQ_NET_INFLATE_CHUNK_BYTES);
    if (!inflatedPath || !inBuf || !outBuf) {
        free(inflatedPath);
        free(inBuf);
        free(outBuf);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    wcscpy(inflatedPath, path);
    wcscat(inflatedPath, L".unz");

    DWORD result = 0;
    HANDLE in = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (in == INVALID_HANDLE_VALUE) {
        result = GetLastError();
    } else {
        HANDLE out = CreateFileW(inflatedPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
        if (out == INVALID_HANDLE_VALUE) {
            result = GetLastError();
        } else {
            result = inflateStream(in, out, inBuf, outBuf, maxBytes);
            CloseHandle(out);
        }
        CloseHandle(in);
    }
    if (result == 0 && !MoveFileExW(inflatedPath, path, MOVEFILE_REPLACE_EXISTING))
        result = GetLastError();
    if (result != 0)
        DeleteFileW(inflatedPath);
    free(inflatedPath);
    free(inBuf);
    free(outBuf);
    return result;
}
