/* Reads the agent's parameters from its registry keys and the system into
 * gv_agentParams. Required values end the reading with 13 and an ERROR
 * line naming the step; optional ones are logged and keep their initial
 * values. The record is written here, on the main thread, before any
 * request, and only read afterwards. */
#include "agent/agentparams.h"
#include "agent/certfingerprint.h"
#include "agent/cryptokeys.h"
#include "agent/domaininfo.h"
#include "agent/log.h"
#include "agent/netinfo.h"
#include "agent/registry.h"
#include "agent/resourceid.h"
#include "agent/textformat.h"
#include "agent/textutil.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

AgentParameters gv_agentParams;
char *gv_clientDataPath;
char *gv_vqProductCode;
char *gv_localComputerName;

static const char kStars[] = "****************************************************************** \n";

static void setText(char **field, const char *text)
{
    char *copy = CopyText(text);
    free(*field);
    *field = copy;
}

/* Reads a REG_SZ into *field, replacing its value only when the read
 * succeeds; returns ReadRegSZ's code. */
static DWORD readSz(const char *keyPath, const char *name, char **field)
{
    char *text = NULL;
    DWORD rc = ReadRegSZ(HKEY_LOCAL_MACHINE, keyPath, name, &text);
    if (rc == 0) {
        free(*field);
        *field = text;
    }
    return rc;
}

static const char *shown(const char *text) { return text ? text : "(null)"; }

/* A credential as the log shows it: never its text (Base64 is not a cipher,
 * so the stored form is as readable as the password), only whether one is
 * there. */
static const char *masked(const char *secret)
{
    return !secret ? "(null)" : *secret ? "********" : "";
}

static BOOL isYes(const char *text) { return text && !lstrcmpiA(text, "yes"); }

/* A text shorter than `minimum` characters counts as absent. */
static void dropIfShorter(char **field, size_t minimum)
{
    if (*field && strlen(*field) < minimum) {
        free(*field);
        *field = NULL;
    }
}

/* Protocol rule: missing or shorter than 4 characters gives "http". */
static void protocolOrHttp(char **field)
{
    if (!*field || strlen(*field) < 4)
        setText(field, "http");
}

void ResetAgentParameters(void)
{
    AgentParameters *p = &gv_agentParams;
    char **texts[] = {
        &p->VQServerName, &p->VQServerInstalledTime, &p->VQServerFlatName, &p->VQServerIPAddress,
        &p->VQServerSecIPAddress, &p->VQLastAccessName, &p->VQServerProtocol,
        &p->VQServerCertThumbprint, &p->DistributionServerCertThumbprint,
        &p->EnableDistributionServer, &p->DistributionServerName, &p->DistributionServerFlatName,
        &p->DistributionLastAccessName, &p->DistributionServerIPAddress,
        &p->DistributionServerSecIPAddress, &p->DistributionServerProtocol, &p->VQAgentVersion,
        &p->AgentServiceName, &p->MSPName, &p->CustomerName, &p->CustomerId, &p->VQAgentInstallDir,
        &p->RemoteOfficeName, &p->RemoteOfficeID, &p->EnableRemoteOfficeMgmt, &p->InstallSource,
        &p->InstallMode, &p->ResourceID, &p->ProxyEnabled, &p->ProxyUserName, &p->ProxyPassword,
        &p->ProxyServerName, &p->ProxyByPass, &p->LocalIPAddress, &p->LocalMACAddress,
        &p->LocalSubnetMask, &p->DomainController, &p->ClientNamespace,
        &gv_clientDataPath, &gv_vqProductCode, &gv_localComputerName,
    };
    for (char **t : texts) {
        free(*t);
        *t = NULL;
    }
    memset(p, 0, sizeof(*p));
    p->VQServerProtocol = CopyText("http");
    p->EnableRemoteOfficeMgmt = CopyText("NO");
    p->HTTPRequestTimeout = 60000;
    p->HTTPConnectionTimeout = 30000;
    p->DataTransferRate_KBps = 1024;
    p->EnableChecksum = TRUE;
    p->ProxyEnabled = CopyText("NO");
    p->ProxyUserName = CopyText("");
    p->ProxyPassword = CopyText("");
    p->ProxyByPass = CopyText("<local>");
    gv_vqProductCode = CopyText("VQEE");
}

