/* The framework's vector: an ordered singly linked list with count and tail.
 * Sorted vectors find the insertion point by halving the range of positions
 * and walking from the range's low node, so a comparison is made O(log n)
 * times even though reaching a node is a walk. */
#include "records/base/vector.h"

#include <stdlib.h>
#include <string.h>

#include "agent/locktable.h"
#include "agent/log.h"

BOOL InitVector(Vector **vector, VectorComparator comparator)
{
    LogTrace("\n\t@@@@@ Inside InitVector() @@@@@ \n");
    if (!vector)
        return FALSE;
    Vector *v = (Vector *)calloc(1, sizeof(Vector));
    *vector = v;
    if (!v) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return FALSE;
    }
    v->comparator = comparator;
    return TRUE;
}

VectorNode *CreateVectorNode(void *element)
{
    VectorNode *node = (VectorNode *)malloc(sizeof(VectorNode));
    if (node) {
        node->element = element;
        node->next = NULL;
    }
    return node;
}

/* Links `node` between `prev` (NULL: at the front) and prev's successor. */
static void linkAfter(Vector *v, VectorNode *prev, VectorNode *node)
{
    if (prev) {
        node->next = prev->next;
        prev->next = node;
    } else {
        node->next = v->first;
        v->first = node;
    }
    if (!node->next)
        v->last = node;
    v->count++;
}

/* Sorted insertion without taking the lock; FALSE for an equal element. */
static BOOL addSorted(Vector *v, VectorNode *node)
{
    DWORD low = 0, high = v->count;
    VectorNode *lowPrev = NULL;       /* node before position low */
    VectorNode *lowNode = v->first;   /* node at position low */

    while (high - low > 1) {
        DWORD mid = low + (high - low) / 2;
        VectorNode *midNode = lowNode;
        for (DWORD i = low; i < mid; i++)
            midNode = midNode->next;
        int c = v->comparator(node->element, midNode->element);
        if (c == 0)
            return FALSE;
        if (c > 0) {
            low = mid + 1;
            lowPrev = midNode;
            lowNode = midNode->next;
        } else {
            high = mid;
        }
    }
    if (high - low == 1) {
        /* One position left: before or after its node. */
        int c = v->comparator(node->element, lowNode->element);
        if (c == 0)
            return FALSE;
        if (c > 0)
            lowPrev = lowNode;
    }
    linkAfter(v, lowPrev, node);
    return TRUE;
}

static BOOL addUnlocked(Vector *v, VectorNode *node)
{
    if (!v->comparator || v->count == 0) {
        linkAfter(v, v->last, node);
        return TRUE;
    }
    return addSorted(v, node);
}

BOOL AddElement(Vector *vector, VectorNode *node)
{
    LogTrace("\n\t@@@@@ Inside AddElement() @@@@@ \n");
    if (!vector || !node)
        return FALSE;
    if (!AcquireLock(vector))
        return FALSE;
    BOOL added = addUnlocked(vector, node);
    ReleaseLock(vector);
    return added;
}

BOOL AppendElement(Vector *vector, void *element)
{
    if (!vector)
        return FALSE;
    VectorNode *node = CreateVectorNode(element);
    if (!node) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return FALSE;
    }
    if (!AddElement(vector, node)) {
        free(node);
        return FALSE;
    }
    return TRUE;
}

BOOL InsertElementAt(Vector *vector, VectorNode *node, DWORD index)
{
    LogTrace("\n\t@@@@@ Inside InsertElementAt() @@@@@ \n");
    if (!vector || !node)
        return FALSE;
    if (!AcquireLock(vector))
        return FALSE;
    BOOL ok = FALSE;
    if (index <= vector->count) {
        VectorNode *prev = NULL;
        if (index == vector->count) {
            prev = vector->last;
        } else if (index > 0) {
            prev = vector->first;
            for (DWORD i = 1; i < index; i++)
                prev = prev->next;
        }
        linkAfter(vector, prev, node);
        ok = TRUE;
    }
    ReleaseLock(vector);
    return ok;
}

/* Unlinks `node` given its predecessor and frees it. */
static void unlinkAndFree(Vector *v, VectorNode *prev, VectorNode *node)
{
    if (prev)
        prev->next = node->next;
    else
        v->first = node->next;
    if (v->last == node)
        v->last = prev;
    v->count--;
    free(node);
}

BOOL DeleteElement(Vector *vector, VectorNode *node)
{
    LogTrace("\n\t@@@@@ Inside DeleteElement() @@@@@ \n");
    if (!vector || !node)
        return FALSE;
    if (!AcquireLock(vector))
        return FALSE;
    BOOL found = FALSE;
    VectorNode *prev = NULL;
    for (VectorNode *n = vector->first; n; prev = n, n = n->next) {
        if (n == node) {
            unlinkAndFree(vector, prev, n);
            found = TRUE;
            break;
        }
    }
    ReleaseLock(vector);
    return found;
}

