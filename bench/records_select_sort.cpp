/* Benchmark of the record store against SQLite: 100000 rows of an integer,
 * a text and a float column, one selection by criteria and one sort by the
 * integer column, done by both on the same rows in the same run. Prints the
 * rows each matched (they must agree), both times and the ratios. */
#include "benchclock.h"
#include "records/store/criteria.h"
#include "records/store/tablestore.h"

#include <sqlite3.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <vector>

static const int kRows = 100000;
static const int kRepeats = 7;
static const char *kCriteria = "ID > 50000 and NAME != 'x' or SCORE >= 2.5";
/* The same predicate for SQLite: the criteria language groups AND and OR at
 * one precedence to the right, SQL binds AND tighter, so the grouping is
 * written out. */
static const char *kWhere = "ID > 50000 AND (NAME != 'x' OR SCORE >= 2.5)";

static void defineBenchTable()
{
    static const struct { const char *name; BYTE type; } cols[] = {
        {"ID", BRN_SQL_INT}, {"NAME", BRN_SQL_VARCHAR}, {"SCORE", BRN_SQL_FLOAT}};
    ColumnDefn **columns = (ColumnDefn **)calloc(3, sizeof(ColumnDefn *));
    for (int i = 0; i < 3; i++)
        columns[i] = CreateColumnDefn(cols[i].name, cols[i].type, NULL, 0, 0, NULL, NULL, 0, 1, NULL);
    AddTableDefn(CreateTableDefn("BENCH", NULL, columns, 3,
                                 (ConstraintDefn *)calloc(1, sizeof(ConstraintDefn))));
    CreateTable("BENCH");
}

static bool check(int rc, sqlite3 *db, const char *what)
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    fprintf(stderr, "sqlite %s: %s\n", what, sqlite3_errmsg(db));
    return false;
}

/* Runs a query and collects the first column of every row. */
static bool sqliteIds(sqlite3 *db, const char *sql, std::vector<int> *ids)
{
    sqlite3_stmt *st = NULL;
    if (!check(sqlite3_prepare_v2(db, sql, -1, &st, NULL), db, "prepare"))
        return false;
    ids->clear();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        ids->push_back(sqlite3_column_int(st, 0));
        /* Read the other columns too, as a caller of the store would. */
        (void)sqlite3_column_text(st, 1);
        (void)sqlite3_column_double(st, 2);
    }
    sqlite3_finalize(st);
    return check(rc, db, "step");
}

static std::vector<int> resultIds(ResultData *r)
{
    std::vector<int> ids;
    ids.reserve(r ? r->rowCount : 0);
    for (ResultEntry *e = r ? r->first : NULL; e; e = e->next)
        ids.push_back(ReadInt32Value(e->row->values[0], e->row->sizes[0]));
    return ids;
}