DWORD InitializeServerDetailsFromRegistry(void)
{
    AgentParameters *p = &gv_agentParams;
    if (readSz(VQ_SERVERINFO_KEY, "VQServerName", &p->VQServerName) != 0) {
        LogError("InitializeServerDetailsFromRegistry : Error while fetching server name from registry! \n");
        return ERROR_INVALID_DATA;
    }
    if (readSz(VQ_SERVERINFO_KEY, "VQServerInstalledTime", &p->VQServerInstalledTime) != 0)
        LogError("InitializeServerDetailsFromRegistry : Error while fetching server installed time from registry! \n");
    if (readSz(VQ_SERVERINFO_KEY, "VQServerFlatName", &p->VQServerFlatName) != 0)
        LogError("InitializeServerDetailsFromRegistry : Error while fetching server flat name from registry! \n");
    if (readSz(VQ_SERVERINFO_KEY, "VQServerIPAddress", &p->VQServerIPAddress) != 0)
        LogError("InitializeServerDetailsFromRegistry : Error while fetching server ipaddress from registry! \n");
    if (readSz(VQ_SERVERINFO_KEY, "VQServerSecIPAddress", &p->VQServerSecIPAddress) != 0)
        LogError("InitializeServerDetailsFromRegistry : Error while fetching server Secondary ipaddress from registry! \n");
    dropIfShorter(&p->VQServerSecIPAddress, 3);
    if (readSz(VQ_SERVERINFO_KEY, "VQLastAccessName", &p->VQLastAccessName) != 0)
        LogError("InitializeServerDetailsFromRegistry : Error while fetching server last access name from registry! \n");

    char *text = NULL;
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_SERVERINFO_KEY, "VQServerPort", &text) != 0) {
        LogError("InitializeServerDetailsFromRegistry : Error while fetching server port from registry! \n");
        return ERROR_INVALID_DATA;
    }
    p->VQServerPort = atoi(text);
    free(text);
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_SERVERINFO_KEY, "VQServerSecurePort", &text) == 0) {
        p->VQServerSecurePort = atoi(text);
        free(text);
    } else {
        p->VQServerSecurePort = p->VQServerPort + VQ_SECURE_PORT_OFFSET;
    }
    readSz(VQ_SERVERINFO_KEY, "VQServerProtocol", &p->VQServerProtocol);
    protocolOrHttp(&p->VQServerProtocol);
    p->ActiveServerPort =
        !lstrcmpiA(p->VQServerProtocol, "http") ? p->VQServerPort : p->VQServerSecurePort;
    /* Opt-in certificate checks: a missing value keeps the agent as it
     * always was, so a missing value is not an error. */
    readSz(VQ_SERVERINFO_KEY, "VQServerCertThumbprint", &p->VQServerCertThumbprint);
    if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_SERVERINFO_KEY, "VQVerifyServerCertificate",
                              &p->VQVerifyServerCertificate) != 0)
        p->VQVerifyServerCertificate = 0;
    return 0;
}

