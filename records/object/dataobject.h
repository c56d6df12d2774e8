/* Data objects: in-memory collections of related rows. A data object holds
 * one row collection per table (in the order the tables were added) of row
 * units, each a row of a dictionary table with its own copies of the
 * values and a state (2 new, 4 updated, 8 deleted, 1 read from the
 * database, combined like a RowObject's flags), and a key map from each row
 * unit's key string (its table and primary-key values) to the row unit.
 * Data objects are filled from the databases (for a personality, a table
 * criteria or a row unit), changed in memory and saved back row unit by row
 * unit. Not locked: one thread uses a data object at a time. */
#ifndef VQ_RECORDS_OBJECT_DATAOBJECT_H
#define VQ_RECORDS_OBJECT_DATAOBJECT_H

#include <windows.h>

#include "records/base/hashmap.h"
#include "records/base/mempool.h"
#include "records/sql/resultset.h"
#include "records/sql/selectquery.h"
#include "records/store/tablestore.h"

/* Separator between the primary-key values of a key string. */
#define DATAOBJECT_KEY_SEPARATOR   "|"

typedef struct RowUnit {
    char *tableName;        /* the definition's spelling */
    TableDefn *defn;        /* the table's definition, not owned */
    ColumnDefn **columns;   /* the definition's columns, not owned */
    INT32 columnCount;
    BYTE **values;          /* owned buffers, one byte longer than their size */
    INT32 *sizes;
    BYTE state;             /* ROW_FLAG_* */
    struct RowUnit *next;   /* the next row unit of its collection */
} RowUnit;

typedef struct RowCollection {
    char *tableName;        /* in the data object's pool */
    RowUnit *first;
    RowUnit *last;
    INT32 count;
    struct RowCollection *next;
} RowCollection;

typedef struct DataObject {
    MemPool *pool;          /* the collections and their names */
    HashMap *keyMap;        /* key string -> RowUnit */
    RowCollection *collections;
    INT32 collectionCount;
} DataObject;

/* Creation and release */
DataObject *CreateDataObject(void);
/* Frees every row unit, the key map, the pool and the data object. */
void FreeDataObject(DataObject *dataObject);
/* The collection of a dictionary table in the data object, made empty at
 * the end of the list when missing; NULL for an unknown table. */
RowCollection *CreateRowCollection(DataObject *dataObject, const char *tableName);
/* A row unit of a dictionary table with copies of `values` (column order;
 * NULL arrays or entries are NULL values), state 0; NULL for an unknown
 * table or when out of memory. */
RowUnit *CreateRowUnit(const char *tableName, BYTE *const *values, const INT32 *sizes);
/* Frees a row unit that is in no data object. */
void FreeRowUnit(RowUnit *rowUnit);
/* Replaces the value of a column (case-insensitive name) by a copy of
 * `size` bytes (NULL: a NULL value). FALSE for an unknown column. */
BOOL SetValueForRowUnit(RowUnit *rowUnit, const char *columnName, const void *value, INT32 size);
/* The same for every row unit of the table's collection; the stored ones
 * gain the updated state. */
BOOL SetValueForAllRowUnits(DataObject *dataObject, const char *tableName, const char *columnName,
                            const void *value, INT32 size);

/* Copies. A copy keeps the states of its row units, so that saving it
 * writes what saving the original would. */
/* A new row unit (in no data object) with copies of the values and the
 * same state; NULL when out of memory. */
RowUnit *CloneRowUnit(const RowUnit *rowUnit);
/* Copies every row unit of `collection` into the collection of the same
 * table in `into` (made at the end of its list when missing). A row unit
 * whose key is in `into` already is left out and the one there kept. The
 * collection in `into`, or NULL when out of memory (the units copied so far
 * stay). */
RowCollection *CloneRowCollection(const RowCollection *collection, DataObject *into);
/* A new data object with copies of every collection (empty ones too, in
 * the same order) and row unit; NULL when out of memory. */
DataObject *CloneDataObject(const DataObject *dataObject);
/* Adds copies of `source`'s row units to `target` like CloneRowCollection
 * for each of its collections (tables missing in `target` are added at the
 * end; where both hold a key, `target`'s row unit stays as it is). The
 * number of row units added, or -1 when out of memory. `source` is not
 * changed. */
INT32 MergeDataObject(DataObject *target, const DataObject *source);

/* Keys */
/* The key string of a row unit: its table name and its primary-key values
 * as text (every column's for a table without key), separated by "|"; a
 * new text, NULL when out of memory. */
