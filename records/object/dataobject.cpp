/* Data objects in memory: creation and release, row collections, row
 * units with their own value copies, key strings and the key map, the
 * changes (insert, update, delete) and navigation. */
#include "records/object/dataobject.h"
#include "records/base/textvalue.h"
#include "records/base/coltypes.h"
#include "records/store/criteria.h"
#include "records/base/reclimits.h"
#include "records/persist/seqgen.h"
#include "records/sql/sqltext.h"
#include "records/base/strutil.h"

#include "agent/locktable.h"
#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

DataObject *CreateDataObject(void)
{
    DataObject *d = (DataObject *)calloc(1, sizeof *d);
    if (!d)
        return NULL;
    d->pool = CreateMemPool();
    if (!d->pool || !CreateHashMap(&d->keyMap, DATAOBJECT_KEY_BUCKETS)) {
        DestroyMemPool(d->pool);
        free(d);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return NULL;
    }
    return d;
}

void FreeRowUnit(RowUnit *u)
{
    if (!u)
        return;
    for (INT32 i = 0; u->values && i < u->columnCount; i++)
        free(u->values[i]);
    free(u->values);
    free(u->sizes);
    free(u->tableName);
    free(u);
}

void FreeDataObject(DataObject *d)
{
    if (!d)
        return;
    for (RowCollection *c = d->collections; c; c = c->next) {
        RowUnit *u = c->first;
        while (u) {
            RowUnit *next = u->next;
            FreeRowUnit(u);
            u = next;
        }
    }
    FreeHashMap(d->keyMap);
    DestroyMemPool(d->pool);
    free(d);
}

RowCollection *GetRowCollection(const DataObject *d, const char *tableName)
{
    for (RowCollection *c = d ? d->collections : NULL; c; c = c->next)
        if (CompareStringIgnoreCase(c->tableName, tableName) == 0)
            return c;
    return NULL;
}

RowCollection *CreateRowCollection(DataObject *d, const char *tableName)
{
    if (!d || !tableName)
        return NULL;
    RowCollection *c = GetRowCollection(d, tableName);
    if (c)
        return c;
    TableDefn *defn = GetTableDefn(tableName);
    if (!defn) {
        LogError("CreateRowCollection : no table definition for %s\n", tableName);
        return NULL;
    }
    c = (RowCollection *)MemPoolAlloc(d->pool, sizeof *c);
    if (!c || !(c->tableName = MemPoolStrdup(d->pool, defn->name)))
        return NULL;
    RowCollection **tail = &d->collections;
    while (*tail)
        tail = &(*tail)->next;
    *tail = c;
    d->collectionCount++;
    return c;
}

RowUnit *CreateRowUnit(const char *tableName, BYTE *const *values, const INT32 *sizes)
{
    TableDefn *defn = tableName ? GetTableDefn(tableName) : NULL;
    if (!defn || defn->columnCount == 0) {
        LogError("CreateRowUnit : no table definition for %s\n", tableName ? tableName : "(null)");
        return NULL;
    }
    RowUnit *u = (RowUnit *)calloc(1, sizeof *u);
    if (!u)
        return NULL;
    u->defn = defn;
    u->columns = defn->columns;
    u->columnCount = defn->columnCount;
    u->values = (BYTE **)calloc((size_t)defn->columnCount, sizeof *u->values);
    u->sizes = (INT32 *)calloc((size_t)defn->columnCount, sizeof *u->sizes);
    BOOL ok = u->values && u->sizes && CopyString(&u->tableName, defn->name) == STRUTIL_OK;
    for (INT32 i = 0; ok && values && i < defn->columnCount; i++) {
        if (!values[i])
            continue;
        u->sizes[i] = sizes ? sizes[i] : 0;
        ok = (u->values[i] = CopyValueBuffer(values[i], u->sizes[i])) != NULL;
    }
    if (!ok) {
        FreeRowUnit(u);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return NULL;
    }
    return u;
}

static INT32 columnIndex(const RowUnit *u, const char *columnName)
{
    for (INT32 i = 0; u && columnName && i < u->columnCount; i++)
        if (CompareStringIgnoreCase(u->columns[i]->name, columnName) == 0)
            return i;
    return -1;
}

BOOL SetValueForRowUnit(RowUnit *u, const char *columnName, const void *value, INT32 size)
{
    INT32 i = columnIndex(u, columnName);
    if (i < 0)
        return FALSE;
    BYTE *copy = NULL;
    if (value && !(copy = CopyValueBuffer(value, size)))
        return FALSE;
    free(u->values[i]);
    u->values[i] = copy;
    u->sizes[i] = value ? size : 0;
    return TRUE;
}

