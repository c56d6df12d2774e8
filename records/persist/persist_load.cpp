/* Loading tables from the databases into the table store: a whole table, a
 * table from a query, a custom view from a query, the tables of
 * loadtablelist.txt, and unloading. */
#include "records/persist/persist.h"
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/db/dialects.h"
#include "records/persist/persistconn.h"
#include "records/base/coltypes.h"
#include "records/base/reclimits.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Runs `query` on the connection of `connectionTable`; NULL when the table
 * has no connection or dialect, or the query fails (*queried says whether
 * it was run). *dialect receives the dialect's name for row conversion. */
static ResultSet *runTableQuery(const char *connectionTable, const char *query,
                                const char **dialect, BOOL *queried)
{
    *queried = FALSE;
    const QueryGenerator *g = GetTableQueryGenerator(connectionTable);
    if (!g)
        return NULL;
    *dialect = g->name;
    const char *connectionName = NULL;
    DBConnection *c = TakeTableConnection(connectionTable, &connectionName);
    if (!c)
        return NULL;
    *queried = TRUE;
    ResultSet *set = ExecuteQuery(c, query);
    ReleaseConnectionHandle(connectionName);
    return set;
}

/* Converts every row of `set` against `baseTable`'s definition and adds it
 * to `target` (a table or a view over baseTable). FALSE at the first row
 * that cannot be converted or added; the rows added so far stay. */
static BOOL addResultRows(const ResultSet *set, const char *dialect, const char *baseTable,
                          const char *target)
{
    INT32 columnCount = 0;
    TableData *t = GetTableDataByName(target);
    if (t)
        columnCount = t->columnCount;
    for (const ResultRow *r = set->firstRow; r; r = r->next) {
        RowObject *row = ConvertResultSetToRow(set, r, dialect, baseTable);
        if (!row) {
            LogError("Cannot convert a row of %s.\n", target);
            return FALSE;
        }
        if (!AddNewRow(target, row)) {
            FreeRowObject(row, columnCount);
            return FALSE;
        }
    }
    return TRUE;
}

/* The columns a table has in its database: CREATE TABLE writes none for a
 * column of type 0, and the row conversion pairs none with it. */
static INT32 storedColumnCount(const TableDefn *defn)
{
    INT32 n = 0;
    for (INT32 i = 0; i < defn->columnCount; i++)
        if (defn->columns[i] && defn->columns[i]->type != BRN_SQL_NOT_SUPPORTED_TYPE)
            n++;
    return n;
}

/* The shared body of LoadTable and LoadTableByQuery. */
static BOOL loadTable(const char *tableName, const char *query, BOOL checkColumns)
{
    const char *dialect = NULL;
    BOOL queried = FALSE;
    ResultSet *set = runTableQuery(tableName, query, &dialect, &queried);
    if (!queried)
        return FALSE;
    if (!set) {
        if (checkColumns)
            LogError("Error in executing select query for %s\n", tableName);
        else
            LogError("Error in executing select query \n");
        return FALSE;
    }
    BOOL ok = FALSE;
    TableDefn *defn = GetTableDefn(tableName);
    if (!defn) {
        LogError("Error in getting Table Definition for %s\n", tableName);
    } else if (checkColumns && set->columnCount != storedColumnCount(defn)) {
        LogError("\nLoadTable Failed for %s table as there is mismatch between table definition in "
                 "datadictionary and actual table in database\n", tableName);
    } else if (!CreateTable(tableName)) {
        LogError("CreateTable Failed \n");
    } else {
        ok = addResultRows(set, dialect, tableName, tableName);
    }
    FreeResultSet(set);
    return ok;
}

BOOL LoadTable(const char *tableName)
{
    if (!tableName)
        return FALSE;
    LogTrace("\nLoading Table : %s\n", tableName);
    char *query = FormatNewText(PERSIST_SELECT_ALL, tableName);
    if (!query)
        return FALSE;
    BOOL ok = loadTable(tableName, query, TRUE);
    free(query);
    return ok;
}

BOOL LoadTableByQuery(const char *tableName, const char *query)
{
    LogTrace("\t@@@@@ Inside LoadTableByQuery() @@@@@\n");
    if (!tableName || !query)
        return FALSE;
    LogTrace("\nLoading Table : %s\n", tableName);
    LogTrace("\nSelect Query  : %s\n", query);
    return loadTable(tableName, query, FALSE);
}

