/* Notifying the agent's Windows service through the Service Control Manager
 * (see service.h). Nothing but ControlService's success is relied on. */
#include "agent/service.h"
#include "agent/agentparams.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <stdlib.h>

int SendServiceMsg(DWORD controlCode, const wchar_t *serviceName)
{
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) {
        LogError("SendServiceMsg : Failed to open Service Control Manager\n");
        return 0;
    }
    SC_HANDLE service = serviceName ? OpenServiceW(manager, serviceName, SERVICE_USER_DEFINED_CONTROL)
                                    : NULL;
    if (!service) {
        LogError("SendServiceMsg : Failed to open the Service\n");
        CloseServiceHandle(manager);
        return 0;
    }
    LogInfo("SendServiceMsg : Service %S Opened successfully\n", serviceName);
    SERVICE_STATUS status;
    ZeroMemory(&status, sizeof(status));
    int ok = 0;
    if (ControlService(service, controlCode, &status)) {
        LogInfo("SendServiceMsg : Notification is succeeded\n");
        ok = 1;
    } else {
        LogError("SendServiceMsg : Notification failed %d \n", (int)GetLastError());
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return ok;
}

void NotifyAgentService(DWORD controlCode)
{
    wchar_t *name = NULL;
    if (gv_agentParams.AgentServiceName)
        ChangeUtf8ToWideStr(gv_agentParams.AgentServiceName, &name);
    /* Without a name SendServiceMsg reports that the service cannot be
     * opened. */
    SendServiceMsg(controlCode, name);
    free(name);
}
