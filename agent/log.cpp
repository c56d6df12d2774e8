/* The log writer: a single process-wide log file, printf-style lines with a
 * fixed prefix at four levels. Each line is written under the writer's key in
 * the lock table and flushed at once, so the rotation thread never cuts a
 * line in half and the file is complete when the process dies. */
#include "agent/log.h"
#include "agent/locktable.h"
#include "agent/textformat.h"

#include <direct.h>
#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

FILE *gv_logFilePtr = NULL;
char *gv_cParloRoot = NULL;

static char *s_fileName;
static char *s_directory;
static char *s_path;
static BYTE s_level = VQ_LOG_LEVEL_DEBUG;
/* The lock key is a heap byte of its own: its address is the key. */
static char *s_lockKey;


BOOL SetLogDefaults(void)
{
    if (gv_logFilePtr) {
        s_level = VQ_LOG_LEVEL_DEBUG;
        return TRUE;
    }
    if (s_fileName)
        return TRUE;
    s_fileName = CopyText("cparlo.log");
    if (!s_fileName)
        return FALSE;
    free(s_directory);
    s_directory = NULL;
    free(s_path);
    s_path = NULL;
    s_level = VQ_LOG_LEVEL_DEBUG;
    if (s_lockKey) {
        ReleaseLock(s_lockKey);
        free(s_lockKey);
    }
    s_lockKey = (char *)malloc(1);
    return TRUE;
}

BOOL SetLogParams(const char *fileName, const char *directory, BYTE level)
{
    if (!fileName || !directory)
        return FALSE;
    free(s_fileName);
    free(s_directory);
    s_fileName = CopyText(fileName);
    s_directory = CopyText(directory);
    s_level = level;
    return s_fileName && s_directory;
}

BOOL SetLogFileName(const char *name)
{
    if (!name)
        return FALSE;
    char *copy = CopyText(name);
    if (!copy)
        return FALSE;
    free(s_fileName);
    s_fileName = copy;
    return TRUE;
}

BOOL SetLogDirectory(const char *dir)
{
    if (!dir)
        return FALSE;
    char *copy = CopyText(dir);
    if (!copy)
        return FALSE;
    free(s_directory);
    s_directory = copy;
    return TRUE;
}

void SetLogLevel(BYTE level) { s_level = level; }
BYTE GetLogLevel(void) { return s_level; }
const char *GetLogPath(void) { return s_path; }
const void *GetLogLockKey(void) { return s_lockKey; }

char *GetLogTimeStamp(void)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char *buf = (char *)malloc(32);
    if (!buf)
        return NULL;
    snprintf(buf, 32, "%d-%02d-%02d %02d:%02d:%02d:%03d", t.wYear, t.wMonth, t.wDay,
             t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return buf;
}

/* The parent of `path`: trailing '/' removed, then cut before the last '/'.
 * NULL when there is no '/' left, which ends the recursion for Windows paths
 * written with backslashes only. */
static char *parentOf(const char *path)
{
    char *p = CopyText(path);
    if (!p)
        return NULL;
    size_t n = strlen(p);
    while (n > 0 && p[n - 1] == '/')
        p[--n] = '\0';
    char *slash = strrchr(p, '/');
    if (!slash || slash == p) {
        free(p);
        return NULL;
    }
    *slash = '\0';
    return p;
}

int MakeDirRecursive(const char *path)
{
    if (!path || !*path)
        return ENOENT;
    if (_mkdir(path) == 0)
        return 0;
    int err = errno;
    if (err == EEXIST)
        return 1;
    if (err != ENOENT)
        return err;
    char *parent = parentOf(path);
    if (!parent)
        return err;
    int r = MakeDirRecursive(parent);
    free(parent);
    if (r != 0 && r != 1)
        return r;
    /* The parent exists now (created or found): create the directory itself.
     * A parent that already existed means the path-not-found error came from
     * something else, so the second attempt reports what really failed. */
    if (_mkdir(path) == 0)
        return 0;
    return errno == EEXIST ? 1 : errno;
}

