/* Vector and message queue: sorted insertion against a sorted reference,
 * position operations at their boundaries, the tail after every kind of
 * change, and the vector's lock-table key. */
#include <gtest/gtest.h>

#include <windows.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <set>
#include <vector>

#include "agent/locktable.h"
#include "records/base/msgqueue.h"
#include "records/base/vector.h"

namespace {

void *asElement(intptr_t v) { return (void *)v; }
intptr_t asValue(const void *e) { return (intptr_t)e; }

int compareInts(const void *a, const void *b)
{
    intptr_t x = asValue(a), y = asValue(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

std::vector<intptr_t> contents(const Vector *v)
{
    std::vector<intptr_t> out;
    for (VectorNode *n = v->first; n; n = n->next)
        out.push_back(asValue(n->element));
    return out;
}

/* The count and tail agree with the list itself. */
void expectConsistent(const Vector *v)
{
    DWORD n = 0;
    VectorNode *last = NULL;
    for (VectorNode *p = v->first; p; p = p->next) {
        last = p;
        n++;
    }
    EXPECT_EQ(n, v->count);
    EXPECT_EQ(last, v->last);
    EXPECT_FALSE(IsLockHeld(v)) << "the vector's key was left held";
}

struct VectorFixture : ::testing::Test {
    Vector *v = NULL;
    void TearDown() override { DeleteVector(v); }
};

TEST_F(VectorFixture, SortedInsertMatchesReferenceAndRefusesDuplicates)
{
    ASSERT_TRUE(InitVector(&v, compareInts));
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pick(0, 400);   /* many repeats */
    std::set<intptr_t> reference;
    int refused = 0;
    for (int i = 0; i < 1500; i++) {
        intptr_t x = pick(rng);
        DWORD before = v->count;
        BOOL added = AppendElement(v, asElement(x));
        bool fresh = reference.insert(x).second;
        EXPECT_EQ(fresh, added != FALSE) << "value " << x;
        if (!added) {
            refused++;
            EXPECT_EQ(before, v->count);
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(std::vector<intptr_t>(reference.begin(), reference.end()), contents(v));
    expectConsistent(v);
}

TEST_F(VectorFixture, SortedInsertAtEveryPositionOfSmallVectors)
{
    /* For every size 0..8 and every slot between the present elements, the
     * new element lands in its slot and first/last follow. */
    for (int size = 0; size <= 8; size++) {
        for (int slot = 0; slot <= size; slot++) {
            ASSERT_TRUE(InitVector(&v, compareInts));
            for (int i = 0; i < size; i++)
                ASSERT_TRUE(AppendElement(v, asElement(10 * (i + 1))));
            intptr_t x = 10 * slot + 5;
            ASSERT_TRUE(AppendElement(v, asElement(x)));
            std::vector<intptr_t> want;
            for (int i = 0; i < size; i++)
                want.push_back(10 * (i + 1));
            want.insert(want.begin() + slot, x);
            EXPECT_EQ(want, contents(v)) << "size " << size << " slot " << slot;
            expectConsistent(v);
            DeleteVector(v);
            v = NULL;
        }
    }
}

TEST_F(VectorFixture, RefusedNodeStaysWithTheCaller)
{
    ASSERT_TRUE(InitVector(&v, compareInts));
    ASSERT_TRUE(AppendElement(v, asElement(7)));
    VectorNode *dup = CreateVectorNode(asElement(7));
    ASSERT_NE(dup, nullptr);
    EXPECT_FALSE(AddElement(v, dup));
    EXPECT_EQ(1u, v->count);
    EXPECT_NE(dup, v->first);
    free(dup);
    expectConsistent(v);
}

TEST_F(VectorFixture, UnsortedKeepsInsertionOrderWithDuplicates)
{
    ASSERT_TRUE(InitVector(&v, NULL));
    for (intptr_t x : {3, 1, 3, 2})
        ASSERT_TRUE(AppendElement(v, asElement(x)));
    EXPECT_EQ((std::vector<intptr_t>{3, 1, 3, 2}), contents(v));
    expectConsistent(v);
}

TEST_F(VectorFixture, EmptyVectorBoundaries)
{
    ASSERT_TRUE(InitVector(&v, NULL));
    EXPECT_EQ(nullptr, ElementAt(v, 0));
    EXPECT_EQ(nullptr, GetNthElement(v, 0, NULL));
    EXPECT_FALSE(DeleteElementAt(v, 0));
    EXPECT_FALSE(DeleteLCDVector(v, asElement(1)));
    FreeVector(v);
    expectConsistent(v);
    /* Usable again after being freed. */
    ASSERT_TRUE(AppendElement(v, asElement(1)));
    EXPECT_EQ(v->first, v->last);
    expectConsistent(v);
}

TEST_F(VectorFixture, InsertElementAtBoundaries)
{
    ASSERT_TRUE(InitVector(&v, NULL));
    VectorNode *n = CreateVectorNode(asElement(1));
    EXPECT_FALSE(InsertElementAt(v, n, 1)) << "count + 1 on an empty vector";
    ASSERT_TRUE(InsertElementAt(v, n, 0));
    ASSERT_TRUE(InsertElementAt(v, CreateVectorNode(asElement(3)), 1)); /* == count: append */
    ASSERT_TRUE(InsertElementAt(v, CreateVectorNode(asElement(2)), 1));
    ASSERT_TRUE(InsertElementAt(v, CreateVectorNode(asElement(0)), 0));
    VectorNode *extra = CreateVectorNode(asElement(9));
    EXPECT_FALSE(InsertElementAt(v, extra, 5));
    free(extra);
    EXPECT_EQ((std::vector<intptr_t>{0, 1, 2, 3}), contents(v));
    expectConsistent(v);
    /* The tail moved with the append at index == count. */
    ASSERT_TRUE(AppendElement(v, asElement(4)));
    EXPECT_EQ((std::vector<intptr_t>{0, 1, 2, 3, 4}), contents(v));
}

TEST_F(VectorFixture, DeletionsKeepTailAndCount)
{
    ASSERT_TRUE(InitVector(&v, NULL));
    for (intptr_t x = 0; x < 5; x++)
        ASSERT_TRUE(AppendElement(v, asElement(x)));
    EXPECT_TRUE(DeleteElementAt(v, 4));              /* the tail */
    EXPECT_FALSE(DeleteElementAt(v, 4));
    EXPECT_TRUE(DeleteElement(v, v->first));         /* the head */
    EXPECT_TRUE(DeleteLCDVector(v, asElement(2)));   /* the middle */
    EXPECT_FALSE(DeleteLCDVector(v, asElement(2)));
    VectorNode stranger = {asElement(1), NULL};
    EXPECT_FALSE(DeleteElement(v, &stranger));
    expectConsistent(v);
    ASSERT_TRUE(AppendElement(v, asElement(9)));
    EXPECT_EQ((std::vector<intptr_t>{1, 3, 9}), contents(v));
    EXPECT_TRUE(DeleteElementAt(v, 0));
    EXPECT_TRUE(DeleteElementAt(v, 0));
    EXPECT_TRUE(DeleteElementAt(v, 0));
    EXPECT_EQ(nullptr, v->first);
    expectConsistent(v);
}

TEST_F(VectorFixture, ElementAtAndNthElement)
{
    ASSERT_TRUE(InitVector(&v, NULL));
    for (intptr_t x = 0; x < 4; x++)
        ASSERT_TRUE(AppendElement(v, asElement(x * 10)));
    EXPECT_EQ(20, asValue(ElementAt(v, 2)->element));
    EXPECT_EQ(nullptr, ElementAt(v, 4));
    VectorNode *second = ElementAt(v, 1);
    EXPECT_EQ(second, GetNthElement(v, 0, second));
    EXPECT_EQ(30, asValue(GetNthElement(v, 2, second)->element));
    EXPECT_EQ(nullptr, GetNthElement(v, 3, second));
}

TEST_F(VectorFixture, MergeVector)
{
    Vector *other = NULL;
    ASSERT_TRUE(InitVector(&v, compareInts));
    ASSERT_TRUE(InitVector(&other, NULL));
    for (intptr_t x : {5, 1, 9})
        ASSERT_TRUE(AppendElement(v, asElement(x)));
    for (intptr_t x : {4, 5, 10, 4})
        ASSERT_TRUE(AppendElement(other, asElement(x)));
    ASSERT_TRUE(MergeVector(v, other));
    EXPECT_EQ((std::vector<intptr_t>{1, 4, 5, 9, 10}), contents(v));
    EXPECT_EQ((std::vector<intptr_t>{4, 5, 10, 4}), contents(other));
    expectConsistent(v);
    /* An unsorted vector merged into itself doubles. */
    ASSERT_TRUE(MergeVector(other, other));
    EXPECT_EQ((std::vector<intptr_t>{4, 5, 10, 4, 4, 5, 10, 4}), contents(other));
    expectConsistent(other);
    DeleteVector(other);
}

TEST_F(VectorFixture, CloneCopiesTexts)
{
    ASSERT_TRUE(InitVector(&v, NULL));
    char a[] = "alpha", b[] = "beta";
    ASSERT_TRUE(AppendElement(v, a));
    ASSERT_TRUE(AppendElement(v, b));
    Vector *copy = CloneVector(v);
    ASSERT_NE(nullptr, copy);
    ASSERT_EQ(2u, copy->count);
    EXPECT_NE((void *)a, copy->first->element);
    EXPECT_STREQ("alpha", (char *)copy->first->element);
    EXPECT_STREQ("beta", (char *)copy->last->element);
    a[0] = 'X';
    EXPECT_STREQ("alpha", (char *)copy->first->element);
    for (VectorNode *n = copy->first; n; n = n->next)
        free(n->element);
    DeleteVector(copy);
    EXPECT_EQ(nullptr, CloneVector(NULL));
}

struct AddArgs {
    Vector *v;
    volatile LONG done;
};

DWORD WINAPI addInThread(void *p)
{
    AddArgs *args = (AddArgs *)p;
    AppendElement(args->v, asElement(42));
    InterlockedExchange(&args->done, 1);
    return 0;
}

TEST_F(VectorFixture, AddingWaitsForTheVectorsKey)
{
    ASSERT_TRUE(InitVector(&v, NULL));
    ASSERT_TRUE(AcquireLock(v));
    AddArgs args = {v, 0};
    HANDLE t = CreateThread(NULL, 0, addInThread, &args, 0, NULL);
    ASSERT_NE(nullptr, t);
    Sleep(100);
    EXPECT_EQ(0, args.done);
    EXPECT_EQ(0u, v->count);
    ReleaseLock(v);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 5000));
    CloseHandle(t);
    EXPECT_EQ(1, args.done);
    EXPECT_EQ(1u, v->count);
}

TEST(MsgQueue, FirstInFirstOutAndReuseAfterDraining)
{
    MsgQueue *q = NULL;
    ASSERT_TRUE(InitVector(&q, NULL));
    EXPECT_EQ(nullptr, ReadMsgFromQueueForProcessing(q));
    for (int round = 0; round < 2; round++) {
        for (intptr_t x = 1; x <= 50; x++)
            ASSERT_TRUE(AddRcvdMsgToQueue(q, asElement(x)));
        for (intptr_t x = 1; x <= 50; x++)
            EXPECT_EQ(x, asValue(ReadMsgFromQueueForProcessing(q)));
        EXPECT_EQ(nullptr, ReadMsgFromQueueForProcessing(q));
        EXPECT_EQ(0u, q->count);
        EXPECT_EQ(nullptr, q->last);
    }
    EXPECT_FALSE(IsLockHeld(q));
    DeleteVector(q);
}

const int kMessages = 2000;

DWORD WINAPI produce(void *p)
{
    for (intptr_t x = 1; x <= kMessages; x++)
        AddRcvdMsgToQueue((MsgQueue *)p, asElement(x));
    return 0;
}

TEST(MsgQueue, ProducerAndConsumerThreadsKeepOrder)
{
    MsgQueue *q = NULL;
    ASSERT_TRUE(InitVector(&q, NULL));
    HANDLE t = CreateThread(NULL, 0, produce, q, 0, NULL);
    ASSERT_NE(nullptr, t);
    intptr_t expected = 1;
    DWORD start = GetTickCount();
    while (expected <= kMessages && GetTickCount() - start < 20000) {
        void *m = ReadMsgFromQueueForProcessing(q);
        if (!m) {
            Sleep(0);
            continue;
        }
        ASSERT_EQ(expected, asValue(m));
        expected++;
    }
    EXPECT_EQ(kMessages + 1, expected);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 5000));
    CloseHandle(t);
    DeleteVector(q);
}

} // namespace
