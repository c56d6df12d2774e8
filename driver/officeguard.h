/* The Office application guard: running Office applications are closed in
 * the first 15 minutes after Windows started (or always, when the agent says
 * so) and otherwise left running and reported. */
#ifndef VQ_DRIVER_OFFICEGUARD_H
#define VQ_DRIVER_OFFICEGUARD_H

#include <windows.h>
#include <string>
#include <vector>

#define VQ_STARTUP_WINDOW_MS 900000u
#define VQ_PATCH_KEY "SOFTWARE\\Brennic\\Velquin\\VQAgent\\Patch\\"

/* The executable names looked for, in order, and their count. */
extern const char *const OfficeApplicationList[];
extern const int OfficeApplicationCount;

/* 1 when at least one listed application runs and was left running, else
 * 0. `ticksSinceBoot` is the time since Windows started in milliseconds; the
 * product passes GetTickCount64(), tests pass chosen values. */
LONG CloseOfficeApplications(ULONGLONG ticksSinceBoot);
LONG CloseOfficeApplications(void);

/* What CloseOfficeApplications would do now, found without doing it and
 * without a log line: the listed applications that run, and whether a run
 * would close them (inside the start-up window, or "alwaysKillApps" set) or
 * leave them running and end with 20001. */
struct OfficeApplicationPlan {
    std::vector<std::string> running;
    bool alwaysKillApps = false;
    bool closeThem = false;
};
OfficeApplicationPlan PlanOfficeApplications(ULONGLONG ticksSinceBoot);

/* INFO line per listed application that runs. */
void LogRunningOfficeApplications(void);

/* TRUE exactly when "alwaysKillApps" is 1. */
BOOL IsAlwaysKillAppsSet(void);

#endif
