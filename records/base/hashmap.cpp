/* String-keyed hash map: a fixed array of bucket chains. The hash runs over
 * the key's bytes taken as signed characters, h = (h * 26 + c) mod N; the
 * remainder is kept in 0..N-1 at every step so that bytes above 127, whose
 * signed value is negative, still give a bucket inside the array. For keys
 * of plain ASCII this is the same bucket as the plain formula. */
#include "records/base/hashmap.h"

#include <stdlib.h>
#include <string.h>

#include "records/base/strutil.h"

DWORD HashMapBucketIndex(const char *key, DWORD bucketCount)
{
    if (bucketCount == 0)
        bucketCount = HASHMAP_DEFAULT_BUCKETS;
    long long n = (long long)bucketCount;
    long long h = 0;
    for (const signed char *p = (const signed char *)key; p && *p; p++) {
        h = (h * 26 + *p) % n;
        if (h < 0)
            h += n;
    }
    return (DWORD)h;
}

BOOL CreateHashMap(HashMap **map, DWORD bucketCount)
{
    if (!map)
        return FALSE;
    *map = NULL;
    if (bucketCount == 0)
        bucketCount = HASHMAP_DEFAULT_BUCKETS;
    HashMap *m = (HashMap *)calloc(1, sizeof(HashMap));
    if (!m)
        return FALSE;
    m->buckets = (HashEntry **)calloc(bucketCount, sizeof(HashEntry *));
    if (!m->buckets) {
        free(m);
        return FALSE;
    }
    m->bucketCount = bucketCount;
    *map = m;
    return TRUE;
}

BOOL InsertIntoHashMap(HashMap *map, const char *key, void *value)
{
    if (!map || !key)
        return FALSE;
    HashEntry **link = &map->buckets[HashMapBucketIndex(key, map->bucketCount)];
    for (; *link; link = &(*link)->next) {
        if (strcmp((*link)->key, key) == 0) {
            (*link)->value = value;
            return TRUE;
        }
    }
    HashEntry *e = (HashEntry *)malloc(sizeof(HashEntry));
    char *copy = _strdup(key);
    if (!e || !copy) {
        free(e);
        free(copy);
        return FALSE;
    }
    e->key = copy;
    e->value = value;
    e->next = NULL;
    *link = e;
    map->count++;
    return TRUE;
}

HashEntry *FindHashEntry(const HashMap *map, const char *key)
{
    if (!map || !key)
        return NULL;
    HashEntry *e = map->buckets[HashMapBucketIndex(key, map->bucketCount)];
    for (; e; e = e->next)
        if (strcmp(e->key, key) == 0)
            return e;
    return NULL;
}

void *GetFromHashMap(const HashMap *map, const char *key)
{
    HashEntry *e = FindHashEntry(map, key);
    return e ? e->value : NULL;
}

BOOL HashMapContainsKey(const HashMap *map, const char *key)
{
    return FindHashEntry(map, key) != NULL;
}

BOOL RemoveFromHashMap(HashMap *map, const char *key)
{
    if (!map || !key)
        return FALSE;
    HashEntry **link = &map->buckets[HashMapBucketIndex(key, map->bucketCount)];
    for (; *link; link = &(*link)->next) {
        if (strcmp((*link)->key, key) == 0) {
            HashEntry *e = *link;
            *link = e->next;
            free(e->key);
            free(e);
            map->count--;
            return TRUE;
        }
    }
    return FALSE;
}

DWORD GetHashMapCount(const HashMap *map)
{
    return map ? map->count : 0;
}

char **GetHashMapKeys(const HashMap *map)
{
    if (!map)
        return NULL;
    char **keys = (char **)calloc(map->count + 1, sizeof(char *));
    if (!keys)
        return NULL;
    DWORD k = 0;
    for (DWORD b = 0; b < map->bucketCount; b++) {
        for (HashEntry *e = map->buckets[b]; e; e = e->next) {
            keys[k] = _strdup(e->key);
            if (!keys[k]) {
                FreeStringArray(keys);
                return NULL;
            }
            k++;
        }
    }
    return keys;
}

void FreeHashMap(HashMap *map)
{
    if (!map)
        return;
    for (DWORD b = 0; b < map->bucketCount; b++) {
        HashEntry *e = map->buckets[b];
        while (e) {
            HashEntry *next = e->next;
            free(e->key);
            free(e);
            e = next;
        }
    }
    free(map->buckets);
    free(map);
}
