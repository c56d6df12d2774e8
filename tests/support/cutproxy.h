/* A TCP relay on 127.0.0.1 in front of a loopback server, for tests that
 * must lose a connection at one exact point: armed with a text, it passes
 * the first client chunk that holds the text on to the server, swallows the
 * server's answer to it and closes both sides. The server has done the work
 * (an INSERT committed) and the client never hears of it: the lost
 * acknowledgement. Optionally it then refuses every new connection until
 * reopened, as a server that is out of reach. One relay thread per client
 * connection; any number of connections in turn. */
#ifndef VQ_TESTS_SUPPORT_CUTPROXY_H
#define VQ_TESTS_SUPPORT_CUTPROXY_H

#include <windows.h>

namespace vqt {

struct CutProxy;

/* A relay listening on a free loopback port, forwarding to 127.0.0.1:
 * `targetPort`; NULL when no socket could be set up. */
CutProxy *StartCutProxy(WORD targetPort);
/* Stops accepting, closes every relayed connection and frees the relay. */
void StopCutProxy(CutProxy *proxy);

WORD CutProxyPort(const CutProxy *proxy);

/* The next client chunk holding `text` (its bytes, case-sensitive) is
 * passed on, the server's answer swallowed and the connection closed; with
 * `refuseAfter`, new connections are then closed at once until
 * ReopenCutProxy. */
void ArmCutProxy(CutProxy *proxy, const char *text, bool refuseAfter);
/* The same, cut at the next server chunk holding `text`, which never
 * reaches the client. For a server that answers a statement in steps
 * (PostgreSQL parses, then executes and commits): its "INSERT 0 1" is sent
 * once the row is committed. */
void ArmCutProxyOnAnswer(CutProxy *proxy, const char *text, bool refuseAfter);
void ReopenCutProxy(CutProxy *proxy);

/* How many connections were cut, and how many were refused. */
int CutProxyCuts(const CutProxy *proxy);
int CutProxyRefusals(const CutProxy *proxy);

} // namespace vqt

#endif
