/* String-keyed hash map with a bucket count fixed at creation. Entries own a
 * copy of their key and only refer to their value. Keys compare
 * case-sensitively. */
#ifndef VQ_RECORDS_BASE_HASHMAP_H
#define VQ_RECORDS_BASE_HASHMAP_H

#include <windows.h>

struct HashEntry {
    char *key;              /* owned copy */
    void *value;            /* not owned */
    HashEntry *next;
};

struct HashMap {
    HashEntry **buckets;
    DWORD bucketCount;
    DWORD count;
};

#define HASHMAP_DEFAULT_BUCKETS 10

/* Creates a map of `bucketCount` buckets (10 when 0) into *map. */
BOOL CreateHashMap(HashMap **map, DWORD bucketCount);

/* Bucket index of `key` in a map of `bucketCount` buckets: always below
 * bucketCount, also for bytes above 127. */
DWORD HashMapBucketIndex(const char *key, DWORD bucketCount);

/* Sets the value of `key`: an existing entry takes the new value (the old
 * one is not freed), otherwise a new entry is added. */
BOOL InsertIntoHashMap(HashMap *map, const char *key, void *value);

/* The value of `key`, or NULL. */
void *GetFromHashMap(const HashMap *map, const char *key);

/* The entry of `key` itself (stable while the key stays), or NULL. */
HashEntry *FindHashEntry(const HashMap *map, const char *key);

BOOL HashMapContainsKey(const HashMap *map, const char *key);

/* Removes the entry of `key` (its value is not freed). FALSE when absent. */
BOOL RemoveFromHashMap(HashMap *map, const char *key);

DWORD GetHashMapCount(const HashMap *map);

/* New null-terminated array of new copies of every key (bucket order);
 * release with FreeStringArray. NULL when out of memory. */
char **GetHashMapKeys(const HashMap *map);

/* Frees the keys, the entries and the map, never the values. */
void FreeHashMap(HashMap *map);

#endif
