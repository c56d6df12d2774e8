/* Copies of data objects: a row unit, a collection into another data
 * object, a whole data object, and the merge of one data object into
 * another. Copies keep the row units' states, and a key present in the
 * receiving data object keeps the row unit that is there, so a merge never
 * holds two row units of one row. */
#include "records/object/dataobject.h"

#include "agent/log.h"

#include <stdlib.h>

RowUnit *CloneRowUnit(const RowUnit *u)
{
    if (!u)
        return NULL;
    RowUnit *copy = CreateRowUnit(u->tableName, u->values, u->sizes);
    if (copy)
        copy->state = u->state;
    return copy;
}

/* Copies the row units of `c` into `into`; the number added, or -1 when
 * out of memory (or `c`'s table has no definition any more). */
static INT32 copyUnits(const RowCollection *c, DataObject *into)
{
    if (!CreateRowCollection(into, c->tableName))
        return -1;
    INT32 added = 0;
    for (const RowUnit *u = c->first; u; u = u->next) {
        if (CheckForPKEntry(into, u))
            continue;
        RowUnit *copy = CloneRowUnit(u);
        if (!copy || !AddStoredRowUnit(into, copy)) {
            FreeRowUnit(copy);
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return -1;
        }
        copy->state = u->state;
        added++;
    }
    return added;
}

RowCollection *CloneRowCollection(const RowCollection *c, DataObject *into)
{
    if (!c || !into || copyUnits(c, into) < 0)
        return NULL;
    return GetRowCollection(into, c->tableName);
}

INT32 MergeDataObject(DataObject *target, const DataObject *source)
{
    if (!target || !source)
        return -1;
    INT32 added = 0;
    for (const RowCollection *c = source->collections; c; c = c->next) {
        INT32 n = copyUnits(c, target);
        if (n < 0)
            return -1;
        added += n;
    }
    return added;
}

DataObject *CloneDataObject(const DataObject *d)
{
    if (!d)
        return NULL;
    DataObject *copy = CreateDataObject();
    if (copy && MergeDataObject(copy, d) < 0) {
        FreeDataObject(copy);
        return NULL;
    }
    return copy;
}
