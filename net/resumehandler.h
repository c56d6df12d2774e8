/* The state of a resumable download: the partial file under the agent's
 * installation directory that holds the bytes received so far, and its
 * record in the registry (under the agent key's "FileMetaData") that says
 * how far it got and for which version of the file (the server's
 * Last-Modified text and the file's whole size). The registry side lives in
 * resumehandler.cpp, the
 * partial file in resumehandler_partial.cpp. */
#ifndef VQ_NET_RESUMEHANDLER_H
#define VQ_NET_RESUMEHANDLER_H

#include <windows.h>

#include "net/netlimits.h"

#define VQ_FILEMETADATA_KEY  "Software\\Brennic\\Velquin\\VQAgent\\FileMetaData"
#define VQ_ODTRACKING_KEY    "Software\\Brennic\\Velquin\\VQAgent\\ODTracking"
#define VQ_RESUME_DETAILS_KEY "Software\\Brennic\\Velquin\\VQAgent\\ODTracking\\ResumeDownloadDetails"
#define VQ_DEFAULT_REPOSITORY "DownloadRepository\\"

/* Owned texts are heap texts (free()), NULL until set. */
struct DownloadResumeHandler {
    wchar_t *destination;        /* final path of the file */
    wchar_t *partialFile;        /* install dir + repository + id */
    wchar_t *repository;         /* folder name relative to the install dir */
    wchar_t *url;
    char *storedLastModified;    /* "LastModifiedTime" read from the registry */
    char *serverLastModified;    /* Last-Modified of the current response */
    char logPrefix[VQ_NET_LOG_PREFIX_BYTES];   /* start of the access-log record */
    char id[VQ_NET_MAX_ID_CHARS + 1];          /* "" until formed or read */
    char *urlNarrow;             /* UTF-8 url: the registry value's name */
    DWORD retryCount;
    DWORD resumeOffset;          /* where the range request starts */
    DWORD partialSizeAtStart;    /* "PartialFileSize" found valid at start */
    DWORD writtenInRun;          /* bytes this run appended to the partial file */
    DWORD saveLimit;             /* "InterSaveByteLimit" */
    DWORD serverFileSize;        /* the server's Content-Length, set before Initialize */
    LONGLONG lastRetryTime;      /* "LastRetryTime", ms since 1970 */
    BOOL temporaryDownload;      /* another run owns this URL: record nothing */

    /* Counters 0, save limit 1 MiB, the access-log start prefix filled with
     * the date and time now. */
    DownloadResumeHandler();
    /* Deletes "downloadInProgress" of this id and frees the texts. */
    ~DownloadResumeHandler();
    DownloadResumeHandler(const DownloadResumeHandler &) = delete;
    DownloadResumeHandler &operator=(const DownloadResumeHandler &) = delete;

    /* Reads (or creates) the URL's record: repository, save limit, id and,
     * when the stored version and size still hold, the resume offset; counts
     * the download. Without an installation directory the partial file stays
     * NULL and the caller ends the download. */
    void Initialize(const wchar_t *destination, const char *serverLastModified, const wchar_t *url);
    /* Validates the record of the current id against the server's version
     * (a Last-Modified text on both sides, the same, and the same whole size)
     * and the partial file on disk, and applies the in-progress rule. */
    void GetFileDataFromRegistry();
    /* Forms a new id when there is none, sets the partial file's path and
     * creates the repository folder. */
    void FormUniqueFileName();
    /* Deletes the partial file and, unless this is a temporary download, the
     * URL value and the id's key. */
    void CleanFileAndRegistry();

    /* Appends `length` bytes to the partial file and, unless this is a
     * temporary download, records the new size, version and time; the final
     * save (periodic FALSE) also counts the attempt and clears
     * "downloadInProgress". 0 or the file's error code. */
    DWORD ProcessDownloadedBuffer(const BYTE *buffer, DWORD length, BOOL periodic);
    /* Records the partial file's size, the server's version (Last-Modified
     * and the whole size) and the time under the id's key (nothing for a temporary download); the final one
     * (periodic FALSE) also counts the attempt and clears
     * "downloadInProgress". */
    void RecordProgress(BOOL periodic);
    /* Resume offset and size at start 0, the partial file deleted. */
    void PreDownloadCleaningOfPartialFile();
    /* The download starts again at byte 0 within this run (the server sent
     * the file from its start): the partial file and this run's count go. */
    void RestartAtZero();
    /* Size of the partial file; a missing file is created empty so that an
     * empty resource can be delivered. FALSE when it cannot be had. */
    BOOL PartialFileSize(ULONGLONG *size);
    /* Moves the partial file over the destination (its folder made first),
     * then removes the record. 0 or the error code. */
    DWORD SaveToDestFile();
    /* Reads the partial file in text mode into a new text *out, then removes
     * the record. FALSE when it cannot be read (*out untouched). */
    BOOL LoadDatafromFile(char **out);
};

/* Counts an incomplete resumable download in "DownloadFailureCount", in
 * "logs\vqerror.log" under the installation directory and in
 * "RESUME_DOWNLOAD_FAILURE_COUNT", and stamps "LastODDataModifiedTime". */
void CountResumeFailure(DWORD result);

/* TRUE for an id this system could have formed: 1 to VQ_NET_MAX_ID_CHARS
 * decimal digits. Anything else read from the registry is not used as a
 * file or key name. */
BOOL IsValidResumeId(const char *id);

#endif
