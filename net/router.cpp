/* The request router. Each request is tried first at the server's last
 * access name; when that fails with a result that points at a wrong or
 * unreachable address (name not resolved, no connection, time-out, bad URL,
 * bad request, or a certificate that is not the pinned one) the IP address, the secondary IP address, the server name
 * and the flat name follow in that order. Any other answer of a server is
 * final: trying another address of the same server would only repeat it. */
#include "net/router.h"
#include "net/bitrate.h"
#include "net/download.h"
#include "net/httpengine.h"
#include "net/netlimits.h"
#include "net/servertrust.h"
#include "net/upload.h"
#include "agent/agentparams.h"
#include "agent/log.h"
#include "agent/registry.h"
#include "agent/textconv.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <winhttp.h>

/* What one try of an address needs besides the address. */
struct RouteTarget {
    BOOL toManagementServer;
    const char *protocol;
    INTERNET_PORT port;
    BOOL useProxy;
    wchar_t *proxyServer;
    wchar_t *proxyBypass;
    wchar_t *proxyUser;
    wchar_t *proxyPassword;
    wchar_t *url;
    wchar_t *destination;
    const char *data;
    char **out;
    DWORD requestType;
    BOOL keepAlive;
    DWORD length;
    DWORD mode;
};

/* A certificate that is not the pinned one (ERROR_WINHTTP_SECURE_FAILURE)
 * means this address reached someone else: the next address may reach the
 * server itself. */
static BOOL isFallbackResult(DWORD result)
{
    return result == ERROR_WINHTTP_NAME_NOT_RESOLVED || result == ERROR_WINHTTP_CANNOT_CONNECT ||
           result == ERROR_WINHTTP_TIMEOUT || result == ERROR_WINHTTP_INVALID_URL || result == 400 ||
           result == ERROR_WINHTTP_SECURE_FAILURE;
}

static BOOL isSuccess(DWORD result)
{
    return result == 0 || result == VQ_NET_NOT_MODIFIED;
}

static BOOL isUsable(const wchar_t *address)
{
    return address && wcslen(address) > VQ_NET_MAX_UNUSABLE_ADDRESS_CHARS;
}

static BOOL isSendType(DWORD requestType)
{
    return requestType == SEND_DATA || requestType == SEND_REQUEST ||
           requestType == SEND_MULTIPART_DATA || requestType == UPLOAD_FILE;
}

static BOOL containsNoCase(const char *text, const char *part)
{
    return StrStrIA(text, part) != NULL;
}

/* One transfer to one address. */
static DWORD tryAddress(const RouteTarget *t, const wchar_t *address)
{
    if (t->requestType == UPLOAD_FILE)
        return InternetSendRequestByBitRate(t->useProxy, t->protocol, address, t->port, t->proxyServer,
                                            t->proxyBypass, t->proxyUser, t->proxyPassword, t->url,
                                            t->data, t->out, t->requestType, t->keepAlive, t->length);
    if (isSendType(t->requestType))
        return InternetSendRequestEx(t->useProxy, t->protocol, address, t->port, t->proxyServer,
                                     t->proxyBypass, t->proxyUser, t->proxyPassword, t->url, t->data,
                                     t->out, t->requestType, t->keepAlive, t->length);
    if (t->mode == VQ_TRANSFER_PLAIN)
        return InternetGetDownloader(t->useProxy, t->protocol, address, t->port, t->proxyServer,
                                     t->proxyBypass, t->proxyUser, t->proxyPassword, t->url,
                                     t->destination, t->out, t->requestType, t->keepAlive, TRUE);
    if (t->mode == VQ_TRANSFER_BITRATE)
        return InternetGetRequestByBitrate(t->useProxy, t->protocol, address, t->port, t->proxyServer,
                                           t->proxyBypass, t->proxyUser, t->proxyPassword, t->url,
                                           t->destination, t->out, t->requestType, t->keepAlive);
    /* Mode 2: no GET transfer. */
    return ERROR_WINHTTP_NAME_NOT_RESOLVED;
}

/* Replaces the chosen server's last access name in memory and in the
 * ServerInfo key. */
