/* The connection a persistence operation works on: a table's connection
 * name (its map entry, else the first connection record), a connection of
 * that pool for the calling thread, and the check of a connection after a
 * failed statement. */
#ifndef VQ_RECORDS_PERSIST_PERSISTCONN_H
#define VQ_RECORDS_PERSIST_PERSISTCONN_H

#include <windows.h>

#include "records/db/dbprovider.h"
#include "records/sql/sqlgen.h"
#include "records/sql/sqltext.h"

/* The connection name of a table: its data-source map entry's, else the
 * default connection name; NULL when there is neither. */
const char *GetTableConnectionName(const char *tableName);

/* A connection of the table's pool for the calling thread; NULL when the
 * table has no connection name or the pool none free. *connectionName
 * receives the name to release it with. */
DBConnection *TakeTableConnection(const char *tableName, const char **connectionName);

/* What CheckConnectionAfterFailure found. */
typedef enum ConnectionCheck {
    CONNECTION_LOST = 0,    /* no answer, and no new connection opened */
    CONNECTION_ANSWERS,     /* the database answers: the statement itself failed */
    CONNECTION_RENEWED      /* it did not answer and was renewed in place: the
                             * failed statement's outcome is unknown */
} ConnectionCheck;

/* After a statement on `connection` failed: asks the database a question
 * about the table ("select count(*) from T"); when that fails too, the
 * connection is taken as lost and renewed in place (the caller's
 * `connection` stays valid). The caller still holds the connection. */
ConnectionCheck CheckConnectionAfterFailure(DBConnection *connection, const char *connectionName,
                                            const char *tableName);

/* The dialect record of a table (SQLite's for a table without one), and
 * its text-literal quoting. */
const SqlDialect *GetTableDialect(const char *tableName);
SqlQuoteFn GetTableQuoteFn(const char *tableName);

#endif
