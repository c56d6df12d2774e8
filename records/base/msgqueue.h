/* Message queue: a vector used first-in first-out between a producer and the
 * thread that processes the messages. The queue never owns the messages. */
#ifndef VQ_RECORDS_BASE_MSGQUEUE_H
#define VQ_RECORDS_BASE_MSGQUEUE_H

#include "records/base/vector.h"

typedef Vector MsgQueue;

/* Appends `message` at the tail; FALSE with ERROR
 * "Buffer allocation is failed !!!\n" when no node can be had. */
BOOL AddRcvdMsgToQueue(MsgQueue *queue, void *message);

/* Under the queue's lock: removes and returns the oldest message, or NULL
 * when the queue is empty. */
void *ReadMsgFromQueueForProcessing(MsgQueue *queue);

#endif