char *GenerateKeyString(const RowUnit *rowUnit);
/* TRUE when a row unit of the same key is in the data object. */
BOOL CheckForPKEntry(const DataObject *dataObject, const RowUnit *rowUnit);
/* The row unit of a key string, or NULL. */
RowUnit *FindRowUnit(const DataObject *dataObject, const char *keyString);

/* Changes */
/* Adds a new row unit (the data object takes it over on success): NULL
 * values of generator columns get GenerateID, other NULL values with a
 * default the default; a key already present gives DEBUG "Row with keyStr
 * %s already exists.\n" and 0; state 2; 1. ERROR "The RowUnit belongs to
 * Table %s, which is not in DO\n" when the table has no collection. */
int InsertRowUnit(RowUnit *rowUnit, DataObject *dataObject);
/* The row unit of the same key takes copies of the given values (the
 * caller keeps `rowUnit`) and gains the updated state (4). FALSE with ERROR
 * "Row to be updated is not present in DO. \n" when it is not there. */
BOOL UpdateRowUnit(RowUnit *rowUnit, DataObject *dataObject);
/* The row unit of the same key gains the deleted state (8). One never saved
 * leaves the key map at once (its key may be inserted again) but stays in
 * its collection, valid for a caller walking it, until SaveRowUnit of it
 * (which writes nothing and takes it out) or FreeDataObject. FALSE when it
 * is not there. */
BOOL DeleteRowUnit(RowUnit *rowUnit, DataObject *dataObject);
/* Adds a row unit read from the database (state 1) to the collection of
 * its table, made when missing: 1, or 0 when its key is present already
 * (the caller keeps the unit then). */
int AddStoredRowUnit(DataObject *dataObject, RowUnit *rowUnit);
/* Takes a row unit out of its collection and the key map, and frees it. */
void RemoveRowUnitFromDO(DataObject *dataObject, RowUnit *rowUnit);
/* DeleteRowUnit of every row unit of the table's collection that the
 * criteria (the table store's language) selects. */
BOOL DeleteRowUnitOnCriteria(DataObject *dataObject, const char *tableName, const char *criteria);
/* A new row unit of the table from `rowObject`'s values, inserted. */
int InsertRowIntoDO(DataObject *dataObject, const char *tableName, const RowObject *rowObject);
/* A new row unit from one text per column (NULL entries are NULL values),
 * converted to the column types, inserted. */
int InsertStringRowIntoDO(DataObject *dataObject, const char *tableName, const char *const *texts);

/* Navigation and values */
RowCollection *GetRowCollection(const DataObject *dataObject, const char *tableName);
BOOL ContainsTableInDO(const DataObject *dataObject, const char *tableName);
/* New array (free() it; the names are the data object's) of the tables. */
const char **GetTableList(const DataObject *dataObject, INT32 *count);
RowUnit *GetFirstRowUnit(const DataObject *dataObject, const char *tableName);
RowUnit *GetLastRowUnit(const DataObject *dataObject, const char *tableName);
/* The n-th row unit (1-based) of the table, or NULL. */
RowUnit *GetNthRowUnit(const DataObject *dataObject, const char *tableName, INT32 n);
RowUnit *GotoNextRowUnit(const RowUnit *rowUnit);
/* The value buffer of a column (not a copy) and its size; NULL for a NULL
 * value or an unknown column. */
BYTE *GetColumnValueFromDO(const RowUnit *rowUnit, const char *columnName, INT32 *size);
/* The value buffer of a column in the first row unit of the table. */
BYTE *GetFirstValue(const DataObject *dataObject, const char *tableName, const char *columnName,
                    INT32 *size);
/* The values of a column in every row unit of the table, in collection
 * order (row units marked deleted included, like the navigation above): a
 * new array of the value buffers (not copies; NULL entries are NULL values)
 * and, when `sizes` is given, a new array of their sizes; free() both. NULL
 * for a table not in the data object or an unknown column (a table without
 * row units gives an empty array). */
BYTE **GetColumnValuesFromDO(const DataObject *dataObject, const char *tableName, const char *columnName,
                             INT32 **sizes, INT32 *count);
/* The column names of a table of the data object in the definition's
 * order: a new array (free() it; the names are the dictionary's); NULL for
 * a table not in the data object. */
const char **GetColumnListFromDO(const DataObject *dataObject, const char *tableName, INT32 *count);
/* TRUE when no collection holds a row unit. */
BOOL IsDOEmpty(const DataObject *dataObject);
/* DEBUG print of every row unit, per table. */
void PrintDataObject(const DataObject *dataObject);
void PrintRowUnitValue(const RowUnit *rowUnit);

