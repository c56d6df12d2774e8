/* Symmetric scrambling of stored keys: each byte is XORed with one key byte
 * derived from the seed, so the same call undoes it. */
#include "records/base/encrypt.h"

int EncryptDecryptKey(BYTE *buffer, int length, int seed)
{
    int key = seed + 9;
    if (key >= 256)
        key %= 255;
    for (int i = 0; buffer && i < length; i++)
        buffer[i] ^= (BYTE)key;
    return length;
}
