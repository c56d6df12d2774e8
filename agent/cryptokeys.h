/* The CryptoAPI key container that the agent's signing and key exchange
 * need: made, with its keys, when it is missing. */
#ifndef VQ_AGENT_CRYPTOKEYS_H
#define VQ_AGENT_CRYPTOKEYS_H

#include <windows.h>

/* 1 when the default container of the base RSA provider exists (or was
 * created) with a signature key and an exchange key, else 0. */
int EnsureCryptoKeys(void);

#endif
