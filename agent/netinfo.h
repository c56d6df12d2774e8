/* The computer's network identity for the server: its IP addresses, the MAC
 * address of each address's adapter and the subnet masks, as three parallel
 * comma-separated lists. */
#ifndef VQ_AGENT_NETINFO_H
#define VQ_AGENT_NETINFO_H

#include <windows.h>
#include <iphlpapi.h>

/* Size in bytes of each list that GetMACandIPAddress allocates. */
#define VQ_ADDRESS_LIST_SIZE 131068

/* Three new zeroed texts of VQ_ADDRESS_LIST_SIZE bytes in *ipList, *macList
 * and *maskList (the caller frees them, also after a failure), filled from
 * GetAdaptersInfo. 0 or the Windows error code of the failing step. */
DWORD GetMACandIPAddress(char **ipList, char **macList, char **maskList);

/* The address bytes as lower-case hex pairs joined by ':' into out (at
 * least 3 * length bytes; empty for length 0). */
void FormatMACAddress(const BYTE *address, UINT length, char *out);

/* Appends every usable address of the adapter chain to the three lists,
 * each a zero-terminated text in a buffer of `capacity` bytes. An entry
 * that does not fit in all three lists ends the walk, so the lists stay
 * parallel and terminated. TRUE when every address was added. An empty MAC
 * list becomes "--". */
BOOL BuildAddressLists(const IP_ADAPTER_INFO *adapters, char *ipList, char *macList,
                       char *maskList, size_t capacity);

#endif
