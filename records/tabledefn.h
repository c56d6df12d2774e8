/* The data dictionary's records: a table's definition with its columns and
 * constraints, and the process-wide ordered list of definitions (the
 * dictionary registry) that the table store looks tables up in. The
 * dictionary's file loader fills the registry; these records are plain so
 * that any builder can fill them. */
#ifndef VQ_RECORDS_TABLEDEFN_H
#define VQ_RECORDS_TABLEDEFN_H

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

/* Appends a definition to the dictionary registry, which then owns it.
 * FALSE for NULL or when out of memory. */
BOOL AddTableDefn(TableDefn *defn);

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

#endif
