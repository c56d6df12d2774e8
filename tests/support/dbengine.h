/* The database engine a test program runs against: CTest names it in
 * VQ_DB_ENGINE (sqlite, pgsql, mysql) together with the ODBC configuration
 * of its private server, and each engine has one connection record (a line
 * of connparams.txt) under the connection name "cparlodb". */
#ifndef VQ_TESTS_SUPPORT_DBENGINE_H
#define VQ_TESTS_SUPPORT_DBENGINE_H

#include <stdlib.h>
#include <string.h>

namespace vqt {

struct DbEngine {
    const char *name;       /* as VQ_DB_ENGINE names it */
    const char *record;     /* its connparams.txt line */
};

/* MariaDB's ODBC driver ignores the DSN once a connection string also
 * names a driver, so its record carries the whole connection string. */
inline const DbEngine *CurrentDbEngine()
{
    static const DbEngine engines[] = {
        {"sqlite", "cparlo 0 vqcparlo cparlo NULL 0 cparlodb ODBC SQLITE NO\n"},
        {"pgsql", "pg 0 vqpgsql vq NULL 0 cparlodb ODBC PGSQL NO\n"},
        {"mysql", "my 0 vqmysql vq vq 0 cparlodb ODBC MYSQL yes DSN=vqmysql;UID=vq;PWD=vq;\n"},
    };
    const char *name = getenv("VQ_DB_ENGINE");
    for (const DbEngine &e : engines)
        if (name && strcmp(name, e.name) == 0)
            return &e;
    return nullptr;
}

} // namespace vqt

#endif
