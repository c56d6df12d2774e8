/* The key scrambling: the key byte a seed gives, and scrambling twice gives
 * the text back. */
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include "records/base/encrypt.h"

namespace {

TEST(EncryptDecryptKey, KeyByteAndInverse)
{
    struct { int seed; BYTE key; } cases[] = {
        {0, 9}, {246, 255}, {247, 1} /* 256 reduces */, {250, 4} /* 259 */, {501, 0}};
    for (auto c : cases) {
        BYTE buf[3] = {0x00, 0xFF, 0x5A};
        EXPECT_EQ(3, EncryptDecryptKey(buf, 3, c.seed));
        EXPECT_EQ(c.key, buf[0]) << "seed " << c.seed;
        EXPECT_EQ((BYTE)(0xFF ^ c.key), buf[1]);
        EXPECT_EQ((BYTE)(0x5A ^ c.key), buf[2]);
    }
    char secret[] = "connection password";
    BYTE buf[sizeof(secret)];
    memcpy(buf, secret, sizeof(secret));
    EncryptDecryptKey(buf, (int)sizeof(buf), 123);
    EXPECT_NE(0, memcmp(buf, secret, sizeof(secret)));
    EncryptDecryptKey(buf, (int)sizeof(buf), 123);
    EXPECT_EQ(0, memcmp(buf, secret, sizeof(secret)));
}

} // namespace
