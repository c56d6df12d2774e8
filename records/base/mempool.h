/* Region allocator of the framework: a pool hands out blocks carved from
 * 8 KiB chunks and frees them all at once. One process-wide pool, reference
 * counted by InitializeMemPool / ReleaseMemPool, holds the fragments of
 * generated SQL texts; a select-query model carries a pool of its own. */
#ifndef VQ_RECORDS_BASE_MEMPOOL_H
#define VQ_RECORDS_BASE_MEMPOOL_H

#include <windows.h>

struct MemPoolChunk;

typedef struct MemPool {
    MemPoolChunk *chunks;   /* newest first */
} MemPool;

/* A new empty pool; NULL when out of memory. */
MemPool *CreateMemPool(void);

/* Frees every block of the pool and the pool; NULL is accepted. */
void DestroyMemPool(MemPool *pool);

/* `size` bytes (rounded up to a multiple of 8), zeroed, valid until the pool
 * is destroyed; NULL when out of memory. */
void *MemPoolAlloc(MemPool *pool, size_t size);

/* A copy of `text` in the pool; NULL for NULL or when out of memory. */
char *MemPoolStrdup(MemPool *pool, const char *text);

/* A copy of `size` bytes in the pool, with one terminating zero byte. */
void *MemPoolMemdup(MemPool *pool, const void *data, size_t size);

/* Adds one use of the process-wide pool, creating it on the first: TRUE, or
 * FALSE when out of memory. */
BOOL InitializeMemPool(void);

/* Removes one use; the last release destroys the pool. */
void ReleaseMemPool(void);

/* The process-wide pool, or NULL while it has no user. */
MemPool *GetGlobalMemPool(void);

#endif
