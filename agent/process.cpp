/* Acting on other processes (see process.h): execute with its working
 * directory and time limit, the success-code wrapper, and the Toolhelp walks
 * that find and terminate processes by executable name. */
#include "agent/process.h"
#include "agent/errortext.h"
#include "agent/log.h"

#include <tlhelp32.h>
#include <stdlib.h>
#include <string.h>

/* Size of the buffer that keeps the caller's current directory. */
#define VQ_CWD_CHARS 4096
/* Executable names are compared over at most this many characters. */
#define VQ_PROCESS_NAME_CHARS 15

/* Hands the text for `code` to the caller (or drops it when the caller
 * passed no place for it). Message logs the text as it makes it. */
static void setRemarks(char **remarks, DWORD code)
{
    char *text = Message(code);
    if (remarks) {
        free(*remarks);
        *remarks = text;
    } else {
        free(text);
    }
}

/* Milliseconds of a limit in minutes, kept below INFINITE so that a huge
 * limit still means a bounded wait rather than none. */
static DWORD limitToMs(DWORD minutes)
{
    ULONGLONG ms = (ULONGLONG)minutes * 60000ULL;
    return ms >= INFINITE ? INFINITE - 1 : (DWORD)ms;
}

/* Waits for the started process and turns what happened into the result. */
static LONG waitForProcess(const PROCESS_INFORMATION *pi, const char *commandLine,
                           DWORD timeLimitMinutes, char **remarks)
{
    DWORD wait = WaitForSingleObject(pi->hProcess, limitToMs(timeLimitMinutes));
    if (wait == WAIT_FAILED) {
        DWORD err = GetLastError();
        LogError("execute : WaitForSingleObject Failed with error code %d \n", (int)err);
        /* Nothing is known about the process: report the wait's own error
         * (never 0, which would read as success). */
        if (err == 0)
            err = ERROR_INVALID_HANDLE;
        setRemarks(remarks, err);
        return (LONG)err;
    }
    if (wait == WAIT_TIMEOUT) {
        LogInfo("execute : Terminating the Process for application %s as time is exceeded %d Minutes \n",
                commandLine, (int)timeLimitMinutes);
        setRemarks(remarks, WAIT_TIMEOUT);
        if (TerminateProcess(pi->hProcess, 0))
            LogInfo("execute : The process has been successfully terminated ..! \n");
        else
            LogError("execute : The process termination is failed with error code : %d \n",
                     (int)GetLastError());
        return VQ_EXECUTE_TIMED_OUT;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(pi->hProcess, &exitCode)) {
        DWORD err = GetLastError();
        LogInfo("execute : Unable to find the exit code for the application and the error code is : %d \n",
                (int)err);
        setRemarks(remarks, err);
        return (LONG)err;
    }
    setRemarks(remarks, exitCode);
    LogInfo("execute : Exit code for the application : %d \n", (int)exitCode);
    return (LONG)exitCode;
}

