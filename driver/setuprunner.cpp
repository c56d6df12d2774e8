/* Runs the extracted deployment tool's setup.exe with /configure: started
 * hidden, watched once for the tool's metered-connection warning (whose OK
 * button is pressed when the warning belongs to the started tool), then
 * waited for under a time limit. The tool's exit code is the run's result. */
#include "driver/setuprunner.h"
#include "agent/log.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

DWORD gv_setupProcessId = 0;

/* Text the tool's warning window carries in its title, and its button. */
static const char kMeteredWarningText[] = "Continuing could be expensive";
static const char kOkButtonText[] = "OK";

/* Minutes named in the time-limit line: the product's limit of 100 minutes. */
static const int kWaitLimitMinutes = 100;

/* How long to wait for a terminated setup.exe to be gone before its exit
 * code is read. Termination completes asynchronously; reading too early
 * gives STILL_ACTIVE. */
static const DWORD kTerminationWaitMs = 30000;

/* The window's text in a new buffer (free()), or NULL when out of memory. */
static char *readWindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    if (length < 0)
        length = 0;
    char *text = (char *)malloc((size_t)length + 1);
    if (!text)
        return NULL;
    text[0] = '\0';
    GetWindowTextA(window, text, length + 1);
    return text;
}

BOOL CALLBACK ClickOkButton(HWND child, LPARAM param)
{
    (void)param;
    char *text = readWindowText(child);
    if (!text)
        return TRUE;
    BOOL isOk = _stricmp(text, kOkButtonText) == 0;
    free(text);
    if (!isOk)
        return TRUE;

    LogInfo("Ok Button found.\n");
    SendMessageA(child, BM_CLICK, 0, 0);
    if (child != NULL && child != (HWND)INVALID_HANDLE_VALUE)
        SendMessageA(child, BM_CLICK, 0, 0);
    return FALSE;
}

BOOL CALLBACK FindMeteredWarningWindow(HWND window, LPARAM param)
{
    (void)param;
    char *title = readWindowText(window);
    if (!title)
        return TRUE;
    BOOL isWarning = StrStrIA(title, kMeteredWarningText) != NULL;
    free(title);
    if (!isWarning)
        return TRUE;

    LogInfo("Metered connection warning window found.\n");
    DWORD ownerId = 0;
    GetWindowThreadProcessId(window, &ownerId);
    if (ownerId == gv_setupProcessId) {
        EnumChildWindows(window, ClickOkButton, 0);
        return FALSE;
    }
    LogError("Setup.exe process id did not match.\n");
    return TRUE;
}

LONG ExecuteSetup(const char *extractFolder, const char *configPath,
                  DWORD watchDelayMs, DWORD waitLimitMs)
{
    std::string commandLine = "\"";
    commandLine += extractFolder ? extractFolder : "";
    commandLine += "\\setup.exe\" /configure \"";
    commandLine += configPath ? configPath : "";
    commandLine += "\"";
    /* CreateProcessA may write into the command line, so it gets a copy. */
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));

    if (!CreateProcessA(NULL, writable.data(), NULL, NULL, FALSE,
                        CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, NULL, NULL,
                        &startup, &process)) {
        LONG result = (LONG)GetLastError();
        LogError("execute : Failed to create process for %s with error code : %d\n",
                 commandLine.c_str(), (int)result);
        return result;
    }
    LogInfo("execute : Process created successfully for %s\n", commandLine.c_str());
    gv_setupProcessId = process.dwProcessId;

    /* The tool needs a moment to reach its warning; one pass only. */
    Sleep(watchDelayMs);
    LogInfo("Checkin for metered connection warning.\n");
    EnumWindows(FindMeteredWarningWindow, 0);
    LogInfo("Metered connection check completed.\n");

    DWORD waited = WaitForSingleObject(process.hProcess, waitLimitMs);
    LONG result = (LONG)waited;
    if (waited == WAIT_FAILED)
        LogError("execute : WaitForSingleObject Failed with error code %d \n",
                 (int)GetLastError());

    BOOL stopped = FALSE;
    if (waited != WAIT_OBJECT_0) {
        stopped = TRUE;
        LogInfo("execute : Terminating the Process for application %s as time is exceeded %d Minutes \n",
                commandLine.c_str(), kWaitLimitMinutes);
        /* A killed deployment must not look like a finished one: the process
         * is ended with the time-out code, not with 0. */
        if (TerminateProcess(process.hProcess, WAIT_TIMEOUT)) {
            LogInfo("execute : The process has been successfully terminated ..! \n");
            /* Termination is asynchronous; wait until the process is gone so
             * that its exit code can be read rather than STILL_ACTIVE. */
            WaitForSingleObject(process.hProcess, kTerminationWaitMs);
        } else {
            LogError("execute : The process termination is failed with error code : %d \n",
                     (int)GetLastError());
        }
    }

    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) {
        result = (LONG)exitCode;
        LogInfo("execute : Exit code for the application : %d \n", (int)result);
    } else {
        result = (LONG)GetLastError();
        LogInfo("execute : Unable to find the exit code and the error code is : %d \n",
                (int)result);
    }
    /* A setup that was stopped at the limit but ended with 0 on its own in
     * the meantime is still reported as a time-out: the wait did not see it
     * finish in time. */
    if (stopped && result == 0)
        result = WAIT_TIMEOUT;

    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
