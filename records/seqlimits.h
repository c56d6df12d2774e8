/* Named limits of the sequence generator and the notification service. */
#ifndef VQ_RECORDS_SEQLIMITS_H
#define VQ_RECORDS_SEQLIMITS_H

/* Identifiers reserved from the database at a time, per generator. */
#define SEQGEN_BATCH_SIZE        300

/* Buckets of the generator state map (name -> next and batch end). */
#define SEQGEN_STATE_BUCKETS     50

/* The generator GenerateInstanceID draws from. */
#define SEQGEN_INSTANCE_KEY      "INSTANCE_ID"

/* Highest batch end that can still be stored: CURRENTBATCHEND is a signed
 * 32-bit column, so one more batch must not pass 2147483647. */
#define SEQGEN_MAX_BATCH_END     2147483647L

/* GenerateID's answer when no identifier could be handed out. */
#define GENERATE_ID_FAILED       0xFFFFFFFFu

/* Event filter of a listener that takes every row change. */
#define NOTIFY_EVENT_ANY         0

#endif