static void writeOpenCloseLine(const char *what)
{
    char *ts = GetLogTimeStamp();
    const char *t = ts ? ts : "";
    fprintf(gv_logFilePtr, "%s ", "[");
    fprintf(gv_logFilePtr, "%s ", t);
    fprintf(gv_logFilePtr, "%s ", "]");
    fprintf(gv_logFilePtr, "%s ", "[");
    fprintf(gv_logFilePtr, "%d ", (int)GetCurrentThreadId());
    fprintf(gv_logFilePtr, "%s ", "]");
    fprintf(gv_logFilePtr, "%s ", "[INFO]");
    fprintf(gv_logFilePtr, "%s%s\n", what, t);
    fflush(gv_logFilePtr);
    free(ts);
}

static BOOL openWithMode(const char *mode)
{
    if (gv_logFilePtr) {
        LogTrace("gv_logFilePtr already Set\n");
        return TRUE;
    }
    const char *name = s_fileName ? s_fileName : "cparlo.log";
    char *path;
    if (s_directory) {
        MakeDirRecursive(s_directory);
        path = FormatNewText("%s/%s", s_directory, name);
    } else if (gv_cParloRoot) {
        char *logs = FormatNewText("%s/logs", gv_cParloRoot);
        if (!logs)
            return FALSE;
        MakeDirRecursive(logs);
        free(logs);
        path = FormatNewText("%s/logs/%s", gv_cParloRoot, name);
    } else {
        _mkdir("../logs");
        path = FormatNewText("%s/%s", "../logs", name);
    }
    if (!path)
        return FALSE;
    free(s_path);
    s_path = path;
    FILE *f = fopen(s_path, mode);
    if (!f)
        return FALSE;
    gv_logFilePtr = f;
    writeOpenCloseLine("Log open time: ");
    return TRUE;
}

BOOL OpenLogFile(void) { return openWithMode("w"); }
BOOL OpenLogFileAppend(void) { return openWithMode("a+"); }

void CloseLogFile(void)
{
    /* Nothing to write or close when no log could be opened: the run's last
     * step must end normally with its exit code even then. */
    if (!gv_logFilePtr)
        return;
    writeOpenCloseLine("Log close time: ");
    fclose(gv_logFilePtr);
    gv_logFilePtr = NULL;
}

void FreeLogSettings(void)
{
    free(s_fileName);
    s_fileName = NULL;
    free(s_directory);
    s_directory = NULL;
    free(s_path);
    s_path = NULL;
    if (s_lockKey) {
        ReleaseLock(s_lockKey);
        free(s_lockKey);
        s_lockKey = NULL;
    }
}

static void writeLine(BYTE threshold, const char *tag, const char *format, va_list ap)
{
    if (!gv_logFilePtr || s_level == 0 || s_level < threshold || !s_lockKey)
        return;
    if (!AcquireLock(s_lockKey))
        return;
    /* The file may have been closed while this thread waited for the key. */
    if (gv_logFilePtr) {
        char *ts = GetLogTimeStamp();
        fprintf(gv_logFilePtr, "%s ", "[");
        fprintf(gv_logFilePtr, "%s ", ts ? ts : "");
        fprintf(gv_logFilePtr, "%s ", "]");
        fprintf(gv_logFilePtr, "%s ", "[");
        fprintf(gv_logFilePtr, "%d ", (int)GetCurrentThreadId());
        fprintf(gv_logFilePtr, "%s ", "]");
        fprintf(gv_logFilePtr, "%s ", tag);
        free(ts);
        vfprintf(gv_logFilePtr, format, ap);
        fflush(gv_logFilePtr);
    }
    ReleaseLock(s_lockKey);
}

#define VQ_DEFINE_LOG_OP(name, threshold, tag)          \
    void name(const char *format, ...)                  \
    {                                                   \
        va_list ap;                                     \
        va_start(ap, format);                           \
        writeLine(threshold, tag, format, ap);          \
        va_end(ap);                                     \
    }

VQ_DEFINE_LOG_OP(LogInfo, VQ_LOG_LEVEL_INFO, "[INFO]")
VQ_DEFINE_LOG_OP(LogError, VQ_LOG_LEVEL_ERROR, "[ERROR]")
VQ_DEFINE_LOG_OP(LogDebug, VQ_LOG_LEVEL_DEBUG, "[DEBUG]")
VQ_DEFINE_LOG_OP(LogTrace, VQ_LOG_LEVEL_TRACE, "[TRACE]")
