/* The database engine a test program runs against: CTest names it in
 * VQ_DB_ENGINE (sqlite, sqlitenative, pgsql, mysql) together with the ODBC
 * configuration of its private server, and each engine has one connection
 * record (a line of connparams.txt) under the connection name "cparlodb".
 * "sqlite" reaches SQLite through the ODBC driver, "sqlitenative" through
 * the framework's own SQLITE provider, on a file of the engines' folder. */
#ifndef VQ_TESTS_SUPPORT_RECORDS_DBENGINE_H
#define VQ_TESTS_SUPPORT_RECORDS_DBENGINE_H

#include "records/db/odbcadapter.h"
#include "records/db/sqliteprovider.h"

#include <stdlib.h>
#include <string.h>
#include <string>

namespace vqt {

struct DbEngine {
    const char *name;       /* as VQ_DB_ENGINE names it */
    const char *record;     /* its connparams.txt line */
    bool native;            /* the SQLITE provider rather than ODBC */
};

/* A file of the engines' folder (VQ_DB_DIR) as Wine's Z: drive shows it;
 * the name alone when the folder is not set. */
inline std::string DbEngineFile(const char *name)
{
    const char *dir = getenv("VQ_DB_DIR");
    return dir ? "Z:" + std::string(dir) + "/" + name : std::string(name);
}

/* The database file of the SQLITE provider's engine. */
inline const std::string &NativeSqliteFile()
{
    static const std::string file = DbEngineFile("sqlite/native.db");
    return file;
}

/* MariaDB's ODBC driver ignores the DSN once a connection string also
 * names a driver, so its record carries the whole connection string. */
inline const DbEngine *CurrentDbEngine()
{
    static const std::string nativeRecord =
        "cparlo 0 " + NativeSqliteFile() + " cparlo NULL 0 cparlodb SQLITE SQLITE NO\n";
    static const DbEngine engines[] = {
        {"sqlite", "cparlo 0 vqcparlo cparlo NULL 0 cparlodb ODBC SQLITE NO\n", false},
        {"sqlitenative", nativeRecord.c_str(), true},
        {"pgsql", "pg 0 vqpgsql vq NULL 0 cparlodb ODBC PGSQL NO\n", false},
        {"mysql", "my 0 vqmysql vq vq 0 cparlodb ODBC MYSQL yes DSN=vqmysql;UID=vq;PWD=vq;\n", false},
    };
    const char *name = getenv("VQ_DB_ENGINE");
    for (const DbEngine &e : engines)
        if (name && strcmp(name, e.name) == 0)
            return &e;
    return nullptr;
}

/* The provider an engine's record names. */
inline const DBProvider *DbEngineProvider(const DbEngine *engine)
{
    return engine && engine->native ? GetSQLiteProvider() : GetODBCProvider();
}

/* SQLite, through either provider. */
inline bool IsSqliteEngine(const char *name)
{
    return name && strncmp(name, "sqlite", 6) == 0;
}

} // namespace vqt

#endif
