/* The registry side of a resumable download. Under the agent key's
 * "FileMetaData" each URL (the value's name) names the id of its partial
 * file, and the key FileMetaData\<id> records the bytes in that file, the
 * server's version they belong to and when they were saved. A record is
 * trusted only when the version matches the server's and the size matches
 * the file on disk; anything else starts the download again at byte 0. The
 * version is the Last-Modified text together with the file's whole size
 * ("TotalFileSize"): without a Last-Modified on both sides nothing tells
 * two versions apart, and a file that keeps its date while its size changes
 * is another file, so neither is resumed. */
#include "net/resumehandler.h"
#include "agent/agentparams.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/registry.h"
#include "agent/regkey.h"
#include "agent/textconv.h"
#include "agent/textformat.h"
#include "agent/timetext.h"
#include "agent/unixtime.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* KEY_READ | KEY_WRITE, the access of every resume record key. */
static const REGSAM kRecordAccess = KEY_READ | KEY_WRITE;

static LONG openKey(RegKey *k, const char *path)
{
    RegKeyInit(k, NULL);
    return RegKeyOpen(k, HKEY_LOCAL_MACHINE, path, kRecordAccess);
}

static LONG createKey(RegKey *k, const char *path, REGSAM access)
{
    RegKeyInit(k, NULL);
    return RegKeyCreate(k, HKEY_LOCAL_MACHINE, path, NULL, 0, access, NULL, NULL);
}