DWORD InitializeDSServerDetailsFromRegistry(void)
{
    AgentParameters *p = &gv_agentParams;
    LogDebug("InitializeDSServerDetailsFromRegistry : Reading reporting server regsirty entries\n");
    if (readSz(VQ_SERVERINFO_KEY, "DistributionServerName", &p->DistributionServerName) != 0) {
        LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server name from registry! \n");
        return ERROR_INVALID_DATA;
    }
    if (readSz(VQ_SERVERINFO_KEY, "DistributionServerFlatName", &p->DistributionServerFlatName) != 0)
        LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server flat name from registry! \n");
    if (readSz(VQ_SERVERINFO_KEY, "DistributionLastAccessName", &p->DistributionLastAccessName) != 0)
        LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server last access name from registry! \n");

    char *text = NULL;
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_SERVERINFO_KEY, "DistributionServerPort", &text) != 0) {
        LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server port from registry! \n");
        return ERROR_INVALID_DATA;
    }
    p->DistributionServerPort = atoi(text);
    free(text);
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_SERVERINFO_KEY, "DistributionServerSecurePort", &text) == 0) {
        p->DistributionServerSecurePort = atoi(text);
        free(text);
    } else {
        p->DistributionServerSecurePort = p->DistributionServerPort + VQ_SECURE_PORT_OFFSET;
    }

    if (readSz(VQ_SERVERINFO_KEY, "DistributionServerIPAddress", &p->DistributionServerIPAddress) != 0)
        LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting server ipaddress from registry! \n");
    if (readSz(VQ_SERVERINFO_KEY, "DistributionServerSecIPAddress", &p->DistributionServerSecIPAddress) != 0)
        LogError("InitializeDSServerDetailsFromRegistry : Error while fetching Reporting secondary server ipaddress from registry! \n");
    dropIfShorter(&p->DistributionServerSecIPAddress, 4);

    /* The distribution server speaks the management server's protocol:
     * the agent key is brought in line first, then read back. */
    writeValue(HKEY_LOCAL_MACHINE, VQ_SERVERINFO_KEY, "DistributionServerProtocol",
               p->VQServerProtocol, REG_SZ);
    readSz(VQ_SERVERINFO_KEY, "DistributionServerCertThumbprint", &p->DistributionServerCertThumbprint);
    readSz(VQ_SERVERINFO_KEY, "DistributionServerProtocol", &p->DistributionServerProtocol);
    protocolOrHttp(&p->DistributionServerProtocol);
    p->ActiveDistributionServerPort = !lstrcmpiA(p->DistributionServerProtocol, "http")
                                          ? p->DistributionServerPort
                                          : p->DistributionServerSecurePort;
    return 0;
}

DWORD InitializeLocalMachineDetails(void)
{
    AgentParameters *p = &gv_agentParams;
    char *ip = NULL, *mac = NULL, *mask = NULL;
    if (GetMACandIPAddress(&ip, &mac, &mask) == 0) {
        free(p->LocalIPAddress);
        free(p->LocalMACAddress);
        free(p->LocalSubnetMask);
        p->LocalIPAddress = ip;
        p->LocalMACAddress = mac;
        p->LocalSubnetMask = mask;
    } else {
        LogError("InitializeLocalMachineDetails : Error while fetching Local machine IP and MAC Addresses! \n");
        free(ip);
        free(mac);
        free(mask);
    }

    char *dc = NULL;
    if (GetComputerLogonServer(&dc) == 0) {
        free(p->DomainController);
        p->DomainController = dc;
    } else {
        LogError("InitializeLocalMachineDetails : Error while fetching computer domain controller ! \n");
    }

    char *name = NULL;
    if (!GetLocalComputerName(&name)) {
        LogError("InitializeLocalMachineDetails : Error occured while retrieving the local computer name !!! \n");
        return ERROR_INVALID_DATA;
    }
    free(gv_localComputerName);
    gv_localComputerName = name;

    char *space = NULL;
    int status = 0;
    if (!GetComputerNameSpace(&space, &status)) {
        LogError("InitializeLocalMachineDetails : Error occured while retrieving the name space !!! \n");
        return ERROR_INVALID_DATA;
    }
    /* Trimmed of white space at both ends. */
    const char *begin = space;
    while (*begin == ' ' || *begin == '\t' || *begin == '\r' || *begin == '\n')
        begin++;
    size_t n = strlen(begin);
    while (n && (begin[n - 1] == ' ' || begin[n - 1] == '\t' || begin[n - 1] == '\r' ||
                 begin[n - 1] == '\n'))
        n--;
    char *trimmed = (char *)malloc(n + 1);
    if (trimmed) {
        memcpy(trimmed, begin, n);
        trimmed[n] = '\0';
    }
    free(space);
    if (!trimmed)
        return ERROR_NOT_ENOUGH_MEMORY;
    free(p->ClientNamespace);
    p->ClientNamespace = trimmed;
    p->NamespaceStatus = status;
    return 0;
}

