/* The framework's vector: a singly linked list of element references with a
 * count and a tail. Without a comparator elements keep insertion order; with
 * one the list is kept sorted and equal elements are refused. The vector
 * owns its nodes, never the elements. Adding, inserting, deleting and freeing
 * hold the vector's key in the process lock table while they run. */
#ifndef VQ_RECORDS_BASE_VECTOR_H
#define VQ_RECORDS_BASE_VECTOR_H

#include <windows.h>

/* Orders two elements: negative, 0 or positive like strcmp. */
typedef int (*VectorComparator)(const void *a, const void *b);

struct VectorNode {
    void *element;          /* not owned */
    VectorNode *next;
};

struct Vector {
    VectorNode *first;
    DWORD count;
    VectorNode *last;
    VectorComparator comparator; /* NULL: insertion order */
};

/* Creates a new empty vector on the heap into *vector (NULL on failure,
 * with ERROR "MEMORY_ALLOCATION_FAILURE\n"). */
BOOL InitVector(Vector **vector, VectorComparator comparator);

/* A new node for `element`, not yet in any vector; NULL when out of memory. */
VectorNode *CreateVectorNode(void *element);

/* Appends `node`, or with a comparator inserts it in order. FALSE (node not
 * taken, caller still owns it) for an element equal to one present or for
 * null arguments. */
BOOL AddElement(Vector *vector, VectorNode *node);

/* Allocates a node for `element` and adds it with AddElement; the node is
 * released again when the element is refused. */
BOOL AppendElement(Vector *vector, void *element);

/* Links `node` before position `index` (0..count; count appends). FALSE for
 * an index outside that range. Ignores the comparator. */
BOOL InsertElementAt(Vector *vector, VectorNode *node, DWORD index);

/* Unlinks and frees `node` (never its element). FALSE when not present. */
BOOL DeleteElement(Vector *vector, VectorNode *node);
BOOL DeleteElementAt(Vector *vector, DWORD index);

/* Unlinks and frees the first node holding `element`. */
BOOL DeleteLCDVector(Vector *vector, const void *element);

/* The node at `index`, or NULL. */
VectorNode *ElementAt(const Vector *vector, DWORD index);

/* The node `n` steps after `start` (start itself for 0; a NULL start means
 * the first node), or NULL when the list ends first. */
VectorNode *GetNthElement(const Vector *vector, DWORD n, VectorNode *start);

/* Adds every element of `source` to `target` (in order, or sorted through
 * the target's comparator, where elements already present are skipped).
 * `source` is left as it was. All or nothing: FALSE when out of memory. */
BOOL MergeVector(Vector *target, const Vector *source);

/* Frees every node (never the elements); the vector stays, empty. */
void FreeVector(Vector *vector);

/* FreeVector, then releases the vector record itself. */
void DeleteVector(Vector *vector);

/* A new vector (same comparator) holding new copies of the text elements of
 * `vector`; the caller frees the copies. NULL with ERROR
 * "Cannot clone vector.  Vector is NULL.\n" for a null vector. */
Vector *CloneVector(const Vector *vector);

#endif
