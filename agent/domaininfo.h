/* The computer's place in the network: its domain or workgroup and join
 * status, its domain controller and its DNS host name. */
#ifndef VQ_AGENT_DOMAININFO_H
#define VQ_AGENT_DOMAININFO_H

#include <windows.h>
#include <lm.h>

/* Domain or workgroup name (new UTF-8 text in *name) and *status 1 when
 * joined to a domain, else 0. 1 on success, 0 when the query failed. */
int GetComputerNameSpace(char **name, int *status);

/* The namespace status for a join status, with its INFO line. */
int NamespaceStatusFromJoin(NETSETUP_JOIN_STATUS joinStatus);

/* Name of the computer's domain controller without the leading "\\\\"
 * (new text in *name). 0 or the Windows error code of DsGetDcNameA. */
DWORD GetComputerLogonServer(char **name);

/* New copy of a domain controller name without its two leading characters
 * (fewer when the text is shorter). NULL for NULL. */
char *StripDomainControllerPrefix(const char *dcName);

/* The physical DNS host name as new UTF-8 text in *name: 1 on success,
 * else 0. */
int GetLocalComputerName(char **name);

#endif
