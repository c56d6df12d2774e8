/* Makes sure that the default key container of "Microsoft Base
 * Cryptographic Provider v1.0" exists and holds both user keys. */
#include "agent/cryptokeys.h"

#include <wincrypt.h>

/* The user key `keyKind` exists afterwards: found, or generated when the
 * container had none. FALSE for any other failure. */
static BOOL ensureUserKey(HCRYPTPROV provider, DWORD keyKind)
{
    HCRYPTKEY key = 0;
    if (CryptGetUserKey(provider, keyKind, &key)) {
        CryptDestroyKey(key);
        return TRUE;
    }
    if (GetLastError() != (DWORD)NTE_NO_KEY)
        return FALSE;
    if (!CryptGenKey(provider, keyKind, 0, &key))
        return FALSE;
    CryptDestroyKey(key);
    return TRUE;
}

int EnsureCryptoKeys(void)
{
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, NULL, MS_DEF_PROV_A, PROV_RSA_FULL, 0) &&
        !CryptAcquireContextA(&provider, NULL, MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        return 0;
    if (!ensureUserKey(provider, AT_SIGNATURE) || !ensureUserKey(provider, AT_KEYEXCHANGE)) {
        CryptReleaseContext(provider, 0);
        return 0;
    }
    CryptReleaseContext(provider, 0);
    return 1;
}
