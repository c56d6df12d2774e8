/* Benchmark of the framework's SQL layer against plain code in the same run:
 *  1. 100000 INSERT texts from the SQLite generator against a bare snprintf
 *     loop writing the same texts (target: at most 2x);
 *  2. 10000 single-row INSERTs through ExecuteUpdate on the SQLite ODBC
 *     default against the same statements through SQLite's C API;
 *  3. 100000 rows read through ExecuteQuery against the same SELECT stepped
 *     through SQLite's C API.
 * The ODBC part needs the data source "vqcparlo": run it as
 *   tests/fixtures/dbengines odbc build/dbengines
 *   ODBCSYSINI=$PWD/build/dbengines/odbc/sqlite ODBCINI=$PWD/build/dbengines/odbc/odbc.ini \
 *       ./run bench records_sql
 * The SQLite C API works on its own file beside the program. */
#include "benchclock.h"
#include "benchsqlite.h"
#include "records/db/dbprovider.h"
#include "records/db/odbcadapter.h"
#include "records/sql/sqlgen.h"
#include "records/dict/tabledefn.h"

#include <sqlite3.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const int kGenerated = 100000;
static const int kInserts = 10000;
static const int kReadRows = 100000;

static char *dupText(const char *s)
{
    char *p = (char *)malloc(strlen(s) + 1);
    strcpy(p, s);
    return p;
}

/* BENCH(ID int, NAME varchar(40), SCORE double), key ID. */
static void defineBenchTable()
{
    static const struct { const char *name; BYTE type; INT32 max; } cols[] = {
        {"ID", BRN_SQL_INT, 0}, {"NAME", BRN_SQL_VARCHAR, 40}, {"SCORE", BRN_SQL_DOUBLE, 0}};
    TableDefn *d = (TableDefn *)calloc(1, sizeof *d);
    d->name = dupText("BENCH");
    d->columnCount = 3;
    d->columns = (ColumnDefn **)calloc(3, sizeof(ColumnDefn *));
    for (int i = 0; i < 3; i++) {
        d->columns[i] = (ColumnDefn *)calloc(1, sizeof(ColumnDefn));
        d->columns[i]->name = dupText(cols[i].name);
        d->columns[i]->type = cols[i].type;
        d->columns[i]->maxSize = cols[i].max;
        d->columns[i]->nullable = 1;
    }
    d->constraints = (ConstraintDefn *)calloc(1, sizeof(ConstraintDefn));
    d->constraints->primaryKeyCount = 1;
    d->constraints->primaryKeyColumns = (char **)calloc(2, sizeof(char *));
    d->constraints->primaryKeyColumns[0] = dupText("ID");
    AddTableDefn(d);
}

struct BenchRow {
    RowObject row;
    BYTE *values[3];
    INT32 sizes[3];
    INT32 id;
    char name[32];
    double score;
};

static void fillRow(BenchRow *r, int i)
{
    r->id = i;
    snprintf(r->name, sizeof r->name, "name %d", i);
    r->score = i * 0.5;
    r->values[0] = (BYTE *)&r->id;
    r->values[1] = (BYTE *)r->name;
    r->values[2] = (BYTE *)&r->score;
    r->sizes[0] = 4;
    r->sizes[1] = (INT32)strlen(r->name);
    r->sizes[2] = 8;
    r->row.values = r->values;
    r->row.sizes = r->sizes;
    r->row.flags = 2;
    r->row.next = NULL;
}

static void report(const char *what, double ours, double base, const char *baseName)
{
    printf("%-44s %9.1f ms   %-22s %9.1f ms   ratio %.2f\n", what, ours, baseName, base,
           base > 0 ? ours / base : 0.0);
}

static void benchGeneration()
{
    BenchRow r;
    size_t total = 0, totalBase = 0;
    double t0 = BenchNowMs();
    for (int i = 0; i < kGenerated; i++) {
        fillRow(&r, i);
        char *text = SqliteGenInsertQuery("BENCH", &r.row);
        total += strlen(text);
        free(text);
    }
    double ours = BenchNowMs() - t0;
    t0 = BenchNowMs();
    for (int i = 0; i < kGenerated; i++) {
        char text[128];
        int n = snprintf(text, sizeof text, "insert into  %s values(%d,'name %d',%f);", "BENCH", i, i, i * 0.5);
        char *copy = (char *)malloc((size_t)n + 1);
        memcpy(copy, text, (size_t)n + 1);
        totalBase += (size_t)n;
        free(copy);
    }
    double base = BenchNowMs() - t0;
    report("100000 INSERT texts (SqliteGenInsertQuery)", ours, base, "snprintf loop");
    if (total != totalBase)
        printf("  the texts differ in length: %u against %u bytes\n", (unsigned)total, (unsigned)totalBase);
}

