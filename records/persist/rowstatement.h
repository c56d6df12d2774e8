/* One row's INSERT, UPDATE or DELETE on its table's connection, and what a
 * failure of it means: the connection check after the first failure of a
 * save, and the settling of an INSERT whose answer was lost with the
 * connection. SaveTable and SaveRowUnit both write their rows through it. */
#ifndef VQ_RECORDS_PERSIST_ROWSTATEMENT_H
#define VQ_RECORDS_PERSIST_ROWSTATEMENT_H

#include <windows.h>

#include "records/persist/persistconn.h"

/* A statement to run, and what came of it. */
typedef struct RowStatement {
    const char *caller;         /* names the INFO lines ("SaveTable") */
    DBConnection *connection;
    const char *connectionName;
    const char *tableName;
    const void *owner;          /* the table row or row unit the statement
                                   writes: what an unsettled INSERT is
                                   remembered by */
    const RowObject *row;       /* its values (the key an INSERT is settled by) */
    BOOL insert;                /* an INSERT: the statement that may be settled */
    const char *statement;
    BOOL checkConnection;       /* a failure asks whether the connection was
                                   lost (the first failure of a save); cleared
                                   once asked */
    ConnectionCheck check;      /* in: what an earlier check of this save
                                   found; out: what this one found */
} RowStatement;

/* Runs the statement; TRUE when it ran, or when it is an INSERT the
 * database is found to have committed although its answer was lost:
 *  - after a failure with `checkConnection`, a connection found lost and
 *    renewed in place settles an INSERT against the database (an equal
 *    row under its key counts as saved), and runs anything else again;
 *  - an INSERT that failed while the connection was lost and could not be
 *    renewed is remembered by its owner and its INSERT text (up to 32); a
 *    later failure of the same INSERT on a database that answers counts as
 *    saved when the database holds an equal row.
 * Every failed attempt logs "Error in executing update query \n" and
 * "QUERY : %s\n". Safe from any thread. */
BOOL RunRowStatement(RowStatement *s);

/* Frees what is remembered of unsettled INSERTs (at the framework's end). */
void FreeUnsettledInserts(void);

#endif
