/* The framework's region allocator: alignment, zeroed blocks, requests
 * larger than a chunk, copies, and the reference-counted process pool. */
#include "records/base/mempool.h"
#include "records/base/reclimits.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

TEST(MemPool, BlocksAreAlignedZeroedAndDistinctAcrossChunks)
{
    MemPool *pool = CreateMemPool();
    ASSERT_NE(nullptr, pool);
    const size_t sizes[] = {1, 7, 8, 9, 100, MEMPOOL_BLOCK_SIZE - 64, MEMPOOL_BLOCK_SIZE * 3, 5};
    BYTE *previous = nullptr;
    size_t previousSize = 0;
    for (size_t size : sizes) {
        BYTE *p = (BYTE *)MemPoolAlloc(pool, size);
        ASSERT_NE(nullptr, p) << size;
        EXPECT_EQ(0u, (uintptr_t)p % MEMPOOL_ALIGNMENT) << size;
        for (size_t i = 0; i < size; i++)
            ASSERT_EQ(0, p[i]) << size;
        memset(p, 0xAB, size);
        /* The block before must not have been overwritten by this one. */
        if (previous) {
            EXPECT_EQ(0xAB, previous[previousSize - 1]);
        }
        previous = p;
        previousSize = size;
    }
    char *copy = MemPoolStrdup(pool, "it's");
    EXPECT_STREQ("it's", copy);
    EXPECT_EQ(nullptr, MemPoolStrdup(pool, nullptr));
    BYTE *bytes = (BYTE *)MemPoolMemdup(pool, "a\0b", 3);
    EXPECT_EQ(0, memcmp("a\0b\0", bytes, 4));
    DestroyMemPool(pool);
}

TEST(MemPool, TheProcessPoolLivesUntilItsLastUserReleasesIt)
{
    EXPECT_EQ(nullptr, GetGlobalMemPool());
    ASSERT_TRUE(InitializeMemPool());
    MemPool *pool = GetGlobalMemPool();
    ASSERT_NE(nullptr, pool);
    ASSERT_TRUE(InitializeMemPool());
    EXPECT_EQ(pool, GetGlobalMemPool());
    ReleaseMemPool();
    EXPECT_EQ(pool, GetGlobalMemPool());
    ReleaseMemPool();
    EXPECT_EQ(nullptr, GetGlobalMemPool());
    ReleaseMemPool();   /* one release too many changes nothing */
    EXPECT_EQ(nullptr, GetGlobalMemPool());
}
