/* The framework's symmetric scrambling of stored keys: one key byte derived
 * from a seed, combined with every byte by exclusive-or. */
#ifndef VQ_RECORDS_BASE_ENCRYPT_H
#define VQ_RECORDS_BASE_ENCRYPT_H

#include <windows.h>

/* XORs every byte of buffer with the key byte seed + 9 (reduced modulo 255
 * when it reaches 256) and returns length. Applying it twice with the same
 * seed restores the buffer. */
int EncryptDecryptKey(BYTE *buffer, int length, int seed);

#endif
