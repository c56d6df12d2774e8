/* The lock table: keys held and released, waiting for a held key, use
 * before the agent's logging start, and whole lines under concurrent
 * writers. */
#include "agent/locktable.h"
#include "agent/log.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <process.h>

TEST(LockTable, KeysAreHeldUntilReleasedAndIndependent)
{
    int a, b;
    CloseMutex();   /* before any InitMutex: still guarded */
    EXPECT_TRUE(AcquireLock(&a));
    EXPECT_TRUE(IsLockHeld(&a));
    EXPECT_FALSE(TryAcquireLock(&a));
    EXPECT_TRUE(TryAcquireLock(&b));
    ReleaseLock(&a);
    EXPECT_FALSE(IsLockHeld(&a));
    EXPECT_TRUE(IsLockHeld(&b));
    ReleaseLock(&a);    /* not held: nothing happens */
    ReleaseLock(&b);
    EXPECT_TRUE(InitMutex());
    EXPECT_TRUE(TryAcquireLock(&a));
    ReleaseLock(&a);
}

namespace {

struct Holder {
    const void *key;
    HANDLE taken;
    HANDLE release;
};

unsigned __stdcall holdKey(void *arg)
{
    Holder *h = (Holder *)arg;
    AcquireLock(h->key);
    SetEvent(h->taken);
    WaitForSingleObject(h->release, INFINITE);
    ReleaseLock(h->key);
    return 0;
}

} // namespace

namespace {

/* Two threads take one key in turns; inside, a read, a yield and a write of
 * a shared counter, and a count of entries that found the other inside. */
struct Contention {
    const void *key;
    HANDLE go;
    int rounds;
    volatile LONG inside;
    volatile LONG overlaps;
    int counter;
};

unsigned __stdcall contend(void *arg)
{
    Contention *c = (Contention *)arg;
    WaitForSingleObject(c->go, INFINITE);
    for (int i = 0; i < c->rounds; i++) {
        if (!AcquireLock(c->key))
            return 1;
        if (InterlockedIncrement(&c->inside) != 1)
            InterlockedIncrement(&c->overlaps);
        int seen = c->counter;
        SwitchToThread();
        c->counter = seen + 1;
        InterlockedDecrement(&c->inside);
        ReleaseLock(c->key);
    }
    return 0;
}

} // namespace

/* Before the logging start makes the table ready (no InitMutex yet), two
 * threads contending for one key still take it one at a time. */
TEST(LockTable, TwoThreadsContendBeforeTheTableIsReady)
{
    CloseMutex();
    int key;
    Contention c = {&key, CreateEventA(NULL, TRUE, FALSE, NULL), 300, 0, 0, 0};
    HANDLE t[2];
    for (HANDLE &h : t) {
        h = (HANDLE)_beginthreadex(NULL, 0, contend, &c, 0, NULL);
        ASSERT_NE(h, nullptr);
    }
    SetEvent(c.go);
    ASSERT_EQ(WaitForMultipleObjects(2, t, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE h : t) {
        DWORD code = 99;
        EXPECT_TRUE(GetExitCodeThread(h, &code));
        EXPECT_EQ(code, 0u);
        CloseHandle(h);
    }
    CloseHandle(c.go);
    EXPECT_EQ(c.overlaps, 0);
    EXPECT_EQ(c.counter, 2 * c.rounds);
    EXPECT_FALSE(IsLockHeld(&key));
    EXPECT_TRUE(InitMutex());
}

TEST(LockTable, AcquireWaitsForAnotherThreadsKey)
{
    int key;
    Holder h = {&key, CreateEventA(NULL, TRUE, FALSE, NULL), CreateEventA(NULL, TRUE, FALSE, NULL)};
    HANDLE t = (HANDLE)_beginthreadex(NULL, 0, holdKey, &h, 0, NULL);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(WaitForSingleObject(h.taken, 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(TryAcquireLock(&key));
    DWORD start = GetTickCount();
    SetEvent(h.release);
    EXPECT_TRUE(AcquireLock(&key));     /* returns once the holder let go */
    EXPECT_LT(GetTickCount() - start, 5000u);
    ReleaseLock(&key);
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
    CloseHandle(h.taken);
    CloseHandle(h.release);
}

namespace {

unsigned __stdcall writeLines(void *arg)
{
    int id = (int)(INT_PTR)arg;
    for (int i = 0; i < 500; i++)
        LogInfo("writer %d line %d %s\n", id, i, "0123456789abcdefghijklmnopqrstuvwxyz");
    return 0;
}

} // namespace

TEST(LockTable, ConcurrentWritersNeverSplitALine)
{
    vqt::ScratchDir dir("concurrent");
    CloseLogFile();
    FreeLogSettings();
    ASSERT_TRUE(SetLogDefaults());
    ASSERT_TRUE(SetLogParams("c.log", dir.path().c_str(), 1));
    ASSERT_TRUE(OpenLogFileAppend());
    HANDLE t[4];
    for (int i = 0; i < 4; i++)
        t[i] = (HANDLE)_beginthreadex(NULL, 0, writeLines, (void *)(INT_PTR)i, 0, NULL);
    WaitForMultipleObjects(4, t, TRUE, 60000);
    for (HANDLE h : t)
        CloseHandle(h);
    CloseLogFile();
    FreeLogSettings();
    std::vector<std::string> lines = vqt::SplitLines(vqt::ReadWholeFile(dir.file("c.log")));
    ASSERT_EQ(lines.size(), 2u + 4 * 500);
    int counts[4] = {0, 0, 0, 0};
    for (size_t i = 1; i + 1 < lines.size(); i++) {
        int id = -1, n = -1;
        const char *s = strstr(lines[i].c_str(), "[INFO] writer ");
        ASSERT_NE(s, nullptr) << lines[i];
        ASSERT_EQ(sscanf(s, "[INFO] writer %d line %d", &id, &n), 2) << lines[i];
        ASSERT_TRUE(id >= 0 && id < 4);
        EXPECT_EQ(n, counts[id]) << "lines of one writer keep their order";
        counts[id]++;
        EXPECT_NE(lines[i].find(" 0123456789abcdefghijklmnopqrstuvwxyz"), std::string::npos);
    }
}