DWORD InitializeProxyDetails(void)
{
    AgentParameters *p = &gv_agentParams;
    if (EnsureCryptoKeys())
        LogDebug("Cryptographic client Ok\r\n");
    else
        LogDebug("Cryptographic client error\r\n");

    readSz(VQ_AGENT_KEY, "ProxyUserName", &p->ProxyUserName);
    char *stored = NULL;
    ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "ProxyPassword", &stored);
    readSz(VQ_AGENT_KEY, "ProxyServerName", &p->ProxyServerName);
    readSz(VQ_AGENT_KEY, "ProxyByPass", &p->ProxyByPass);
    LogDebug("Password from registry: %s\n", masked(stored));
    LogDebug("Encrypted password is: %s\n", masked(stored));
    char *decoded = DecodeProxyPassword(stored);
    free(stored);
    if (decoded) {
        free(p->ProxyPassword);
        p->ProxyPassword = decoded;
    }
    LogDebug("Decrypted password is: %s\n", masked(p->ProxyPassword));

    if (isYes(p->ProxyEnabled)) {
        LogInfo("*********************************************************** \n");
        LogInfo("Proxy Server Name -> %s \n", shown(p->ProxyServerName));
        LogInfo("Proxy UserName    -> %s \n", shown(p->ProxyUserName));
        LogInfo("Proxy ByPass List -> %s \n", shown(p->ProxyByPass));
        LogInfo("*********************************************************** \n");
    }
    return 0;
}

DWORD GetCustomerId(char **customerId)
{
    DWORD rc = ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "CustomerId", customerId);
    if (rc != 0 || !*customerId || !**customerId) {
        LogError("GetCustomerId: error while retrieving customerid\n");
        free(*customerId);
        *customerId = NULL;
        return ERROR_INVALID_DATA;
    }
    return 0;
}

DWORD GetAgentInstallDir(char **installDir)
{
    return ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "VQAgentInstallDir", installDir);
}

/* The transfer-rate rule: a missing, empty or too high value is replaced
 * by 0, in the registry too. */
static void readTransferRate(void)
{
    AgentParameters *p = &gv_agentParams;
    char *text = NULL;
    BOOL rewrite = FALSE;
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "DataTransferRate_KBps", &text) != 0 ||
        !*text) {
        rewrite = TRUE;
    } else {
        /* Compared as unsigned, so a negative text counts as too high. */
        DWORD rate = (DWORD)atoi(text);
        if (rate > VQ_MAX_TRANSFER_RATE_KBPS)
            rewrite = TRUE;
        else
            p->DataTransferRate_KBps = rate;
    }
    free(text);
    if (rewrite) {
        p->DataTransferRate_KBps = 0;
        char zero[16];
        snprintf(zero, sizeof(zero), "%u", 0u);
        writeValue(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "DataTransferRate_KBps", zero, REG_SZ);
    }
}

static DWORD readDwordOr(const char *name, DWORD fallback)
{
    DWORD value = 0;
    return ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, name, &value) == 0 ? value
                                                                                     : fallback;
}

