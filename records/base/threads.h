/* Thread helpers of the framework: thread creation and a small pool of
 * worker slots. The lock table's InitMutex (agent/locktable.h) is the
 * framework's mutex set-up. */
#ifndef VQ_RECORDS_BASE_THREADS_H
#define VQ_RECORDS_BASE_THREADS_H

#include <windows.h>
#include "agent/locktable.h"

/* States of a pool slot. */
#define THREAD_SLOT_UNUSED 0
#define THREAD_SLOT_FREE   1  /* a thread exists and waits for work */
#define THREAD_SLOT_BUSY   2

/* CheckThreadPool results. */
#define THREAD_POOL_FREE_SLOT 1
#define THREAD_POOL_CAN_GROW  4
#define THREAD_POOL_FULL      5

struct ThreadSlot {
    HANDLE thread;
    DWORD threadId;
    BYTE state;
};

/* Logs its entry; nothing else to set up. */
void InitThreadInfo(void);

/* Starts `start(argument)`; the thread handle, or 0 with DEBUG
 * "Unable to create Thread\n". */
HANDLE CreateNewThread(LPTHREAD_START_ROUTINE start, void *argument);

/* 1 with *freeSlot = index of the first slot in state 1; otherwise 4 when
 * slotCount is below maximum (another slot may be started) and 5 when not. */
int CheckThreadPool(const ThreadSlot *slots, int slotCount, int *freeSlot,
                    int maximum);

/* Suspends / resumes the thread of a pool slot. */
BOOL SuspendPoolThread(ThreadSlot *slot);
BOOL ResumePoolThread(ThreadSlot *slot);

#endif
