/* The loopback relay that loses one answer on purpose (see cutproxy.h). */
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/cutproxy.h"

#include <string.h>
#include <string>
#include <vector>

namespace vqt {

struct CutProxy {
    SOCKET listener = INVALID_SOCKET;
    WORD port = 0;
    WORD target = 0;
    HANDLE acceptThread = NULL;
    volatile LONG stopping = 0;
    CRITICAL_SECTION lock;
    std::string armed;          /* empty: not armed */
    bool onAnswer = false;      /* the text is looked for in the server's chunks */
    bool refuseAfter = false;
    bool refusing = false;
    int cuts = 0;
    int refusals = 0;
    std::vector<HANDLE> relays;
};

namespace {

struct Relay {
    CutProxy *proxy;
    SOCKET client;
    SOCKET server;
};

bool sendAll(SOCKET s, const char *data, int n)
{
    while (n > 0) {
        int sent = send(s, data, n, 0);
        if (sent <= 0)
            return false;
        data += sent;
        n -= sent;
    }
    return true;
}

/* Waits up to `ms` for `s` to be readable. */
bool readable(SOCKET s, int ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {ms / 1000, (ms % 1000) * 1000};
    return select(0, &set, NULL, NULL, &tv) == 1;
}

/* TRUE when this chunk, from the server or from the client, is the one to
 * cut at; disarms the proxy then. */
bool takeCut(CutProxy *p, const char *data, int n, bool fromServer)
{
    EnterCriticalSection(&p->lock);
    bool cut = !p->armed.empty() && p->onAnswer == fromServer
               && std::string(data, (size_t)n).find(p->armed) != std::string::npos;
    if (cut) {
        p->armed.clear();
        p->cuts++;
        p->refusing = p->refuseAfter;
    }
    LeaveCriticalSection(&p->lock);
    return cut;
}

DWORD WINAPI relayThread(void *arg)
{
    Relay *r = (Relay *)arg;
    CutProxy *p = r->proxy;
    char buf[65536];
    while (!p->stopping) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(r->client, &set);
        FD_SET(r->server, &set);
        timeval tv = {0, 200000};
        int ready = select(0, &set, NULL, NULL, &tv);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        if (FD_ISSET(r->client, &set)) {
            int n = recv(r->client, buf, sizeof buf, 0);
            if (n <= 0 || !sendAll(r->server, buf, n))
                break;
            if (takeCut(p, buf, n, false)) {
                /* The server answers once it has done the work; that
                 * answer never reaches the client. */
                if (readable(r->server, 30000))
                    recv(r->server, buf, sizeof buf, 0);
                break;
            }
        }
        if (FD_ISSET(r->server, &set)) {
            int n = recv(r->server, buf, sizeof buf, 0);
            if (n <= 0 || takeCut(p, buf, n, true) || !sendAll(r->client, buf, n))
                break;
        }
    }
    shutdown(r->client, SD_BOTH);
    shutdown(r->server, SD_BOTH);
    closesocket(r->client);
    closesocket(r->server);
    delete r;
    return 0;
}

SOCKET connectTarget(WORD port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return s;
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, (sockaddr *)&to, sizeof to) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

DWORD WINAPI acceptThread(void *arg)
{
    CutProxy *p = (CutProxy *)arg;
    while (!p->stopping) {
        if (!readable(p->listener, 200))
            continue;
        SOCKET client = accept(p->listener, NULL, NULL);
        if (client == INVALID_SOCKET)
            continue;
        EnterCriticalSection(&p->lock);
        bool refuse = p->refusing;
        if (refuse)
            p->refusals++;
        LeaveCriticalSection(&p->lock);
        SOCKET server = refuse ? INVALID_SOCKET : connectTarget(p->target);
        if (server == INVALID_SOCKET) {
            closesocket(client);
            continue;
        }
        Relay *r = new Relay{p, client, server};
        HANDLE t = CreateThread(NULL, 0, relayThread, r, 0, NULL);
        if (!t) {
            closesocket(client);
            closesocket(server);
            delete r;
            continue;
        }
        EnterCriticalSection(&p->lock);
        p->relays.push_back(t);
        LeaveCriticalSection(&p->lock);
    }
    return 0;
}

} // namespace

CutProxy *StartCutProxy(WORD targetPort)
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return NULL;
    CutProxy *p = new CutProxy;
    InitializeCriticalSection(&p->lock);
    p->target = targetPort;
    p->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof at;
    if (p->listener == INVALID_SOCKET || bind(p->listener, (sockaddr *)&at, sizeof at) != 0
        || listen(p->listener, 8) != 0 || getsockname(p->listener, (sockaddr *)&at, &len) != 0) {
        StopCutProxy(p);
        return NULL;
    }
    p->port = ntohs(at.sin_port);
    p->acceptThread = CreateThread(NULL, 0, acceptThread, p, 0, NULL);
    if (!p->acceptThread) {
        StopCutProxy(p);
        return NULL;
    }
    return p;
}

void StopCutProxy(CutProxy *p)
{
    if (!p)
        return;
    InterlockedExchange(&p->stopping, 1);
    if (p->acceptThread) {
        WaitForSingleObject(p->acceptThread, INFINITE);
        CloseHandle(p->acceptThread);
    }
    for (HANDLE t : p->relays) {
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    }
    if (p->listener != INVALID_SOCKET)
        closesocket(p->listener);
    DeleteCriticalSection(&p->lock);
    delete p;
    WSACleanup();
}

WORD CutProxyPort(const CutProxy *p)
{
    return p->port;
}

static void arm(CutProxy *p, const char *text, bool refuseAfter, bool onAnswer)
{
    EnterCriticalSection(&p->lock);
    p->armed = text ? text : "";
    p->refuseAfter = refuseAfter;
    p->onAnswer = onAnswer;
    LeaveCriticalSection(&p->lock);
}

void ArmCutProxy(CutProxy *p, const char *text, bool refuseAfter)
{
    arm(p, text, refuseAfter, false);
}

void ArmCutProxyOnAnswer(CutProxy *p, const char *text, bool refuseAfter)
{
    arm(p, text, refuseAfter, true);
}

void ReopenCutProxy(CutProxy *p)
{
    EnterCriticalSection(&p->lock);
    p->refusing = false;
    LeaveCriticalSection(&p->lock);
}

int CutProxyCuts(const CutProxy *p)
{
    EnterCriticalSection(const_cast<CRITICAL_SECTION *>(&p->lock));
    int n = p->cuts;
    LeaveCriticalSection(const_cast<CRITICAL_SECTION *>(&p->lock));
    return n;
}

int CutProxyRefusals(const CutProxy *p)
{
    EnterCriticalSection(const_cast<CRITICAL_SECTION *>(&p->lock));
    int n = p->refusals;
    LeaveCriticalSection(const_cast<CRITICAL_SECTION *>(&p->lock));
    return n;
}

} // namespace vqt
