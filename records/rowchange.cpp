/* The sequence generator and the notification service as the table store
 * sees them before the framework has started them. No generator state exists
 * yet, so GenerateID fails as it does for a generator the framework does not
 * know; no listener can register yet, so SendNotification has nobody to tell
 * and deliberately does nothing. The services' own module replaces both. */
#include "records/rowchange.h"

#include "agent/log.h"

DWORD GenerateID(const char *tableName, ColumnDefn *columnDefn)
{
    (void)tableName;
    LogTrace("Inside GenerateID \n");
    if (!columnDefn || !columnDefn->generatorName)
        return GENERATE_ID_FAILED;
    LogTrace("AutoId Key %s\n", columnDefn->generatorName);
    return GENERATE_ID_FAILED;
}

void SendNotification(RowObject *row, const char *tableName)
{
    (void)row;
    (void)tableName;
}
