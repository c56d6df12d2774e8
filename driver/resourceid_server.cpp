/* The resource identifier from the management server (see
 * resourceid_server.h). The request path is built from the agent's
 * parameters, the answer goes through the record framework's XML loader and
 * selection like every table document, and only an identifier actually found
 * reaches the registry. */
#include "driver/resourceid_server.h"
#include "agent/agentparams.h"
#include "agent/log.h"
#include "agent/registry.h"
#include "agent/service.h"
#include "agent/textconv.h"
#include "agent/textutil.h"
#include "net/router.h"
#include "records/cparlo.h"
#include "records/store/tablestore.h"
#include "records/xml/xmlload.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const wchar_t kSystemDetailsKeyW[] = L"Software\\Brennic\\Velquin\\VQAgent\\SystemDetails";

/* The client data path of the request, lower-cased: with the namespace
 * replaced by "LocalDomainName" when the registry has it, else the agent's
 * own path (already lower case when the parameters built it). NULL when out
 * of memory. */
static char *requestClientDataPath(const char *clientDataPath)
{
    wchar_t *domainWide = NULL;
    char *domain = NULL;
    if (ReadRegSZEx(HKEY_LOCAL_MACHINE, kSystemDetailsKeyW, "LocalDomainName", &domainWide) != 0 ||
        !ChangeWideToUtf8Str(domainWide, &domain)) {
        free(domainWide);
        return ToLowerUtf8(clientDataPath);
    }
    free(domainWide);
    LogInfo("domainNameFromReg: %s\n", domain);
    char *replaced = FindAndReplaceWithNoCase(clientDataPath, gv_agentParams.ClientNamespace, domain);
    free(domain);
    if (replaced == NULL)
        return NULL;
    LogInfo("clientDataPathTemp: %s", replaced);
    char *lower = ToLowerUtf8(replaced);
    free(replaced);
    if (lower)
        LogInfo("lower_CDPath: %s\n", lower);
    return lower;
}

/* Selects the RESOURCE_ID row of the loaded "Agentparams" rows and copies
 * its value: 0, ERROR_NOT_FOUND or ERROR_NOT_ENOUGH_MEMORY (each logged). */
static DWORD selectResourceID(char **resourceId)
{
    ResultData *rows = SelectRows("Agentparams", "PARAM_NAME='RESOURCE_ID'");
    if (rows == NULL) {
        LogError("GetResourceIDFromServer :No rows found corresponding to the resource id in the "
                 "resource id xml .\n");
        return ERROR_NOT_FOUND;
    }
    DWORD rc = 0;
    if (GotoNextRowObject(rows) == NULL) {
        LogError("GetResourceIDFromServer : No row objects corresponding to the resource id is found \n");
        rc = ERROR_NOT_FOUND;
    } else {
        INT32 size = 0;
        BYTE *value = GetColumnValueByName("param_Value", &size, rows);
        char *copy = value && size >= 0 ? (char *)malloc((size_t)size + 1) : NULL;
        if (copy == NULL) {
            LogError("GetResourceIDFromServer : Error while allocating the value of resourceid \n");
            rc = ERROR_NOT_ENOUGH_MEMORY;
        } else {
            memcpy(copy, value, (size_t)size);
            copy[size] = '\0';
            *resourceId = copy;
        }
    }
    FreeResultData(rows);
    return rc;
}

DWORD GetResourceIDFromServer(char **resourceId)
{
    *resourceId = NULL;
    const char *clientDataPath = gv_clientDataPath ? gv_clientDataPath : "";
    const char *computer = gv_localComputerName ? gv_localComputerName : "";
    LogInfo("gv_clientDataPath: %s\n", clientDataPath);
    LogInfo("gv_localComputerName: %s\n", computer);
    LogInfo("clientDataPathTemp: %s\n", clientDataPath);
    LogInfo("localComputerLwr: %s\n", computer);

    char *pathLower = requestClientDataPath(clientDataPath);
    char *computerLower = ToLowerUtf8(computer);
    char *url = NULL;
    if (pathLower && computerLower) {
        LogInfo("lower_compName: %s\n", computerLower);
        size_t n = strlen(pathLower) + strlen(computerLower) + sizeof("//resources/.xml");
        url = (char *)malloc(n);
        if (url)
            snprintf(url, n, "/%s/%s/%s%s", pathLower, "resources", computerLower, ".xml");
    }
    free(pathLower);
    free(computerLower);
    if (url == NULL) {
        LogError("GetResourceIDFromServer : Error while allocating the value of resourceid \n");
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    LogInfo("resourceIdXmlPath: %s\n", url);

    char *document = NULL;
    /* Keep-alive, as every request to the management server is made. */
    DWORD rc = GetDataFromServer(gv_agentParams.VQServerName, gv_agentParams.ActiveServerPort, url,
                                 &document, TRUE);
    if (rc != 0 || document == NULL) {
        if (rc == 0)
            rc = ERROR_INVALID_DATA;
        LogError("GetResourceIDFromServer : Unable to get the reource id xml from %s path and the error "
                 "code is %d \n", url, (int)rc);
        free(document);
        free(url);
        return rc;
    }
    free(url);

    /* The loader may generate row identifiers and announce new rows; the
     * framework's start-up has not run in this process, so its hooks are
     * connected here. */
    ConnectStoreHooks();
    SetLastError(0);
    if (!ConstructTableDataFromXMLBuffer(document, (int)strlen(document))) {
        rc = GetLastError();
        /* The loader does not always leave an error code; a failed load must
         * not read as success. */
        if (rc == 0)
            rc = ERROR_INVALID_DATA;
        LogError("GetResourceIDFromServer : Error occured (%d) while loading resource id buffer to the "
                 "memory : \n %s \n", (int)rc, document);
        free(document);
        return rc;
    }
    free(document);

    rc = selectResourceID(resourceId);
    if (rc != 0)
        return rc;
    LogInfo("GetResourceIDFromServer : The Resource ID from the server is given  by %s \n", *resourceId);
    DWORD written = writeValue(HKEY_LOCAL_MACHINE, VQ_SYSTEMDETAILS_KEY, "VQAgentResourceID",
                               *resourceId, REG_SZ);
    if (written != 0)
        LogError("GetResourceIDFromServer : Unable to write VQAgentResourceID, error %d \n", (int)written);
    NotifyAgentService(VQ_SERVICE_CONTROL_RESOURCE_ID);
    return 0;
}
