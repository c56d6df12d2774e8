/* Size-based rotation of the agent's log: when the file has reached its
 * limit, numbered backups shift up by one, the current content is copied to
 * backup 1 and the file is truncated in place (the writer may have it open).
 * A pass runs when logging starts and then on one-shot timers re-armed after
 * each pass, on a timer-queue thread. */
#ifndef VQ_AGENT_LOGROTATE_H
#define VQ_AGENT_LOGROTATE_H

#include <windows.h>

/* The settings the agent's logging start builds; they live for the rest of
 * the process (they are also the rotation timer's context). */
struct LoggerSettings {
    char *fileName;
    char *logDirectory;
    int maxBackupCount;     /* 5 */
    int maxFileSize;        /* 2000000 bytes */
    int timerPeriodMs;      /* 900000 */
    int openMode;           /* 1 append, 2 truncate */
    BOOL useTimer;
};

/* Creates the timer queue (when settings->useTimer), runs the first pass and
 * arms the timer; without the timer flag runs one pass only. `settings` must
 * live until StopLogRotation has returned. A rotation already running is
 * stopped first. */
void StartLogRotation(LoggerSettings *settings);

/* TRUE when no timer queue exists or it was deleted. The deletion waits for
 * a pass that is running, so once this returns no pass touches the log or
 * the settings again. FALSE (GetLastError set) when the deletion failed. */
BOOL StopLogRotation(void);

/* TRUE while a timer queue exists. */
BOOL IsLogRotationRunning(void);

/* One rotation pass, then arms the next one-shot timer: 0, or the error of
 * the timer's creation (which ends the rotation for the rest of the run). */
DWORD LoggerTimerMethod(LoggerSettings *settings);

/* The timer callback: LoggerTimerMethod on the settings it was armed with. */
VOID CALLBACK LoggerTimerRoutine(PVOID settings, BOOLEAN timerFired);

/* Rotates directory\fileName when it has reached maxSize bytes. NULL
 * directory: the agent install directory + "logs". 0 when nothing was due,
 * otherwise RotateSpecificLogs' result. */
DWORD RotateLoggerForEverRunningProcess(const char *directory, const char *fileName,
                                        int maxBackupCount, int maxSize);

/* 1 when the file's size is at least `limit` bytes, else 0 (also when the
 * file cannot be opened). */
int CheckLogSizeReached(const char *path, ULONGLONG limit);

/* Rotates every file of the ';'-separated list in `folder` (the caller has
 * done the size test): backups shift up, the oldest beyond maxBackupCount - 1
 * is dropped, the file is copied to backup 1 and truncated while holding the
 * log writer's lock key. Always 0; failures are logged. */
DWORD RotateSpecificLogs(const char *folder, const char *fileNames, int maxBackupCount,
                         int sizeLimit);

/* Number of entries of `directory` matching baseName + "*.*" (files and
 * folders), -1 when the search failed. */
int FindNoOfRepeatedFileNames(const char *directory, const char *baseName);

/* New text directory + "\\" + fileName up to its first ".log" + number +
 * ".log"; NULL when out of memory. */
char *MakeBackupFileName(const char *directory, const char *fileName, int number);

#endif
