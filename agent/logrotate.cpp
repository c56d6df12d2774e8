/* Size-based rotation of the agent's log (see logrotate.h). The timer queue
 * lives from the agent's logging start to its stop; every pass arms the next
 * one-shot timer, so passes follow each other one period after the end of
 * the previous one. */
#include "agent/logrotate.h"
#include "agent/textformat.h"
#include "agent/agentparams.h"
#include "agent/errortext.h"
#include "agent/locktable.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HANDLE s_timerQueue;
static HANDLE s_lastTimer;
/* Set while the queue is being deleted: a pass that is running then arms no
 * new timer. Guarded by s_armLock together with the arming itself, so no
 * timer is added after the deletion began. */
static BOOL s_stopping;
static SRWLOCK s_armLock = SRWLOCK_INIT;


/* The file name up to its first ".log" (all of it when there is none). */
static char *baseNameOf(const char *fileName)
{
    const char *dot = strstr(fileName, ".log");
    size_t n = dot ? (size_t)(dot - fileName) : strlen(fileName);
    char *base = (char *)malloc(n + 1);
    if (base) {
        memcpy(base, fileName, n);
        base[n] = '\0';
    }
    return base;
}

char *MakeBackupFileName(const char *directory, const char *fileName, int number)
{
    if (!directory || !fileName)
        return NULL;
    char *base = baseNameOf(fileName);
    if (!base)
        return NULL;
    char digits[16];
    snprintf(digits, sizeof(digits), "%d", number);
    digits[5] = '\0';   /* at most five characters of the number */
    char *name = FormatNewText("%s\\%s%s.log", directory, base, digits);
    free(base);
    return name;
}

int FindNoOfRepeatedFileNames(const char *directory, const char *baseName)
{
    LogDebug("@@@@@@@@@@@@Inside FindNoOfRepeatedFileNames Method @@@@@@@@@\n");
    char *pattern = FormatNewText("%s\\%s*.*", directory, baseName);
    if (!pattern)
        return -1;
    LogInfo("FindNoOfRepeatedFileNames : Successfully allocated szFormattedPath and the value is %s  .\n",
            pattern);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(pattern, &fd);
    LogInfo("FindNoOfRepeatedFileNames : Successfully finded out first file  %d  .\n", (int)(INT_PTR)find);
    int count = 0;
    if (find == INVALID_HANDLE_VALUE) {
        LogErrorMessage(GetLastError());
        LogError("FindNumberOfRepeatedFileNames : Unable to find the files/folder.\n");
        count = -1;
    } else {
        do {
            count++;
            char *entry = FormatNewText("%s\\%s", directory, fd.cFileName);
            LogInfo("FindNoOfRepeatedFileNames : after memset of szSrcPath is  %s  .\n", entry ? entry : "");
            free(entry);
        } while (FindNextFileA(find, &fd));
        DWORD err = GetLastError();
        if (err != ERROR_NO_MORE_FILES) {
            LogErrorMessage(err);
            LogError("FindNumberOfRepeatedFileNames : Couldn't find next file :%d\n", (int)err);
            count = -1;
        }
        FindClose(find);
    }
    LogInfo("FindNoOfRepeatedFileNames : Going to Free the allocated memory in this method.\n");
    free(pattern);
    LogDebug("@@@@@@@@@@@@End of FindNoOfRepeatedFileNames Method with return value of No of file count : %d\t  @@@@@@@@@\n",
             count);
    return count;
}

static void deleteLogged(const char *path)
{
    if (DeleteFileA(path))
        LogInfo("RotateSpecificLogs : The file %s was successfully deleted..:\n", path);
    else
        LogInfo("RotateSpecificLogs : Unable to delete the file %s and the error code is :%d\n", path,
                (int)GetLastError());
}

/* Empties the file in place; the writer's stream (opened for appending)
 * carries on at the new end. */
static BOOL truncateInPlace(const char *path, DWORD *err)
{
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        *err = GetLastError();
        return FALSE;
    }
    CloseHandle(h);
    return TRUE;
}

/* Copies the current log to backup 1 and truncates it. Both happen while
 * holding the writer's lock key, so no line is written between the copy and
 * the truncation (it would be in neither file) and no line is cut in half.
 * Before the writer exists (the first pass) there is no key and nobody else
 * writes. Nothing is logged while the key is held: keys are not reentrant. */
