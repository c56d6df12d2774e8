/* SQLite's C API as the yardstick of the record benchmarks: one statement
 * run with sqlite3_exec, its error printed. */
#ifndef VQ_BENCH_BENCHSQLITE_H
#define VQ_BENCH_BENCHSQLITE_H

#include <sqlite3.h>
#include <stdio.h>

/* Runs `sql` on `db`; false (with SQLite's message printed) when it fails. */
static inline bool BenchSqliteExec(sqlite3 *db, const char *sql)
{
    char *err = NULL;
    if (sqlite3_exec(db, sql, NULL, NULL, &err) != SQLITE_OK) {
        printf("sqlite3: %s: %s\n", sql, err ? err : "?");
        sqlite3_free(err);
        return false;
    }
    return true;
}

#endif
