/* The partial file of a resumable download: bytes are appended to it only
 * after they were received, and its record is updated only after the bytes
 * are on disk, so a run that is killed at any point leaves a file that is
 * at least as long as its record says (a longer one is discarded on the next
 * run). A whole file is moved over the destination in one step. */
#include "net/resumehandler.h"
#include "net/tempfile.h"
#include "agent/errortext.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/regkey.h"
#include "agent/textconv.h"
#include "agent/textformat.h"
#include "agent/unixtime.h"

#include <stdlib.h>
#include <string.h>

void DownloadResumeHandler::RecordProgress(BOOL periodic)
{
    if (temporaryDownload)
        return;
    char *path = FormatNewText("%s\\%s", VQ_FILEMETADATA_KEY, id);
    RegKey rec;
    RegKeyInit(&rec, NULL);
    if (path && IsValidResumeId(id) &&
        RegKeyCreate(&rec, HKEY_LOCAL_MACHINE, path, NULL, 0, KEY_READ | KEY_WRITE, NULL, NULL) ==
            ERROR_SUCCESS) {
        DWORD size = partialSizeAtStart + writtenInRun;
        RegSetValueExA(rec.key, "PartialFileSize", 0, REG_DWORD, (const BYTE *)&size, sizeof(size));
        LogDebug("updated registry entries  %d \n", (int)size);
        RegKeySetString(&rec, "LastModifiedTime", serverLastModified ? serverLastModified : "", REG_SZ);
        RegSetValueExA(rec.key, "TotalFileSize", 0, REG_DWORD, (const BYTE *)&serverFileSize,
                       sizeof(serverFileSize));
        wchar_t *now = GetCurrentTimeInMillisecondsText();
        char *nowText = NULL;
        if (now && ChangeWideToUtf8Str(now, &nowText))
            RegKeySetString(&rec, "LastRetryTime", nowText, REG_SZ);
        if (!periodic) {
            LogInfo("updated registry entries size  %d and last modified time %S retry time %d\n", (int)size,
                    now ? now : L"", (int)retryCount);
            DWORD count = retryCount + 1;
            RegSetValueExA(rec.key, "RetryCount", 0, REG_DWORD, (const BYTE *)&count, sizeof(count));
            RegDeleteValueA(rec.key, "downloadInProgress");
        }
        free(nowText);
        free(now);
        RegKeyClose(&rec);
    }
    free(path);
}

DWORD DownloadResumeHandler::ProcessDownloadedBuffer(const BYTE *buffer, DWORD length, BOOL periodic)
{
    if (length == 0)
        return 0;
    LogDebug("Inside ProcessDownloadedBuffer\n");
    if (!partialFile) {
        LogError("File Handle is NULL\n");
        return ERROR_INVALID_PARAMETER;
    }
    HANDLE file = CreateFileW(partialFile, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == NULL) {
        LogError("File Handle is NULL\n");
        return GetLastError();
    }
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        LogError("Invalid File Handle\n");
        return error;
    }
    if (!WriteWholeBuffer(file, buffer, length)) {
        DWORD error = GetLastError();
        LogError("ProcessDownloadedBuffer :  Error in WriteFile --> %d \n", (int)error);
        CloseHandle(file);
        return error ? error : (DWORD)ERROR_WRITE_FAULT;
    }
    writtenInRun += length;
    LogDebug("File updated with data.\n");
    /* WriteFile keeps no buffer of its own: once it returned, a killed
     * process loses none of these bytes, so the record may follow at once.
     * Forcing them to the disk (FlushFileBuffers) at every save halved the
     * download's speed and guards only against a power cut, which the
     * registry's own lazy writes do not survive either. */
    CloseHandle(file);
    RecordProgress(periodic);
    return 0;
}

void DownloadResumeHandler::PreDownloadCleaningOfPartialFile()
{
    LogInfo("Performing PreDownloadCleaningOfPartialFile\n");
    resumeOffset = partialSizeAtStart = 0;
    if (partialFile)
        DeleteFileW(partialFile);
}

void DownloadResumeHandler::RestartAtZero()
{
    LogInfo("The server sent the file from its first byte: the partial file starts again at byte 0\n");
    PreDownloadCleaningOfPartialFile();
    writtenInRun = 0;
    /* The record follows at once, so that it never claims bytes the file
     * no longer has. */
    RecordProgress(TRUE);
}

BOOL DownloadResumeHandler::PartialFileSize(ULONGLONG *size)
{
    if (!partialFile)
        return FALSE;
    HANDLE file = CreateFileW(partialFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    LARGE_INTEGER bytes;
    BOOL ok = GetFileSizeEx(file, &bytes);
    CloseHandle(file);
    if (ok)
        *size = (ULONGLONG)bytes.QuadPart;
    return ok;
}

DWORD DownloadResumeHandler::SaveToDestFile()
{
    LogInfo("Inside SaveToDestFile from %S to %S\n", partialFile ? partialFile : L"",
            destination ? destination : L"");
    if (!partialFile || !destination)
        return ERROR_INVALID_PARAMETER;
    CreateFolder(destination, FALSE);
    /* One rename on the same volume: the destination is either the old file
     * or the whole new one, never a half-copied one. */
    if (!MoveFileExW(partialFile, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        DWORD error = GetLastError();
        LogError("InternetGetRequestEx : could n't copy from %S file to %S ,\n", partialFile, destination);
        LogErrorMessage(error);
        return error;
    }
    CleanFileAndRegistry();
    return 0;
}

BOOL DownloadResumeHandler::LoadDatafromFile(char **out)
{
    char *name = NULL;
    ChangeWideToUtf8Str(partialFile, &name);
    LogInfo("LoadDatafromFile: tmpDataFilePath, %s\n", name ? name : "");
    free(name);
    if (!partialFile || LoadTextFile(partialFile, out) != 1) {
        LogError("LoadDatafromFile: failed to open the file\n");
        return FALSE;
    }
    CleanFileAndRegistry();
    return TRUE;
}
