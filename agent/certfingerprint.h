/* The SHA-256 fingerprints by which an administrator pins the agent's
 * servers to their certificates: the text of the registry values
 * "VQServerCertThumbprint" and "DistributionServerCertThumbprint" read into
 * bytes and the bytes written as text. */
#ifndef VQ_AGENT_CERTFINGERPRINT_H
#define VQ_AGENT_CERTFINGERPRINT_H

#include <windows.h>

/* Bytes of a SHA-256 fingerprint, and room for its colon-separated text
 * ("AB:CD:..."), terminator included. */
#define VQ_CERT_HASH_BYTES 32
#define VQ_CERT_HASH_TEXT_CHARS (VQ_CERT_HASH_BYTES * 3)

/* Reads a SHA-256 fingerprint as "openssl x509 -fingerprint -sha256" prints
 * it (with or without its "sha256 Fingerprint=" prefix) or as plain hex:
 * 64 hex digits in either case, colons and blanks ignored. TRUE and the
 * bytes in `out`, or FALSE for anything else. */
BOOL ParseCertFingerprint(const char *text, BYTE out[VQ_CERT_HASH_BYTES]);

/* The fingerprint as upper-case hex pairs joined by colons. */
void FormatCertFingerprint(const BYTE hash[VQ_CERT_HASH_BYTES], char out[VQ_CERT_HASH_TEXT_CHARS]);

#endif
