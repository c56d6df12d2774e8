/* Data objects: in-memory collections of related rows. A data object holds
 * one row collection per table (in the order the tables were added) of row
 * units, each a row of a dictionary table with its own copies of the
 * values and a state (2 new, 4 updated, 8 deleted, 1 read from the
 * database, combined like a RowObject's flags), and a key map from each row
 * unit's key string (its table and primary-key values) to the row unit.
 * Data objects are filled from the databases (for a personality, a table
 * criteria or a row unit), changed in memory and saved back row unit by row
 * unit. Not locked: one thread uses a data object at a time. */
#ifndef VQ_RECORDS_DATAOBJECT_H
#define VQ_RECORDS_DATAOBJECT_H

#include <windows.h>

#include "records/hashmap.h"
#include "records/mempool.h"
#include "records/resultset.h"
#include "records/tablestore.h"

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
/* The row unit of the same key gains the deleted state (8) when it was read
 * from the database; a row unit never saved is taken out and freed (there
 * is nothing to delete in the database). FALSE when it is not there. */
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
/* TRUE when no collection holds a row unit. */
BOOL IsDOEmpty(const DataObject *dataObject);
/* DEBUG print of every row unit, per table. */
void PrintDataObject(const DataObject *dataObject);
void PrintRowUnitValue(const RowUnit *rowUnit);

/* Retrieval from the databases */
/* A row unit (state 1) of the table from one result-set row. */
RowUnit *CreateRowUnitFromResultSet(const ResultSet *set, const ResultRow *row, const char *tableName);
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
/* The same for the dominant row of `rowUnit`'s key. */
DataObject *GetDOFromPersonalityByRowUnit(const char *personality, const RowUnit *rowUnit);

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
/* The data object's tables ordered so that each comes after the tables its
 * foreign keys reference (cycles keep their list order); a new array. */
const char **SortTablesForDO(const DataObject *dataObject, INT32 *count);

#endif
