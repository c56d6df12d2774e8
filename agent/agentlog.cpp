/* The agent's logging start and stop: builds the logger settings from the
 * agent's install directory, opens the log for appending at the registry's
 * level, and at the end closes everything the start made. */
#include "agent/agentlog.h"
#include "agent/agentparams.h"
#include "agent/errortext.h"
#include "agent/locktable.h"
#include "agent/log.h"
#include "agent/logrotate.h"
#include "agent/registry.h"

#include <stdlib.h>
#include <string.h>

static LoggerSettings *s_settings;

const LoggerSettings *GetLoggerSettings(void) { return s_settings; }

static char *concat(const char *a, const char *b)
{
    size_t na = strlen(a), nb = strlen(b);
    char *r = (char *)malloc(na + nb + 1);
    if (r) {
        memcpy(r, a, na);
        memcpy(r + na, b, nb + 1);
    }
    return r;
}

DWORD InitAgentLogger(const char *fileName, const char *directory, int openMode)
{
    InitMutex();
    if (!SetLogDefaults())
        return ERROR_INVALID_DATA;
    DWORD level = 0;
    if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "VQAgentLogLevel", &level) != 0)
        level = VQ_LOG_LEVEL_ERROR;
    if (!SetLogParams(fileName, directory, (BYTE)level))
        return ERROR_INVALID_DATA;
    BOOL opened = openMode == 2 ? OpenLogFile() : OpenLogFileAppend();
    return opened ? 0 : ERROR_INVALID_DATA;
}

DWORD StartAgentLogging(const char *fileName)
{
    char *installDir = NULL;
    DWORD rc = GetAgentInstallDir(&installDir);
    if (rc != 0)
        return rc;
    if (!installDir)
        return ERROR_INVALID_DATA;

    if (!s_settings)
        s_settings = (LoggerSettings *)calloc(1, sizeof(LoggerSettings));
    if (!s_settings) {
        free(installDir);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    /* A rotation left running by an earlier start reads these settings:
     * stop it before they are replaced. */
    if (IsLogRotationRunning())
        StopLogRotation();
    free(s_settings->fileName);
    free(s_settings->logDirectory);
    s_settings->fileName = concat(fileName ? fileName : "computer.log", "");
    s_settings->logDirectory = concat(installDir, "logs");
    s_settings->maxBackupCount = 5;
    s_settings->maxFileSize = 2000000;
    s_settings->timerPeriodMs = 900000;
    s_settings->openMode = 1;
    s_settings->useTimer = TRUE;
    free(installDir);
    if (!s_settings->fileName || !s_settings->logDirectory)
        return ERROR_NOT_ENOUGH_MEMORY;

    /* The file is rotated before the writer opens it. */
    StartLogRotation(s_settings);

    /* A log that cannot be opened leaves the program running without one. */
    InitAgentLogger(s_settings->fileName, s_settings->logDirectory, s_settings->openMode);
    return 0;
}

DWORD StopAgentLogging(void)
{
    /* The deletion waits for a pass that is running, so the log is closed
     * and its settings freed only after the last pass has let go of them. */
    if (IsLogRotationRunning() && !StopLogRotation()) {
        DWORD err = GetLastError();
        LogError("ServiceMain : DeleteTimerQueue is failed due to following error !! \n");
        LogErrorMessage(err);
    }
    CloseLogFile();
    FreeLogSettings();
    CloseMutex();
    return 0;
}