static void rememberAddress(BOOL toManagementServer, const wchar_t *address)
{
    char *name = NULL;
    if (!ChangeWideToUtf8Str(address, &name))
        return;
    char **slot = toManagementServer ? &gv_agentParams.VQLastAccessName
                                     : &gv_agentParams.DistributionLastAccessName;
    const char *valueName = toManagementServer ? "VQLastAccessName" : "DistributionLastAccessName";
    free(*slot);
    *slot = name;
    writeValue(HKEY_LOCAL_MACHINE, VQ_SERVERINFO_KEY, valueName, name, REG_SZ);
    LogInfo("AgentSendRequest : Last Access Address is %s \n", name);
}

/* The URL with backslashes turned into slashes and rewritten for the
 * edition: a new text. */
static char *rewriteUrl(const char *url, BOOL toManagementServer, DWORD requestType)
{
    size_t len = strlen(url);
    char *slashed = (char *)malloc(len + 1);
    if (!slashed)
        return NULL;
    for (size_t i = 0; i <= len; i++)
        slashed[i] = url[i] == '\\' ? '/' : url[i];

    const char *code = gv_vqProductCode ? gv_vqProductCode : "";
    const char *prefix = NULL;
    if (_stricmp(code, "VQOD") == 0) {
        if (toManagementServer && (requestType == GET_DATA || requestType == DOWNLOAD_FILE)) {
            if (!containsNoCase(slashed, "/agentRequest?") && !containsNoCase(slashed, "/agentSlot?") &&
                !containsNoCase(slashed, "/agenttrayicon?") && !containsNoCase(slashed, "agentinfo?"))
                prefix = "clientdatarequest?fileName=";
            else
                LogInfo("AgentSendRequest - gv_vqProductCode is [%s], requestType is GET_DATA / "
                        "DOWNLOAD_FILE [%d] and is servlet request \n", code, (int)requestType);
        } else {
            LogInfo("AgentSendRequest - gv_vqProductCode is [%s], toVQServer is set to [%d]. Request "
                    "Type is NOT GET_DATA / DOWNLOAD_FILE and is [%d]\n",
                    code, toManagementServer ? 1 : 0, (int)requestType);
        }
    } else if (_stricmp(code, "KORVA") == 0) {
        prefix = "vq/";
        LogInfo("AgentSendRequest - gv_vqProductCode is [%s], requestType is GET_DATA / DOWNLOAD_FILE "
                "[%d] \n", code, (int)requestType);
    } else {
        LogDebug("AgentSendRequest - Stand Alone / MSP build : gv_vqProductCode is [%s] \n", code);
    }
    if (!prefix)
        return slashed;
    size_t prefixLen = strlen(prefix);
    char *rewritten = (char *)malloc(prefixLen + len + 1);
    if (rewritten) {
        memcpy(rewritten, prefix, prefixLen);
        memcpy(rewritten + prefixLen, slashed, len + 1);
    }
    free(slashed);
    return rewritten;
}

static wchar_t *wideOrNull(const char *text)
{
    wchar_t *wide = NULL;
    if (text)
        ChangeUtf8ToWideStr(text, &wide);
    return wide;
}

