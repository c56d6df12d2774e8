/* What the agent demands of a server's certificate over HTTPS. By default
 * nothing: the agent's servers use certificates it cannot verify, so the
 * request engine and the uploads set the flags that ignore authority, name
 * and date. An administrator may instead pin a server to the SHA-256
 * fingerprint of its certificate ("VQServerCertThumbprint",
 * "DistributionServerCertThumbprint") and may turn Windows' own checks
 * back on ("VQVerifyServerCertificate" 1) for servers with a proper
 * certificate. A pin is checked after the request is sent and before any
 * byte of a body is read or written; a mismatch fails the request with
 * ERROR_WINHTTP_SECURE_FAILURE (12175). */
#ifndef VQ_NET_SERVERTRUST_H
#define VQ_NET_SERVERTRUST_H

#include <windows.h>
#include <winhttp.h>

#include "agent/certfingerprint.h"

/* The demands on one server's certificate. */
struct ServerTrust {
    BOOL verify;                      /* Windows' chain, name and date checks apply */
    BOOL pinned;                      /* the certificate must have the fingerprint `pin` */
    BOOL pinMalformed;                /* a fingerprint was set but cannot be read: no
                                         HTTPS request to the server is made at all */
    BYTE pin[VQ_CERT_HASH_BYTES];
};

/* The demands on the management server (TRUE) or the distribution server
 * (FALSE), from the agent's parameters. */
void ServerTrustFor(BOOL managementServer, ServerTrust *trust);

/* The demands that apply to the HTTPS requests of the calling thread, set
 * by the request router for the server it has chosen; NULL (no demands,
 * any certificate accepted) outside a routed request. Returns the previous
 * value so that the router can put it back. */
const ServerTrust *SetRequestTrust(const ServerTrust *trust);
const ServerTrust *CurrentRequestTrust(void);

/* The certificate flags for a new secure request: the ignore flags unless
 * Windows' checks are to apply. 0, or the WinHttpSetOption error. */
DWORD ApplyCertificateFlags(HINTERNET request, const ServerTrust *trust);

/* The calling thread's demands (CurrentRequestTrust) applied to a new
 * secure request, with the DEBUG line, named by `caller`, that says whether
 * Windows verifies the certificate or the ignore flags were set. FALSE, with
 * the WinHttpSetOption error as the thread's last error, when the flags
 * could not be set. */
BOOL ApplyRequestTrust(HINTERNET request, const char *caller);

/* The SHA-256 fingerprint of the certificate the server presented on a
 * sent request. 0, or the error of the query or the hash. */
DWORD PresentedCertFingerprint(HINTERNET request, BYTE out[VQ_CERT_HASH_BYTES]);

/* The pin check of a sent request: 0 when no pin applies or the presented
 * certificate has the pinned fingerprint; else ERROR_WINHTTP_SECURE_FAILURE
 * after an ERROR line (named by `caller`) that gives the expected and the
 * presented fingerprint. */
DWORD CheckPinnedCertificate(HINTERNET request, const ServerTrust *trust, const wchar_t *server,
                             const char *caller);

/* TRUE when a secure request to the server must not be made at all: its
 * fingerprint was set but cannot be read. Logs the ERROR line. */
BOOL RefuseUnreadablePin(const ServerTrust *trust, const wchar_t *server, const char *caller);

#endif