BOOL SetValueForAllRowUnits(DataObject *d, const char *tableName, const char *columnName,
                            const void *value, INT32 size)
{
    RowCollection *c = GetRowCollection(d, tableName);
    if (!c)
        return FALSE;
    for (RowUnit *u = c->first; u; u = u->next) {
        if (!SetValueForRowUnit(u, columnName, value, size))
            return FALSE;
        if (u->state & ROW_FLAG_STORED)
            u->state |= ROW_FLAG_MODIFIED;
    }
    return TRUE;
}

/* TRUE when column i is a primary-key column of the row unit's table. */
static BOOL isKeyColumn(const RowUnit *u, INT32 i)
{
    const ConstraintDefn *k = u->defn->constraints;
    for (INT32 p = 0; k && p < k->primaryKeyCount; p++)
        if (CompareStringIgnoreCase(k->primaryKeyColumns[p], u->columns[i]->name) == 0)
            return TRUE;
    return FALSE;
}

char *GenerateKeyString(const RowUnit *u)
{
    if (!u)
        return NULL;
    BOOL keyed = u->defn->constraints && u->defn->constraints->primaryKeyCount > 0;
    SqlText t;
    SqlTextInit(&t);
    SqlTextAppend(&t, u->tableName);
    for (INT32 i = 0; i < u->columnCount; i++) {
        if (keyed && !isKeyColumn(u, i))
            continue;
        SqlTextAppend(&t, DATAOBJECT_KEY_SEPARATOR);
        if (!SqlTextAppendValue(&t, u->values[i], u->sizes[i], u->columns[i]->type))
            SqlTextAppend(&t, "?");
    }
    return SqlTextDetach(&t);
}

RowUnit *FindRowUnit(const DataObject *d, const char *keyString)
{
    return d && keyString ? (RowUnit *)GetFromHashMap(d->keyMap, keyString) : NULL;
}

BOOL CheckForPKEntry(const DataObject *d, const RowUnit *u)
{
    char *key = GenerateKeyString(u);
    BOOL found = key && FindRowUnit(d, key) != NULL;
    free(key);
    return found;
}

/* Appends a row unit to its collection and enters its key; 0 when the key
 * is present already, 1 when added. */
static int addUnit(DataObject *d, RowCollection *c, RowUnit *u)
{
    char *key = GenerateKeyString(u);
    if (!key)
        return 0;
    if (HashMapContainsKey(d->keyMap, key)) {
        LogDebug("Row with keyStr %s already exists.\n", key);
        free(key);
        return 0;
    }
    BOOL ok = InsertIntoHashMap(d->keyMap, key, u);
    free(key);
    if (!ok)
        return 0;
    u->next = NULL;
    if (c->last)
        c->last->next = u;
    else
        c->first = u;
    c->last = u;
    c->count++;
    return 1;
}

/* Adds a row unit read from the database (state 1); 0 when its key is
 * present already (the unit is not taken over then). */
int AddStoredRowUnit(DataObject *d, RowUnit *u)
{
    RowCollection *c = CreateRowCollection(d, u->tableName);
    if (!c)
        return 0;
    u->state = ROW_FLAG_STORED;
    return addUnit(d, c, u);
}

int InsertRowUnit(RowUnit *u, DataObject *d)
{
    LogTrace("@@@@  Inside InsertRowUnit @@@@\n");
    if (!u || !d)
        return 0;
    RowCollection *c = GetRowCollection(d, u->tableName);
    if (!c) {
        LogError("The RowUnit belongs to Table %s, which is not in DO\n", u->tableName);
        return 0;
    }
    LogDebug("Inserting Row\n");
    for (INT32 i = 0; i < u->columnCount; i++) {
        ColumnDefn *col = u->columns[i];
        if (u->values[i])
            continue;
        if (col->generatorName) {
            DWORD id = GenerateID(u->tableName, col);
            if ((u->values[i] = CopyValueBuffer(&id, 4)))
                u->sizes[i] = 4;
        } else if (col->defaultValue) {
            if ((u->values[i] = CopyValueBuffer(col->defaultValue, col->defaultSize)))
                u->sizes[i] = col->defaultSize;
        }
    }
    if (!addUnit(d, c, u))
        return 0;
    u->state = ROW_FLAG_NEW;
    return 1;
}

