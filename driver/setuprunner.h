/* Runs the extracted deployment tool's setup.exe with /configure, hidden and
 * under a time limit, and presses the OK button of the tool's
 * metered-connection warning once, ten seconds after the start. */
#ifndef VQ_DRIVER_SETUPRUNNER_H
#define VQ_DRIVER_SETUPRUNNER_H

#include <windows.h>

#define VQ_SETUP_WATCH_DELAY_MS 10000
#define VQ_SETUP_WAIT_LIMIT_MS  6000000   /* 100 minutes */

/* Process id of the last setup.exe started; read by the window watch. */
extern DWORD gv_setupProcessId;

/* The tool's exit code, or the Windows error code of starting it or of
 * reading its exit code. The delay and limit default to the product's
 * values; tests pass shorter ones. */
LONG ExecuteSetup(const char *extractFolder, const char *configPath,
                  DWORD watchDelayMs = VQ_SETUP_WATCH_DELAY_MS,
                  DWORD waitLimitMs = VQ_SETUP_WAIT_LIMIT_MS);

/* EnumWindows and EnumChildWindows callbacks of the watch. */
BOOL CALLBACK FindMeteredWarningWindow(HWND window, LPARAM param);
BOOL CALLBACK ClickOkButton(HWND child, LPARAM param);

#endif
