/* Table persistence: whole tables, query results and views loaded from the
 * databases into the table store, tables unloaded, and the rows of a table
 * written back by their flags (INSERT, UPDATE, DELETE); the table lists
 * loadtablelist.txt and savetableslist.txt, and the default data stored on
 * a fresh database from the documents named in defaultdata.txt. */
#ifndef VQ_RECORDS_PERSIST_PERSIST_H
#define VQ_RECORDS_PERSIST_PERSIST_H

#include <windows.h>

#include "records/store/tablestore.h"

/* List files, relative to the working directory; the fallback is
 * "%s/data/%s" under the framework root with the file's own name. The list
 * of tables to save is read under the root only. */
#define PERSIST_LOADLIST_PATH      "..\\data\\loadtablelist.txt"
#define PERSIST_LOADLIST_NAME      "loadtablelist.txt"
#define PERSIST_SAVELIST_NAME      "savetableslist.txt"
#define PERSIST_DEFAULTDATA_PATH   "..\\data\\defaultdata.txt"
#define PERSIST_DEFAULTDATA_NAME   "defaultdata.txt"
/* Directory of the default-data documents named in a list read from the
 * working directory's data folder. */
#define PERSIST_LOCAL_DATA_DIR     "..\\data\\"

/* "select * from %s" of LoadTable. */
#define PERSIST_SELECT_ALL         "select * from %s"

/* Loads every table named in "..\\data\\loadtablelist.txt", else in the
 * framework root's data folder: a line "T" loads T whole, a line "T query"
 * whose query holds "select" or "SELECT" loads T from the query. FALSE when
 * the list is in neither place ("Cannot open LoadTableList Entry File.\n")
 * or when a table failed to load (every line is still tried). */
BOOL LoadAllTables(void);
/* The same for the list file at `path`, without a fallback. */
BOOL LoadAllTablesFromFile(const char *path);

/* Creates table T in the store and fills it with "select * from T" on T's
 * connection, each row stored (flags 1). FALSE with an ERROR line when T
 * has no connection, the query fails, T has no definition, the database
 * table's column count differs from the definition's, T is already loaded,
 * or a row cannot be converted (the rows added so far stay). */
BOOL LoadTable(const char *tableName);
/* The same with `query` in place of the whole table and without the
 * column-count check. */
BOOL LoadTableByQuery(const char *tableName, const char *query);
/* Creates the custom view `viewName` over `baseTable` (one view column per
 * base column) and fills it from `query` on the base table's connection. */
BOOL LoadViewByQuery(const char *viewName, const char *baseTable, const char *query);

/* Takes the table or view out of the registry and frees it. FALSE when it
 * is not loaded. */
BOOL UnLoadTable(const char *tableName);
/* Unloads every table and view. */
void UnLoadAllTable(void);
/* UnLoadAllTable, then LoadAllTables. */
BOOL ReloadTableData(void);

/* What saving does with a row of these flags: 0 or 1 nothing; 2 or 6
 * INSERT; 5 UPDATE; any flags holding both 1 and 8 DELETE; every other
 * combination is left alone. */
typedef enum RowSaveAction {
    ROW_SAVE_NOTHING = 0,
    ROW_SAVE_INSERT,
    ROW_SAVE_UPDATE,
    ROW_SAVE_DELETE,
    ROW_SAVE_LEFT_ALONE
} RowSaveAction;
RowSaveAction GetRowSaveAction(BYTE flags);

/* Writes back every row of T whose flags ask for it, in list order, under
 * the criteria lock: flags 2 or 6 INSERT, 5 UPDATE, stored and deleted
 * DELETE. A row whose statement succeeds is stored (1), a deleted one is
 * taken out of the table at once and its row-change notification sent
 * after the criteria lock is released (a listener may select); a row whose statement fails keeps its flags (ERROR "Error in
 * executing update query \n" and "QUERY : %s\n" on every attempt). 1 when
 * every statement succeeded, 0 for an unknown table, no connection, or any
 * failed statement. After a failure the connection is checked and, when it
 * no longer answers, opened anew, so that the next save can succeed once
 * the database is back; an INSERT whose answer was lost with the
 * connection is settled against the database (records/persist/
 * rowstatement.h). */
int SaveTable(const char *tableName);
/* SaveTable of every table of the registry; FALSE when one failed. */
BOOL SaveAllTables(void);
/* SaveTable of every table named in the root's savetableslist.txt (the
 * first word of each line); TRUE without the file ("No tables to be
 * saved.\n"), FALSE when a save failed. */
BOOL SaveTablesFromList(void);

/* Stores the rows of every document named in "..\\data\\defaultdata.txt"
 * (else the root's data folder) with SaveDataInXML: 1 when every document
 * was stored (also for no list or an empty list), 0 when one failed. */
int SaveDefaultData(void);
/* Loads the rows of a table-data document into the store and saves every
 * table the document's top-level elements name, in batches of 50 names.
 * FALSE when the document does not load or parse, or a save failed. */
BOOL SaveDataInXML(const char *path);

#endif