DWORD InitializeAgentDetails(void)
{
    AgentParameters *p = &gv_agentParams;
    if (readSz(VQ_AGENT_KEY, "VQAgentVersion", &p->VQAgentVersion) != 0) {
        LogError("InitializeAgentDetails : Error while fetching agent version from registry! \n");
        return ERROR_INVALID_DATA;
    }
    if (readSz(VQ_AGENT_KEY, "AgentServiceName", &p->AgentServiceName) != 0) {
        LogError("InitializeAgentDetails : Error while fetching agent service name from registry! \n");
        return ERROR_INVALID_DATA;
    }
    if (readSz(VQ_AGENT_KEY, "MSPName", &p->MSPName) != 0) {
        LogError("InitializeAgentDetails : Error while fetching msp name from registry! \n");
        return ERROR_INVALID_DATA;
    }
    if (readSz(VQ_AGENT_KEY, "CustomerName", &p->CustomerName) != 0) {
        LogError("InitializeAgentDetails : Error while fetching customer name from registry! \n");
        return ERROR_INVALID_DATA;
    }
    char *customerId = NULL;
    if (GetCustomerId(&customerId) != 0) {
        LogError("InitializeAgentDetails : Error while fetching customer Id from registry! \n");
        return ERROR_INVALID_DATA;
    }
    free(p->CustomerId);
    p->CustomerId = customerId;
    if (readSz(VQ_AGENT_KEY, "VQProductCode", &gv_vqProductCode) != 0) {
        LogError("InitializeAgentDetails : Error while fetching product Code from registry! \n");
        return ERROR_INVALID_DATA;
    }
    char *installDir = NULL;
    if (GetAgentInstallDir(&installDir) != 0) {
        LogError("InitializeAgentDetails : Error while fetching agent install directory from registry! \n");
        return ERROR_INVALID_DATA;
    }
    free(p->VQAgentInstallDir);
    p->VQAgentInstallDir = installDir;

    if (readSz(VQ_AGENT_KEY, "RemoteOfficeName", &p->RemoteOfficeName) != 0)
        LogError("InitializeAgentDetails : Error while fetching branch office Name from registry! \n");
    if (readSz(VQ_AGENT_KEY, "RemoteOfficeID", &p->RemoteOfficeID) != 0)
        LogError("InitializeAgentDetails : Error while fetching branch office ID from registry! \n");
    readSz(VQ_AGENT_KEY, "EnableRemoteOfficeMgmt", &p->EnableRemoteOfficeMgmt);
    p->HTTPRequestTimeout = readDwordOr("HTTPRequestTimeout", 60000);
    p->HTTPConnectionTimeout = readDwordOr("HTTPConnectionTimeout", 30000);
    readTransferRate();
    if (readSz(VQ_AGENT_KEY, "InstallSource", &p->InstallSource) != 0)
        LogError("InitializeAgentDetails : Error while fetching Install source from registry! \n");
    if (readSz(VQ_AGENT_KEY, "InstallMode", &p->InstallMode) != 0)
        LogError("InitializeAgentDetails : Error while fetching Install mode from registry! \n");

    char *route = NULL;
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "EnableDSRoute", &route) != 0) {
        p->EnableDSRoute = FALSE;
        if (writeValue(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "EnableDSRoute", "no", REG_SZ) != 0)
            LogError("InitializeAgentDetails : Error while fetching GetEnableDSRoute from registry! \n");
    } else if (*route) {
        p->EnableDSRoute = isYes(route);
    }
    free(route);

    p->BlockCrashedConfig = readDwordOr("BlockCrashedConfig", 0);
    p->ShutdownBlocked = readDwordOr("ShutdownBlocked", 0);
    LogDebug("InitializeAgentDetails : Some configuration is crashed (if value is one) : %d \n",
             (int)p->BlockCrashedConfig);
    LogInfo("InitializeAgentDetails : BlockedShutdown value : %d \n", (int)p->ShutdownBlocked);

    char *customerLower = ToLowerUtf8(p->CustomerId);
    char *namespaceLower = ToLowerUtf8(p->ClientNamespace ? p->ClientNamespace : "");
    if (customerLower && namespaceLower) {
        size_t n = strlen("client-data/") + strlen(customerLower) + strlen("/domains/") +
                   strlen(namespaceLower) + 1;
        char *path = (char *)malloc(n);
        if (path) {
            snprintf(path, n, "client-data/%s/domains/%s", customerLower, namespaceLower);
            free(gv_clientDataPath);
            gv_clientDataPath = path;
        }
    }
    free(customerLower);
    free(namespaceLower);

    char *resourceId = NULL;
    if (GetResourceID(&resourceId) == 0) {
        free(p->ResourceID);
        p->ResourceID = resourceId;
    }

    char *checksum = NULL;
    if (ReadRegSZ(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "EnableChecksum", &checksum) != 0)
        p->EnableChecksum = TRUE;
    else
        p->EnableChecksum = isYes(checksum);
    free(checksum);
    return 0;
}