int main()
{
    /* The same rows for both: a shuffled permutation of identifiers, a few
     * names of which one in four is "x", scores 0 to 5 in quarter steps. */
    std::mt19937 rng(20240601);
    std::vector<int> ids(kRows);
    for (int i = 0; i < kRows; i++)
        ids[i] = i + 1;
    for (int i = kRows - 1; i > 0; i--)
        std::swap(ids[i], ids[rng() % (unsigned)(i + 1)]);
    static const char *names[] = {"x", "alpha", "beta", "gamma"};
    std::vector<const char *> rowNames(kRows);
    std::vector<float> scores(kRows);
    for (int i = 0; i < kRows; i++) {
        rowNames[i] = names[rng() % 4];
        scores[i] = (float)(rng() % 21) / 4.0f;
    }

    defineBenchTable();
    double t0 = BenchNowMs();
    for (int i = 0; i < kRows; i++) {
        BYTE **values = (BYTE **)malloc(3 * sizeof(BYTE *));
        INT32 *sizes = (INT32 *)malloc(3 * sizeof(INT32));
        values[0] = CopyValueBuffer(&ids[i], 4);
        sizes[0] = 4;
        sizes[1] = (INT32)strlen(rowNames[i]);
        values[1] = CopyValueBuffer(rowNames[i], sizes[1]);
        values[2] = CopyValueBuffer(&scores[i], 4);
        sizes[2] = 4;
        if (!AddNewRow("BENCH", CreateNewRowObject(values, sizes))) {
            fprintf(stderr, "AddNewRow failed at row %d\n", i);
            return 1;
        }
    }
    double storeLoad = BenchNowMs() - t0;

    sqlite3 *db = NULL;
    if (!check(sqlite3_open(":memory:", &db), db, "open"))
        return 1;
    t0 = BenchNowMs();
    sqlite3_exec(db, "CREATE TABLE t(ID INTEGER, NAME TEXT, SCORE REAL)", NULL, NULL, NULL);
    sqlite3_exec(db, "BEGIN", NULL, NULL, NULL);
    sqlite3_stmt *ins = NULL;
    check(sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?)", -1, &ins, NULL), db, "prepare");
    for (int i = 0; i < kRows; i++) {
        sqlite3_bind_int(ins, 1, ids[i]);
        sqlite3_bind_text(ins, 2, rowNames[i], -1, SQLITE_STATIC);
        sqlite3_bind_double(ins, 3, (double)scores[i]);
        if (!check(sqlite3_step(ins), db, "insert"))
            return 1;
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", NULL, NULL, NULL);
    double sqliteLoad = BenchNowMs() - t0;

    char selectSql[256], orderSql[256];
    snprintf(selectSql, sizeof selectSql, "SELECT ID, NAME, SCORE FROM t WHERE %s", kWhere);
    snprintf(orderSql, sizeof orderSql, "SELECT ID, NAME, SCORE FROM t WHERE %s ORDER BY ID", kWhere);

    double bestSelect = 1e99, bestSort = 1e99, bestSqlSelect = 1e99, bestSqlOrder = 1e99;
    std::vector<int> storeMatched, storeSorted, sqlMatched, sqlSorted;
    for (int rep = 0; rep < kRepeats; rep++) {
        t0 = BenchNowMs();
        ResultData *r = SelectRows("BENCH", kCriteria);
        double t1 = BenchNowMs();
        if (!r) {
            fprintf(stderr, "SelectRows failed\n");
            return 1;
        }
        storeMatched = resultIds(r);
        double t2 = BenchNowMs();
        if (!SortResultSet(r, "ID", SORT_ORDER_ASCENDING)) {
            fprintf(stderr, "SortResultSet failed\n");
            return 1;
        }
        double t3 = BenchNowMs();
        storeSorted = resultIds(r);
        FreeResultData(r);
        bestSelect = std::min(bestSelect, t1 - t0);
        bestSort = std::min(bestSort, t3 - t2);

        t0 = BenchNowMs();
        if (!sqliteIds(db, selectSql, &sqlMatched))
            return 1;
        t1 = BenchNowMs();
        if (!sqliteIds(db, orderSql, &sqlSorted))
            return 1;
        t2 = BenchNowMs();
        bestSqlSelect = std::min(bestSqlSelect, t1 - t0);
        bestSqlOrder = std::min(bestSqlOrder, t2 - t1);
    }
    sqlite3_close(db);

    bool agreeSelect = storeMatched == sqlMatched;
    bool agreeSort = storeSorted == sqlSorted;
    printf("rows: %d, criteria: %s\n", kRows, kCriteria);
    printf("load        : store %.2f ms, sqlite %.2f ms\n", storeLoad, sqliteLoad);
    printf("matched     : store %zu rows, sqlite %zu rows (%s)\n", storeMatched.size(),
           sqlMatched.size(), agreeSelect ? "same rows, same order" : "DIFFERENT");
    printf("sorted      : %s\n", agreeSort ? "same order" : "DIFFERENT");
    printf("select      : store %.2f ms, sqlite %.2f ms, ratio %.2f\n", bestSelect,
           bestSqlSelect, bestSelect / bestSqlSelect);
    printf("select+sort : store %.2f ms, sqlite ORDER BY %.2f ms, ratio %.2f\n",
           bestSelect + bestSort, bestSqlOrder, (bestSelect + bestSort) / bestSqlOrder);
    double sqlSortOnly = bestSqlOrder - bestSqlSelect;
    printf("sort alone  : store %.2f ms, sqlite ORDER BY minus select %.2f ms, ratio %.2f\n",
           bestSort, sqlSortOnly, sqlSortOnly > 0 ? bestSort / sqlSortOnly : 0.0);
    printf("best of %d runs each\n", kRepeats);
    return agreeSelect && agreeSort ? 0 : 1;
}
