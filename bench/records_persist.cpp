/* Benchmark of table persistence on the embedded SQLite default, against
 * SQLite's C API in the same run, on either provider of the default record:
 * the framework's own SQLITE provider (SQLite's C API inside the framework,
 * the default) or ODBC (the driver manager and the SQLite ODBC driver):
 *  1. SaveTable of 10000 new rows (one INSERT each on the framework's
 *     connection) against the same INSERT texts through sqlite3_exec;
 *  2. LoadTable of 100000 rows into the table store against the same
 *     SELECT stepped through sqlite3_step with every value copied into
 *     memory. With ODBC, the same SELECT through ODBC alone (the driver
 *     manager and the SQLite ODBC driver fetching blocks of rows into bound
 *     buffers, no framework code) is timed too: it is the floor any ODBC
 *     reader stands on, and LoadTable is also given against it.
 * Both sides do the same work the same way: every INSERT of the save runs
 * on its own, in autocommit (one transaction and commit per row, as
 * SaveTable does), and the C API's database is opened with the synchronous
 * and journal_mode settings the framework's connection reports, so that a
 * commit costs the same on both. The C API side links the very SQLite build
 * the framework carries. The rows beyond the saved ones are put in by one
 * INSERT ... SELECT over a recursive WITH on each side (set-up, not timed).
 * The row counts and the provider are arguments, the figures above and
 * SQLITE the defaults:
 *   records_persist [saved rows [loaded rows [SQLITE|ODBC]]]
 * The framework starts with InitCParlo on a scratch root whose data folder
 * names the table BENCH and the connection record. ODBC needs the data
 * source "vqcparlo": run it as
 *   tests/fixtures/dbengines odbc build/dbengines
 *   ODBCSYSINI=$PWD/build/dbengines/odbc/sqlite ODBCINI=$PWD/build/dbengines/odbc/odbc.ini \
 *       ./run bench records_persist 10000 100000 ODBC
 * The SQLite C API works on its own file beside the program. */
#include "benchclock.h"
#include "benchsqlite.h"
#include "records/db/connpool.h"
#include "records/cparlo.h"
#include "records/db/dbprovider.h"
#include "records/db/dialects.h"
#include "records/persist/persist.h"
#include "records/store/tablestore.h"

#include <sqlite3.h>
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

static const int kDefaultSaved = 10000;
static const int kDefaultLoaded = 100000;
static const int kLoadRounds = 3;

static bool writeFile(const std::string &path, const char *text)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    fputs(text, f);
    return fclose(f) == 0;
}

/* A root whose data folder defines BENCH(ID int key, NAME char(40), SCORE
 * double) on the default SQLite record. */
static std::string prepareRoot(bool odbc)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "vqpersistbench";
    CreateDirectoryA(root.c_str(), NULL);
    CreateDirectoryA((root + "\\data").c_str(), NULL);
    writeFile(root + "\\data\\datadictionary.txt", "bench.xml\n");
    writeFile(root + "\\data\\bench.xml",
              "<?xml version=\"1.0\"?><data-dictionary><table name=\"BENCH\"><columns>"
              "<column name=\"ID\"><data-type>BRN_SQL_INT</data-type></column>"
              "<column name=\"NAME\"><data-type>BRN_SQL_CHAR</data-type><max-size>40</max-size></column>"
              "<column name=\"SCORE\"><data-type>BRN_SQL_DOUBLE</data-type></column>"
              "</columns><primary-key><primary-key-column>ID</primary-key-column></primary-key></table>"
              "</data-dictionary>\n");
    writeFile(root + "\\data\\dsn_table_map.txt", "BENCH cparlodb\n");
    writeFile(root + "\\data\\connparams.txt", odbc ? "cparlo 0 vqcparlo cparlo NULL 0 cparlodb ODBC SQLITE NO\n"
                                                  : "cparlo 0 bench.db cparlo NULL 0 cparlodb SQLITE SQLITE NO\n");
    writeFile(root + "\\data\\loadtablelist.txt", "");
    return root;
}

