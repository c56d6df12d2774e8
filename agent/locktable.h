/* Process-wide lock table: a set of held keys (any address) guarded by one
 * mutex. The log writer holds its key for each line; the record framework
 * keys its criteria, connection and generator locks here. Keys are not
 * reentrant. */
#ifndef VQ_AGENT_LOCKTABLE_H
#define VQ_AGENT_LOCKTABLE_H

#include <windows.h>

/* Makes the table ready. The table's mutex needs no creation, so this always
 * succeeds, and a key taken before the agent's logging start is guarded too. */
BOOL InitMutex(void);

/* Ends the table's life at the agent's logging stop: keys still listed are
 * forgotten. */
void CloseMutex(void);

/* Takes `key`, retrying with a slowly growing pause while another holder has
 * it. Returns FALSE only when the table has no memory for the entry. */
BOOL AcquireLock(const void *key);

/* One attempt: TRUE when the key was free and is now held. */
BOOL TryAcquireLock(const void *key);

/* Releases `key`; nothing happens when it is not held. */
void ReleaseLock(const void *key);

/* TRUE when `key` is currently held by anyone (for diagnostics and tests). */
BOOL IsLockHeld(const void *key);

#endif
