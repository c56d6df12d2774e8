/* The Office application guard. Applications are killed only while the run
 * counts as a start-up event (no user has had time to open documents) or
 * when the agent's "alwaysKillApps" setting says so; otherwise they are left
 * alone and the run ends with 20001. */
#include "driver/officeguard.h"
#include "agent/log.h"
#include "agent/process.h"
#include "agent/registry.h"

const char *const OfficeApplicationList[] = {
    "WINWORD.exe", "EXCEL.exe",   "MSACCESS.exe", "GROOVE.exe",       "OUTLOOK.exe",
    "ONENOTE.exe", "POWERPNT.exe", "MSPUB.exe",   "LYNC.exe",         "WINPROJ.exe",
    "VISIO.exe",   "ACCICONS.exe", "lynchtmlconv.exe", "PPTICO.exe",
};
const int OfficeApplicationCount =
    (int)(sizeof(OfficeApplicationList) / sizeof(OfficeApplicationList[0]));

static DWORD readAlwaysKillApps(void)
{
    DWORD value = 0;
    if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_PATCH_KEY, "alwaysKillApps", &value) != 0)
        value = 0;
    return value;
}

LONG CloseOfficeApplications(ULONGLONG ticksSinceBoot)
{
    /* The line shows the 32-bit tick count as the agent has always logged
     * it; the decision uses the 64-bit count, so that 49.7 days after boot,
     * when the 32-bit count wraps to 0, running applications are not taken
     * for a start-up event and killed with their users' unsaved work. */
    LogInfo("the tick count is %d\n", (int)(DWORD)ticksSinceBoot);
    if (readAlwaysKillApps() != 0) {
        LogInfo("alwaysKillApps is enabled.\n");
        ticksSinceBoot = 1;
    } else {
        LogInfo("alwaysKillApps is not enabled.\n");
    }
    LONG result = 0;
    for (int i = 0; i < OfficeApplicationCount; i++) {
        const char *name = OfficeApplicationList[i];
        if (FindProcessIdByName(name) == 0)
            continue;
        if (ticksSinceBoot > VQ_STARTUP_WINDOW_MS) {
            LogInfo("Not a startup event hence not killing the process (%s).\n", name);
            result = 1;
        } else {
            LogInfo("Killing the process (%s).\n", name);
            KillProcesses(name);
        }
    }
    return result;
}

OfficeApplicationPlan PlanOfficeApplications(ULONGLONG ticksSinceBoot)
{
    OfficeApplicationPlan plan;
    plan.alwaysKillApps = readAlwaysKillApps() != 0;
    plan.closeThem = plan.alwaysKillApps || ticksSinceBoot <= VQ_STARTUP_WINDOW_MS;
    for (int i = 0; i < OfficeApplicationCount; i++)
        if (FindProcessIdByName(OfficeApplicationList[i]) != 0)
            plan.running.push_back(OfficeApplicationList[i]);
    return plan;
}

LONG CloseOfficeApplications(void)
{
    return CloseOfficeApplications(GetTickCount64());
}

void LogRunningOfficeApplications(void)
{
    for (int i = 0; i < OfficeApplicationCount; i++)
        if (FindProcessIdByName(OfficeApplicationList[i]) != 0)
            LogInfo("Office application : %s running.\n", OfficeApplicationList[i]);
}

BOOL IsAlwaysKillAppsSet(void)
{
    return readAlwaysKillApps() == 1;
}
