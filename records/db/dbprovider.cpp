/* The provider registry, the two provider slots and the calls that run
 * through a connection's provider. Filled at start-up, read without locks
 * afterwards. */
#include "records/db/dbprovider.h"
#include "records/db/connparams.h"
#include "records/db/odbcadapter.h"
#include "records/db/sqliteprovider.h"
#include "records/base/reclimits.h"
#include "records/base/strutil.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

static const DBProvider **s_registry;
static INT32 s_registryCount;
static const DBProvider *s_slots[CPARLO_PROVIDER_SLOTS];

BOOL RegisterDBProvider(const DBProvider *provider)
{
    if (!provider || !provider->name)
        return FALSE;
    const DBProvider **grown =
        (const DBProvider **)realloc(s_registry, sizeof *grown * (size_t)(s_registryCount + 1));
    if (!grown)
        return FALSE;
    grown[s_registryCount++] = provider;
    s_registry = grown;
    return TRUE;
}

static const DBProvider *findRegistered(const char *name)
{
    for (INT32 i = 0; name && i < s_registryCount; i++)
        if (strcmp(s_registry[i]->name, name) == 0)
            return s_registry[i];
    return NULL;
}

INT32 LoadDBProviderByName(const char *name)
{
    const DBProvider *p = findRegistered(name);
    if (!p)
        return -1;
    for (INT32 i = 0; i < CPARLO_PROVIDER_SLOTS; i++)
        if (s_slots[i] == p)
            return i;
    for (INT32 i = 0; i < CPARLO_PROVIDER_SLOTS; i++) {
        if (!s_slots[i]) {
            s_slots[i] = p;
            return i;
        }
    }
    return -1;
}

int InitDBProvider(void)
{
    if (s_slots[0]) {
        LogError("InitDBProvider Failed as already initialized\n");
        return 0;
    }
    for (INT32 i = 0; i < CPARLO_PROVIDER_SLOTS; i++)
        s_slots[i] = NULL;
    if (!findRegistered("ODBC"))
        RegisterDBProvider(GetODBCProvider());
    if (!findRegistered("SQLITE"))
        RegisterDBProvider(GetSQLiteProvider());
    LoadDBProviderByName("ODBC");
    if (LoadDBProviderByName("SQLITE") >= 0)
        LogInfo("InitDBProvider : SQLITE provider on SQLite %s\n", SQLiteLibraryVersion());
    return 1;
}

void LoadDBProvider(void)
{
    INT32 count = 0;
    ConnParamsEntry **records = GetConnParamsEntries(&count);
    if (count == 0) {
        LogError("Cannot Load DB provider.\n");
        return;
    }
    if (LoadDBProviderByName(records[0]->dbType) < 0)
        LogError("Cannot Load %s provider.\n", records[0]->dbType ? records[0]->dbType : "(null)");
}

void UnloadDBProvider(const char *name)
{
    for (INT32 i = 0; name && i < CPARLO_PROVIDER_SLOTS; i++)
        if (s_slots[i] && strcmp(s_slots[i]->name, name) == 0)
            s_slots[i] = NULL;
}

const DBProvider *GetDBProviderSlot(INT32 slot)
{
    return slot >= 0 && slot < CPARLO_PROVIDER_SLOTS ? s_slots[slot] : NULL;
}

void FreeDBProviders(void)
{
    for (INT32 i = 0; i < CPARLO_PROVIDER_SLOTS; i++)
        s_slots[i] = NULL;
    free(s_registry);
    s_registry = NULL;
    s_registryCount = 0;
}