static LONG setDword(RegKey *k, const char *name, DWORD value)
{
    return RegSetValueExA(k->key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
}

/* A text value of at most VQ_NET_REGISTRY_TEXT_BYTES - 1 bytes into a new
 * text; NULL when missing, of another type or too long. */
static char *queryText(RegKey *k, const char *name)
{
    char buffer[VQ_NET_REGISTRY_TEXT_BYTES];
    DWORD count = sizeof(buffer);
    if (RegKeyQueryString(k, name, buffer, &count) != ERROR_SUCCESS)
        return NULL;
    buffer[sizeof(buffer) - 1] = '\0';
    return _strdup(buffer);
}

/* FileMetaData\<id> of this handler's id. */
static char *recordKeyPath(const char *id)
{
    return FormatNewText("%s\\%s", VQ_FILEMETADATA_KEY, id);
}

static LONGLONG nowMs(void)
{
    wchar_t *text = GetCurrentTimeInMillisecondsText();
    LONGLONG ms = text ? _wtoi64(text) : 0;
    free(text);
    return ms;
}

BOOL IsValidResumeId(const char *id)
{
    if (!id || !*id || strlen(id) > VQ_NET_MAX_ID_CHARS)
        return FALSE;
    for (const char *p = id; *p; p++)
        if (*p < '0' || *p > '9')
            return FALSE;
    return TRUE;
}

DownloadResumeHandler::DownloadResumeHandler()
    : destination(NULL), partialFile(NULL), repository(NULL), url(NULL), storedLastModified(NULL),
      serverLastModified(NULL), urlNarrow(NULL), retryCount(0), resumeOffset(0), partialSizeAtStart(0),
      writtenInRun(0), saveLimit(VQ_NET_DEFAULT_SAVE_LIMIT_BYTES), serverFileSize(0), lastRetryTime(0),
      temporaryDownload(FALSE)
{
    id[0] = '\0';
    logPrefix[0] = '\0';
    char *time = NULL;
    GetTimeText(TRUE, &time);
    snprintf(logPrefix, sizeof(logPrefix), "\n %s\t\t%10s\t", GetDateYYMMDD(), time ? time : "");
    free(time);
}

DownloadResumeHandler::~DownloadResumeHandler()
{
    /* A temporary download's id has no record to clear. */
    if (!temporaryDownload && IsValidResumeId(id)) {
        char *path = recordKeyPath(id);
        RegKey k;
        if (path && openKey(&k, path) == ERROR_SUCCESS) {
            RegDeleteValueA(k.key, "downloadInProgress");
            RegKeyClose(&k);
        }
        free(path);
    }
    free(destination);
    free(partialFile);
    free(repository);
    free(url);
    free(storedLastModified);
    free(serverLastModified);
    free(urlNarrow);
}

/* TRUE when `id` names no record and no file in `folder` yet. */
static BOOL idIsFree(const wchar_t *folder, const char *id)
{
    char *path = recordKeyPath(id);
    RegKey k;
    BOOL recorded = path && openKey(&k, path) == ERROR_SUCCESS;
    if (recorded)
        RegKeyClose(&k);
    free(path);
    if (recorded)
        return FALSE;
    if (!folder)
        return TRUE;
    wchar_t file[MAX_PATH * 2];
    swprintf(file, sizeof(file) / sizeof(file[0]), L"%ls%hs", folder, id);
    return GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES;
}

void DownloadResumeHandler::FormUniqueFileName()
{
    free(partialFile);
    partialFile = NULL;
    wchar_t *wideDir = NULL;
    wchar_t *folder = NULL;
    const char *installDir = gv_agentParams.VQAgentInstallDir;
    if (installDir && repository && ChangeUtf8ToWideStr(installDir, &wideDir)) {
        size_t folderChars = wcslen(wideDir) + wcslen(repository) + 1;
        folder = (wchar_t *)calloc(folderChars, sizeof(wchar_t));
        if (folder)
            swprintf(folder, folderChars, L"%ls%ls", wideDir, repository);
    }
    if (id[0] == '\0') {
        /* Time, process and thread alone repeat when one thread starts two
         * downloads within a second, or finds a record left under the same
         * numbers: a suffix keeps the new one off that record and file. */
        char base[VQ_NET_MAX_ID_CHARS + 1];
        snprintf(base, sizeof(base), "%d%d%d", (int)GetCurrentTimeInSeconds(), (int)GetCurrentProcessId(),
                 (int)GetCurrentThreadId());
        static thread_local char lastBase[VQ_NET_MAX_ID_CHARS + 1];
        static thread_local int formedWithBase;
        formedWithBase = strcmp(lastBase, base) == 0 ? formedWithBase + 1 : 0;
        strcpy(lastBase, base);
        int suffix = formedWithBase;
        for (;; suffix++) {
            if (suffix == 0)
                snprintf(id, sizeof(id), "%s", base);
            else
                snprintf(id, sizeof(id), "%.*s%d", VQ_NET_MAX_ID_CHARS - 3, base, suffix);
            if (suffix >= 999 || idIsFree(folder, id))
                break;
        }
        formedWithBase = suffix;
        LogInfo("Formed Unique id for the file is %s\n", id);
    }
    if (folder) {
        size_t chars = wcslen(folder) + strlen(id) + 1;
        partialFile = (wchar_t *)calloc(chars, sizeof(wchar_t));
        if (partialFile) {
            swprintf(partialFile, chars, L"%ls%hs", folder, id);
            /* An existing folder is fine; one that cannot be made shows when
             * the partial file is written. */
            CreateDirectoryW(folder, NULL);
            LogInfo("Temporary file path is %S\n", folder);
        }
    }
    free(folder);
    free(wideDir);
}

void DownloadResumeHandler::Initialize(const wchar_t *dest, const char *serverModified, const wchar_t *link)
{
    LogInfo("Inside DownloadResumeHandler::Initialize\n");
    resumeOffset = 0;
    free(destination);
    free(serverLastModified);
    free(url);
    free(urlNarrow);
    destination = dest ? _wcsdup(dest) : NULL;
    serverLastModified = _strdup(serverModified ? serverModified : "");
    url = link ? _wcsdup(link) : NULL;
    urlNarrow = NULL;
    ChangeWideToUtf8Str(url, &urlNarrow);
    if (!urlNarrow)
        urlNarrow = _strdup("");

    RegKey meta;
    if (openKey(&meta, VQ_FILEMETADATA_KEY) != ERROR_SUCCESS) {
        LogDebug("failure in openeing reg key\n");
        createKey(&meta, VQ_FILEMETADATA_KEY, KEY_ALL_ACCESS);
        free(repository);
        repository = _wcsdup(L"" VQ_DEFAULT_REPOSITORY);
        FormUniqueFileName();
        if (meta.key) {
            RegKeySetString(&meta, "IntermediateRepositoryName", VQ_DEFAULT_REPOSITORY, REG_SZ);
            RegKeySetString(&meta, urlNarrow, id, REG_SZ);
            setDword(&meta, "InterSaveByteLimit", saveLimit);
        }
        LogError("Setting variable for DOWNLOAD_FOLDER and url  %S & id - %d\n", url ? url : L"",
                 (int)strtoul(id, NULL, 10));
        RegKeyClose(&meta);
        return;
    }

    LogDebug("reading folder info\n");
    char *folder = queryText(&meta, "IntermediateRepositoryName");
    if (!folder) {
        folder = _strdup(VQ_DEFAULT_REPOSITORY);
        RegKeySetString(&meta, "IntermediateRepositoryName", VQ_DEFAULT_REPOSITORY, REG_SZ);
    }
    free(repository);
    repository = NULL;
    ChangeUtf8ToWideStr(folder, &repository);
    free(folder);

    DWORD limit = 0;
    if (RegKeyQueryDword(&meta, "InterSaveByteLimit", &limit) != ERROR_SUCCESS) {
        limit = VQ_NET_DEFAULT_SAVE_LIMIT_BYTES;
        setDword(&meta, "InterSaveByteLimit", limit);
    }
    /* A limit of 0 would write every read separately; a huge one would ask
     * for a buffer the process cannot have. */
    if (limit == 0)
        limit = VQ_NET_DEFAULT_SAVE_LIMIT_BYTES;
    if (limit > VQ_NET_MAX_SAVE_LIMIT_BYTES)
        limit = VQ_NET_MAX_SAVE_LIMIT_BYTES;
    saveLimit = limit;
    LogDebug("reading periodic limit  info\n");
    LogInfo("Download folder = %S\tperiodic save limit = %d\n", repository ? repository : L"", (int)saveLimit);

    char *known = queryText(&meta, urlNarrow);
    if (known && IsValidResumeId(known)) {
        strcpy(id, known);
        FormUniqueFileName();
        LogInfo("Unique id for the file is %s\n", id);
        GetFileDataFromRegistry();
        if (!temporaryDownload)
            RegKeySetString(&meta, urlNarrow, id, REG_SZ);
    } else {
        /* No record, or a value this system did not write: a new id. */
        id[0] = '\0';
        FormUniqueFileName();
        RegKeySetString(&meta, urlNarrow, id, REG_SZ);
    }
    free(known);

    LogInfo("ResumeGetRequestEx : To update download count\n");
    DWORD count = 0;
    if (RegKeyQueryDword(&meta, "DownloadCount", &count) != ERROR_SUCCESS)
        count = 0;
    setDword(&meta, "DownloadCount", count + 1);
    RegKeyClose(&meta);
    LogInfo("End of DownloadResumeHandler::Initialize\n");
}

void DownloadResumeHandler::GetFileDataFromRegistry()
{
    LogInfo("Inside GetFileDataFromRegistry\n");
    char *path = recordKeyPath(id);
    RegKey rec;
    if (!path || openKey(&rec, path) != ERROR_SUCCESS) {
        free(path);
        LogError("GetFileDataFromRegistry; Registry subkey not found\n");
        PreDownloadCleaningOfPartialFile();
        return;
    }
    free(path);

    BOOL valid = FALSE;
    free(storedLastModified);
    storedLastModified = queryText(&rec, "LastModifiedTime");
    LogInfo("GetFileDataFromRegistry last modified time in registry   %s from server %s\n",
            storedLastModified ? storedLastModified : "", serverLastModified ? serverLastModified : "");
    /* An empty text on both sides says nothing about the version. */
    BOOL sameVersion = storedLastModified && *storedLastModified && serverLastModified && *serverLastModified &&
                       _stricmp(storedLastModified, serverLastModified) == 0;
    DWORD recordedWhole = 0;
    if (sameVersion && (RegKeyQueryDword(&rec, "TotalFileSize", &recordedWhole) != ERROR_SUCCESS ||
                        recordedWhole != serverFileSize)) {
        LogInfo("GetFileDataFromRegistry the file's size in registry %u differs from the server's %u\n",
                (unsigned)recordedWhole, (unsigned)serverFileSize);
        sameVersion = FALSE;
    }
    if (sameVersion) {
        DWORD recorded = 0;
        if (RegKeyQueryDword(&rec, "PartialFileSize", &recorded) == ERROR_SUCCESS) {
            partialSizeAtStart = resumeOffset = recorded;
            LONGLONG onDisk = 0;
            WIN32_FILE_ATTRIBUTE_DATA fa;
            if (partialFile && GetFileAttributesExW(partialFile, GetFileExInfoStandard, &fa) &&
                !(fa.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                onDisk = ((LONGLONG)fa.nFileSizeHigh << 32) | fa.nFileSizeLow;
            LogInfo("GetFileDataFromRegistry partial downloaded filesize  in registry %d from file  %d\n",
                    (int)recorded, (int)onDisk);
            if (onDisk == (LONGLONG)recorded) {
                valid = TRUE;
                char *retry = queryText(&rec, "LastRetryTime");
                lastRetryTime = retry ? _atoi64(retry) : 0;
                free(retry);
                if (RegKeyQueryDword(&rec, "RetryCount", &retryCount) != ERROR_SUCCESS)
                    retryCount = 0;
                LogInfo("GetFileDataFromRegistry last retry time %d count %d\n", (int)lastRetryTime,
                        (int)retryCount);
            }
        }
    }

    DWORD flag = 0;
    if (RegKeyQueryDword(&rec, "downloadInProgress", &flag) == ERROR_SUCCESS) {
        LogInfo("GetFileDataFromRegistry - dwonload in progress flag is set\n");
        /* The time is read whatever the size check said: the run that set
         * the flag may be between a write and its record right now. */
        char *retry = queryText(&rec, "LastRetryTime");
        LONGLONG flagTime = retry ? _atoi64(retry) : 0;
        free(retry);
        LONGLONG age = nowMs() - flagTime;
        RegKeyClose(&rec);
        if (age < 0 || age <= VQ_NET_IN_PROGRESS_WINDOW_MS) {
            LogInfo("Another download in progress - hence procedding for temporary download\n");
            temporaryDownload = TRUE;
        } else {
            LogInfo("GetFileDataFromRegistry - download in progress flag was set before 90 mins so cleaning "
                    "files and proceeding\n");
            CleanFileAndRegistry();
        }
        id[0] = '\0';
        FormUniqueFileName();
        resumeOffset = partialSizeAtStart = 0;
        return;
    }
    /* The flag carries the time of this run's start, so that the 90-minute
     * rule measures how long this run has been silent, not how old the last
     * save of an earlier run is. */
    setDword(&rec, "downloadInProgress", 1);
    wchar_t *now = GetCurrentTimeInMillisecondsText();
    char *nowText = NULL;
    if (now && ChangeWideToUtf8Str(now, &nowText))
        RegKeySetString(&rec, "LastRetryTime", nowText, REG_SZ);
    free(nowText);
    free(now);
    RegKeyClose(&rec);
    if (!valid)
        PreDownloadCleaningOfPartialFile();
}

void DownloadResumeHandler::CleanFileAndRegistry()
{
    LogInfo("Inside CleanFileAndRegistry\n");
    if (partialFile)
        DeleteFileW(partialFile);
    /* A temporary download owns only its file: the URL's record belongs to
     * the run that is still going. */
    if (temporaryDownload)
        return;
    RegKey meta;
    if (urlNarrow && openKey(&meta, VQ_FILEMETADATA_KEY) == ERROR_SUCCESS) {
        RegDeleteValueA(meta.key, urlNarrow);
        RegKeyClose(&meta);
    }
    if (IsValidResumeId(id)) {
        char *path = recordKeyPath(id);
        if (path)
            DeleteRegistryKeyTree(HKEY_LOCAL_MACHINE, path);
        free(path);
    }
}

void CountResumeFailure(DWORD result)
{
    RegKey meta;
    DWORD failures = 0;
    if (createKey(&meta, VQ_FILEMETADATA_KEY, kRecordAccess) == ERROR_SUCCESS &&
        RegKeyQueryDword(&meta, "DownloadFailureCount", &failures) == ERROR_SUCCESS) {
        failures++;
        LogInfo("DownloadFailureCount set to %d\n", (int)failures);
    } else {
        LogError("The DownloadFailureCount value could not be read.Resetting to 1\n");
        failures = 1;
    }
    if (meta.key)
        setDword(&meta, "DownloadFailureCount", failures);
    RegKeyClose(&meta);

    const char *installDir = gv_agentParams.VQAgentInstallDir;
    if (installDir) {
        char *path = FormatNewText("%slogs\\vqerror.log", installDir);
        char *line = FormatNewText("\tResume Download failed with error code : %d and total failed count value = %d\n",
                                   (int)result, (int)failures);
        if (path && line) {
            AppendLineCreatingFile(path, GetDateTimeText());
            AppendLineCreatingFile(path, line);
        }
        free(path);
        free(line);
    }

    RegKey details;
    if (createKey(&details, VQ_RESUME_DETAILS_KEY, kRecordAccess) == ERROR_SUCCESS) {
        DWORD count = 0;
        if (RegKeyQueryDword(&details, "RESUME_DOWNLOAD_FAILURE_COUNT", &count) != ERROR_SUCCESS)
            count = 0;
        setDword(&details, "RESUME_DOWNLOAD_FAILURE_COUNT", count + 1);
        RegKeyClose(&details);
    }
    RegKey tracking;
    if (createKey(&tracking, VQ_ODTRACKING_KEY, kRecordAccess) == ERROR_SUCCESS) {
        setDword(&tracking, "LastODDataModifiedTime", (DWORD)GetCurrentTimeInSeconds());
        RegKeyClose(&tracking);
    }
}
