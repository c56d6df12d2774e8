/* The framework's connection records (connparams.txt) and its table-to-
 * connection map (dsn_table_map.txt): process-wide lists in file order,
 * loaded at start-up and read without locks afterwards. */
#ifndef VQ_RECORDS_DB_CONNPARAMS_H
#define VQ_RECORDS_DB_CONNPARAMS_H

#include <windows.h>
#include <stdio.h>

#include "records/db/providerapi.h"

/* Start-up files, relative to the working directory; the fallback is
 * "%s/data/%s" under the framework root with the file's own name. */
#define CPARLO_DSN_MAP_PATH        "..\\data\\dsn_table_map.txt"
#define CPARLO_DSN_MAP_NAME        "dsn_table_map.txt"
#define CPARLO_CONNPARAMS_PATH     "..\\data\\connparams.txt"
#define CPARLO_CONNPARAMS_NAME     "connparams.txt"

typedef struct DataSourceMapEntry {
    char *tableName;
    char *connectionName;
} DataSourceMapEntry;

/* Opens `path` relative to the working directory, else "%s/data/%s" of the
 * framework root and `name` (DEBUG "Opening %s\n" with that path); NULL when
 * neither opens. */
FILE *OpenCParloDataFile(const char *path, const char *name);

/* Reads connparams.txt: ten tokens and the rest of the line per record,
 * stopping at the first incomplete record. FALSE with ERROR "Cannot open
 * Connection Parameters File.\n" when the file is in neither place. */
BOOL LoadConnParamsEntryFromFile(const char *path);
/* Appends a record (the list owns it). */
BOOL AddConnParamsEntry(ConnParamsEntry *entry);
/* Case-sensitive lookup by connection name; NULL when absent. */
ConnParamsEntry *GetConnParamsEntry(const char *connectionName);
BOOL DeleteConnParamsEntry(const char *connectionName);
/* The connection name of the first record (ERROR "Connection Name IS
 * NULL\n" for a record without one), or NULL. */
const char *GetDefaultConnectionName(void);
/* The records in file order and their count. */
ConnParamsEntry **GetConnParamsEntries(INT32 *count);
void FreeConnParamsEntry(ConnParamsEntry *entry);
void FreeAllConnParamsEntries(void);

/* Reads dsn_table_map.txt: token pairs (table, connection) to the end of
 * the file or the first incomplete pair. FALSE with ERROR "Cannot open
 * DataSourceMap Entry File.\n". */
BOOL LoadDataSourceMapEntryFromFile(const char *path);
DataSourceMapEntry *CreateDataSourceMapEntry(const char *tableName, const char *connectionName);
BOOL AddDataSourceMapEntry(DataSourceMapEntry *entry);
BOOL DeleteDataSourceMapEntry(const char *tableName);
/* Case-insensitive lookup by table name; NULL when absent. */
DataSourceMapEntry *GetDataSourceMapEntry(const char *tableName);
void FreeAllDataSourceMapEntries(void);

#endif
