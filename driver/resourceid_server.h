/* The resource identifier from the management server: the computer's
 * resource document is fetched, loaded into the record framework's table
 * store, and the identifier it carries is stored in the registry and
 * announced to the agent service. Built into its own library, since it
 * joins the agent runtime, the network client and the record framework. */
#ifndef VQ_DRIVER_RESOURCEID_SERVER_H
#define VQ_DRIVER_RESOURCEID_SERVER_H

#include <windows.h>

/* GET_DATA of "/<client data path>/resources/<computer>.xml", all lower
 * case, from the management server; the client data path has the client
 * namespace replaced by "LocalDomainName" of the SystemDetails key when that
 * can be read. The document's rows are loaded (the table "Agentparams" must
 * be in the framework's dictionary) and "param_Value" of the row whose
 * PARAM_NAME is RESOURCE_ID becomes *resourceId (a new text), is written to
 * "VQAgentResourceID" and control code 147 goes to the agent service.
 * Result: 0 only when the identifier was found; the request's error code;
 * the load's error (ERROR_INVALID_DATA when the load left no error code);
 * ERROR_NOT_FOUND when the document has no such row, ERROR_NOT_ENOUGH_MEMORY
 * when the value cannot be copied. On failure *resourceId is NULL and the
 * registry is not written. */
DWORD GetResourceIDFromServer(char **resourceId);

#endif
