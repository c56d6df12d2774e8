/* Personalities: named groups of tables around a dominant table, read from
 * a personality XML file into the process-wide list gv_personalityDefnVect;
 * the index tables of dominant tables; and the primary-key texts the
 * data-object layer builds its conditions from. */
#ifndef VQ_RECORDS_OBJECT_PERSONALITY_H
#define VQ_RECORDS_OBJECT_PERSONALITY_H

#include <windows.h>

#include "records/dict/tabledefn.h"

/* Name suffix of a dominant table's index table. */
#define PERSONALITY_INDEX_SUFFIX   "_IDX"

/* One table of a personality besides the dominant table, and the foreign
 * key that links it to a table of the personality. */
typedef struct ConstituentTable {
    INT32 tableIndex;
    char *tableName;
    char *fkName;            /* the foreign key's name in the dictionary */
    BYTE mandatory;          /* 0 only for mandatory="false" */
} ConstituentTable;

typedef struct PersonalityDefn {
    char *name;
    char *dominantTable;
    char *description;
    ConstituentTable **constituents;   /* in file order */
    INT32 constituentCount;
} PersonalityDefn;

/* The process-wide personality list, in the order the files defined them. */
typedef struct PersonalityList {
    PersonalityDefn **items;
    INT32 count;
} PersonalityList;
extern PersonalityList *gv_personalityDefnVect;

/* Creates the empty personality list (ERROR "MEMORY_ALLOCATION_FAILURE\n"
 * when out of memory); TRUE when it exists afterwards. */
BOOL InitPersonality(void);
/* Frees every personality and the list. */
void FreePersonalities(void);

/* Reads a personality file: 1 when its personalities were added, 0 when it
 * does not parse ("Could not parse file %s\n") or names an unknown table, a
 * foreign key that does not link its table to the personality, or lacks a
 * needed attribute (each with its ERROR line; nothing of the file is kept),
 * 99 when out of memory. Index tables requested by DominantTableConfig
 * elements are created on the default connection unless they exist. */
int CreatePersonalityFromXMLFile(const char *path);

/* The personality of that name (case-insensitive), or NULL with ERROR
 * "Cannot get personality.  Personality name is NULL\n" or "Personality %s
 * not found in gv_personalityDefnVect\n". */
PersonalityDefn *GetPersonalityDefn(const char *name);
/* The same without the ERROR lines. */
PersonalityDefn *GetPersonalityDefnQuiet(const char *name);
/* DEBUG print of a personality. */
void PrintPersonalityDefn(const char *name);
/* The constituent tables of a personality and their count; NULL when the
 * personality is unknown. */
ConstituentTable **GetConstituentTables(const char *name, INT32 *count);
/* New array (free() it, not the texts) of the distinct dominant tables of
 * every personality, in list order; *count receives their number. */
const char **GetDominantTables(INT32 *count);

/* The primary-key columns of a table: a new array (free() it) of
 * definitions, in key order; NULL with ERROR "Cannot get PKColumnInfo.
 * TableName is NULL\n", "No table definition found for %s.\n" or "No
 * constraints for table %s\n". */
ColumnDefn **GetPKColumnInfo(const char *tableName, INT32 *count);
/* The key columns of an index table: "NAME INT," or "NAME VARCHAR(n),"
 * per key column (n the maximum size); a new text, NULL on failure. */
char *ConstructPKColumnString(const char *tableName);
/* The key condition of a row of the table: "COL = %d" for integer columns,
 * "COL = '%s'" (quoted for the table's dialect) for others, joined by
 * " AND "; `values` in the definition's column order. NULL when a key value
 * is NULL or the type cannot be written. */
char *ConstructPKValueString(const char *tableName, BYTE *const *values, const INT32 *sizes);

/* Creates the index table "<T>_IDX" of a dominant table on the default
 * connection, unless it answers a query already: TRUE when it exists
 * afterwards (ERROR "Cannot create Index Table for %s\n" otherwise). */
BOOL CreateIndexTable(const char *dominantTable);
/* Records that the dominant row with integer key `key` has rows in
 * `tableName`: "DELETE FROM %s_IDX WHERE %s = %d", then "INSERT INTO %s_IDX
 * VALUES (%d, '%s')". For dominant tables with one integer key column. */
BOOL AddEntryToIndexTable(const char *dominantTable, INT32 key, const char *tableName);

/* The foreign key named `fkName` (case-insensitive) that links table `a`
 * and table `b` in either direction: one of a's foreign keys referencing b,
 * or one of b's referencing a. *owner receives the table holding it. NULL
 * when there is none. */
const ForeignKeyDefn *FindLinkingForeignKey(const char *fkName, const char *a, const char *b,
                                            const char **owner);

#endif
