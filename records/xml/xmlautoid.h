/* Identifiers of the reference texts of a table-data load: the AutoID map
 * from text keys to generated 32-bit identifiers, and the resolution of a
 * reference text ("table:column:key") on a numeric column. Used by the
 * table-data loader. */
#ifndef VQ_RECORDS_XML_XMLAUTOID_H
#define VQ_RECORDS_XML_XMLAUTOID_H

#include <windows.h>

#include "records/base/hashmap.h"
#include "records/dict/tabledefn.h"

/* Maps `key` to a copy of `id` (an existing entry takes the new id). FALSE
 * when out of memory. */
BOOL PutAutoID(HashMap *map, const char *key, DWORD id);

/* The identifier of `key` into *id; FALSE when the map does not hold it. */
BOOL GetAutoID(const HashMap *map, const char *key, DWORD *id);

/* Resolves a reference text met on column `column` of table `tableName`
 * into *id, recording what it learned in `map`. FALSE when the text lacks
 * its table or column part (ERROR "Unable to get Column details for AutoID
 * generation \n") or when out of memory: the column gets no value then. */
BOOL ResolveAutoID(HashMap *map, const char *tableName, const ColumnDefn *column,
                   const char *text, DWORD *id);

#endif
