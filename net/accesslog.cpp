/* The download access logs: every resumable download ends by appending one
 * record (start, file, mode, bytes expected and received, result, end,
 * server, port, URL) to "logs\downloadSuccessAccess.log" or
 * "logs\downloadFailureAccess.log" under the installation directory.
 * Several threads and processes append to the same files. Each record (and
 * the column header of a new file together with its first record) is one
 * write call, and the appends of this session take turns through one named
 * mutex, each writing at the end it finds under the mutex: with an
 * append-only handle alone, Wine lost records of concurrent writers while
 * every open and write reported success. */
#include "net/accesslog.h"
#include "net/httpengine.h"
#include "net/netlimits.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/textconv.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>
#include <string>

/* The column header of a new file: 262 characters, no line end after it. */
static std::string accessLogHeader()
{
    std::string header = "DATE\t\t\tSTART_TIME\t";
    header += std::string(25, ' ');
    header += "FILE_NAME\tMODE\t\t\t\tT_BYTES\tSTATUS\tRECEVD_BYTES\tEND_TIME\tSERVER_NAME\t\tPORT\tURL\n";
    header += std::string(142, '-');
    return header;
}

char *FormatAccessLogRecord(const char *startPrefix, const char *fileName, DWORD requestType,
                            DWORD contentLength, DWORD result, DWORD total, const char *endTime,
                            const wchar_t *server, int port, const wchar_t *url)
{
    return FormatNewText("\n %20s\t\t%30s\t%12s\t%10u\t%5ld\t%10u\t%10s\t\t%15S\t%6d\t%S",
                         startPrefix ? startPrefix : "", fileName && *fileName ? fileName : "--",
                         requestType == DOWNLOAD_FILE ? "DownloadFile" : "GetData", (unsigned)contentLength,
                         (long)result, (unsigned)total, endTime ? endTime : "", server ? server : L"", port,
                         url ? url : L"");
}

/* Text with each "\n" as "\r\n", the bytes a text-mode stream writes. */
static std::string withCrLf(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

static BOOL writeOnce(HANDLE file, const std::string &bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size();
}

/* Writes the bytes at the file's current end. The caller holds the append
 * mutex, so the end does not move between the seek and the write. */
static BOOL writeAtEnd(HANDLE file, const std::string &bytes)
{
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(file, zero, NULL, FILE_END))
        return FALSE;
    return writeOnce(file, bytes);
}

/* Opens the log (creating it with its header when new) and appends the
 * record; FALSE when the file cannot be opened or written. */
static BOOL appendLocked(const wchar_t *widePath, const std::string &bytes)
{
    for (int attempt = 0; attempt < VQ_NET_ACCESS_LOG_OPEN_TRIES; attempt++) {
        /* The creator holds the new file alone until its header and record
         * are in, so that a writer without the mutex (an older agent) cannot
         * land a record before the header. */
        HANDLE file = CreateFileW(widePath, FILE_APPEND_DATA, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            BOOL ok = writeOnce(file, withCrLf(accessLogHeader()) + bytes);
            CloseHandle(file);
            return ok;
        }
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            file = CreateFileW(widePath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
            if (file != INVALID_HANDLE_VALUE) {
                BOOL ok = writeAtEnd(file, bytes);
                CloseHandle(file);
                return ok;
            }
            error = GetLastError();
        }
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_FILE_NOT_FOUND)
            return FALSE;
        Sleep(VQ_NET_ACCESS_LOG_RETRY_MS);
    }
    return FALSE;
}

BOOL AppendAccessLogRecord(const char *path, const char *record)
{
    wchar_t *widePath = NULL;
    if (!path || !record || !ChangeUtf8ToWideStr(path, &widePath))
        return FALSE;
    std::string bytes = withCrLf(record);
    CreateFolder(widePath, FALSE);
    /* A writer that cannot get the mutex in time (one stuck in a slow disk)
     * still writes: a record that might interleave beats one surely lost. An
     * abandoned mutex (a writer killed mid-append) is owned all the same. */
    HANDLE turn = CreateMutexW(NULL, FALSE, VQ_NET_ACCESS_LOG_MUTEX);
    DWORD waited = turn ? WaitForSingleObject(turn, VQ_NET_ACCESS_LOG_WAIT_MS) : WAIT_FAILED;
    BOOL owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    BOOL ok = appendLocked(widePath, bytes);
    if (owned)
        ReleaseMutex(turn);
    if (turn)
        CloseHandle(turn);
    free(widePath);
    return ok;
}
