/* Message queue: first in, first out over a vector, each operation under the
 * queue's key in the lock table so a producer and a consumer thread can
 * share it. */
#include "records/base/msgqueue.h"

#include <stdlib.h>

#include "agent/locktable.h"
#include "agent/log.h"

BOOL AddRcvdMsgToQueue(MsgQueue *queue, void *message)
{
    if (!queue)
        return FALSE;
    VectorNode *node = CreateVectorNode(message);
    if (!node) {
        LogError("Buffer allocation is failed !!!\n");
        return FALSE;
    }
    /* A queue has no comparator, so AddElement appends at the tail. */
    if (!AddElement(queue, node)) {
        free(node);
        return FALSE;
    }
    return TRUE;
}

void *ReadMsgFromQueueForProcessing(MsgQueue *queue)
{
    if (!queue)
        return NULL;
    if (!AcquireLock(queue))
        return NULL;
    VectorNode *head = queue->first;
    if (head) {
        queue->first = head->next;
        if (!queue->first)
            queue->last = NULL;
        queue->count--;
    }
    ReleaseLock(queue);
    if (!head)
        return NULL;
    void *message = head->element;
    free(head);
    return message;
}
