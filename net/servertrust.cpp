/* The certificate demands on the agent's servers: what the parameters ask
 * of each server, the flags of a new secure request and the pin check of a
 * sent one. The fingerprint of
 * the presented certificate is Windows' own SHA-256 of its encoded form. */
#include "net/servertrust.h"
#include "net/httperrortext.h"
#include "net/netlimits.h"
#include "agent/agentparams.h"
#include "agent/log.h"

#include <wincrypt.h>
#include <string.h>

void ServerTrustFor(BOOL managementServer, ServerTrust *trust)
{
    const AgentParameters *p = &gv_agentParams;
    memset(trust, 0, sizeof(*trust));
    trust->verify = p->VQVerifyServerCertificate == 1;
    const char *text = managementServer ? p->VQServerCertThumbprint : p->DistributionServerCertThumbprint;
    if (!text)
        return;
    if (ParseCertFingerprint(text, trust->pin))
        trust->pinned = TRUE;
    else
        trust->pinMalformed = TRUE;
}

/* The router's choice for the requests of this thread (the engine may run
 * on several threads at once, each with its own router call). */
static thread_local const ServerTrust *t_requestTrust = NULL;

const ServerTrust *SetRequestTrust(const ServerTrust *trust)
{
    const ServerTrust *previous = t_requestTrust;
    t_requestTrust = trust;
    return previous;
}

const ServerTrust *CurrentRequestTrust(void)
{
    return t_requestTrust;
}

DWORD ApplyCertificateFlags(HINTERNET request, const ServerTrust *trust)
{
    if (trust && trust->verify)
        return 0;
    DWORD security = 0;
    DWORD size = sizeof(security);
    /* A failed query leaves 0: the ignore flags are set all the same. */
    WinHttpQueryOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &security, &size);
    security |= VQ_NET_IGNORE_CERT_FLAGS;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &security, sizeof(security)))
        return GetLastError();
    return 0;
}

BOOL ApplyRequestTrust(HINTERNET request, const char *caller)
{
    const ServerTrust *trust = CurrentRequestTrust();
    DWORD error = ApplyCertificateFlags(request, trust);
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    if (trust && trust->verify)
        LogDebug("%s :  The server's certificate is verified by Windows. \n", caller);
    else
        LogDebug("%s :  The request is updated with the internet option security flags. \n", caller);
    return TRUE;
}

DWORD PresentedCertFingerprint(HINTERNET request, BYTE out[VQ_CERT_HASH_BYTES])
{
    PCCERT_CONTEXT cert = NULL;
    DWORD size = sizeof(cert);
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size))
        return GetLastError();
    if (!cert)
        return ERROR_WINHTTP_SECURE_FAILURE;
    DWORD error = 0;
    DWORD hashSize = VQ_CERT_HASH_BYTES;
    /* The property where the system offers it, else the hash itself. */
    if (!CertGetCertificateContextProperty(cert, CERT_SHA256_HASH_PROP_ID, out, &hashSize) ||
        hashSize != VQ_CERT_HASH_BYTES) {
        hashSize = VQ_CERT_HASH_BYTES;
        if (!CryptHashCertificate2(L"SHA256", 0, NULL, cert->pbCertEncoded, cert->cbCertEncoded, out,
                                   &hashSize))
            error = GetLastError();
        else if (hashSize != VQ_CERT_HASH_BYTES)
            error = ERROR_WINHTTP_SECURE_FAILURE;
    }
    CertFreeCertificateContext(cert);
    return error;
}

DWORD CheckPinnedCertificate(HINTERNET request, const ServerTrust *trust, const wchar_t *server,
                             const char *caller)
{
    if (!trust || !trust->pinned)
        return 0;
    char expected[VQ_CERT_HASH_TEXT_CHARS];
    FormatCertFingerprint(trust->pin, expected);
    BYTE presented[VQ_CERT_HASH_BYTES];
    DWORD error = PresentedCertFingerprint(request, presented);
    if (error != 0) {
        LogError("%s : Could not read the certificate of the server %S --> %d; expected SHA-256 %s, "
                 "presented none \n", caller, server ? server : L"", (int)error, expected);
        HttpGetLastError(ERROR_WINHTTP_SECURE_FAILURE);
        return ERROR_WINHTTP_SECURE_FAILURE;
    }
    if (memcmp(presented, trust->pin, VQ_CERT_HASH_BYTES) == 0) {
        LogDebug("%s : The certificate of the server %S has the pinned fingerprint \n", caller,
                 server ? server : L"");
        return 0;
    }
    char seen[VQ_CERT_HASH_TEXT_CHARS];
    FormatCertFingerprint(presented, seen);
    LogError("%s : The certificate of the server %S is not the pinned one: expected SHA-256 %s, "
             "presented %s \n", caller, server ? server : L"", expected, seen);
    HttpGetLastError(ERROR_WINHTTP_SECURE_FAILURE);
    return ERROR_WINHTTP_SECURE_FAILURE;
}

BOOL RefuseUnreadablePin(const ServerTrust *trust, const wchar_t *server, const char *caller)
{
    if (!trust || !trust->pinMalformed)
        return FALSE;
    LogError("%s : The certificate fingerprint set for the server %S cannot be read; no HTTPS request "
             "is made to it \n", caller, server ? server : L"");
    HttpGetLastError(ERROR_WINHTTP_SECURE_FAILURE);
    return TRUE;
}
