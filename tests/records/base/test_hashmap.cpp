/* Hash map: bucket indexes for keys with bytes above 127, replacement of an
 * existing key, chains with removals at every position, and the key list. */
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "records/base/hashmap.h"
#include "records/base/strutil.h"

namespace {

/* The plain formula with exact arithmetic, for keys whose bytes are all
 * below 128 (where every step is non-negative). */
DWORD plainIndex(const std::string &key, DWORD n)
{
    long long h = 0;
    for (unsigned char c : key)
        h = (h * 26 + c) % n;
    return (DWORD)h;
}

void *val(intptr_t v) { return (void *)v; }

TEST(HashMap, BucketIndexInRangeForHighBytes)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(1, 255), len(1, 12);
    for (DWORD n : {1u, 2u, 7u, 10u, 50u, 100u, 1021u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        for (int i = 0; i < 2000; i++) {
            std::string key;
            for (int k = len(rng); k > 0; k--)
                key.push_back((char)byte(rng));
            EXPECT_LT(HashMapBucketIndex(key.c_str(), n), n) << "n=" << n;
        }
        EXPECT_LT(HashMapBucketIndex("\xff\xff\xff\xff\xff\xff", n), n);
    }
}

TEST(HashMap, AsciiKeysUseThePlainFormula)
{
    for (const char *key : {"", "a", "GeneratorName", "NEXT_STATEMENT_ID", "zzzzzzzzzzzzzzzz"})
        for (DWORD n : {10u, 50u, 100u, 9973u})
            EXPECT_EQ(plainIndex(key, n), HashMapBucketIndex(key, n)) << key << " " << n;
    EXPECT_EQ(HashMapBucketIndex("abc", 10), HashMapBucketIndex("abc", 0));
}

TEST(HashMap, HighByteKeysStoreAndFind)
{
    HashMap *m = NULL;
    ASSERT_TRUE(CreateHashMap(&m, 50));
    const char *keys[] = {"\xc3\xa9t\xc3\xa9", "\x80", "\xff\xfe", "caf\xe9", "plain"};
    for (intptr_t i = 0; i < 5; i++)
        ASSERT_TRUE(InsertIntoHashMap(m, keys[i], val(i + 1)));
    for (intptr_t i = 0; i < 5; i++)
        EXPECT_EQ(val(i + 1), GetFromHashMap(m, keys[i]));
    EXPECT_EQ(5u, GetHashMapCount(m));
    FreeHashMap(m);
}

TEST(HashMap, ExistingKeyGetsNewValueInOneEntry)
{
    HashMap *m = NULL;
    ASSERT_TRUE(CreateHashMap(&m, 0));
    EXPECT_EQ(10u, m->bucketCount);
    ASSERT_TRUE(InsertIntoHashMap(m, "k", val(1)));
    HashEntry *entry = FindHashEntry(m, "k");
    ASSERT_TRUE(InsertIntoHashMap(m, "k", val(2)));
    EXPECT_EQ(1u, GetHashMapCount(m));
    EXPECT_EQ(val(2), GetFromHashMap(m, "k"));
    EXPECT_EQ(entry, FindHashEntry(m, "k")) << "the entry (a lock key) must stay the same";
    /* Keys are case-sensitive and copied. */
    char key[] = "Key";
    ASSERT_TRUE(InsertIntoHashMap(m, key, val(3)));
    key[0] = 'X';
    EXPECT_EQ(val(3), GetFromHashMap(m, "Key"));
    EXPECT_EQ(nullptr, GetFromHashMap(m, "key"));
    EXPECT_FALSE(HashMapContainsKey(m, "Xey"));
    FreeHashMap(m);
}

TEST(HashMap, RemovalAtEveryChainPosition)
{
    /* One bucket: every key shares a chain. */
    const char *keys[] = {"a", "b", "c", "d", "e"};
    for (int victim = 0; victim < 5; victim++) {
        HashMap *m = NULL;
        ASSERT_TRUE(CreateHashMap(&m, 1));
        for (intptr_t i = 0; i < 5; i++)
            ASSERT_TRUE(InsertIntoHashMap(m, keys[i], val(i + 1)));
        EXPECT_TRUE(RemoveFromHashMap(m, keys[victim]));
        EXPECT_FALSE(RemoveFromHashMap(m, keys[victim]));
        EXPECT_EQ(4u, GetHashMapCount(m));
        for (intptr_t i = 0; i < 5; i++)
            EXPECT_EQ(i == victim ? nullptr : val(i + 1), GetFromHashMap(m, keys[i]));
        ASSERT_TRUE(InsertIntoHashMap(m, keys[victim], val(99)));
        EXPECT_EQ(val(99), GetFromHashMap(m, keys[victim]));
        FreeHashMap(m);
    }
}

TEST(HashMap, KeyListHoldsEveryKeyOnce)
{
    HashMap *m = NULL;
    ASSERT_TRUE(CreateHashMap(&m, 7));
    char **empty = GetHashMapKeys(m);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(nullptr, empty[0]);
    FreeStringArray(empty);

    std::set<std::string> want;
    for (int i = 0; i < 100; i++) {
        std::string k = "key" + std::to_string(i % 60);
        want.insert(k);
        ASSERT_TRUE(InsertIntoHashMap(m, k.c_str(), val(i)));
    }
    char **keys = GetHashMapKeys(m);
    ASSERT_NE(nullptr, keys);
    std::vector<std::string> got;
    for (char **p = keys; *p; p++)
        got.push_back(*p);
    FreeStringArray(keys);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(std::vector<std::string>(want.begin(), want.end()), got);
    EXPECT_EQ(60u, GetHashMapCount(m));
    FreeHashMap(m);
}

} // namespace
