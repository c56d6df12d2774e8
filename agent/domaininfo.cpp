/* Domain membership (NetGetJoinInformation), the domain controller
 * (DsGetDcNameA) and the DNS host name (GetComputerNameExW). On a computer
 * outside any domain the controller query fails; callers treat it as
 * optional. */
#include <winsock2.h>   /* before windows.h */

#include "agent/domaininfo.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <dsgetdc.h>
#include <stdlib.h>
#include <string.h>

int NamespaceStatusFromJoin(NETSETUP_JOIN_STATUS joinStatus)
{
    switch (joinStatus) {
    case NetSetupUnknownStatus:
        LogInfo("GetComputerNameSpace : The status is unknown. \n");
        return 0;
    case NetSetupUnjoined:
        LogInfo("GetComputerNameSpace :The computer is not joined. \n");
        return 0;
    case NetSetupWorkgroupName:
        LogInfo("GetComputerNameSpace :The computer is joined to a workgroup. \n");
        return 0;
    case NetSetupDomainName:
        LogInfo("GetComputerNameSpace :The computer is joined to a domain. \n");
        return 1;
    default:
        LogInfo("GetComputerNameSpace : The status is not determined .\n");
        return 0;
    }
}

int GetComputerNameSpace(char **name, int *status)
{
    *name = NULL;
    *status = 0;
    LPWSTR joinName = NULL;
    NETSETUP_JOIN_STATUS joinStatus = NetSetupUnknownStatus;
    NET_API_STATUS rc = NetGetJoinInformation(NULL, &joinName, &joinStatus);
    if (rc != NERR_Success) {
        LogError("GetComputerNameSpace : Failed to retrive the namespace -> %d \n", (int)rc);
        return 0;
    }
    BOOL converted = joinName && ChangeWideToUtf8Str(joinName, name);
    NetApiBufferFree(joinName);
    *status = NamespaceStatusFromJoin(joinStatus);
    if (!converted) {
        /* Without a name there is no namespace to report. */
        LogError("GetComputerNameSpace : Failed to retrive the namespace -> %d \n",
                 (int)ERROR_INVALID_DATA);
        return 0;
    }
    return 1;
}

char *StripDomainControllerPrefix(const char *dcName)
{
    if (!dcName)
        return NULL;
    size_t skip = 0;
    while (skip < 2 && dcName[skip])
        skip++;
    size_t n = strlen(dcName + skip);
    char *copy = (char *)malloc(n + 1);
    if (copy)
        memcpy(copy, dcName + skip, n + 1);
    return copy;
}

static const char *orEmpty(const char *s) { return s ? s : ""; }

DWORD GetComputerLogonServer(char **name)
{
    *name = NULL;
    PDOMAIN_CONTROLLER_INFOA info = NULL;
    DWORD rc = DsGetDcNameA(NULL, NULL, NULL, NULL, DS_RETURN_FLAT_NAME, &info);
    if (rc != ERROR_SUCCESS) {
        LogError("GetComputerLogonServer: Error while fetching DC name! %d \n", (int)rc);
        return rc;
    }
    LogDebug("GetComputerLogonServer : DomainControllerName :%s \n", orEmpty(info->DomainControllerName));
    LogDebug("DomainControllerAddress :%s\n", orEmpty(info->DomainControllerAddress));
    LogDebug("DomainName :%s\n", orEmpty(info->DomainName));
    LogDebug("DnsForestName :%s\n", orEmpty(info->DnsForestName));
    LogDebug("DcSiteName :%s\n", orEmpty(info->DcSiteName));
    LogDebug("ClientSiteName :%s\n", orEmpty(info->ClientSiteName));
    *name = StripDomainControllerPrefix(orEmpty(info->DomainControllerName));
    NetApiBufferFree(info);
    return *name ? 0 : ERROR_NOT_ENOUGH_MEMORY;
}

int GetLocalComputerName(char **name)
{
    *name = NULL;
    WSADATA wsa;
    BOOL started = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    WCHAR host[64];
    DWORD size = sizeof(host) / sizeof(host[0]);
    int ok = 0;
    if (GetComputerNameExW(ComputerNamePhysicalDnsHostname, host, &size)) {
        LogDebug("GetLocalComputerName: Computer Name: %ls \n", host);
        if (ChangeWideToUtf8Str(host, name)) {
            LogInfo("GetLocalComputerName : Computer Name : %s\n", *name);
            ok = 1;
        }
    } else {
        LogError("GetLocalComputerName: Error while getting computername! %d \n", WSAGetLastError());
    }
    if (started)
        WSACleanup();
    return ok;
}
