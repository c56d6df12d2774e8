/* The sequence generator: integer identifiers for every dictionary column
 * that names a generator, reserved from the table SeqGenState of the
 * table's database in batches, so that identifiers stay unique across runs.
 * The state of each generator (next identifier, end of the reserved batch)
 * lives in a map from generator name; a generator's map entry is also its
 * key in the lock table. */
#ifndef VQ_RECORDS_PERSIST_SEQGEN_H
#define VQ_RECORDS_PERSIST_SEQGEN_H

#include <windows.h>

#include "records/base/hashmap.h"
#include "records/base/reclimits.h"
#include "records/dict/tabledefn.h"
#include "records/store/tablestore.h"

/* The generator GenerateInstanceID draws from. */
#define SEQGEN_INSTANCE_KEY      "INSTANCE_ID"

/* GenerateID's answer when no identifier could be handed out: the table
 * store's "no identifier" (tablestore.h), since the generator is the
 * store's identifier source. */
#define GENERATE_ID_FAILED       STORE_NO_IDENTIFIER

/* The state of one generator: the next identifier to hand out and the last
 * identifier of the batch reserved for this process. */
typedef struct SeqGenState {
    DWORD next;
    DWORD batchEnd;
} SeqGenState;

/* Creates the empty state map (SEQGEN_STATE_BUCKETS buckets); TRUE when it
 * exists afterwards, also when it already did. */
BOOL CreateSequenceStateMap(void);

/* Frees every generator's state and the map; the map is NULL afterwards. */
void FreeSequenceStateMap(void);

/* The state map while the framework runs, else NULL. */
HashMap *GetSequenceStateMap(void);

/* Reserves a first batch for every generator named by a column of the
 * dictionary, table by table in registry order, each under the generator's
 * lock. FALSE when a table has no columns (or the state map is missing);
 * a failed reservation is logged by UpdateSeqGen and does not stop the run. */
BOOL SequenceGenerator(void);

/* Reserves the next batch of `generatorName` in SeqGenState on a connection
 * of the table's connection (the default connection for a NULL table or a
 * table without map entry): the stored batch end E grows by the batch size
 * and the state becomes next E + 1, end E + batch; a generator without row
 * gets the first batch 1..batch. The caller holds the generator's lock (or
 * the map's, for a generator not in the map yet). FALSE, with an ERROR line,
 * when the table cannot be read, a statement fails, the stored value is not
 * a number or another batch would pass SEQGEN_MAX_BATCH_END. */
BOOL UpdateSeqGen(const char *tableName, const char *generatorName);

/* The next identifier of the column's generator, reserving a new batch
 * when the current one is used up; GENERATE_ID_FAILED when the column
 * names no generator known to the state map or a needed reservation
 * fails. Safe to call from several threads at once. */
DWORD GenerateID(const char *tableName, ColumnDefn *columnDefn);

/* The same for the generator "INSTANCE_ID", reserving through the default
 * connection. */
DWORD GenerateInstanceID(void);

#endif
