/* The ODBC adapter, the framework's one database provider ("ODBC"):
 * connections through the platform's ODBC driver manager, statements,
 * binary parameters fed in chunks, queries into the result-set form with
 * their columns converted to the framework's type codes, transactions with
 * their diagnostics, and data-source creation through the ODBC installer. */
#ifndef VQ_RECORDS_DB_ODBCADAPTER_H
#define VQ_RECORDS_DB_ODBCADAPTER_H

#include <windows.h>

#include "records/db/providerapi.h"

/* The provider record ("ODBC") with the operations below in its slots. */
const DBProvider *GetODBCProvider(void);

/* A new provider connection (connection handle and a copy of the record's
 * connection name), or NULL: ERROR "ODBC connection Parameter missing\n"
 * without a record or DSN, "Connecting to driver failed\n" when the driver
 * refuses. The connection string is the record's raw string, or
 * "DSN=<dsn>;UID=<user>;PWD=<password>;Driver={<driver>}" with the parts
 * that are absent left empty. All connections share one environment, freed
 * when the last one closes. */
void *ODBCOpenConnection(const ConnParamsEntry *record);

/* Runs a statement under the connection's lock: TRUE also when it affects
 * no row. */
BOOL ODBCExecuteUpdate(void *connection, const char *statement);

/* Runs a statement whose one parameter marker takes binary data from
 * `source`, chunk by chunk. */
BOOL ODBCExecuteUpdateBlob(void *connection, const char *statement, ChunkSourceFn source, void *context);

/* Runs a query under the connection's lock into a new result set (free it
 * with FreeResultSet), or NULL. Rows come in blocks bound to buffers of the
 * reported column sizes; a value longer than reported makes the query run a
 * second time, read cell by cell, so a long text or blob arrives whole
 * whatever size the driver reports. Queries are therefore reads only. */
ResultSet *ODBCExecuteQuery(void *connection, const char *query);

/* ODBCExecuteQuery with the statement prepared and its one binary parameter
 * fed from `source`. */
ResultSet *ODBCExecuteQueryBlob(void *connection, const char *query, ChunkSourceFn source, void *context);

/* Disconnects and frees the connection (the environment with the last). */
BOOL ODBCCloseConnection(void *connection);

/* Autocommit off / commit + autocommit on / rollback + autocommit on; a
 * failure logs its message and the driver's diagnostics. */
BOOL ODBCBeginTransaction(void *connection);
BOOL ODBCCommitTransaction(void *connection);
BOOL ODBCRollbackTransaction(void *connection);

/* The framework type code of an SQL data type. */
BYTE ODBCTypeCode(SHORT sqlType);

/* Adds a data source through the ODBC installer's SQLConfigDataSource,
 * loaded on demand, with "DSN=..;DESCRIPTION=..;SERVER=..;UID=..;PWD=..;
 * DATABASE=..;" (a pair whose value is the text NULL is left out). FALSE
 * with ERROR "DriverName or DSN name is NULL \n" or "SQLConfigDataSource
 * returned FALSE \n" (then the installer's error code and text follow). */
BOOL CreateDSN(const char *dsn, const char *description, const char *server, const char *user,
               const char *password, const char *database, const char *driver);

/* One data source per line of the list file: six tokens (DSN, description,
 * server, user, password, database; NULL for none) then the driver name as
 * the rest of the line. A failing line logs ERROR "Creating DSN %s Failed\n"
 * and the next is read. 1, or 0 with ERROR "Error opening File %s \n". */
int CreateDSNsFromFile(const char *path);

#endif
