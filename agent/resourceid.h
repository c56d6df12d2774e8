/* The computer's resource identifier, which the management server assigned
 * and the agent keeps in its registry. When the registry has none, the
 * agent asks the management server for it; that request needs the network
 * client and the record framework, which this library does not link, so
 * the program hands the fetch in (SetResourceIDServerFetch) when it puts its
 * libraries together. */
#ifndef VQ_AGENT_RESOURCEID_H
#define VQ_AGENT_RESOURCEID_H

#include <windows.h>

/* Fetches the identifier from the management server into *resourceId (a
 * new text): 0 or an error code. */
typedef DWORD (*ResourceIDServerFetch)(char **resourceId);

/* The fetch GetResourceID falls back to; NULL (the default) for none. */
void SetResourceIDServerFetch(ResourceIDServerFetch fetch);

/* "VQAgentResourceID" of the SystemDetails key into *resourceId (new text):
 * 0. When it cannot be read the failure is logged and the result is that of
 * the server fetch, or the registry's error code where no fetch was set.
 * *resourceId is NULL on failure. */
DWORD GetResourceID(char **resourceId);

#endif
