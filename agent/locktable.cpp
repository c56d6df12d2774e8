/* Process-wide lock table: keys held by their owners, one mutex around the
 * list. Taking a held key sleeps and retries with a pause that grows by a
 * hundredth of a millisecond per pause taken in the process. */
#include "agent/locktable.h"

#include <stdlib.h>

struct LockEntry {
    const void *key;
    LockEntry *next;
};

/* The table's mutex is a slim reader/writer lock used exclusively: it needs
 * no creation, so a key taken before the agent's logging start (the
 * resource-identifier path reaches the framework's locks first) is guarded
 * like any other, and taking it costs no trip to the kernel. */
static SRWLOCK s_tableLock = SRWLOCK_INIT;
static LockEntry *s_heldKeys;
static volatile LONG s_pauseCounter; /* used as unsigned */

BOOL InitMutex(void)
{
    return TRUE;
}

void CloseMutex(void)
{
    AcquireSRWLockExclusive(&s_tableLock);
    LockEntry *e = s_heldKeys;
    s_heldKeys = NULL;
    ReleaseSRWLockExclusive(&s_tableLock);
    while (e) {
        LockEntry *next = e->next;
        free(e);
        e = next;
    }
}

/* 1 taken, 0 held by someone, -1 out of memory. */
static int tryTake(const void *key)
{
    int result = 1;
    AcquireSRWLockExclusive(&s_tableLock);
    for (LockEntry *e = s_heldKeys; e; e = e->next) {
        if (e->key == key) {
            result = 0;
            break;
        }
    }
    if (result == 1) {
        LockEntry *e = (LockEntry *)malloc(sizeof(*e));
        if (e) {
            e->key = key;
            e->next = s_heldKeys;
            s_heldKeys = e;
        } else {
            result = -1;
        }
    }
    ReleaseSRWLockExclusive(&s_tableLock);
    return result;
}

BOOL TryAcquireLock(const void *key)
{
    return tryTake(key) == 1;
}

BOOL AcquireLock(const void *key)
{
    for (;;) {
        int r = tryTake(key);
        if (r != 0)
            return r == 1;
        DWORD before = (DWORD)InterlockedExchangeAdd(&s_pauseCounter, 10);
        DWORD c = before + 10;
        if (c < before) { /* wrapped past zero: start again at 10 */
            InterlockedExchange(&s_pauseCounter, 10);
            c = 10;
        }
        Sleep(c / 1000);
    }
}

void ReleaseLock(const void *key)
{
    AcquireSRWLockExclusive(&s_tableLock);
    for (LockEntry **p = &s_heldKeys; *p; p = &(*p)->next) {
        if ((*p)->key == key) {
            LockEntry *e = *p;
            *p = e->next;
            free(e);
            break;
        }
    }
    ReleaseSRWLockExclusive(&s_tableLock);
}

BOOL IsLockHeld(const void *key)
{
    BOOL held = FALSE;
    AcquireSRWLockExclusive(&s_tableLock);
    for (LockEntry *e = s_heldKeys; e && !held; e = e->next)
        held = e->key == key;
    ReleaseSRWLockExclusive(&s_tableLock);
    return held;
}
