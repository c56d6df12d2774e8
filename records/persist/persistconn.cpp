/* Connections of the persistence operations: a table's connection name and
 * pool, and the renewal of a connection whose database stopped answering,
 * so that a save interrupted by a database restart succeeds on the next
 * call. */
#include "records/persist/persistconn.h"
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/db/dialects.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>

const char *GetTableConnectionName(const char *tableName)
{
    DataSourceMapEntry *entry = tableName ? GetDataSourceMapEntry(tableName) : NULL;
    if (entry)
        return entry->connectionName;
    return GetDefaultConnectionName();
}

DBConnection *TakeTableConnection(const char *tableName, const char **connectionName)
{
    const char *name = GetTableConnectionName(tableName);
    *connectionName = name;
    return name ? GetConnectionHandle(name) : NULL;
}

ConnectionCheck CheckConnectionAfterFailure(DBConnection *connection, const char *connectionName,
                                            const char *tableName)
{
    char *probe = FormatNewText("select count(*) from %s", tableName);
    if (!probe)
        return CONNECTION_LOST;
    ResultSet *set = ExecuteQuery(connection, probe);
    free(probe);
    if (set) {
        FreeResultSet(set);
        return CONNECTION_ANSWERS;
    }
    LogError("Connection %s does not answer; opening it again.\n", connectionName);
    return RenewConnectionHandle(connectionName) == connection ? CONNECTION_RENEWED : CONNECTION_LOST;
}

const SqlDialect *GetTableDialect(const char *tableName)
{
    const QueryGenerator *g = GetTableQueryGenerator(tableName);
    const SqlDialect *d = g ? GetDialect(g->name) : NULL;
    return d ? d : &g_sqliteDialect;
}

SqlQuoteFn GetTableQuoteFn(const char *tableName)
{
    return GetTableDialect(tableName)->quote;
}
