/* The record framework's demo: starts the framework on the root given as
 * its argument (a fresh embedded SQLite database), shows the tables it
 * created and the default rows, adds, changes and deletes rows, saves them,
 * restarts the framework, shows that the same rows came back, and that the
 * identifiers of a new start continue after the batch the first start
 * reserved. */
#include "records/db/connpool.h"
#include "records/cparlo.h"
#include "records/persist/persist.h"
#include "records/persist/seqgen.h"
#include "records/sql/sqltext.h"
#include "records/store/tablestore.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Prints the rows of a table of the store with their flags. */
static void showTable(const char *name)
{
    TableData *t = GetTableDataByName(name);
    if (!t) {
        printf("   (%s is not loaded)\n", name);
        return;
    }
    printf("   %s:\n", name);
    for (RowObject *r = t->firstRow; r; r = r->next) {
        printf("     ");
        for (INT32 i = 0; i < t->columnCount; i++) {
            char *text = ConvertValueToText(r->values[i], r->sizes[i], t->tableDefn->columns[i]->type);
            printf("%s=%s  ", t->tableDefn->columns[i]->name, text ? text : "?");
            free(text);
        }
        printf("(flags %d)\n", (int)r->flags);
    }
}

/* Prints the rows of a query on the database, one line each. */
static void showQuery(const char *query)
{
    DBConnection *c = GetConnectionHandle("cparlodb");
    ResultSet *set = c ? ExecuteQuery(c, query) : NULL;
    ReleaseConnectionHandle("cparlodb");
    printf("   %s\n", query);
    for (ResultRow *r = set ? set->firstRow : NULL; r; r = r->next) {
        printf("     ");
        for (INT32 i = 0; i < set->columnCount; i++)
            printf("%s  ", r->cells[i].text ? r->cells[i].text : "NULL");
        printf("\n");
    }
    FreeResultSet(set);
}

static RowObject *eventRow(const char *name, const char *detail)
{
    BYTE **values = (BYTE **)calloc(4, sizeof(BYTE *));
    INT32 *sizes = (INT32 *)calloc(4, sizeof(INT32));
    values[1] = CopyValueBuffer(name, (INT32)strlen(name));
    sizes[1] = (INT32)strlen(name);
    values[2] = CopyValueBuffer(detail, (INT32)strlen(detail));
    sizes[2] = (INT32)strlen(detail);
    return CreateNewRowObject(values, sizes);
}

static RowObject *findParam(const char *name)
{
    TableData *t = GetTableDataByName("Agentparams");
    for (RowObject *r = t ? t->firstRow : NULL; r; r = r->next)
        if (r->values[0] && strcmp((const char *)r->values[0], name) == 0)
            return r;
    return NULL;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        printf("usage: records_demo ROOT\n");
        return 2;
    }
    char *root = argv[1];
    printf("== InitCParlo on a fresh database (root %s)\n", root);
    if (!InitCParlo(root)) {
        printf("InitCParlo failed; see %s\\logs\\cparlo.log\n", root);
        return 1;
    }
    printf("== Tables created in the database\n");
    showQuery("select name from sqlite_master where type = 'table' order by name");
    printf("== Default rows, stored and loaded\n");
    showTable("Agentparams");
    showTable("AgentEvents");
    showQuery("select * from SeqGenState");

    printf("== Two new events, one changed and one deleted parameter (in memory)\n");
    AddNewRow("AgentEvents", eventRow("DemoStarted", "first start"));
    AddNewRow("AgentEvents", eventRow("RowsChanged", "before saving"));
    UpdateRowObject("Agentparams", findParam("HTTPRequestTimeout"), "param_Value", "90", 2);
    DeleteRowObject("Agentparams", findParam("TransferRate"));
    showTable("Agentparams");
    showTable("AgentEvents");
    printf("== SaveAllTables: %s\n", SaveAllTables() ? "saved" : "FAILED");
    showTable("Agentparams");
    showTable("AgentEvents");

    printf("== DeInitCParlo, then InitCParlo again on the same database\n");
    DeInitCParlo();
    if (!InitCParlo(root)) {
        printf("the second InitCParlo failed\n");
        return 1;
    }
    printf("== The same rows came back\n");
    showTable("Agentparams");
    showTable("AgentEvents");
    printf("== This start reserved the next batch; a new event continues after the first batch\n");
    showQuery("select * from SeqGenState");
    AddNewRow("AgentEvents", eventRow("DemoRestarted", "second start"));
    printf("== SaveTable AgentEvents: %s\n", SaveTable("AgentEvents") == 1 ? "saved" : "FAILED");
    showQuery("select * from AgentEvents order by EVENT_ID");
    DeInitCParlo();
    return 0;
}
