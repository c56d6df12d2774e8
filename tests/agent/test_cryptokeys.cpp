/* The CryptoAPI key container check against Wine's (or Windows') provider. */
#include "agent/cryptokeys.h"

#include <wincrypt.h>
#include <gtest/gtest.h>

TEST(CryptoKeys, ContainerAndBothKeysExistAfterwards)
{
    ASSERT_EQ(1, EnsureCryptoKeys());
    EXPECT_EQ(1, EnsureCryptoKeys());   /* second time: found, not made */
    HCRYPTPROV prov = 0;
    ASSERT_TRUE(CryptAcquireContextA(&prov, NULL, MS_DEF_PROV_A, PROV_RSA_FULL, 0));
    for (DWORD keyKind : {(DWORD)AT_SIGNATURE, (DWORD)AT_KEYEXCHANGE}) {
        HCRYPTKEY key = 0;
        EXPECT_TRUE(CryptGetUserKey(prov, keyKind, &key)) << keyKind;
        if (key)
            CryptDestroyKey(key);
    }
    CryptReleaseContext(prov, 0);
}