BOOL UpdateRowUnit(RowUnit *u, DataObject *d)
{
    LogTrace("@@@@  Inside UpdateRowUnit @@@@\n");
    char *key = GenerateKeyString(u);
    RowUnit *stored = FindRowUnit(d, key);
    free(key);
    if (!stored) {
        LogError("Row to be updated is not present in DO. \n");
        return FALSE;
    }
    LogDebug("Updating Row\n");
    if (stored != u) {
        BYTE **values = (BYTE **)calloc((size_t)u->columnCount, sizeof *values);
        BOOL ok = values != NULL;
        for (INT32 i = 0; ok && i < u->columnCount; i++)
            ok = !u->values[i] || (values[i] = CopyValueBuffer(u->values[i], u->sizes[i])) != NULL;
        if (!ok) {
            for (INT32 i = 0; values && i < u->columnCount; i++)
                free(values[i]);
            free(values);
            return FALSE;
        }
        for (INT32 i = 0; i < u->columnCount; i++) {
            free(stored->values[i]);
            stored->values[i] = values[i];
            stored->sizes[i] = u->values[i] ? u->sizes[i] : 0;
        }
        free(values);
    }
    stored->state |= ROW_FLAG_MODIFIED;
    return TRUE;
}

/* Takes a row unit out of its collection and the key map, and frees it. */
void RemoveRowUnitFromDO(DataObject *d, RowUnit *u)
{
    RowCollection *c = GetRowCollection(d, u->tableName);
    RowUnit *prev = NULL;
    for (RowUnit *x = c ? c->first : NULL; x; prev = x, x = x->next) {
        if (x != u)
            continue;
        if (prev)
            prev->next = x->next;
        else
            c->first = x->next;
        if (c->last == x)
            c->last = prev;
        c->count--;
        break;
    }
    char *key = GenerateKeyString(u);
    if (key && GetFromHashMap(d->keyMap, key) == u)
        RemoveFromHashMap(d->keyMap, key);
    free(key);
    FreeRowUnit(u);
}

BOOL DeleteRowUnit(RowUnit *u, DataObject *d)
{
    LogTrace("@@@@  Inside DeleteRowUnit @@@@\n");
    char *key = GenerateKeyString(u);
    RowUnit *stored = FindRowUnit(d, key);
    if (!stored) {
        free(key);
        LogError("DeleteRowUnit : the row unit is not in the DO.\n");
        return FALSE;
    }
    stored->state |= ROW_FLAG_DELETED;
    /* A unit never saved has nothing to delete in the database: its key is
     * free again at once, but the unit stays in its collection (a caller
     * walking it with GotoNextRowUnit may hold it) until the next save of
     * its collection or the data object's end takes it out. */
    if (!(stored->state & ROW_FLAG_STORED))
        RemoveFromHashMap(d->keyMap, key);
    free(key);
    return TRUE;
}

BOOL DeleteRowUnitOnCriteria(DataObject *d, const char *tableName, const char *criteria)
{
    RowCollection *c = GetRowCollection(d, tableName);
    if (!c || !criteria)
        return FALSE;
    const void *lockKey = GetCriteriaLockKey();
    if (!AcquireLock(lockKey))
        return FALSE;
    CriteriaNode *tree = ParseCriteria(criteria);
    if (!tree) {
        ReleaseLock(lockKey);
        return FALSE;
    }
    TableDefn *defn = GetTableDefn(tableName);
    BindCriteria(defn->columns, defn->columnCount, tree);
    RowUnit *u = c->first;
    while (u) {
        RowUnit *next = u->next;
        RowObject view = {u->values, u->sizes, u->state, NULL};
        if (EvaluateCriteria(&view, tree))
            DeleteRowUnit(u, d);
        u = next;
    }
    FreeCriteria(tree);
    ReleaseLock(lockKey);
    return TRUE;
}

int InsertRowIntoDO(DataObject *d, const char *tableName, const RowObject *row)
{
    RowUnit *u = row ? CreateRowUnit(tableName, row->values, row->sizes) : NULL;
    if (!u)
        return 0;
    int ok = InsertRowUnit(u, d);
    if (!ok)
        FreeRowUnit(u);
    return ok;
}

int InsertStringRowIntoDO(DataObject *d, const char *tableName, const char *const *texts)
{
    RowUnit *u = texts ? CreateRowUnit(tableName, NULL, NULL) : NULL;
    if (!u)
        return 0;
    for (INT32 i = 0; i < u->columnCount; i++) {
        if (!texts[i])
            continue;
        INT32 size = (INT32)strlen(texts[i]);
        u->values[i] = ConvertTextToValue(texts[i], &size, u->columns[i]->type);
        if (!u->values[i]) {
            LogError("InsertStringRowIntoDO : %s is no value of column %s\n", texts[i], u->columns[i]->name);
            FreeRowUnit(u);
            return 0;
        }
        u->sizes[i] = size;
    }
    int ok = InsertRowUnit(u, d);
    if (!ok)
        FreeRowUnit(u);
    return ok;
}
