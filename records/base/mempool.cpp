/* The framework's region allocator and its process-wide, reference-counted
 * instance. Blocks are never freed one by one: a pool is destroyed whole. */
#include "records/base/mempool.h"
#include "records/base/reclimits.h"

#include <stdlib.h>
#include <string.h>

struct MemPoolChunk {
    MemPoolChunk *next;
    size_t size;            /* usable bytes after the header */
    size_t used;
};

/* The header is padded so that the data starts 8-byte aligned. */
#define CHUNK_HEADER (((sizeof(MemPoolChunk) + MEMPOOL_ALIGNMENT - 1) / MEMPOOL_ALIGNMENT) * MEMPOOL_ALIGNMENT)

static MemPool *s_global;
static LONG s_globalUses;

MemPool *CreateMemPool(void)
{
    return (MemPool *)calloc(1, sizeof(MemPool));
}

void DestroyMemPool(MemPool *pool)
{
    if (!pool)
        return;
    MemPoolChunk *c = pool->chunks;
    while (c) {
        MemPoolChunk *next = c->next;
        free(c);
        c = next;
    }
    free(pool);
}

void *MemPoolAlloc(MemPool *pool, size_t size)
{
    if (!pool)
        return NULL;
    if (size == 0)
        size = 1;
    if (size > (size_t)-1 - MEMPOOL_BLOCK_SIZE)
        return NULL;
    size = (size + MEMPOOL_ALIGNMENT - 1) / MEMPOOL_ALIGNMENT * MEMPOOL_ALIGNMENT;
    MemPoolChunk *c = pool->chunks;
    if (!c || c->size - c->used < size) {
        /* A request larger than a block gets a chunk of its own. */
        size_t usable = size > MEMPOOL_BLOCK_SIZE - CHUNK_HEADER ? size : MEMPOOL_BLOCK_SIZE - CHUNK_HEADER;
        MemPoolChunk *fresh = (MemPoolChunk *)malloc(CHUNK_HEADER + usable);
        if (!fresh)
            return NULL;
        fresh->size = usable;
        fresh->used = 0;
        fresh->next = pool->chunks;
        pool->chunks = fresh;
        c = fresh;
    }
    BYTE *p = (BYTE *)c + CHUNK_HEADER + c->used;
    c->used += size;
    memset(p, 0, size);
    return p;
}

void *MemPoolMemdup(MemPool *pool, const void *data, size_t size)
{
    if (size == (size_t)-1)
        return NULL;
    BYTE *p = (BYTE *)MemPoolAlloc(pool, size + 1);
    if (p && size)
        memcpy(p, data, size);
    return p;
}

char *MemPoolStrdup(MemPool *pool, const char *text)
{
    if (!text)
        return NULL;
    return (char *)MemPoolMemdup(pool, text, strlen(text));
}

BOOL InitializeMemPool(void)
{
    if (!s_global) {
        s_global = CreateMemPool();
        if (!s_global)
            return FALSE;
        s_globalUses = 0;
    }
    s_globalUses++;
    return TRUE;
}

void ReleaseMemPool(void)
{
    if (!s_global)
        return;
    if (--s_globalUses <= 0) {
        DestroyMemPool(s_global);
        s_global = NULL;
        s_globalUses = 0;
    }
}

MemPool *GetGlobalMemPool(void)
{
    return s_global;
}
