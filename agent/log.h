/* The log writer: one text log per process, printf-style lines at four
 * levels, each line written under the writer's key in the lock table and
 * flushed at once. Also the agent's logging start and stop. */
#ifndef VQ_AGENT_LOG_H
#define VQ_AGENT_LOG_H

#include <windows.h>
#include <stdio.h>

#define VQ_LOG_LEVEL_NONE  0
#define VQ_LOG_LEVEL_INFO  1
#define VQ_LOG_LEVEL_ERROR 2
#define VQ_LOG_LEVEL_DEBUG 3
#define VQ_LOG_LEVEL_TRACE 4

/* The framework root given to SetCParloRoot; the writer only reads it. */
extern char *gv_cParloRoot;

/* The open log file; NULL while no log is open. */
extern FILE *gv_logFilePtr;

BOOL SetLogDefaults(void);
BOOL SetLogParams(const char *fileName, const char *directory, BYTE level);
BOOL SetLogFileName(const char *name);
BOOL SetLogDirectory(const char *dir);
void SetLogLevel(BYTE level);
BYTE GetLogLevel(void);
/* Full path of the file last opened (NULL before the first open). */
const char *GetLogPath(void);

BOOL OpenLogFile(void);        /* mode "w"  */
BOOL OpenLogFileAppend(void);  /* mode "a+" */
void CloseLogFile(void);
void FreeLogSettings(void);

void LogInfo(const char *format, ...)  __attribute__((format(gnu_printf, 1, 2)));
void LogError(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
void LogDebug(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
void LogTrace(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));

/* The writer's key in the lock table; rotation holds it while it truncates
 * the file. NULL until SetLogDefaults made one. */
const void *GetLogLockKey(void);

/* New text "%d-%02d-%02d %02d:%02d:%02d:%03d" of the local time; the caller
 * frees it with free(). NULL when out of memory. */
char *GetLogTimeStamp(void);

/* 0 created, 1 already existed, otherwise the C runtime's errno of the
 * failed creation. Only '/' separates components. */
int MakeDirRecursive(const char *path);

#endif
