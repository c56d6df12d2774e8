/* Registry access with the agent's conventions (see registry.h): one key
 * handle per operation, the Windows error code of the failing step as the
 * result, messages under the operation's own name. */
#include "agent/registry.h"
#include "agent/log.h"

#include <stdlib.h>

BOOL gv_isWow64Process = FALSE;

DWORD ReadDwordRegistryData(HKEY root, const char *keyPath, const char *valueName,
                            DWORD *value)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        if (rc == ERROR_FILE_NOT_FOUND)
            LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, (int)rc);
        else
            LogError("ReadDwordRegistryData: Error while opening registry key %s,and the errorcode is : %d \n",
                     keyPath, (int)rc);
        return (DWORD)rc;
    }
    DWORD data = 0;
    DWORD size = sizeof(data);
    rc = RegQueryValueExA(key, valueName, NULL, NULL, (BYTE *)&data, &size);
    RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, (int)rc);
        return (DWORD)rc;
    }
    if (rc != ERROR_SUCCESS) {
        LogError("ReadDwordRegistryData: Error while reading DWORD value of %s : %d \n", valueName,
                 (int)rc);
        return (DWORD)rc;
    }
    *value = data;
    return ERROR_SUCCESS;
}

DWORD ReadRegSZ(HKEY root, const char *keyPath, const char *valueName, char **value)
{
    *value = NULL;
    HKEY key;
    LONG rc = RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        LogError("ReadRegSZ: Error while opening registry key %s ,and the error is  %d \n", keyPath,
                 (int)rc);
        return (DWORD)rc;
    }
    DWORD size = 0;
    rc = RegQueryValueExA(key, valueName, NULL, NULL, NULL, &size);
    if (rc != ERROR_SUCCESS) {
        RegCloseKey(key);
        return (DWORD)rc;
    }
    /* Five spare zero bytes terminate whatever was stored, also a string
     * saved without its terminator. */
    char *buf = (char *)calloc((size_t)size + 5, 1);
    if (!buf) {
        RegCloseKey(key);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD got = size;
    rc = RegQueryValueExA(key, valueName, NULL, NULL, (BYTE *)buf, &got);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        LogError("ReadRegSZ: Error while reading DWORD value! %d \n", (int)rc);
        free(buf);
        return (DWORD)rc;
    }
    *value = buf;
    return ERROR_SUCCESS;
}