DWORD AgentSendRequest(const char *url, const char *data, char **out, DWORD requestType,
                       BOOL keepAlive, BYTE toVQServer, DWORD length, DWORD mode)
{
    const AgentParameters *p = &gv_agentParams;
    LogInfo("gotcha1 %s", url ? url : "");
    if (!url)
        return ERROR_INVALID_PARAMETER;

    RouteTarget t;
    memset(&t, 0, sizeof(t));
    t.toManagementServer = toVQServer == 1 || !p->EnableDistributionServer ||
                           _stricmp(p->EnableDistributionServer, "yes") != 0;
    t.protocol = t.toManagementServer ? p->VQServerProtocol : p->DistributionServerProtocol;
    t.data = data;
    t.out = out;
    t.requestType = requestType;
    t.keepAlive = keepAlive;
    t.length = length;
    t.mode = mode;

    DWORD result = ERROR_WINHTTP_NAME_NOT_RESOLVED;
    char *rewritten = rewriteUrl(url, t.toManagementServer, requestType);
    char *utf8 = NULL;
    if (rewritten)
        ChangeAnsiToUTF8Str(rewritten, &utf8);
    free(rewritten);
    if (!utf8)
        return ERROR_NOT_ENOUGH_MEMORY;
    LogInfo("AgentSendRequest : The url to get / send in UTF8 format is given by %s \n", utf8);
    ChangeUtf8ToWideStr(utf8, &t.url);
    free(utf8);

    if (mode != VQ_TRANSFER_NONE) {
        if (requestType == GET_DATA)
            ChangeUtf8ToWideStr(data, &t.destination);
        else if (requestType == DOWNLOAD_FILE)
            ChangeToWideStr(data, &t.destination);
    }

    const char *names[5];
    if (t.toManagementServer) {
        t.port = (INTERNET_PORT)p->ActiveServerPort;
        names[0] = p->VQLastAccessName;
        names[1] = p->VQServerIPAddress;
        names[2] = p->VQServerSecIPAddress;
        names[3] = p->VQServerName;
        names[4] = p->VQServerFlatName;
    } else {
        t.port = (INTERNET_PORT)p->ActiveDistributionServerPort;
        names[0] = p->DistributionLastAccessName;
        names[1] = p->DistributionServerIPAddress;
        names[2] = p->DistributionServerSecIPAddress;
        names[3] = p->DistributionServerName;
        names[4] = p->DistributionServerFlatName;
    }
    wchar_t *address[5];
    for (int i = 0; i < 5; i++)
        address[i] = wideOrNull(names[i]);

    if (p->ProxyEnabled && _stricmp(p->ProxyEnabled, "yes") == 0 && t.toManagementServer) {
        t.useProxy = TRUE;
        t.proxyUser = wideOrNull(p->ProxyUserName);
        t.proxyPassword = wideOrNull(p->ProxyPassword);
        t.proxyServer = wideOrNull(p->ProxyServerName);
        t.proxyBypass = wideOrNull(p->ProxyByPass);
    }

    /* Every try of this call meets the chosen server's certificate demands. */
    ServerTrust trust;
    ServerTrustFor(t.toManagementServer, &trust);
    const ServerTrust *previousTrust = SetRequestTrust(&trust);

    enum { LAST = 0, IP = 1, SECONDARY = 2, NAME = 3, FLAT = 4 };
    int answered = -1;   /* the address whose try is the result */
    if (t.url) {
        if (isUsable(address[LAST])) {
            result = tryAddress(&t, address[LAST]);
            answered = LAST;
        }
        if (isFallbackResult(result)) {
            if (isUsable(address[IP])) {
                result = tryAddress(&t, address[IP]);
                answered = IP;
            }
            if (!(answered == IP && isSuccess(result))) {
                /* Whatever the IP address answered, the secondary one is next. */
                if (isUsable(address[SECONDARY])) {
                    result = tryAddress(&t, address[SECONDARY]);
                    answered = SECONDARY;
                }
                if (isFallbackResult(result)) {
                    if (isUsable(address[NAME])) {
                        result = tryAddress(&t, address[NAME]);
                        answered = NAME;
                    }
                    if (isFallbackResult(result) && isUsable(address[FLAT])) {
                        result = tryAddress(&t, address[FLAT]);
                        answered = FLAT;
                    }
                }
            }
        }
    } else {
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    SetRequestTrust(previousTrust);
    if (answered >= 0 && isSuccess(result))
        rememberAddress(t.toManagementServer, address[answered]);

    for (int i = 0; i < 5; i++)
        free(address[i]);
    free(t.url);
    free(t.destination);
    free(t.proxyServer);
    free(t.proxyBypass);
    free(t.proxyUser);
    free(t.proxyPassword);
    return result;
}

DWORD GetDataFromServer(const char *serverName, int port, const char *url, char **out, BOOL keepAlive)
{
    (void)serverName;
    (void)port;
    return AgentSendRequest(url, NULL, out, GET_DATA, keepAlive, 1, 0, VQ_TRANSFER_PLAIN);
}
