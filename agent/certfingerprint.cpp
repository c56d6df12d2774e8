/* Certificate fingerprints: the registry's text read into the 32 bytes of
 * a SHA-256 hash and written back as colon-separated hex. */
#include "agent/certfingerprint.h"

#include <string.h>

static int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

BOOL ParseCertFingerprint(const char *text, BYTE out[VQ_CERT_HASH_BYTES])
{
    if (!text)
        return FALSE;
    /* openssl prints "sha256 Fingerprint=AB:CD:..."; the digits follow the
     * '='. */
    const char *equals = strrchr(text, '=');
    if (equals)
        text = equals + 1;
    int digits = 0;
    BYTE bytes[VQ_CERT_HASH_BYTES];
    for (const char *c = text; *c; c++) {
        if (*c == ':' || *c == ' ' || *c == '\t' || *c == '\r' || *c == '\n')
            continue;
        int value = hexValue(*c);
        if (value < 0 || digits >= VQ_CERT_HASH_BYTES * 2)
            return FALSE;
        if (digits % 2 == 0)
            bytes[digits / 2] = (BYTE)(value << 4);
        else
            bytes[digits / 2] |= (BYTE)value;
        digits++;
    }
    if (digits != VQ_CERT_HASH_BYTES * 2)
        return FALSE;
    memcpy(out, bytes, sizeof(bytes));
    return TRUE;
}

void FormatCertFingerprint(const BYTE hash[VQ_CERT_HASH_BYTES], char out[VQ_CERT_HASH_TEXT_CHARS])
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < VQ_CERT_HASH_BYTES; i++) {
        out[i * 3] = kDigits[hash[i] >> 4];
        out[i * 3 + 1] = kDigits[hash[i] & 15];
        out[i * 3 + 2] = i + 1 < VQ_CERT_HASH_BYTES ? ':' : '\0';
    }
}
