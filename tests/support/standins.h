/* Helpers that lay out the stand-in deployment tool, its setup.exe and a
 * foreign warning window for tests, read back what the stand-ins recorded,
 * and point the log writer at a scratch file. Tests only.
 *
 * The stand-in programs (tests/fixtures) are built into the bin folder:
 *   odt_standin.exe     the deployment tool: /extract:<folder> /quiet
 *                       /norestart copies setup_standin.exe there as
 *                       setup.exe, with setup_settings.ini if one sits
 *                       beside the tool; exit code from odt_settings.ini
 *   setup_standin.exe   setup.exe: records its command line, acts by
 *                       setup_settings.ini (see SetupBehaviour)
 *   warning_window.exe  a warning window owned by another process */
#ifndef VQ_TESTS_STANDINS_H
#define VQ_TESTS_STANDINS_H

#include <windows.h>
#include <string>

#include "scratchlog.h"

namespace vqt {

/* The Click-to-Run state that setup_standin.exe leaves in the registry
 * (64-bit view) when write is set; each value is written only when it is
 * given (not "\x01"). removeConfiguration deletes the Configuration key. */
struct ResultingState {
    bool write = false;
    bool removeConfiguration = false;
    std::string productReleaseIds = "\x01";
    std::string clientCulture = "\x01";
    std::string excludedApps = "\x01";
    std::string original = "\x01";
    std::string modifier = "\x01";
};

/* What setup_standin.exe does when started with /configure. */
struct SetupBehaviour {
    int exitCode = 0;            /* exit code of a plain run */
    DWORD sleepMs = 0;           /* stay alive this long first */
    bool showWarning = false;    /* open the metered-connection warning */
    std::string title;           /* "" = the stand-in's default warning title */
    std::string buttonText = "OK";
    int clickedExitCode = 0;     /* exit code after the button was pressed */
    DWORD warningLimitMs = 120000; /* give up waiting for a press (exitCode) */
    std::string spawn;           /* command line started (and left running) before exiting */
    ResultingState state;        /* the Click-to-Run state it leaves */
};

/* The settings file text for a behaviour (setup_settings.ini). */
std::string SetupSettingsText(const SetupBehaviour &b);

/* Puts setup_standin.exe as `folder`\setup.exe with its settings, as an
 * extraction would leave it (the folder is created when missing). */
bool PrepareExtractedSetup(const std::string &folder, const SetupBehaviour &b);

/* Lays out a working directory for a whole-program run: `dir`\`toolName`
 * (a copy of odt_standin.exe), setup_standin.exe and setup_settings.ini
 * beside it, and odt_settings.ini with the tool's exit code. With
 * extract false the tool only exits with toolExitCode. */
bool PrepareStandinTool(const std::string &dir, const SetupBehaviour &setup,
                        int toolExitCode = 0, const std::string &toolName = "odt.exe",
                        bool extract = true);

/* Command line the stand-in setup.exe recorded in `folder` ("" if none). */
std::string ReadSetupCommandLine(const std::string &folder);
/* Its start-up record: "flags=<n> show=<n>\ncwd=<dir>\n" ("" if none). */
std::string ReadSetupStartup(const std::string &folder);
/* Presses of its warning's button; -1 when it never opened the window. */
int ReadSetupClicks(const std::string &folder);
/* Command line the stand-in tool in `dir` recorded ("" if none). */
std::string ReadToolCommandLine(const std::string &dir);

/* A running warning_window.exe. */
struct ForeignWindow {
    HANDLE process = NULL;
    DWORD processId = 0;
    std::string record;   /* the file holding its press count */
};

/* Starts warning_window.exe with its record file at `recordPath` and waits
 * (up to 10 s) until its window exists. `topmost` puts it before every
 * ordinary window in enumeration order. */
bool StartForeignWindow(const std::string &recordPath, ForeignWindow *out,
                        const char *buttonText = "OK", bool topmost = false,
                        DWORD lifetimeMs = 60000);
/* Press count of the foreign window's button (-1 when unreadable). */
int ReadForeignClicks(const ForeignWindow &w);
/* Terminates it (if still running) and closes its handle. */
void StopForeignWindow(ForeignWindow *w);

} // namespace vqt

#endif
