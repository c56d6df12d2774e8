/* Resource identifier from the agent's registry. Asking the management
 * server for it is not part of this program yet, so a missing value is
 * reported as what it is: the registry's error code. */
#include "agent/resourceid.h"
#include "agent/agentparams.h"
#include "agent/log.h"
#include "agent/registry.h"

DWORD GetResourceID(char **resourceId)
{
    DWORD rc = ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_SYSTEMDETAILS_KEY, "VQAgentResourceID", resourceId);
    if (rc == 0)
        return 0;
    LogError("GetResourceID : Unable to get the VQ Agent Resource ID from Registry , error %d \n",
             (int)rc);
    return rc;
}
