/* Thread helpers: pool slot search, suspend and resume of a live thread. */
#include <gtest/gtest.h>

#include <windows.h>

#include "records/base/threads.h"

namespace {

TEST(ThreadPool, SlotSearch)
{
    ThreadSlot slots[3] = {};
    int slot = -1;
    slots[0].state = THREAD_SLOT_BUSY;
    slots[1].state = THREAD_SLOT_FREE;
    slots[2].state = THREAD_SLOT_FREE;
    EXPECT_EQ(1, CheckThreadPool(slots, 3, &slot, 5));
    EXPECT_EQ(1, slot);
    slots[1].state = slots[2].state = THREAD_SLOT_BUSY;
    EXPECT_EQ(4, CheckThreadPool(slots, 3, &slot, 5));
    EXPECT_EQ(5, CheckThreadPool(slots, 3, &slot, 3));
    EXPECT_EQ(4, CheckThreadPool(NULL, 0, &slot, 1));
}

struct Spinner {
    volatile LONG count;
    volatile LONG stop;
};

DWORD WINAPI spin(void *p)
{
    Spinner *s = (Spinner *)p;
    while (!s->stop) {
        InterlockedIncrement(&s->count);
        Sleep(1);
    }
    return 7;
}

TEST(ThreadPool, CreateSuspendResume)
{
    Spinner s = {0, 0};
    ThreadSlot slot = {};
    slot.thread = CreateNewThread(spin, &s);
    ASSERT_NE(nullptr, slot.thread);
    for (int i = 0; i < 500 && s.count == 0; i++)
        Sleep(2);
    ASSERT_GT(s.count, 0);
    ASSERT_TRUE(SuspendPoolThread(&slot));
    Sleep(20);
    LONG frozen = s.count;
    Sleep(100);
    EXPECT_EQ(frozen, s.count) << "a suspended thread kept running";
    ASSERT_TRUE(ResumePoolThread(&slot));
    for (int i = 0; i < 500 && s.count == frozen; i++)
        Sleep(2);
    EXPECT_GT(s.count, frozen);
    InterlockedExchange(&s.stop, 1);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(slot.thread, 5000));
    DWORD code = 0;
    GetExitCodeThread(slot.thread, &code);
    EXPECT_EQ(7u, code);
    CloseHandle(slot.thread);
    EXPECT_EQ(nullptr, CreateNewThread(NULL, NULL));
    ThreadSlot none = {};
    EXPECT_FALSE(SuspendPoolThread(&none));
}

} // namespace