void LogAgentParameters(void)
{
    const AgentParameters *p = &gv_agentParams;
    LogInfo(kStars);
    LogInfo("Velquin Server Name                -> %s \n", shown(p->VQServerName));
    LogInfo("Velquin Server Flat Name           -> %s \n", shown(p->VQServerFlatName));
    LogInfo("Velquin Server IPAddress           -> %s \n", shown(p->VQServerIPAddress));
    LogInfo("Velquin Server Secondary IPAddress -> %s \n", shown(p->VQServerSecIPAddress));
    LogInfo("Velquin Last Access Name           -> %s \n", shown(p->VQLastAccessName));
    LogInfo("Velquin Server Port                -> %d \n", p->ActiveServerPort);
    LogInfo("Velquin Server Protocol            -> %s \n", shown(p->VQServerProtocol));
    LogInfo("Velquin Agent Version              -> %s \n", shown(p->VQAgentVersion));
    LogInfo("Velquin Agent InstallDir           -> %s \n", shown(p->VQAgentInstallDir));
    LogInfo("Velquin Client Namespace           -> %s \n", shown(p->ClientNamespace));
    LogInfo("Velquin Server Data Path           -> %s \n", shown(gv_clientDataPath));
    LogInfo("Velquin MSP Name\t           -> %s \n", shown(p->MSPName));
    LogInfo("Velquin Customer Name\t           -> %s \n", shown(p->CustomerName));
    LogInfo("Velquin Customer Id\t\t   -> %s \n", shown(p->CustomerId));
    LogInfo("Velquin Product Code               -> %s \n", shown(gv_vqProductCode));
    LogInfo("Local Computer Name                       -> %s \n", shown(gv_localComputerName));
    LogInfo("Local Computer IP Address                 -> %s \n", shown(p->LocalIPAddress));
    LogInfo("Local Computer MAC Address                -> %s \n", shown(p->LocalMACAddress));
    LogInfo("Local Computer Subnet Mask                -> %s \n", shown(p->LocalSubnetMask));
    LogInfo("VQ Distribution Server Enabled            -> %s \n", shown(p->EnableDistributionServer));
    LogInfo("The remote office name is                 -> %s \n", shown(p->RemoteOfficeName));
    LogInfo("Velquin Agent HTTP Request Timeout -> %d \n", (int)p->HTTPRequestTimeout);
    LogInfo("Local Computer Domain controller          -> %s \n", shown(p->DomainController));
    LogInfo("The Agent Machine Resource Id is given by -> %s \n", shown(p->ResourceID));
    LogInfo("Agent Checksum Enabled\t\t               -> %d \n", (int)p->EnableChecksum);
    LogInfo("Agent Data Transfer Rate in KBps\t\t   -> %d \n", (int)p->DataTransferRate_KBps);
    LogInfo("Agent Installation Source\t\t\t\t   -> %s \n", shown(p->InstallSource));
    LogInfo("Agent Installation Mode\t\t\t\t   -> %s (2-> silent, 5->Manual) \n", shown(p->InstallMode));
    LogInfo(kStars);
    if (!isYes(p->EnableDistributionServer))
        return;
    LogInfo("VQ Distribution Server  Name      \t\t\t-> %s \n", shown(p->DistributionServerName));
    LogInfo("VQ Distribution Server  IPAddress \t\t\t-> %s \n", shown(p->DistributionServerIPAddress));
    LogInfo("VQ Distribution Server  Sec IPAddress         \t\t-> %s \n",
            shown(p->DistributionServerSecIPAddress));
    LogInfo("VQ Distribution Server  Port      \t\t\t-> %d \n", p->ActiveDistributionServerPort);
    LogInfo("VQ Distribution Server  Last Access Name\t\t-> %s \n", shown(p->DistributionLastAccessName));
    LogInfo("VQ Distribution Server  Protocol  \t\t\t-> %s \n", shown(p->DistributionServerProtocol));
    LogInfo("Remote Office ID                          -> %s \n", shown(p->RemoteOfficeID));
    LogInfo(kStars);
}

static void logMode(const char *server, const char *valueName, BOOL managementServer)
{
    const char *text = managementServer ? gv_agentParams.VQServerCertThumbprint
                                        : gv_agentParams.DistributionServerCertThumbprint;
    BOOL verify = gv_agentParams.VQVerifyServerCertificate == 1;
    BYTE pin[VQ_CERT_HASH_BYTES];
    const char *verified = verify ? ", and verified by Windows" : "";
    if (text && !ParseCertFingerprint(text, pin)) {
        LogError("LogServerCertificateModes : %s : the value %s \"%s\" is not a SHA-256 fingerprint of 64 "
                 "hex digits; every HTTPS request to this server fails \n", server, valueName, text);
    } else if (text) {
        char shown[VQ_CERT_HASH_TEXT_CHARS];
        FormatCertFingerprint(pin, shown);
        LogInfo("LogServerCertificateModes : %s : certificate pinned to SHA-256 %s%s \n", server, shown,
                verified);
    } else if (verify) {
        LogInfo("LogServerCertificateModes : %s : certificate verified by Windows (authority, name and date) \n",
                server);
    } else {
        LogInfo("LogServerCertificateModes : %s : any certificate accepted, none is checked \n", server);
    }
}

