/* Framework start-up and shut-down in their fixed order, and the creation of
 * databases and tables. InitCParlo's steps:
 *   1 root; 2 log; 3 memory pool; 4 providers (not fatal); 5 dictionary
 *   registry, dialects, identifier state map; 6 dictionary files; 7 table
 *   map; 8 connection records; 9 per-table dialects; 10 connections;
 *   11 tables; 12 identifier generator; 13 table preload (not fatal);
 *   14 default data on a database whose tables were just created. */
#include "records/cparlo.h"
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/db/dbprovider.h"
#include "records/db/dialects.h"
#include "records/base/mempool.h"
#include "records/persist/persist.h"
#include "records/persist/rowstatement.h"
#include "records/persist/seqgen.h"
#include "records/base/reclimits.h"
#include "records/dict/tabledefn.h"
#include "records/store/notify.h"
#include "records/store/tablestore.h"

#include "agent/log.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

/* The dictionary loader and the registry's definitions in order (both in
 * the dictionary's own files). */
BOOL LoadAllDataDictFiles(void);
TableDefn **GetTableDefnRegistry(INT32 *count);

void SetCParloRoot(char *path)
{
    LogTrace("@@@ Inside SetCParloRoot @@@\n");
    if (path)
        gv_cParloRoot = path;
    else
        LogDebug("Default Path Used");
}

static BOOL isKnownDialect(const char *name)
{
    return name && (strcasecmp(name, "MYSQL") == 0 || strcasecmp(name, "PGSQL") == 0
                    || strcasecmp(name, "FIREBIRD") == 0 || strcasecmp(name, "SQLITE") == 0);
}

/* Steps 13 and 14: the tables of loadtablelist.txt, then the default data
 * when the tables were created by this start. */
static BOOL loadTablesAndDefaults(BOOL created)
{
    if (!LoadAllTables())
        LogError("Error in loading tables from loadtablelist.txt.  Please check if there are any entries in "
                 "your loadtablelist.txt or load the required tables manually.\n");
    if (created && SaveDefaultData() < 1) {
        LogError("Cannot save default data.\n");
        return FALSE;
    }
    LogDebug("\nWelcome to CParlo.  You have successfully initialised the appropriate parameters, loaded the "
             "mentioned files/tables and established connection with the DB.\n");
    return TRUE;
}

void ConnectStoreHooks(void)
{
    SetStoreIdentifierSource(GenerateID);
    SetStoreRowChangeHook(SendNotification);
}

BOOL InitCParlo(char *root)
{
    LogTrace("@@ Inside InitCParlo @@\n");
    ConnectStoreHooks();
    SetCParloRoot(root);
    if (!SetLogDefaults() || !OpenLogFile())
        return FALSE;
    if (!InitializeMemPool()) {
        LogError("InitializeMemPool failed.\n");
        return FALSE;
    }
    if (InitDBProvider() != 1)
        LogError("InitDBProvider failed. Already initialized.\n");
    CreateQueryGeneratorRegistry();
    if (!CreateSequenceStateMap()) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return FALSE;
    }
    if (!LoadAllDataDictFiles()) {
        LogError("LoadAllDataDictFiles failed.\n");
        return FALSE;
    }
    if (!LoadDataSourceMapEntryFromFile(CPARLO_DSN_MAP_PATH)) {
        LogError("LoadDataSourceMapEntryFromFile failed.\n");
        return FALSE;
    }
    if (!LoadConnParamsEntryFromFile(CPARLO_CONNPARAMS_PATH)) {
        LogError("LoadConnParamsEntryFromFile failed.\n");
        return FALSE;
    }
    INT32 count = 0;
    ConnParamsEntry **records = GetConnParamsEntries(&count);
    if (count == 0) {
        LogError("No entires in data source vector. InitCParlo failed.\n");
        return FALSE;
    }
    /* The tables' SQL follows the databases they live in. A record with a
     * raw connection string names its database type like any other: it
     * only connects differently, so its tables get their own dialect too
     * (MariaDB given SQLite's column types loses 64-bit values). */
    if (isKnownDialect(records[0]->dbType))
        SetDSNMapValid(1, 0);
    if (!EstablishDBConnections()) {
        LogError("EstablishDBConnections failed.\n");
        return FALSE;
    }
    BOOL created = CreateAllTables();
    LogDebug("InitCParlo : tables %s\n", created ? "created" : "already present");
    if (!SequenceGenerator()) {
        LogError("SequenceGenerator failed.\n");
        return FALSE;
    }
    return loadTablesAndDefaults(created);
}

void DeInitCParlo(void)
{
    LogTrace("Inside DeInitCParlo.\n");
    UnLoadAllTable();
    FreeUnsettledInserts();
    FreeSequenceStateMap();
    FreeAllConnectionPools();
    FreeAllConnParamsEntries();
    FreeAllDataSourceMapEntries();
    FreeAllTableDefns();
    FreeQueryGeneratorRegistry();
    FreeDBProviders();
    ReleaseMemPool();
    CloseLogFile();
    FreeLogSettings();
}

BOOL IsPlainDatabaseName(const char *name)
{
    if (!name || !name[0] || strlen(name) >= CPARLO_MAX_TOKEN)
        return FALSE;
    if (!isalpha((unsigned char)name[0]) && name[0] != '_')
        return FALSE;
    for (const char *p = name; *p; p++)
        if (!isalnum((unsigned char)*p) && *p != '_')
            return FALSE;
    return TRUE;
}

int CreateDB(const char *databaseName)
{
    LogTrace("@@ Inside CreateDB @@\n");
    DBConnection *c = GetConnectionHandle(NULL);
    if (!c) {
        LogError("Cannot create DB.  Connection not established.\n");
        return 0;
    }
    /* The name goes into the statement as it is: only a plain identifier
     * may, never a text that would carry SQL of its own. */
    if (!IsPlainDatabaseName(databaseName)) {
        LogError("CreateDB : \"%.64s\" is not a plain database name (letters, digits, '_'); nothing is created\n",
                 databaseName ? databaseName : "(null)");
        ReleaseConnectionHandle(NULL);
        return 0;
    }
    char statement[CPARLO_MAX_TOKEN + 32];
    snprintf(statement, sizeof statement, "create database %s", databaseName);
    int ok = ExecuteUpdate(c, statement) ? 1 : 0;
    if (!ok)
        LogError("Cannot create database %s.\n", databaseName ? databaseName : "(null)");
    ReleaseConnectionHandle(NULL);
    return ok;
}

BOOL CreateTableInDB(const char *tableName, const char *connectionName)
{
    char *statement = GenerateCreateTableQuery(tableName);
    if (!statement)
        return FALSE;
    DBConnection *c = GetConnectionHandle(connectionName);
    BOOL ok = c && ExecuteUpdate(c, statement);
    if (c)
        ReleaseConnectionHandle(connectionName);
    free(statement);
    return ok;
}

BOOL CreateAllTables(void)
{
    INT32 count = 0;
    TableDefn **defns = GetTableDefnRegistry(&count);
    for (INT32 i = 0; i < count; i++) {
        const char *table = defns[i]->name;
        DataSourceMapEntry *entry = GetDataSourceMapEntry(table);
        const char *connection = entry ? entry->connectionName : GetDefaultConnectionName();
        if (!CreateTableInDB(table, connection))
            return FALSE;
    }
    return TRUE;
}