static void benchDatabase()
{
    ConnParamsEntry record = {};
    record.dsn = (char *)"vqcparlo";
    record.user = (char *)"cparlo";
    record.connectionName = (char *)"cparlodb";
    record.driver = (char *)"ODBC";
    record.dbType = (char *)"SQLITE";
    void *conn = ODBCOpenConnection(&record);
    if (!conn) {
        printf("no ODBC data source vqcparlo: set ODBCSYSINI and ODBCINI (see the top of bench/records_sql.cpp)\n");
        return;
    }
    sqlite3 *db = NULL;
    DeleteFileA("records_sql_bench.db");
    if (sqlite3_open("records_sql_bench.db", &db) != SQLITE_OK) {
        printf("sqlite3_open failed\n");
        ODBCCloseConnection(conn);
        return;
    }
    char *create = SqliteGenCreateTableQuery("BENCH");
    ODBCExecuteUpdate(conn, "drop table BENCH");
    if (!ODBCExecuteUpdate(conn, create) || !BenchSqliteExec(db, create)) {
        printf("CREATE TABLE failed\n");
        free(create);
        sqlite3_close(db);
        ODBCCloseConnection(conn);
        return;
    }
    free(create);

    /* The same statements for both; only the statement calls are timed. */
    char **statements = (char **)calloc(kInserts, sizeof(char *));
    BenchRow r;
    for (int i = 0; i < kInserts; i++) {
        fillRow(&r, i);
        statements[i] = SqliteGenInsertQuery("BENCH", &r.row);
    }
    double t0 = BenchNowMs();
    int failed = 0;
    for (int i = 0; i < kInserts; i++)
        failed += !ODBCExecuteUpdate(conn, statements[i]);
    double ours = BenchNowMs() - t0;
    t0 = BenchNowMs();
    for (int i = 0; i < kInserts; i++)
        failed += !BenchSqliteExec(db, statements[i]);
    double base = BenchNowMs() - t0;
    report("10000 INSERTs (ExecuteUpdate, SQLite ODBC)", ours, base, "sqlite3_exec");
    for (int i = 0; i < kInserts; i++)
        free(statements[i]);
    free(statements);
    if (failed)
        printf("  %d INSERTs failed\n", failed);

    /* Grow both tables to 100000 rows in one transaction each. */
    ODBCBeginTransaction(conn);
    BenchSqliteExec(db, "begin");
    for (int i = kInserts; i < kReadRows; i++) {
        fillRow(&r, i);
        char *text = SqliteGenInsertQuery("BENCH", &r.row);
        ODBCExecuteUpdate(conn, text);
        BenchSqliteExec(db, text);
        free(text);
    }
    ODBCCommitTransaction(conn);
    BenchSqliteExec(db, "commit");

    const char *select = "select * from BENCH order by ID";
    t0 = BenchNowMs();
    ResultSet *set = ODBCExecuteQuery(conn, select);
    ours = BenchNowMs() - t0;
    INT32 odbcRows = set ? set->rowCount : -1;
    FreeResultSet(set);
    t0 = BenchNowMs();
    sqlite3_stmt *stmt = NULL;
    int apiRows = 0;
    double sum = 0;
    sqlite3_prepare_v2(db, select, -1, &stmt, NULL);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        sum += sqlite3_column_int(stmt, 0) + sqlite3_column_double(stmt, 2);
        sum += (double)strlen((const char *)sqlite3_column_text(stmt, 1));
        apiRows++;
    }
    sqlite3_finalize(stmt);
    base = BenchNowMs() - t0;
    report("100000 rows read (ExecuteQuery, SQLite ODBC)", ours, base, "sqlite3_step");
    printf("  rows read: ODBC %d, C API %d (checksum %.0f)\n", (int)odbcRows, apiRows, sum);
    sqlite3_close(db);
    ODBCCloseConnection(conn);
}

int main()
{
    defineBenchTable();
    benchGeneration();
    benchDatabase();
    FreeAllTableDefns();
    return 0;
}