static void copyAndTruncate(const char *current, const char *target)
{
    const void *key = GetLogLockKey();
    if (key)
        AcquireLock(key);
    BOOL copied = CopyFileA(current, target, FALSE);
    DWORD copyErr = copied ? 0 : GetLastError();
    DWORD truncErr = 0;
    BOOL truncated = copied && truncateInPlace(current, &truncErr);
    if (key)
        ReleaseLock(key);

    /* The path is written as the UTF-8 text it is: a wide "%S" argument
     * would go through the C runtime's locale, which turns every character
     * outside ASCII into garbage. */
    if (copied) {
        LogInfo("RotateSpecificLogs : File successfully copied from %s to  %s so we are going to truncate the content of the first one \n",
                current, target);
        if (!truncated) {
            printf("RotateSpecificLogs : Truncate Existing backup File failed file Name -%s errorcode - %d\n",
                   current, (int)truncErr);
            fflush(stdout);
        }
    } else {
        LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n",
                current, target, (int)copyErr);
    }
}

/* Moves backup `source` to `target`. A rename gives the same result as a
 * copy followed by deleting the source, without reading the file: the pass
 * then costs about one copy of the log whatever the number of backups. When
 * the rename fails the copy and the deletion are tried as such. */
static void shiftBackup(const char *source, const char *target)
{
    if (MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING)) {
        LogInfo("RotateSpecificLogs : File copied from %s to  %s . \n", source, target);
        LogInfo("RotateSpecificLogs : The file %s was successfully deleted..:\n", source);
        return;
    }
    if (CopyFileA(source, target, FALSE)) {
        LogInfo("RotateSpecificLogs : File copied from %s to  %s . \n", source, target);
        deleteLogged(source);
    } else {
        LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n",
                source, target, (int)GetLastError());
    }
}

static void rotateOne(const char *folder, const char *name, int max)
{
    LogInfo("RotateSpecificLogs : Log File Name : %s\n", name);
    char *current = FormatNewText("%s\\%s", folder, name);
    char *base = baseNameOf(name);
    if (!current || !base) {
        free(current);
        free(base);
        return;
    }
    int k = FindNoOfRepeatedFileNames(folder, base);
    LogInfo("RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method is : %d \n", k);
    do {
        int next = k - 1;
        char *source = MakeBackupFileName(folder, name, k - 1);
        LogInfo("RotateSpecificLogs : The tempFileName1 : %s . \n", source ? source : "");
        if (k >= max) {
            /* The oldest backup falls off the end. */
            if (source)
                deleteLogged(source);
            k = max - 1;
            next = max - 2;
            free(source);
            source = MakeBackupFileName(folder, name, max - 2);
        }
        char *target = MakeBackupFileName(folder, name, k);
        LogInfo("RotateSpecificLogs : The tempFileName2 : %s . \n", target ? target : "");
        if (source && target) {
            if (k == 1)
                copyAndTruncate(current, target);
            else
                shiftBackup(source, target);
        }
        free(source);
        free(target);
        k = next;
    } while (k >= 1);
    free(current);
    free(base);
}

DWORD RotateSpecificLogs(const char *folder, const char *fileNames, int maxBackupCount,
                         int sizeLimit)
{
    (void)sizeLimit;   /* the caller did the size test */
    LogInfo("\n @@@@@@@@@@@@@@@Inside RotateSpecificLogs Method @@@@@@@@@@@@@\n");
    if (folder && fileNames) {
        const char *p = fileNames;
        while (*p) {
            const char *end = strchr(p, ';');
            size_t n = end ? (size_t)(end - p) : strlen(p);
            if (n > 0) {
                char *name = (char *)malloc(n + 1);
                if (name) {
                    memcpy(name, p, n);
                    name[n] = '\0';
                    rotateOne(folder, name, maxBackupCount);
                    free(name);
                }
            }
            if (!end)
                break;
            p = end + 1;
        }
    }
    LogInfo("\n @@@@@@@@@@@@@@@ End of RotateSpecificLogs Method with error code %d @@@@@@@@@@@@@\n", 0);
    return 0;
}

int CheckLogSizeReached(const char *path, ULONGLONG limit)
{
    LARGE_INTEGER size;
    size.QuadPart = 0;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        LogError("CheckLogSizeReached : Unable to get the file handle \n");
        LogErrorMessage(GetLastError());
    } else {
        if (!GetFileSizeEx(h, &size)) {
            LogError("CheckLogSizeReached : Error occurred in getting the size %d \n", (int)GetLastError());
            size.QuadPart = 0;
        }
        CloseHandle(h);
    }
    LogInfo("CheckLogSizeReached : The log file size of %s is given by %ld \n", path, (long)size.QuadPart);
    if ((ULONGLONG)size.QuadPart >= limit) {
        LogInfo("CheckLogSizeReached : The size is greater than the given size .........\n");
        return 1;
    }
    LogDebug("CheckLogSizeReached : The size is less the required size \n");
    return 0;
}

