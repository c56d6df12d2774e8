/* The computer's resource identifier, which the management server assigned
 * and the agent keeps in its registry. */
#ifndef VQ_AGENT_RESOURCEID_H
#define VQ_AGENT_RESOURCEID_H

#include <windows.h>

/* "VQAgentResourceID" of the SystemDetails key into *resourceId (new text).
 * 0, or the registry's error code (logged) when the value cannot be read;
 * *resourceId is NULL then. */
DWORD GetResourceID(char **resourceId);

#endif