DBConnection *OpenDBConnection(const ConnParamsEntry *record)
{
    LogTrace("## Inside OpenDBConnection ##\n");
    if (!record || !record->driver)
        return NULL;
    INT32 slot = -1;
    for (INT32 i = 0; i < CPARLO_PROVIDER_SLOTS; i++)
        if (s_slots[i] && strcmp(s_slots[i]->name, record->driver) == 0)
            slot = i;
    if (slot < 0) {
        LogError("OpenDBConnection : no loaded provider %s\n", record->driver);
        return NULL;
    }
    DBConnection *c = (DBConnection *)calloc(1, sizeof *c);
    if (!c || CopyString(&c->connectionName, record->connectionName) != STRUTIL_OK) {
        free(c);
        LogError("Unable to allocate memory\n");
        return NULL;
    }
    c->handle = s_slots[slot]->openConnection(record);
    if (!c->handle) {
        free(c->connectionName);
        free(c);
        return NULL;
    }
    c->slot = slot;
    c->owner = CPARLO_OWNER_FREE;
    c->inTransaction = 0;
    c->openedAt = time(NULL);
    return c;
}

void CloseDBConnection(DBConnection *connection)
{
    if (!connection)
        return;
    const DBProvider *p = GetDBProviderSlot(connection->slot);
    if (p && connection->handle)
        p->closeConnection(connection->handle);
    free(connection->connectionName);
    free(connection);
}

BOOL ExecuteUpdate(DBConnection *connection, const char *statement)
{
    if (!connection) {
        LogError("ConnectionHandle NULL in ExecuteUpdate for Query %s \n", statement ? statement : "(null)");
        return FALSE;
    }
    if (!statement) {
        LogError(" No Query To be Updated \n");
        return FALSE;
    }
    const DBProvider *p = GetDBProviderSlot(connection->slot);
    return p && p->executeUpdate(connection->handle, statement);
}

ResultSet *ExecuteQuery(DBConnection *connection, const char *query)
{
    if (!connection) {
        LogError("ConnectionHandle NULL in ExecuteQuery for Query %s \n", query ? query : "(null)");
        return NULL;
    }
    if (!query) {
        LogError(" No Query To be Executed \n");
        return NULL;
    }
    const DBProvider *p = GetDBProviderSlot(connection->slot);
    return p ? p->executeQuery(connection->handle, query) : NULL;
}

BOOL ExecuteUpdateBlob(DBConnection *connection, const char *statement, ChunkSourceFn source, void *context)
{
    if (!connection) {
        LogError("ConnectionHandle NULL in ExecuteUpdateBlob for Query %s \n", statement ? statement : "(null)");
        return FALSE;
    }
    if (!statement) {
        LogError(" No Query To be Updated \n");
        return FALSE;
    }
    const DBProvider *p = GetDBProviderSlot(connection->slot);
    return p && p->executeUpdateBlob(connection->handle, statement, source, context);
}

ResultSet *ExecuteQueryBlob(DBConnection *connection, const char *query, ChunkSourceFn source, void *context)
{
    if (!connection) {
        LogError("ConnectionHandle NULL in ExecuteQueryBlob for Query %s \n", query ? query : "(null)");
        return NULL;
    }
    if (!query) {
        LogError(" No Query To be Executed \n");
        return NULL;
    }
    const DBProvider *p = GetDBProviderSlot(connection->slot);
    return p ? p->executeQueryBlob(connection->handle, query, source, context) : NULL;
}

int BeginTransaction(DBConnection *connection)
{
    const DBProvider *p = connection ? GetDBProviderSlot(connection->slot) : NULL;
    if (!p || p->beginTransaction(connection->handle) != 1)
        return 0;
    connection->inTransaction = 1;
    return 1;
}

static int endTransaction(DBConnection *connection, BOOL commit)
{
    if (!connection || !connection->inTransaction)
        return 0;
    const DBProvider *p = GetDBProviderSlot(connection->slot);
    if (!p)
        return 0;
    BOOL ok = commit ? p->commitTransaction(connection->handle) : p->rollbackTransaction(connection->handle);
    connection->inTransaction = 0;
    return ok ? 1 : 0;
}

int CommitTransaction(DBConnection *connection)
{
    return endTransaction(connection, TRUE);
}

int RollbackTransaction(DBConnection *connection)
{
    return endTransaction(connection, FALSE);
}