DWORD RotateLoggerForEverRunningProcess(const char *directory, const char *fileName,
                                        int maxBackupCount, int maxSize)
{
    if (!fileName)
        return ERROR_INVALID_DATA;
    char *folder;
    if (directory) {
        folder = FormatNewText("%s\\", directory);
    } else {
        char *installDir = NULL;
        DWORD rc = GetAgentInstallDir(&installDir);
        if (rc != 0 || !installDir) {
            free(installDir);
            return rc != 0 ? rc : ERROR_INVALID_DATA;
        }
        folder = FormatNewText("%slogs\\", installDir);
        free(installDir);
    }
    if (!folder)
        return ERROR_NOT_ENOUGH_MEMORY;
    char *path = FormatNewText("%s%s", folder, fileName);
    if (!path) {
        free(folder);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    LogInfo("RotateLoggerForEverRunningProcess : cSfileName : %s \n", path);
    DWORD rc = 0;
    if (CheckLogSizeReached(path, maxSize > 0 ? (ULONGLONG)maxSize : 0))
        rc = RotateSpecificLogs(folder, fileName, maxBackupCount, maxSize);
    free(path);
    free(folder);
    return rc;
}

DWORD LoggerTimerMethod(LoggerSettings *settings)
{
    RotateLoggerForEverRunningProcess(settings->logDirectory, settings->fileName,
                                      settings->maxBackupCount, settings->maxFileSize);
    AcquireSRWLockExclusive(&s_armLock);
    if (s_stopping || !s_timerQueue) {
        /* The rotation is being stopped (or has no queue): no next pass. */
        ReleaseSRWLockExclusive(&s_armLock);
        return 0;
    }
    HANDLE timer = NULL;
    BOOL armed = CreateTimerQueueTimer(&timer, s_timerQueue, LoggerTimerRoutine, settings,
                                       (DWORD)settings->timerPeriodMs, 0, WT_EXECUTEDEFAULT);
    DWORD err = armed ? 0 : GetLastError();
    if (armed)
        s_lastTimer = timer;
    ReleaseSRWLockExclusive(&s_armLock);
    if (!armed) {
        LogError("LoggerTimerMethod : CreateTimerQueueTimer failed due to following error \n");
        LogErrorMessage(err);
        return err ? err : ERROR_INVALID_HANDLE;
    }
    LogDebug("LoggerTimerMethod : Registered the TimerRoutime callback in next %d minutes . \n",
             settings->timerPeriodMs / 60000);
    return 0;
}

VOID CALLBACK LoggerTimerRoutine(PVOID settings, BOOLEAN timerFired)
{
    (void)timerFired;
    LogInfo("LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n");
    LoggerTimerMethod((LoggerSettings *)settings);
    LogInfo("LoggerTimerRoutine : End of LoggerTimerRoutine Method\n");
}

void StartLogRotation(LoggerSettings *settings)
{
    if (!settings)
        return;
    /* A second start must not leave the first one's timer running on
     * settings that the caller is about to replace. */
    if (s_timerQueue)
        StopLogRotation();
    if (!settings->useTimer) {
        RotateLoggerForEverRunningProcess(settings->logDirectory, settings->fileName,
                                          settings->maxBackupCount, settings->maxFileSize);
        return;
    }
    HANDLE queue = CreateTimerQueue();
    if (!queue) {
        LogError("ServiceMain : CreateTimerQueue is failed due to following error !! \n");
        LogErrorMessage(GetLastError());
        /* Without a queue of its own a timer would land in the default queue,
         * which the stop does not delete: run the pass without a timer. */
        RotateLoggerForEverRunningProcess(settings->logDirectory, settings->fileName,
                                          settings->maxBackupCount, settings->maxFileSize);
        return;
    }
    LogInfo("ServiceMain : TimerQueue is created successfully \n");
    AcquireSRWLockExclusive(&s_armLock);
    s_timerQueue = queue;
    s_stopping = FALSE;
    ReleaseSRWLockExclusive(&s_armLock);
    LoggerTimerMethod(settings);
}

BOOL StopLogRotation(void)
{
    AcquireSRWLockExclusive(&s_armLock);
    HANDLE queue = s_timerQueue;
    s_stopping = TRUE;
    ReleaseSRWLockExclusive(&s_armLock);
    if (!queue)
        return TRUE;
    /* INVALID_HANDLE_VALUE: wait until a running pass has ended, so it
     * neither writes to nor truncates a log that is about to be closed, nor
     * reads settings that are about to be freed. Pending timers are
     * cancelled. */
    if (!DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE))
        return FALSE;
    AcquireSRWLockExclusive(&s_armLock);
    s_timerQueue = NULL;
    s_lastTimer = NULL;
    ReleaseSRWLockExclusive(&s_armLock);
    return TRUE;
}

BOOL IsLogRotationRunning(void) { return s_timerQueue != NULL; }
