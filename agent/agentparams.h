/* The agent's parameters: where the program runs and whom it talks to,
 * read once at start from the agent's registry keys and the system into
 * one process-wide record that every later step reads without locks. */
#ifndef VQ_AGENT_AGENTPARAMS_H
#define VQ_AGENT_AGENTPARAMS_H

#include <windows.h>

#include "agent/agentkeys.h"

/* Result of InitializeAgentParameters for a computer marked as imaged. */
#define VQ_IMAGED_COMPUTER 10047

/* The secure port when the registry names none: the plain port + 363. */
#define VQ_SECURE_PORT_OFFSET 363

/* Highest transfer rate in KB/s that is kept; anything above becomes 0. */
#define VQ_MAX_TRANSFER_RATE_KBPS 3072u

/* Strings are owned heap texts (free()), NULL until set. */
struct AgentParameters {
    /* Management server (ServerInfo key). */
    char *VQServerName;
    char *VQServerInstalledTime;
    char *VQServerFlatName;
    char *VQServerIPAddress;
    char *VQServerSecIPAddress;
    char *VQLastAccessName;
    int VQServerPort;
    int VQServerSecurePort;
    char *VQServerProtocol;
    int ActiveServerPort;
    /* SHA-256 fingerprint of the certificate the server must present over
     * HTTPS, as the administrator wrote it ("VQServerCertThumbprint");
     * NULL when not set. */
    char *VQServerCertThumbprint;
    /* "VQVerifyServerCertificate" 1: Windows checks authority, name and
     * date of both servers' certificates; 0 (missing): they are accepted. */
    DWORD VQVerifyServerCertificate;

    /* Distribution server (ServerInfo key; the flag in the agent key). */
    char *EnableDistributionServer;
    char *DistributionServerName;
    char *DistributionServerFlatName;
    char *DistributionLastAccessName;
    int DistributionServerPort;
    int DistributionServerSecurePort;
    char *DistributionServerIPAddress;
    char *DistributionServerSecIPAddress;
    char *DistributionServerProtocol;
    int ActiveDistributionServerPort;
    char *DistributionServerCertThumbprint;   /* as VQServerCertThumbprint */

    /* Agent, customer and transfer values (agent key). */
    char *VQAgentVersion;
    char *AgentServiceName;
    char *MSPName;
    char *CustomerName;
    char *CustomerId;
    char *VQAgentInstallDir;
    char *RemoteOfficeName;
    char *RemoteOfficeID;
    char *EnableRemoteOfficeMgmt;
    DWORD HTTPRequestTimeout;      /* ms */
    DWORD HTTPConnectionTimeout;   /* ms */
    DWORD DataTransferRate_KBps;
    char *InstallSource;
    char *InstallMode;
    BOOL EnableDSRoute;
    DWORD BlockCrashedConfig;
    DWORD ShutdownBlocked;
    char *ResourceID;
    BOOL EnableChecksum;

    /* Proxy (agent key). */
    char *ProxyEnabled;
    char *ProxyUserName;
    char *ProxyPassword;
    char *ProxyServerName;
    char *ProxyByPass;

    /* Local machine. */
    char *LocalIPAddress;
    char *LocalMACAddress;
    char *LocalSubnetMask;
    char *DomainController;
    char *ClientNamespace;
    int NamespaceStatus;

    /* %TEMP%, at most 254 characters. */
    char TempDirectory[255];
};

extern AgentParameters gv_agentParams;
extern char *gv_clientDataPath;      /* client-data/<customer id>/domains/<namespace> */
extern char *gv_vqProductCode;       /* "VQEE" until read */
extern char *gv_localComputerName;

/* Fills gv_agentParams and the WOW64 flag, starting from the initial
 * values. 0, 13 when a required value cannot be read (the fields read so
 * far stay set), or VQ_IMAGED_COMPUTER when all was read and the computer
 * is marked as imaged. */
DWORD InitializeAgentParameters(void);

/* Releases every text of the record and sets the initial values. */
void ResetAgentParameters(void);

DWORD InitializeServerDetailsFromRegistry(void);
DWORD InitializeDSServerDetailsFromRegistry(void);
DWORD InitializeLocalMachineDetails(void);
DWORD InitializeAgentDetails(void);
DWORD InitializeProxyDetails(void);

/* The INFO lines that list the parameters (the distribution server's part
 * only when it is enabled). */
void LogAgentParameters(void);

/* The INFO lines that tell, at start-up, which mode each server is in:
 * pinned with its fingerprint, verified by Windows, or any certificate
 * accepted; an ERROR line for a fingerprint that cannot be read. The
 * distribution server's line only when it is enabled. */
void LogServerCertificateModes(void);

/* Points the management-server fields at the distribution server (its
 * certificate fingerprint included: the requests then reach its host) and
 * turns the proxy off; ports and protocol stay. */
void RouteViaDistributionServer(void);

/* "CustomerId" of the agent key into *customerId: 0, or 13 when it cannot
 * be read or is empty. */
DWORD GetCustomerId(char **customerId);

/* "VQAgentInstallDir" of the agent key into *installDir (new text, ends
 * with a path separator): ReadRegSZ's code. */
DWORD GetAgentInstallDir(char **installDir);

/* The stored proxy password, Base64 with optional white space around it,
 * decoded into a new zero-terminated text. Text that is not valid Base64
 * decodes to an empty text; NULL only when memory runs out. */
char *DecodeProxyPassword(const char *stored);

/* Decodes `length` Base64 characters into out (room for length / 4 * 3 + 1
 * bytes), zero-terminated. The decoded length, or -1 for a length that is
 * not a multiple of 4 or a character outside the alphabet. */
int DecodeBase64(const char *text, size_t length, unsigned char *out);

#endif
