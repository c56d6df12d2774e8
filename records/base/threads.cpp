/* Thread helpers of the framework: thread creation and the bookkeeping of a
 * small pool of worker slots. */
#include "records/base/threads.h"

#include "agent/log.h"

void InitThreadInfo(void)
{
    LogTrace("\n\t@@@@@ Inside InitThreadInfo() @@@@@ \n");
}

HANDLE CreateNewThread(LPTHREAD_START_ROUTINE start, void *argument)
{
    if (!start) {
        LogDebug("Unable to create Thread\n");
        return 0;
    }
    DWORD id = 0;
    HANDLE h = CreateThread(NULL, 0, start, argument, 0, &id);
    if (!h) {
        LogDebug("Unable to create Thread\n");
        return 0;
    }
    return h;
}

int CheckThreadPool(const ThreadSlot *slots, int slotCount, int *freeSlot, int maximum)
{
    for (int i = 0; slots && i < slotCount; i++) {
        if (slots[i].state == THREAD_SLOT_FREE) {
            if (freeSlot)
                *freeSlot = i;
            return THREAD_POOL_FREE_SLOT;
        }
    }
    return slotCount < maximum ? THREAD_POOL_CAN_GROW : THREAD_POOL_FULL;
}

BOOL SuspendPoolThread(ThreadSlot *slot)
{
    if (!slot || !slot->thread)
        return FALSE;
    return SuspendThread(slot->thread) != (DWORD)-1;
}

BOOL ResumePoolThread(ThreadSlot *slot)
{
    if (!slot || !slot->thread)
        return FALSE;
    return ResumeThread(slot->thread) != (DWORD)-1;
}
