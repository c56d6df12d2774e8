/* Notifying the agent's Windows service: a user-defined control code sent
 * through the Service Control Manager. */
#ifndef VQ_AGENT_SERVICE_H
#define VQ_AGENT_SERVICE_H

#include <windows.h>

/* The code the agent service is sent after a new resource identifier was
 * stored. */
#define VQ_SERVICE_CONTROL_RESOURCE_ID 147

/* Sends `controlCode` to the service `serviceName`: 1 when ControlService
 * succeeded, 0 on any failure (not retried). */
int SendServiceMsg(DWORD controlCode, const wchar_t *serviceName);

/* SendServiceMsg to the agent's own service, named by the agent parameter
 * AgentServiceName (UTF-8). */
void NotifyAgentService(DWORD controlCode);

#endif