static RowObject *benchRow(int i)
{
    BYTE **values = (BYTE **)calloc(3, sizeof(BYTE *));
    INT32 *sizes = (INT32 *)calloc(3, sizeof(INT32));
    char name[32];
    snprintf(name, sizeof name, "name %d", i);
    double score = i * 0.5;
    values[0] = CopyValueBuffer(&i, 4);
    values[1] = CopyValueBuffer(name, (INT32)strlen(name));
    values[2] = CopyValueBuffer(&score, 8);
    sizes[0] = 4;
    sizes[1] = (INT32)strlen(name);
    sizes[2] = 8;
    return CreateNewRowObject(values, sizes);
}

static void report(const char *what, double ours, double base, const char *baseName)
{
    printf("%-40s %9.1f ms   %-28s %9.1f ms   ratio %.2f\n", what, ours, baseName, base,
           base > 0 ? ours / base : 0.0);
}

/* One row read through the C API, held like a row of the store. */
struct ApiRow {
    BYTE *values[3];
    ApiRow *next;
};

/* The first cell's text of a one-row query on the framework's connection,
 * or `fallback`. */
static std::string pragmaText(DBConnection *c, const char *query, const char *fallback)
{
    ResultSet *set = ExecuteQuery(c, query);
    std::string text = set && set->firstRow && set->firstRow->cells[0].text ? set->firstRow->cells[0].text
                                                                             : fallback;
    FreeResultSet(set);
    return text;
}

/* The rows of "select * from BENCH" through ODBC alone: fetched in blocks
 * of 256 into bound text buffers and not kept; -1 when the data source does
 * not answer. */
