/* The loopback servers seen from the tests: ports from the environment,
 * the request log read back and split into records. */
#include "netserver.h"
#include "testutil.h"

#include <winhttp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace vqt {

const char kCaseHost[] = "127.0.0.1";
const char kCaseHost2[] = "127.0.0.2";
const char kNotFoundHost[] = "127.0.0.3";
const char kBadRequestHost[] = "127.0.0.4";
const char kRefusingHost[] = "127.0.0.5";
/* The empty label makes the resolver refuse the name before it asks any
 * name server, so no query leaves the computer. */
const char kUnresolvable[] = "nohost..invalid";
const char kProxyUser[] = "proxyuser";
const char kProxyPassword[] = "proxypass";

static int portFrom(const char *name)
{
    char text[32] = {0};
    DWORD n = GetEnvironmentVariableA(name, text, sizeof(text));
    if (n == 0 || n >= sizeof(text))
        return 0;
    return atoi(text);
}

int HttpPort() { return portFrom("VQ_NET_HTTP_PORT"); }
int TlsPort() { return portFrom("VQ_NET_TLS_PORT"); }
int ProxyPort() { return portFrom("VQ_NET_PROXY_PORT"); }

std::string UniqueToken()
{
    static LONG counter = 0;
    return "tok" + std::to_string(GetCurrentProcessId()) + "x" +
           std::to_string(InterlockedIncrement(&counter)) + "x" + std::to_string(GetTickCount());
}

static std::string lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

std::string SeenRequest::header(const std::string &name) const
{
    for (const auto &h : headers)
        if (lower(h.first) == lower(name))
            return h.second;
    return "";
}

bool SeenRequest::has(const std::string &name) const
{
    for (const auto &h : headers)
        if (lower(h.first) == lower(name))
            return true;
    return false;
}

static std::vector<std::string> splitTabs(const std::string &line)
{
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        size_t tab = line.find('\t', at);
        parts.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos)
            break;
        at = tab + 1;
    }
    return parts;
}

std::vector<SeenRequest> RequestsWith(const std::string &token)
{
    std::vector<SeenRequest> found;
    char path[MAX_PATH] = {0};
    DWORD n = GetEnvironmentVariableA("VQ_NET_REQUEST_LOG", path, sizeof(path));
    if (n == 0 || n >= sizeof(path))
        return found;
    for (const std::string &line : SplitLines(ReadWholeFile(path))) {
        std::vector<std::string> parts = splitTabs(line);
        if (parts.size() < 4 || parts[2].find(token) == std::string::npos)
            continue;
        SeenRequest r;
        r.listener = parts[0];
        r.method = parts[1];
        r.path = parts[2];
        r.bodyLength = atol(parts[3].c_str());
        for (size_t i = 4; i < parts.size(); i++) {
            size_t colon = parts[i].find(": ");
            if (colon != std::string::npos)
                r.headers.push_back({parts[i].substr(0, colon), parts[i].substr(colon + 2)});
        }
        found.push_back(r);
    }
    return found;
}

std::vector<std::string> HostsSeen(const std::string &token)
{
    std::vector<std::string> hosts;
    for (const SeenRequest &r : RequestsWith(token)) {
        std::string host = r.header("Host");
        hosts.push_back(host.substr(0, host.find(':')));
    }
    return hosts;
}

std::string PatternBytes(size_t start, size_t count)
{
    std::string out(count, '\0');
    for (size_t i = 0; i < count; i++)
        out[i] = (char)(33 + (start + i) % 89);
    return out;
}

std::string NoiseBytes(size_t count)
{
    std::string out(count, '\0');
    unsigned x = 12345;
    for (size_t i = 0; i < count; i++) {
        x = x * 1103515245u + 12345u;
        out[i] = (char)(33 + (x >> 16) % 89);
    }
    return out;
}

Deadline::Deadline(unsigned seconds, const std::string &what)
    : done_(CreateEventA(NULL, TRUE, FALSE, NULL)), thread_(NULL), seconds_(seconds), what_(what)
{
    if (done_)
        thread_ = CreateThread(NULL, 0, watch, this, 0, NULL);
}

Deadline::~Deadline()
{
    if (done_)
        SetEvent(done_);
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (done_)
        CloseHandle(done_);
}

DWORD WINAPI Deadline::watch(void *self)
{
    Deadline *d = (Deadline *)self;
    if (WaitForSingleObject(d->done_, d->seconds_ * 1000u) == WAIT_OBJECT_0)
        return 0;
    fprintf(stderr, "\nFAILED: %s did not end within %u s; the test program stops here\n", d->what_.c_str(),
            d->seconds_);
    fflush(stderr);
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}

bool HealToken(const std::string &token)
{
    std::wstring path = Wide("/heal/" + token);
    HINTERNET s = WinHttpOpen(L"vqtests", WINHTTP_ACCESS_TYPE_NO_PROXY, NULL, NULL, 0);
    HINTERNET c = s ? WinHttpConnect(s, L"127.0.0.1", (INTERNET_PORT)HttpPort(), 0) : NULL;
    HINTERNET r = c ? WinHttpOpenRequest(c, L"GET", path.c_str(), NULL, NULL, NULL, 0) : NULL;
    DWORD status = 0, size = sizeof(status);
    bool ok = r && WinHttpSendRequest(r, NULL, 0, NULL, 0, 0, 0) && WinHttpReceiveResponse(r, NULL) &&
              WinHttpQueryHeaders(r, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, NULL, &status,
                                  &size, NULL) &&
              status == 200;
    if (r)
        WinHttpCloseHandle(r);
    if (c)
        WinHttpCloseHandle(c);
    if (s)
        WinHttpCloseHandle(s);
    return ok;
}

std::wstring Wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace vqt
