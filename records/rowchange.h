/* The table store's two calls into the sequence generator and the change
 * notification service. */
#ifndef VQ_RECORDS_ROWCHANGE_H
#define VQ_RECORDS_ROWCHANGE_H

#include <windows.h>

#include "records/tabledefn.h"
#include "records/tablestore.h"

#define GENERATE_ID_FAILED 0xFFFFFFFFu

/* A new identifier for a column that names a generator, or
 * GENERATE_ID_FAILED. */
DWORD GenerateID(const char *tableName, ColumnDefn *columnDefn);

/* Tells the registered listeners that a row of the table changed. */
void SendNotification(RowObject *row, const char *tableName);

#endif
