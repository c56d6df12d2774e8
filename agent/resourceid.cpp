/* Resource identifier from the agent's registry, with the fall back to the
 * management server that the program provides. */
#include "agent/resourceid.h"
#include "agent/agentkeys.h"
#include "agent/log.h"
#include "agent/registry.h"

static ResourceIDServerFetch s_serverFetch = NULL;

void SetResourceIDServerFetch(ResourceIDServerFetch fetch)
{
    s_serverFetch = fetch;
}

DWORD GetResourceID(char **resourceId)
{
    DWORD rc = ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_SYSTEMDETAILS_KEY, "VQAgentResourceID", resourceId);
    if (rc == 0)
        return 0;
    LogError("GetResourceID : Unable to get the VQ Agent Resource ID from Registry , So trying to get "
             "the same from server .\n");
    if (s_serverFetch == NULL)
        return rc;
    return s_serverFetch(resourceId);
}
