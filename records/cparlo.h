/* Start and stop of the record framework: the framework root, InitCParlo
 * (log, memory pool, providers, dictionary, connection map and records,
 * connections, tables, identifier generator, table preload, default data)
 * and DeInitCParlo, and the creation of databases and
 * tables through the pooled connections. */
#ifndef VQ_RECORDS_CPARLO_H
#define VQ_RECORDS_CPARLO_H

#include <windows.h>

/* Fills the table store's hooks (tablestore.h) with the services of the
 * floors above it: identifiers from the sequence generator (GenerateID) and
 * row changes for the notification service (SendNotification). InitCParlo
 * does it first; a program that uses the store and the table-data loader
 * without InitCParlo calls it itself. Calling it again changes nothing. */
void ConnectStoreHooks(void);

/* A non-null path becomes the framework root (the caller keeps it alive); a
 * null path logs DEBUG "Default Path Used" and keeps the earlier root. */
void SetCParloRoot(char *path);

/* Starts the framework; see the file's comment for the steps. FALSE at the
 * first fatal step (every step but the providers and the table preload);
 * what was set up stays set up and DeInitCParlo releases it. */
BOOL InitCParlo(char *root);

/* Releases everything InitCParlo set up, in reverse order, and closes the
 * framework's log. */
void DeInitCParlo(void);

/* TRUE for a name CreateDB writes into its statement: an ASCII letter or
 * '_' first, then letters, digits and '_', shorter than CPARLO_MAX_TOKEN. */
BOOL IsPlainDatabaseName(const char *name);

/* "create database %s" on the connection of the only pool: 1, or 0 with
 * ERROR "Cannot create DB.  Connection not established.\n" or "Cannot create
 * database %s.\n"; 0 with an ERROR line and no statement for a name that is
 * not plain (IsPlainDatabaseName). */
int CreateDB(const char *databaseName);

/* CREATE TABLE of every dictionary table in registry order, each on a
 * connection of its table's connection name; FALSE at the first failure. */
BOOL CreateAllTables(void);

/* CREATE TABLE of one table on a connection of the named pool. */
BOOL CreateTableInDB(const char *tableName, const char *connectionName);

#endif