/* A view definition with one view column per column of `defn`. */
static CustomViewDefn *viewOverTable(TableDefn *defn)
{
    ViewColumnDefn **columns =
        (ViewColumnDefn **)calloc((size_t)(defn->columnCount > 0 ? defn->columnCount : 1), sizeof *columns);
    if (!columns)
        return NULL;
    INT32 made = 0;
    for (; made < defn->columnCount; made++) {
        ColumnDefn *c = defn->columns[made];
        if (!(columns[made] = CreateViewColumnDefn(c->name, NULL, 0, c)))
            break;
    }
    char *names[1] = {defn->name};
    CustomViewDefn *view = made == defn->columnCount
                               ? CreateCustomViewDefn(1, names, columns, defn->columnCount)
                               : NULL;
    if (!view) {
        for (INT32 i = 0; i < made; i++) {
            free(columns[i]->name);
            free(columns[i]->secondName);
            free(columns[i]);
        }
    }
    free(columns);
    return view;
}

BOOL LoadViewByQuery(const char *viewName, const char *baseTable, const char *query)
{
    LogTrace("@@@ Inside LoadViewByQuery @@@\n");
    if (!viewName || !baseTable || !query)
        return FALSE;
    LogTrace("\nLoading View Data : %s\n", viewName);
    TableDefn *defn = GetTableDefn(baseTable);
    if (!defn || defn->columnCount == 0) {
        LogError("Error in getting Table Definition for %s\n", baseTable);
        return FALSE;
    }
    if (GetTableDataByName(viewName)) {
        LogError("CreateTable Failed \n");
        return FALSE;
    }
    const char *dialect = NULL;
    BOOL queried = FALSE;
    ResultSet *set = runTableQuery(baseTable, query, &dialect, &queried);
    if (!set) {
        if (queried)
            LogError("Error in executing select query \n");
        return FALSE;
    }
    CustomViewDefn *view = viewOverTable(defn);
    BOOL ok = FALSE;
    if (!view) {
        LogError("Could not allocate memory for CustomViewDefn\n");
    } else if (!CreateCustomViewData(viewName, view)) {
        FreeCustomViewDefn(view);
        LogError("CreateTable Failed \n");
    } else {
        ok = addResultRows(set, dialect, baseTable, viewName);
    }
    FreeResultSet(set);
    return ok;
}

/* Loads the table of one list line: "T" whole, "T query" from the query
 * when the rest holds "select" or "SELECT", else whole. */
static BOOL loadListLine(char *line)
{
    char *blank = strchr(line, ' ');
    if (blank) {
        *blank = '\0';
        const char *rest = blank + 1;
        if (strstr(rest, "select") || strstr(rest, "SELECT")) {
            LogTrace("LOADTABLE_QUERY : %s\n", rest);
            return LoadTableByQuery(line, rest);
        }
    }
    LogTrace("LOADTABLE : %s\n", line);
    return LoadTable(line);
}

/* Reads a table list line by line; empty lines are skipped, an over-long
 * one is reported and skipped. */
static BOOL loadFromList(FILE *f)
{
    BOOL all = TRUE;
    char line[PERSIST_MAX_LIST_LINE + 2];
    while (fgets(line, sizeof line, f)) {
        size_t n = strlen(line);
        if (n == sizeof line - 1 && line[n - 1] != '\n' && !feof(f)) {
            LogError("LoadAllTables : a line longer than %d characters is skipped.\n", PERSIST_MAX_LIST_LINE);
            int ch;
            while ((ch = fgetc(f)) != EOF && ch != '\n') {
            }
            all = FALSE;
            continue;
        }
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = '\0';
        if (n == 0)
            continue;
        if (!loadListLine(line))
            all = FALSE;
    }
    fclose(f);
    return all;
}

BOOL LoadAllTables(void)
{
    LogTrace("\t@@@@@ Inside LoadAllTables() @@@@@\n");
    FILE *f = OpenCParloDataFile(PERSIST_LOADLIST_PATH, PERSIST_LOADLIST_NAME);
    if (!f) {
        LogError("Cannot open LoadTableList Entry File.\n");
        return FALSE;
    }
    return loadFromList(f);
}

BOOL LoadAllTablesFromFile(const char *path)
{
    LogTrace("\t@@@@@ Inside LoadAllTables() @@@@@\n");
    FILE *f = path ? fopen(path, "r") : NULL;
    if (!f) {
        LogError("Cannot open LoadTableList Entry File.\n");
        return FALSE;
    }
    return loadFromList(f);
}

BOOL UnLoadTable(const char *tableName)
{
    LogTrace("\t@@@@@ UnLoadTable() @@@@@\n");
    TableData *t = GetTableDataByName(tableName);
    if (!t || !RemoveTableDataFromRegistry(t))
        return FALSE;
    FreeTableData(t);
    return TRUE;
}

void UnLoadAllTable(void)
{
    LogTrace("@@@ Inside UnLoadAllTable @@@\n");
    INT32 count = 0;
    TableData **tables = GetTableRegistry(&count);
    while (tables && count > 0) {
        TableData *t = tables[count - 1];
        RemoveTableDataFromRegistry(t);
        FreeTableData(t);
        tables = GetTableRegistry(&count);
    }
}

BOOL ReloadTableData(void)
{
    UnLoadAllTable();
    return LoadAllTables();
}
