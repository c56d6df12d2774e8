/* Which Windows the agent runs on: the version family that the TLS set-up
 * keys on, and a descriptive OS name for the server's inventory. */
#ifndef VQ_AGENT_SYSINFO_H
#define VQ_AGENT_SYSINFO_H

#include <windows.h>

/* Version families of GetOsFamily. */
#define VQ_OS_WIN2000   0
#define VQ_OS_WINXP     1   /* also Server 2003 */
#define VQ_OS_VISTA     2   /* also Server 2008 */
#define VQ_OS_WIN7      3   /* also Server 2008 R2 */
#define VQ_OS_WIN8      4   /* also Server 2012; 8.1 and 10 without a manifest */
#define VQ_OS_WIN81     5
#define VQ_OS_WIN10     6
#define VQ_OS_OTHER_NT  7
#define VQ_OS_UNKNOWN  (-1)

/* Family of the version GetVersionExA reports to this process; 1 when the
 * version cannot be read at all, -1 for anything older than NT 5. */
int GetOsFamily(void);

/* The family table alone, for a platform id and version numbers. */
int OsFamilyFromVersion(DWORD platformId, DWORD major, DWORD minor);

/* 1 for the families Windows 7 and Windows 8, else 0. */
int isWin7orWin8(void);

/* New text naming the running system (GetOSNameEx(0, 0)); the caller
 * frees it. NULL when the version cannot be read. */
char *GetOSName(void);
char *GetOSNameEx(DWORD major, DWORD minor);

/* The name from GetProductInfo's product type: `productType` is the
 * version record's VER_NT_* value, `architecture` the processor
 * architecture, `registryProductName` the "ProductName" of the running
 * system (NULL when unread). New text. */
char *OSNameFromProductInfo(DWORD major, DWORD minor, BYTE productType, WORD architecture,
                            DWORD productInfo, const char *registryProductName);

/* The name without GetProductInfo: by platform, version, product type and
 * suite mask. With `extended` FALSE only the basic fields of `osvi` count
 * and `productOptions` is the "ProductType" text of the registry. */
char *OSNameFromPlatform(const OSVERSIONINFOEXA *osvi, BOOL extended, WORD architecture,
                         const char *productOptions);

#endif