BOOL DeleteElementAt(Vector *vector, DWORD index)
{
    LogTrace("\n\t@@@@@ Inside DeleteElementAt() @@@@@ \n");
    if (!vector)
        return FALSE;
    if (!AcquireLock(vector))
        return FALSE;
    BOOL found = FALSE;
    if (index < vector->count) {
        VectorNode *prev = NULL, *n = vector->first;
        for (DWORD i = 0; i < index; i++) {
            prev = n;
            n = n->next;
        }
        unlinkAndFree(vector, prev, n);
        found = TRUE;
    }
    ReleaseLock(vector);
    return found;
}

BOOL DeleteLCDVector(Vector *vector, const void *element)
{
    LogTrace("\n\t@@@@@ Inside DeleteLCDVector() @@@@@ \n");
    if (!vector)
        return FALSE;
    if (!AcquireLock(vector))
        return FALSE;
    BOOL found = FALSE;
    VectorNode *prev = NULL;
    for (VectorNode *n = vector->first; n; prev = n, n = n->next) {
        if (n->element == element) {
            unlinkAndFree(vector, prev, n);
            found = TRUE;
            break;
        }
    }
    ReleaseLock(vector);
    return found;
}

VectorNode *ElementAt(const Vector *vector, DWORD index)
{
    LogTrace("\n\t@@@@@ Inside ElementAt() @@@@@ \n");
    if (!vector || index >= vector->count)
        return NULL;
    VectorNode *n = vector->first;
    for (DWORD i = 0; i < index && n; i++)
        n = n->next;
    return n;
}

VectorNode *GetNthElement(const Vector *vector, DWORD n, VectorNode *start)
{
    LogTrace("\n\t@@@@@ Inside GetNthElement() @@@@@ \n");
    if (!vector)
        return NULL;
    VectorNode *node = start ? start : vector->first;
    for (DWORD i = 0; i < n && node; i++)
        node = node->next;
    return node;
}

BOOL MergeVector(Vector *target, const Vector *source)
{
    LogTrace("\n\t@@@@@ Inside MergeVector() @@@@@ \n");
    if (!target || !source)
        return FALSE;
    /* Every node is made before the target changes, so running out of
     * memory leaves the target as it was. This also makes merging a vector
     * into itself safe. */
    VectorNode *chain = NULL, *tail = NULL;
    for (VectorNode *s = source->first; s; s = s->next) {
        VectorNode *n = CreateVectorNode(s->element);
        if (!n) {
            while (chain) {
                VectorNode *next = chain->next;
                free(chain);
                chain = next;
            }
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return FALSE;
        }
        if (tail)
            tail->next = n;
        else
            chain = n;
        tail = n;
    }
    if (!AcquireLock(target)) {
        while (chain) {
            VectorNode *next = chain->next;
            free(chain);
            chain = next;
        }
        return FALSE;
    }
    while (chain) {
        VectorNode *n = chain;
        chain = chain->next;
        n->next = NULL;
        if (!addUnlocked(target, n))
            free(n); /* already present in a sorted target */
    }
    ReleaseLock(target);
    return TRUE;
}

void FreeVector(Vector *vector)
{
    LogTrace("\n\t@@@@@ Inside FreeVector() @@@@@ \n");
    if (!vector)
        return;
    if (!AcquireLock(vector))
        return;
    VectorNode *n = vector->first;
    while (n) {
        VectorNode *next = n->next;
        free(n);
        n = next;
    }
    vector->first = vector->last = NULL;
    vector->count = 0;
    ReleaseLock(vector);
}

void DeleteVector(Vector *vector)
{
    if (!vector)
        return;
    FreeVector(vector);
    free(vector);
}

Vector *CloneVector(const Vector *vector)
{
    LogTrace("\n\t@@@@@ Inside CloneVector() @@@@@ \n");
    if (!vector) {
        LogError("Cannot clone vector.  Vector is NULL.\n");
        return NULL;
    }
    Vector *copy = NULL;
    if (!InitVector(&copy, vector->comparator))
        return NULL;
    /* The source order is already the sorted order, so the copies are
     * appended as they come. */
    for (VectorNode *s = vector->first; s; s = s->next) {
        char *text = s->element ? _strdup((const char *)s->element) : NULL;
        VectorNode *n = (s->element && !text) ? NULL : CreateVectorNode(text);
        if (!n) {
            free(text);
            for (VectorNode *c = copy->first; c; c = c->next)
                free(c->element);
            DeleteVector(copy);
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return NULL;
        }
        linkAfter(copy, copy->last, n);
    }
    return copy;
}