static long odbcFloorRows(void)
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    long rows = -1;
    enum { BLOCK = 256, WIDTH = 256 };
    static char data[3][BLOCK * WIDTH];
    static SQLLEN ind[3][BLOCK];
    SQLULEN fetched = 0;
    if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))
        && SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0))
        && SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))
        && SQL_SUCCEEDED(SQLDriverConnect(dbc, NULL, (SQLCHAR *)"DSN=vqcparlo;", SQL_NTS, NULL, 0, NULL,
                                          SQL_DRIVER_NOPROMPT))
        && SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))
        && SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)(ULONG_PTR)BLOCK, 0))
        && SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0))
        && SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR *)"select * from BENCH", SQL_NTS))) {
        for (int i = 0; i < 3; i++)
            SQLBindCol(stmt, (SQLUSMALLINT)(i + 1), SQL_C_CHAR, data[i], WIDTH, ind[i]);
        rows = 0;
        SQLRETURN rc;
        while ((rc = SQLFetch(stmt)) != SQL_NO_DATA && SQL_SUCCEEDED(rc))
            rows += (long)fetched;
        if (rc != SQL_NO_DATA)
            rows = -1;
    }
    if (stmt != SQL_NULL_HSTMT)
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (dbc != SQL_NULL_HDBC) {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
    if (env != SQL_NULL_HENV)
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    return rows;
}

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);   /* progress shows as it happens */
    const int saveRows = argc > 1 && atoi(argv[1]) > 0 ? atoi(argv[1]) : kDefaultSaved;
    int loadRows = argc > 2 && atoi(argv[2]) > 0 ? atoi(argv[2]) : kDefaultLoaded;
    if (loadRows < saveRows)
        loadRows = saveRows;
    const bool odbc = argc > 3 && strcmp(argv[3], "ODBC") == 0;
    std::string root = prepareRoot(odbc);
    printf("provider: %s\n", odbc ? "ODBC (SQLite ODBC driver)" : "SQLITE (SQLite's C API in the framework)");
    if (!InitCParlo((char *)root.c_str())) {
        printf("InitCParlo failed (see %s\\logs\\cparlo.log)%s\n", root.c_str(),
               odbc ? "; is the data source vqcparlo set up? (see the top of bench/records_persist.cpp)" : "");
        DeInitCParlo();
        return 1;
    }
    DBConnection *c = GetConnectionHandle("cparlodb");
    ExecuteUpdate(c, "delete from BENCH");
    std::string synchronous = pragmaText(c, "pragma synchronous", "2");
    std::string journal = pragmaText(c, "pragma journal_mode", "delete");
    ReleaseConnectionHandle("cparlodb");

    sqlite3 *db = NULL;
    DeleteFileA("records_persist_bench.db");
    char *create = GenerateCreateTableQuery("BENCH");
    std::string pragmas = "pragma synchronous=" + synchronous + "; pragma journal_mode=" + journal;
    if (sqlite3_open("records_persist_bench.db", &db) != SQLITE_OK || !create || !BenchSqliteExec(db, create)
        || !BenchSqliteExec(db, pragmas.c_str())) {
        printf("the C API's database could not be prepared\n");
        return 1;
    }
    free(create);
    printf("rows: %d saved, %d loaded; both sides: synchronous %s, journal_mode %s, autocommit per row\n",
           saveRows, loadRows, synchronous.c_str(), journal.c_str());

    /* 1. Save: the rows are in the store before the clock starts; the C
     * API runs the INSERT texts the framework generates for them. The
     * store's table starts empty, whatever an earlier run left behind. */
    UnLoadTable("BENCH");
    if (!CreateTable("BENCH") || !GetTableDataByName("BENCH")) {
        printf("the store's table BENCH could not be created\n");
        return 1;
    }
    for (int i = 0; i < saveRows; i++) {
        RowObject *row = benchRow(i);
        if (!AddNewRow("BENCH", row)) {
            printf("AddNewRow failed at row %d\n", i);
            return 1;
        }
    }
    char **statements = (char **)calloc(saveRows, sizeof(char *));
    int i = 0;
    double t0 = BenchNowMs();
    for (RowObject *r = GetTableDataByName("BENCH")->firstRow; r; r = r->next)
        statements[i++] = GenerateInsertQuery("BENCH", r);
    double generation = BenchNowMs() - t0;
    /* Two rounds, in turned order (framework first, then the C API first),
     * the best of each counted: a commit's cost is the disk's sync, which
     * the machine's other work makes vary by minutes. Between the rounds
     * both tables are emptied and the store's rows are new again. */
    double ours = 0, base = 0;
    int saved = 0, failed = 0;
    for (int round = 0; round < 2; round++) {
        if (round == 1) {
            c = GetConnectionHandle("cparlodb");
            ExecuteUpdate(c, "delete from BENCH");
            ReleaseConnectionHandle("cparlodb");
            BenchSqliteExec(db, "delete from BENCH");
            for (RowObject *r = GetTableDataByName("BENCH")->firstRow; r; r = r->next)
                r->flags = ROW_FLAG_NEW;
        }
        double frameworkMs = 0, apiMs = 0;
        for (int side = 0; side < 2; side++) {
            if ((side == 0) == (round == 0)) {
                t0 = BenchNowMs();
                saved = SaveTable("BENCH");
                frameworkMs = BenchNowMs() - t0;
            } else {
                t0 = BenchNowMs();
                for (i = 0; i < saveRows; i++)
                    failed += !BenchSqliteExec(db, statements[i]);
                apiMs = BenchNowMs() - t0;
            }
        }
        printf("  save round %d (%s first): SaveTable %.1f ms, sqlite3_exec %.1f ms\n", round + 1,
               round == 0 ? "SaveTable" : "sqlite3_exec", frameworkMs, apiMs);
        if (round == 0 || frameworkMs < ours)
            ours = frameworkMs;
        if (round == 0 || apiMs < base)
            base = apiMs;
    }
    char what[64];
    snprintf(what, sizeof what, "SaveTable of %d new rows (best of 2)", saveRows);
    report(what, ours, base, "sqlite3_exec, same INSERTs");
    printf("  SaveTable answered %d; C API failures %d; generating the INSERT texts alone %.1f ms\n", saved,
           failed, generation);
    for (i = 0; i < saveRows; i++)
        free(statements[i]);
    free(statements);

    /* Grow both tables to the load size with one statement each (set-up). */
    char grow[256];
    snprintf(grow, sizeof grow,
             "insert into BENCH with recursive n(i) as (select %d union all select i + 1 from n where i < %d) "
             "select i, 'name ' || i, i * 0.5 from n", saveRows, loadRows - 1);
    if (loadRows > saveRows) {
        c = GetConnectionHandle("cparlodb");
        BOOL grown = ExecuteUpdate(c, grow);
        ReleaseConnectionHandle("cparlodb");
        if (!grown || !BenchSqliteExec(db, grow)) {
            printf("the tables could not be grown to %d rows\n", loadRows);
            return 1;
        }
    }

    /* 2. Load, three rounds, the best time of each reader counted (the
     * machine's other work makes single runs vary by a third). Besides
     * LoadTable and the C API: the framework's ODBC read alone (ExecuteQuery)
     * and ODBC alone, to show where the time goes. */
    double loadBest = 0, apiBest = 0, queryBest = 0, floorBest = 0;
    int storeRows = -1, apiRows = 0, queryRows = -1;
    long floorRows = -1;
    BOOL loaded = FALSE;
    for (int round = 0; round < kLoadRounds; round++) {
        UnLoadTable("BENCH");
        t0 = BenchNowMs();
        loaded = LoadTable("BENCH");
        ours = BenchNowMs() - t0;
        TableData *t = GetTableDataByName("BENCH");
        storeRows = t ? (int)t->rowCount : -1;
        UnLoadTable("BENCH");

        t0 = BenchNowMs();
        sqlite3_stmt *stmt = NULL;
        ApiRow *first = NULL, **tail = &first;
        apiRows = 0;
        sqlite3_prepare_v2(db, "select * from BENCH", -1, &stmt, NULL);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ApiRow *r = (ApiRow *)calloc(1, sizeof *r);
            int id = sqlite3_column_int(stmt, 0);
            double score = sqlite3_column_double(stmt, 2);
            const unsigned char *name = sqlite3_column_text(stmt, 1);
            r->values[0] = CopyValueBuffer(&id, 4);
            r->values[1] = CopyValueBuffer(name, sqlite3_column_bytes(stmt, 1));
            r->values[2] = CopyValueBuffer(&score, 8);
            *tail = r;
            tail = &r->next;
            apiRows++;
        }
        sqlite3_finalize(stmt);
        base = BenchNowMs() - t0;
        while (first) {
            ApiRow *next = first->next;
            for (BYTE *v : first->values)
                free(v);
            free(first);
            first = next;
        }

        c = GetConnectionHandle("cparlodb");
        t0 = BenchNowMs();
        ResultSet *set = ExecuteQuery(c, "select * from BENCH");
        double fetch = BenchNowMs() - t0;
        ReleaseConnectionHandle("cparlodb");
        queryRows = set ? (int)set->rowCount : -1;
        FreeResultSet(set);

        t0 = BenchNowMs();
        floorRows = odbc ? odbcFloorRows() : -1;
        double floor = odbc ? BenchNowMs() - t0 : 0;

        printf("  round %d: LoadTable %.1f ms, sqlite3_step %.1f ms, ExecuteQuery %.1f ms, ODBC alone %.1f ms\n",
               round + 1, ours, base, fetch, floor);
        if (round == 0 || ours < loadBest)
            loadBest = ours;
        if (round == 0 || base < apiBest)
            apiBest = base;
        if (round == 0 || fetch < queryBest)
            queryBest = fetch;
        if (round == 0 || floor < floorBest)
            floorBest = floor;
    }
    snprintf(what, sizeof what, "LoadTable of %d rows (best of %d)", loadRows, kLoadRounds);
    report(what, loadBest, apiBest, "sqlite3_step into memory");
    printf("  LoadTable answered %d; rows: store %d, C API %d, ExecuteQuery %d, ODBC alone %ld\n", (int)loaded,
           storeRows, apiRows, queryRows, floorRows);
    printf("  of which the provider's read (ExecuteQuery): %.1f ms, ratio %.2f against sqlite3_step\n", queryBest,
           apiBest > 0 ? queryBest / apiBest : 0.0);
    if (odbc)
        printf("  ODBC alone (driver manager and driver into bound buffers, not kept): %.1f ms, ratio %.2f\n"
               "  against sqlite3_step; LoadTable against ODBC alone: ratio %.2f\n",
               floorBest, apiBest > 0 ? floorBest / apiBest : 0.0, floorBest > 0 ? loadBest / floorBest : 0.0);
    sqlite3_close(db);
    DeInitCParlo();
    return 0;
}
