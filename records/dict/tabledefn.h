/* The data dictionary's records: a table's definition with its columns and
 * constraints, and the process-wide ordered list of definitions (the
 * dictionary registry) that the table store looks tables up in, with its
 * lookups, the type-name mapping and the DEBUG print. The dictionary's file
 * loader (dictload.h) fills the registry through CreateColumnDefn,
 * CreateTableDefn and AddTableDefn. */
#ifndef VQ_RECORDS_DICT_TABLEDEFN_H
#define VQ_RECORDS_DICT_TABLEDEFN_H

#include <windows.h>

/* Allowed values of a column: with rangeFlag 0 every allowed text, ended by
 * a NULL entry; with rangeFlag 1 exactly two texts, "from" and "to". */
typedef struct AllowedValues {
    char **values;
    BYTE rangeFlag;
} AllowedValues;

typedef struct ColumnDefn {
    char *name;
    BYTE type;              /* type code of coltypes.h (14/15 over 255 bytes: 22) */
    BYTE *defaultValue;     /* value buffer or NULL */
    INT32 defaultSize;
    BYTE unique;
    char *generatorName;    /* NULL: no generated identifiers */
    char *description;
    INT32 maxSize;          /* -1 not a number, 0 absent */
    BYTE nullable;
    AllowedValues *allowedValues;
} ColumnDefn;

typedef struct ForeignKeyDefn {
    char *localColumn;
    char *referenceColumn;
    char *referenceTable;
    BYTE onDeleteCascade;
    BYTE reserved;          /* always 0 */
    BYTE bidirectional;
    struct ForeignKeyDefn *next;
    char *name;             /* the foreign key's name in the dictionary, or NULL */
} ForeignKeyDefn;

typedef struct ConstraintDefn {
    char **primaryKeyColumns;
    INT32 primaryKeyCount;
    ForeignKeyDefn *foreignKeys;   /* NULL when the table has none */
} ConstraintDefn;

typedef struct TableDefn {
    char *name;
    char *description;
    ColumnDefn **columns;   /* in row column order */
    INT32 columnCount;
    ConstraintDefn *constraints;
} TableDefn;

/* A new column definition. Copies every text; converts `defaultText`
 * (`defaultLength` bytes asked for the byte-copy types) with
 * ConvertTextToValue under `type`, NULL text: no default; stores code 22 for
 * a code 14 or 15 whose maxSize exceeds 255; deep-copies `allowedValues`
 * (NULL: none). NULL when out of memory ("Cannot copy allowed values.\n"
 * when the copy of the allowed values failed). */
ColumnDefn *CreateColumnDefn(const char *name, BYTE type, const char *defaultText,
                             INT32 defaultLength, BYTE unique, const char *generatorName,
                             const char *description, INT32 maxSize, BYTE nullable,
                             const AllowedValues *allowedValues);

/* A new table definition named `name` (copied) with `description` (copied,
 * may be NULL). Takes over `columns` (a heap array of columnCount heap
 * records) and `constraints` in every case: on failure (NULL) it frees
 * them. */
TableDefn *CreateTableDefn(const char *name, const char *description, ColumnDefn **columns,
                           INT32 columnCount, ConstraintDefn *constraints);

/* Appends a definition to the dictionary registry, which then owns it.
 * FALSE for NULL or when out of memory. A second definition of a name
 * already present is kept (lookups never reach it) and logged. */
BOOL AddTableDefn(TableDefn *defn);

/* Frees a definition that is not in the registry. NULL is accepted. */
void FreeUnregisteredTableDefn(TableDefn *defn);

/* Case-insensitive lookup, first match in registry order; NULL when absent
 * (a NULL name logs an error). */
TableDefn *GetTableDefn(const char *tableName);

/* Frees a column definition with everything it owns. NULL is accepted. */
void FreeColumnDefn(ColumnDefn *column);

/* Removes the first definition of that name from the registry and frees it
 * with its columns and constraints. FALSE when there is none. */
BOOL FreeTableDefn(const char *tableName);

/* Frees every definition; the registry is empty afterwards. */
void FreeAllTableDefns(void);

/* The registry's definitions in order, and their count. */
TableDefn **GetTableDefnRegistry(INT32 *count);

/* The column of that name (compared case-sensitively) of the table's first
 * definition; NULL for a NULL argument ("Cannot fetch default value;\n"),
 * an unknown table ("No definition found for table %s\n") or an unknown
 * column. */
ColumnDefn *GetColumnDefnEntry(const char *tableName, const char *columnName);

/* The type code of that column, or 0 when there is none. */
BYTE GetColumnDefnType(const char *tableName, const char *columnName);

/* The default value buffer of that column (not a copy; NULL: no default).
 * *found is 1 when the column exists, else 0. */
BYTE *GetDefaultValue(const char *tableName, const char *columnName, BYTE *found);

/* The foreign key of the definition whose local column is `columnName`
 * (case-insensitive), or NULL. Logs "No constraint Definition \n" for a
 * definition without constraints and "No Foreignkey Entries in
 * Definition \n" for one without foreign keys. */
ForeignKeyDefn *GetForeignKeyByLocalColumn(const TableDefn *defn, const char *columnName);

/* Type code of a data-type text, case-insensitive, first match of the fixed
 * name list; 0 for an unknown name, and for NULL with ERROR "Column data
 * type not supported - Error while creating column definition.\n". */
BYTE GetSqlTypeCode(const char *typeName);

/* DEBUG print of one definition (nothing for one without columns) or of
 * every definition of the registry. */
void PrintTableDefn(const TableDefn *defn);
void PrintAllTableDefns(void);

#endif