LONG execute(const char *workingDirectory, const char *commandLine, char **remarks,
             DWORD timeLimitMinutes, BOOL show)
{
    LogDebug("@@@@@@@@ Inside execute Method @@@@@@@@ \n");
    if (remarks)
        *remarks = NULL;

    /* Without a command line there is nothing to start; refusing before the
     * directory changes leaves the caller's state untouched. */
    if (!commandLine) {
        LogError("execute : The command line to execute is empty \n");
        setRemarks(remarks, ERROR_INVALID_DATA);
        LogDebug("@@@@@@@@ End Of execute Method @@@@@@@@ \n");
        return ERROR_INVALID_DATA;
    }

    char savedDir[VQ_CWD_CHARS];
    if (workingDirectory) {
        DWORD n = GetCurrentDirectoryA(VQ_CWD_CHARS, savedDir);
        if (n == 0) {
            DWORD err = GetLastError();
            LogError("execute: Failed to get the CurrentWorkingDirectory \n");
            setRemarks(remarks, err);
            return (LONG)err;
        }
        if (n > VQ_CWD_CHARS) {
            /* A directory that does not fit could not be restored afterwards,
             * so the command is not run at all. */
            LogError("execute : CurrentWorkingDirectory Buffer overflow. Need to allocate the length for %d chars \n",
                     (int)n);
            setRemarks(remarks, ERROR_FILENAME_EXCED_RANGE);
            return ERROR_FILENAME_EXCED_RANGE;
        }
        LogInfo("execute : Current Working Directory : %s \n", savedDir);
        LogInfo("execute : Executing Application Source : %s \n", commandLine);
        LogInfo("execute : Set Working Directory : %s \n", workingDirectory);
        if (!SetCurrentDirectoryA(workingDirectory)) {
            DWORD err = GetLastError();
            LogError("execute : Failed to set the WorkingDirectory %s \n ", workingDirectory);
            setRemarks(remarks, err);
            return (LONG)err;
        }
    }

    LONG result = 0;
    /* CreateProcessA may write into the command line: give it a copy. */
    size_t len = strlen(commandLine);
    char *cmd = (char *)malloc(len + 1);
    if (!cmd) {
        result = ERROR_NOT_ENOUGH_MEMORY;
        LogInfo("execute : Failed to Create the Process for the application \n");
        setRemarks(remarks, (DWORD)result);
    } else {
        memcpy(cmd, commandLine, len + 1);
        STARTUPINFOA si;
        PROCESS_INFORMATION pi;
        ZeroMemory(&si, sizeof(si));
        ZeroMemory(&pi, sizeof(pi));
        si.cb = sizeof(si);
        if (show) {
            si.dwFlags = STARTF_USESHOWWINDOW;
            si.wShowWindow = SW_SHOWNORMAL;
        }
        if (!CreateProcessA(NULL, cmd, NULL, NULL, FALSE,
                            CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, NULL,
                            workingDirectory, &si, &pi)) {
            result = (LONG)GetLastError();
            LogInfo("execute : Failed to Create the Process for the application \n");
            setRemarks(remarks, (DWORD)result);
        } else {
            LogInfo("execute : Process successfully created for application %s \n", commandLine);
            if (timeLimitMinutes == 0) {
                result = 0;
                setRemarks(remarks, 0);
            } else {
                result = waitForProcess(&pi, commandLine, timeLimitMinutes, remarks);
            }
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        free(cmd);
    }

    if (workingDirectory)
        SetCurrentDirectoryA(savedDir);
    LogInfo("execute : Remarks from the CreateProcess is %s for the executable %s \n",
            remarks && *remarks ? *remarks : "", commandLine);
    LogDebug("@@@@@@@@ End Of execute Method @@@@@@@@ \n");
    return result;
}

LONG ExecuteAndMapSuccess(const char *workingDirectory, const char *commandLine,
                          char **remarks, DWORD timeLimitMinutes, BOOL show)
{
    LONG rc = execute(workingDirectory, commandLine, remarks, timeLimitMinutes, show);
    switch (rc) {
    case 1508:                             /* reported by installers as done */
    case ERROR_SUCCESS_REBOOT_INITIATED:   /* 1641 */
    case ERROR_SUCCESS_REBOOT_REQUIRED:    /* 3010 */
        return 0;
    default:
        return rc;
    }
}

DWORD FindProcessIdByName(const char *name)
{
    if (!name)
        return 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return 0;
    DWORD self = GetCurrentProcessId();
    DWORD found = 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    /* The first entry (the system idle process) is never compared. */
    if (Process32First(snap, &entry)) {
        while (Process32Next(snap, &entry)) {
            if (entry.th32ProcessID != self &&
                _strnicmp(entry.szExeFile, name, VQ_PROCESS_NAME_CHARS) == 0) {
                found = entry.th32ProcessID;
                break;
            }
        }
    }
    CloseHandle(snap);
    return found;
}

int KillProcesses(const char *name)
{
    LogDebug("@@@@@@@@@  Inside KillProcesses Method @@@@@@@@@@@\n");
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    LogInfo("Process name to kill : %s\n", name ? name : "");
    int found = 0;
    if (snap != INVALID_HANDLE_VALUE && name) {
        PROCESSENTRY32 entry;
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
            if (_stricmp(entry.szExeFile, name) != 0)
                continue;
            found = 1;
            HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID);
            DWORD code = 0;
            BOOL killed = FALSE;
            if (h) {
                /* A running process reports STILL_ACTIVE, which becomes its
                 * exit code. */
                GetExitCodeProcess(h, &code);
                killed = TerminateProcess(h, code);
            }
            if (killed)
                LogInfo("%s was Killed......\n", name);
            else
                LogError("%s not killed......due to error %d\n", name, (int)GetLastError());
            if (h)
                CloseHandle(h);
            Sleep(100);
        }
    }
    if (snap != INVALID_HANDLE_VALUE)
        CloseHandle(snap);
    LogDebug("@@@@@@@@@  End of KillProcesses Method @@@@@@@@@@@\n");
    return found;
}
