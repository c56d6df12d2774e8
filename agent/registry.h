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

/* Key paths and value names are UTF-8 like every narrow text of the agent;
 * string values are stored as UTF-16 and read back as UTF-8. */

/* Opens the key that the UTF-8 `keyPath` names (NULL: the root itself, as
 * RegOpenKeyEx does). Returns the registry's code; ERROR_INVALID_DATA when
 * the path is not valid UTF-8 or `key` is NULL. */
LONG RegOpenKeyUtf8(HKEY root, const char *keyPath, REGSAM access, HKEY *key);

/* Reads one value of an open key (NULL name: the default value). String
 * types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) come back as UTF-8 made from
 * the stored UTF-16, zero characters inside kept; other types as their
 * stored bytes. *data is a new buffer with five zero bytes after its *size
 * bytes, so it is a terminated text whatever was stored; *type (may be
 * NULL) the stored type. On failure *data is NULL and *size 0. */
LONG RegQueryValueUtf8(HKEY key, const char *valueName, char **data, DWORD *size,
                       DWORD *type);

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