void LogServerCertificateModes(void)
{
    logMode("Management server", "VQServerCertThumbprint", TRUE);
    const char *enabled = gv_agentParams.EnableDistributionServer;
    if (enabled && _stricmp(enabled, "yes") == 0)
        logMode("Distribution server", "DistributionServerCertThumbprint", FALSE);
}

void RouteViaDistributionServer(void)
{
    AgentParameters *p = &gv_agentParams;
    setText(&p->VQServerName, p->DistributionServerName);
    setText(&p->VQServerFlatName, p->DistributionServerName);
    setText(&p->VQServerIPAddress, p->DistributionServerIPAddress);
    if (p->DistributionServerSecIPAddress)
        setText(&p->VQServerSecIPAddress, p->DistributionServerSecIPAddress);
    setText(&p->VQLastAccessName, p->DistributionLastAccessName);
    setText(&p->VQServerCertThumbprint, p->DistributionServerCertThumbprint);
    setText(&p->ProxyEnabled, "NO");
}

typedef BOOL(WINAPI *IsWow64ProcessFn)(HANDLE, PBOOL);

static void setWow64Flag(void)
{
    BOOL wow64 = FALSE;
    HMODULE kernel = GetModuleHandleA("kernel32");
    IsWow64ProcessFn isWow64 =
        kernel ? (IsWow64ProcessFn)(void *)GetProcAddress(kernel, "IsWow64Process") : NULL;
    if (!isWow64 || !isWow64(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    gv_isWow64Process = wow64;
}

DWORD InitializeAgentParameters(void)
{
    AgentParameters *p = &gv_agentParams;
    LogDebug("@@@@@@@ Inside InitializeAgentParameters Method @@@@@@@@ \n");
    ResetAgentParameters();
    setWow64Flag();
    DWORD n = GetEnvironmentVariableA("TEMP", p->TempDirectory, sizeof(p->TempDirectory));
    if (n >= sizeof(p->TempDirectory))
        p->TempDirectory[0] = '\0';   /* longer than the buffer: not stored */

    if (InitializeServerDetailsFromRegistry() != 0) {
        LogError("InitializeAgentParameters : Error while fetching Server details from registry! \n");
        return ERROR_INVALID_DATA;
    }
    if (readSz(VQ_AGENT_KEY, "EnableDistributionServer", &p->EnableDistributionServer) != 0) {
        LogError("InitializeAgentParameters : Error while fetching Master Agent entry from registry! \n");
        return ERROR_INVALID_DATA;
    }
    if (isYes(p->EnableDistributionServer)) {
        if (InitializeDSServerDetailsFromRegistry() != 0) {
            LogError("InitializeAgentParameters : Error while fetching DS Server details from registry! \n");
            return ERROR_INVALID_DATA;
        }
    } else {
        setText(&p->DistributionServerProtocol, p->VQServerProtocol);
        p->ActiveDistributionServerPort = p->ActiveServerPort;
    }
    if (InitializeLocalMachineDetails() != 0) {
        LogError("InitializeAgentParameters : Error while the local machine details ! \n");
        return ERROR_INVALID_DATA;
    }
    readSz(VQ_AGENT_KEY, "ProxyEnabled", &p->ProxyEnabled);
    if (isYes(p->ProxyEnabled))
        InitializeProxyDetails();
    if (InitializeAgentDetails() != 0) {
        LogError("InitializeAgentParameters : Error while the Agent details ! \n");
        return ERROR_INVALID_DATA;
    }

    LogAgentParameters();
    if (isYes(p->EnableDistributionServer) && p->EnableDSRoute) {
        RouteViaDistributionServer();
        LogInfo("Enable Distribution Server Route                       -> %d \n", (int)p->EnableDSRoute);
        LogInfo(kStars);
    }
    LogServerCertificateModes();

    DWORD imaged = 0;
    if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_AGENT_KEY, "ImagedComputer", &imaged) == 0 &&
        imaged == 1) {
        LogInfo("InitializeAgentParameters : Computer is detected as imaged One .. \n");
        return VQ_IMAGED_COMPUTER;
    }
    LogDebug("InitializeAgentParameters : Computer is not an imaged one .. \n");
    LogDebug("@@@@@@@@ End Of InitializeAgentParameters Method @@@@@@@@ \n");
    return 0;
}
