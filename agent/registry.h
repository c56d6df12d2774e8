/* Registry access with the agent's conventions: each operation opens and
 * closes its own key, returns the Windows error code of the failing step and
 * logs under its own name. "--" as a value name is the default value, as
 * value data it is empty data. */
#ifndef VQ_AGENT_REGISTRY_H
#define VQ_AGENT_REGISTRY_H

#include <windows.h>

/* Set once at start when the 32-bit program runs on 64-bit Windows; makes
 * addRegistryKeyEx and writeValueEx use the 64-bit view. */
extern BOOL gv_isWow64Process;

DWORD ReadDwordRegistryData(HKEY root, const char *keyPath, const char *valueName,
                            DWORD *value);
/* *value is set to NULL first; on success a new zero-terminated text. */
DWORD ReadRegSZ(HKEY root, const char *keyPath, const char *valueName, char **value);
DWORD ReadRegSZEx(HKEY root, const wchar_t *keyPath, const char *valueName,
                  wchar_t **value);

DWORD addRegistryKey(HKEY root, const char *keyPath);
DWORD addRegistryKeyEx(HKEY root, const char *keyPath);
DWORD writeValue(HKEY root, const char *keyPath, const char *valueName,
                 const char *valueData, DWORD type);
DWORD writeValueEx(HKEY root, const char *keyPath, const char *valueName,
                   const char *valueData, DWORD type);
DWORD deleteValue(HKEY root, const char *keyPath, const char *valueName);
DWORD deleteValue(HKEY root, const wchar_t *keyPath, const wchar_t *valueName);

/* 1 when the key is gone, 0 when a deletion failed. */
int DeleteRegistryKeyTree(HKEY root, const char *keyPath);
int DeleteRegistryKeyTreeEx(HKEY root, const char *keyPath);

#endif