/* Retrieval from the databases */
/* A row unit (state 1) of the table from one result-set row. */
RowUnit *CreateRowUnitFromResultSet(const ResultSet *set, const ResultRow *row, const char *tableName);
/* Adds every row of a result set as a row unit (state 1) of the table to
 * the data object, whose collection of the table is made when missing; the
 * result's leading columns are the table's, in the definition's order. Row
 * units already there by key are kept as they are. The collection, or NULL
 * when a row does not convert (the rows added before it stay). */
RowCollection *CreateRowCollectionFromResultSet(DataObject *dataObject, const ResultSet *set,
                                                const char *tableName);
/* A new data object with the rows of a result set as row units of the
 * table (as above); NULL on failure. */
DataObject *CreateDataObjectFromResultSet(const ResultSet *set, const char *tableName);
/* A data object from a select-query model: the query runs on the
 * connection of its table (the first join's base table, else the first
 * table of its list) and each result row becomes a row unit of that table,
 * so the query selects that table's columns first (no select columns: all).
 * NULL when the model names no table or the query fails. */
DataObject *GetDataObject(SelectQuery *query);
/* Adds every row of the query's result on the table's connection to the
 * data object (row units already there by key are kept as they are). The
 * number added, or -1 when the query fails. */
INT32 AddRowUnitsFromQuery(DataObject *dataObject, const char *tableName, const char *query);
/* A data object with the rows of the table that `whereClause` (SQL, NULL
 * for all) selects. */
DataObject *GetDataObjectByCriteria(const char *tableName, const char *whereClause);
/* A data object for a personality: the dominant table's rows that
 * `whereClause` selects (NULL: all), then for each constituent table in
 * order the rows linked through its foreign key to rows already in the
 * data object. NULL for an unknown personality or a failing query. */
DataObject *GetDOFromPersonalityByCriteria(const char *personality, const char *whereClause);
DataObject *GetDOFromPersonality(const char *personality);
/* The same for the dominant row of `rowUnit`'s key; `rowUnit` must be a
 * row unit of the personality's dominant table (ERROR otherwise). */
DataObject *GetDOFromPersonalityByRowUnit(const char *personality, const RowUnit *rowUnit);
/* Completes a data object for a personality: for each constituent table in
 * order, the rows linked through its foreign key to the dominant and
 * constituent rows already in the data object are added (rows already there
 * by key are kept as they are). Used on a data object that holds dominant
 * rows only, e.g. one filled by GetDataObjectByCriteria or built in memory.
 * FALSE for an unknown personality or a failing query (the rows added
 * before stay). */
BOOL DeepRetrieveDO(DataObject *dataObject, const char *personality);
/* One data object for several personalities: the data objects of each
 * (by the same rules as the single-personality forms) merged in the order
 * given, a row of several kept once. NULL when a name is unknown, `count`
 * is not positive or a retrieval fails. The criteria form applies the same
 * condition to each personality's dominant table; the row-unit form needs
 * personalities whose dominant table is the row unit's table. */
DataObject *GetDOFromPersonalities(const char *const *personalities, INT32 count);
DataObject *GetDOFromPersonalitiesByCriteria(const char *const *personalities, INT32 count,
                                             const char *whereClause);
DataObject *GetDOFromPersonalitiesByRowUnit(const char *const *personalities, INT32 count,
                                            const RowUnit *rowUnit);

/* Saving */
/* A new RowObject with copies of the values (NULL values of non-nullable
 * columns take the default; without one ERROR "Cannot save RowUnit. Column
 * %s is not not nullable and does not have a default value\n" and NULL). */
RowObject *GetRowObjectFromRowUnit(const RowUnit *rowUnit);
/* Writes one row unit by its state (like SaveTable): 1 when written or
 * nothing to write; the unit is stored (1) afterwards, a deleted one is
 * taken out of the data object and freed. 0 with the row unit unchanged
 * when its statement fails or its state is invalid. */
int SaveRowUnit(RowUnit *rowUnit, DataObject *dataObject);
/* Every row unit of a collection; 1 when all were saved. */
int SaveRowCollection(RowCollection *collection, DataObject *dataObject);
/* Every row unit of the data object: inserts and updates with referenced
 * tables first, deletes with referencing tables first. 1 when all saved. */
int SaveDataObject(DataObject *dataObject);
/* Orders a list of dictionary table names in place so that each comes
 * after the tables its foreign keys reference among them (a table's key to
 * itself does not count; tables of a cycle keep their list order, and so do
 * tables without a link between them). FALSE when out of memory (the list
 * is unchanged then). */
BOOL SortTableByFK(const char **tables, INT32 count);
/* The data object's tables ordered by SortTableByFK; a new array. */
const char **SortTablesForDO(const DataObject *dataObject, INT32 *count);

#endif
