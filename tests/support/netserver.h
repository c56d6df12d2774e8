/* Test helper for the tests that talk to the loopback servers (the WinHTTP
 * client's and the resource identifier's): the loopback servers' ports
 * (from the environment CTest's fixture hands over), the requests the
 * servers recorded, unique request tokens and the servers' byte pattern.
 * Tests only. */
#ifndef VQ_TESTS_NETSERVER_H
#define VQ_TESTS_NETSERVER_H

#include <windows.h>
#include <string>
#include <vector>

namespace vqt {

/* Addresses of the servers' listeners (all loopback). */
extern const char kCaseHost[];        /* the case server */
extern const char kCaseHost2[];       /* the case server on a second address */
extern const char kNotFoundHost[];    /* answers 404 to everything */
extern const char kBadRequestHost[];  /* answers 400 to everything */
extern const char kRefusingHost[];    /* refuses connections */
extern const char kUnresolvable[];    /* fails to resolve without any DNS query */
extern const char kProxyUser[];
extern const char kProxyPassword[];

/* A port from the environment, 0 when the variable is missing. */
int HttpPort();
int TlsPort();
int ProxyPort();

/* A token unique within the run, to find a test's own requests. */
std::string UniqueToken();

struct SeenRequest {
    std::string listener;   /* "case", "notfound", "badrequest", "proxy" */
    std::string method;
    std::string path;
    long bodyLength;
    std::vector<std::pair<std::string, std::string>> headers;
    /* Value of a header (name without regard to case), "" when absent. */
    std::string header(const std::string &name) const;
    bool has(const std::string &name) const;
};

/* The recorded requests whose path contains `token`, in arrival order. */
std::vector<SeenRequest> RequestsWith(const std::string &token);

/* The host part (without the port) of the Host header of each of those
 * requests, in arrival order. */
std::vector<std::string> HostsSeen(const std::string &token);

/* Bytes start .. start+count-1 of the servers' pattern 33 + i % 89. */
std::string PatternBytes(size_t start, size_t count);

/* The first `count` bytes of the servers' noise: printable bytes that
 * hardly compress (the case key "noise"). */
std::string NoiseBytes(size_t count);

/* While one is alive, the test program is ended at once (exit code 3, with
 * a line naming `what`) should it still be alive after `seconds`: a transfer
 * that never ends fails the run in bounded time instead of stalling the
 * suite until CTest's time-out. */
class Deadline {
public:
    Deadline(unsigned seconds, const std::string &what);
    ~Deadline();
    Deadline(const Deadline &) = delete;
    Deadline &operator=(const Deadline &) = delete;

private:
    HANDLE done_;
    HANDLE thread_;
    unsigned seconds_;
    std::string what_;
    static DWORD WINAPI watch(void *self);
};

/* Makes the server answer the requests of `token` soundly from now on
 * (the case's "healed" answer). */
bool HealToken(const std::string &token);

std::wstring Wide(const std::string &text);

} // namespace vqt

#endif
