/* The request router: the single entry through which the agent talks to
 * its servers. It chooses the management server or the distribution server,
 * rewrites the URL for the edition in use, hands the request to the right
 * transfer and, when an address fails in a way that suggests the address is
 * wrong, tries the server's other addresses in a fixed order and remembers
 * the one that answered. */
#ifndef VQ_NET_ROUTER_H
#define VQ_NET_ROUTER_H

#include <windows.h>

/* Transfer modes. */
#define VQ_TRANSFER_PLAIN    0
#define VQ_TRANSFER_BITRATE  1
#define VQ_TRANSFER_NONE     2

/* Sends one request. `url`: the relative URL (path and query, backslashes
 * allowed). `data`: the destination path of a DOWNLOAD_FILE, the body or
 * file of the send types; unused by GET_DATA. `out`: receives the data of a
 * GET_DATA (a new text, free()), may be NULL. `toVQServer` 1 sends to the
 * management server even when a distribution server is enabled. `length`
 * and `mode` as the transfers take them.
 * Result: 0, VQ_NET_NOT_MODIFIED, the error or HTTP status of the last
 * address tried, 12007 when no address could be tried. On success the address that answered is the
 * server's new last access name, in memory and in the ServerInfo key. */
DWORD AgentSendRequest(const char *url, const char *data, char **out, DWORD requestType,
                       BOOL keepAlive, BYTE toVQServer, DWORD length, DWORD mode);

/* GET_DATA of `url` from the management server into *out. The server name
 * and port are not used: the router chooses the address itself. */
DWORD GetDataFromServer(const char *serverName, int port, const char *url, char **out,
                        BOOL keepAlive);

#endif
