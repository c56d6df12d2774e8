/* Table persistence end to end on each engine, through InitCParlo on a
 * fresh database: the dictionary's tables are created and the default rows
 * stored; a new, a modified and a deleted row become one INSERT, one UPDATE
 * and one DELETE; after a restart the loaded rows equal the saved ones value
 * by value; a duplicate key is reported on every retry; and on the servers,
 * a database stopped in the middle of SaveTable loses and duplicates no row
 * once it is back. The statements are watched through a provider placed in
 * front of the engine's provider on the table's connection. */
#include "records/db/connparams.h"
#include "records/base/textvalue.h"
#include "records/db/connpool.h"
#include "records/cparlo.h"
#include "records/store/criteria.h"
#include "records/db/dbprovider.h"
#include "records/db/odbcadapter.h"
#include "records/dict/tabledefn.h"
#include "records/object/dataobject.h"
#include "records/persist/persist.h"
#include "records/sql/sqltext.h"
#include "records/store/tablestore.h"
#include "records/store/notify.h"
#include "support/cutproxy.h"
#include "support/records/dbengine.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <functional>
#include <string>
#include <vector>

namespace {

/* A table with a column of each kind of value the framework stores, and one
 * of a type it does not know (no column in the database). */
const char kValsDictionary[] =
    "<?xml version=\"1.0\"?>\n<data-dictionary><table name=\"PersistVals\"><columns>\n"
    "<column name=\"ID\"><data-type>BRN_SQL_INT</data-type><nullable>false</nullable></column>\n"
    "<column name=\"I64\"><data-type>BIGINT</data-type></column>\n"
    "<column name=\"F64\"><data-type>BRN_SQL_DOUBLE</data-type></column>\n"
    "<column name=\"TXT\"><data-type>BRN_SQL_CHAR</data-type><max-size>40</max-size></column>\n"
    "<column name=\"NOTE\"><data-type>TEXT</data-type></column>\n"
    "<column name=\"D\"><data-type>DATE</data-type></column>\n"
    "<column name=\"DT\"><data-type>DATETIME</data-type></column>\n"
    "<column name=\"B\"><data-type>BOOLEAN</data-type></column>\n"
    "<column name=\"N\"><data-type>BRN_SQL_INT</data-type></column>\n"
    "<column name=\"T\"><data-type>TIME</data-type></column>\n"
    "<column name=\"ODD\"><data-type>GEOMETRY</data-type></column>\n"
    "</columns><primary-key><primary-key-column>ID</primary-key-column></primary-key></table>\n"
    "</data-dictionary>\n";

/* Rows of PersistVals as texts (NULL: a NULL value). */
typedef std::vector<const char *> TextRow;
const TextRow kKept = {"1", "9007199254740993", "2.5", "it's kept", "a longer note", "2024-02-29",
                       "2023-12-31 23:59:58", "TRUE", nullptr, "23:59:58", nullptr};
const TextRow kChanged = {"2", "-5", "0.1234567", "before", nullptr, "1999-01-01", "2000-01-01 00:00:00",
                          "FALSE", "7", "00:00:00", nullptr};
const TextRow kDropped = {"3", "0", "0", "dropped", "x", "2001-02-03", "2001-02-03 04:05:06", "TRUE", "0",
                          "12:00:00", nullptr};
const TextRow kAdded = {"4", "123456789012", "1e-3", "new \"row\"", "", "2030-12-31", "2030-12-31 12:00:00",
                        "FALSE", nullptr, "01:02:03", nullptr};

/* The statements run on the watched connection, and a step to take before
 * the n-th of them runs. */
struct Watch {
    std::vector<std::string> statements;
    size_t before = 0;
    std::function<void()> step;
};
Watch g_watch;
DBProvider g_watchProvider;
BOOL (*g_watchedUpdate)(void *connection, const char *statement);

BOOL watchedUpdate(void *connection, const char *statement)
{
    g_watch.statements.push_back(statement ? statement : "");
    if (g_watch.step && g_watch.statements.size() == g_watch.before)
        g_watch.step();
    return g_watchedUpdate(connection, statement);
}

/* Puts the watching provider in front of the pool's connection. */
bool WatchConnection(const char *connectionName)
{
    DBConnection *c = GetConnectionHandle(connectionName);
    const DBProvider *inner = c ? GetDBProviderSlot(c->slot) : nullptr;
    if (!inner)
        return false;
    g_watchProvider = *inner;
    g_watchedUpdate = inner->executeUpdate;
    g_watchProvider.name = "PERSISTWATCH";
    g_watchProvider.executeUpdate = watchedUpdate;
    /* Both slots are taken (ODBC and SQLITE): the watcher takes the one
     * of the provider this connection does not use. */
    for (INT32 i = 0; i < CPARLO_PROVIDER_SLOTS; i++)
        if (i != c->slot && GetDBProviderSlot(i))
            UnloadDBProvider(GetDBProviderSlot(i)->name);
    RegisterDBProvider(&g_watchProvider);
    INT32 slot = LoadDBProviderByName("PERSISTWATCH");
    if (slot < 0)
        return false;
    c->slot = slot;
    ReleaseConnectionHandle(connectionName);
    g_watch = Watch();
    return true;
}

int CountStatements(const char *verb)
{
    int n = 0;
    for (const std::string &s : g_watch.statements)
        n += strncasecmp(s.c_str(), verb, strlen(verb)) == 0;
    return n;
}

RowObject *MakeRow(const TextRow &texts)
{
    TableDefn *d = GetTableDefn("PersistVals");
    BYTE **values = (BYTE **)calloc(texts.size(), sizeof(BYTE *));
    INT32 *sizes = (INT32 *)calloc(texts.size(), sizeof(INT32));
    for (size_t i = 0; i < texts.size(); i++) {
        if (!texts[i])
            continue;
        sizes[i] = (INT32)strlen(texts[i]);
        values[i] = ConvertTextToValue(texts[i], &sizes[i], d->columns[i]->type);
    }
    return CreateNewRowObject(values, sizes);
}

/* The row of PersistVals with that ID, or NULL. */
RowObject *FindRow(INT32 id)
{
    TableData *t = GetTableDataByName("PersistVals");
    for (RowObject *r = t ? t->firstRow : nullptr; r; r = r->next)
        if (r->values[0] && *(INT32 *)r->values[0] == id)
            return r;
    return nullptr;
}

/* Each cell as "size:text" by the column's type, for comparing rows. */
std::string Describe(const RowObject *row)
{
    TableDefn *d = GetTableDefn("PersistVals");
    std::string out;
    for (INT32 i = 0; i < d->columnCount; i++) {
        char *text = row->values[i] ? ConvertValueToText(row->values[i], row->sizes[i], d->columns[i]->type) : nullptr;
        std::string shown = text ? text : "?";
        out += row->values[i] ? std::to_string(row->sizes[i]) + ":" + shown : "NULL";
        out += "|";
        free(text);
    }
    return out;
}

int CountInDatabase(const char *query)
{
    DBConnection *c = GetConnectionHandle("cparlodb");
    ResultSet *set = c ? ExecuteQuery(c, query) : nullptr;
    int n = set && set->firstRow && set->firstRow->cells[0].text ? atoi(set->firstRow->cells[0].text) : -1;
    FreeResultSet(set);
    ReleaseConnectionHandle("cparlodb");
    return n;
}

/* Runs an engine script command through Wine's start of a Unix program and
 * waits for its marker file. */
bool RunEngineScript(const std::string &command)
{
    const char *script = getenv("VQ_DBENGINES");
    const char *dir = getenv("VQ_DB_DIR");
    if (!script || !dir)
        return false;
    std::string marker = std::string(dir) + "/persist-step.done";
    std::string winMarker = "Z:" + marker;
    DeleteFileA(winMarker.c_str());
    std::string line = "sh -c \"'" + std::string(script) + "' " + command + " '" + dir + "' >'" + dir +
                       "/persist-step.log' 2>&1; touch '" + marker + "'\"";
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    if (!CreateProcessA("Z:\\bin\\sh", &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    if (pi.hThread)
        CloseHandle(pi.hThread);
    for (int i = 0; i < 1200; i++) {
        if (GetFileAttributesA(winMarker.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(100);
    }
    return false;
}

class Persist : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_ = vqt::CurrentDbEngine();
        ASSERT_NE(nullptr, engine_) << "VQ_DB_ENGINE names no engine: run through CTest";
        ASSERT_TRUE(CreateDirectoryA(root_.file("data").c_str(), NULL));
        for (const char *f : {"agentdictionary.xml", "defaultdata.txt", "defaultdata.xml"})
            ASSERT_TRUE(vqt::CopyFileTo(std::string(VQ_DATA_DIR) + "/" + f, root_.file("data\\" + std::string(f))));
        std::string map = vqt::ReadWholeFile(std::string(VQ_DATA_DIR) + "/dsn_table_map.txt");
        std::string list = vqt::ReadWholeFile(std::string(VQ_DATA_DIR) + "/loadtablelist.txt");
        ASSERT_FALSE(map.empty());
        ASSERT_FALSE(list.empty());
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\dsn_table_map.txt"), map + "PersistVals cparlodb\n"));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\loadtablelist.txt"), list + "PersistVals\n"));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\datadictionary.txt"), "agentdictionary.xml\nvals.xml\n"));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\vals.xml"), kValsDictionary));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\connparams.txt"), engine_->record));

        /* A fresh database: none of the tables exists. */
        INT32 n = 0;
        ASSERT_TRUE(LoadConnParamsEntryFromFile(root_.file("data\\connparams.txt").c_str()));
        const DBProvider *p = vqt::DbEngineProvider(engine_);
        void *conn = p->openConnection(GetConnParamsEntries(&n)[0]);
        ASSERT_NE(nullptr, conn);
        for (const char *t : {"Agentparams", "SeqGenState", "AgentEvents", "PersistVals"})
            p->executeUpdate(conn, (std::string("drop table ") + t).c_str());
        p->closeConnection(conn);
        FreeAllConnParamsEntries();
        rootPath_ = root_.path();
    }
    /* The framework is stopped only when a test started it. */
    void TearDown() override
    {
        if (started_)
            DeInitCParlo();
    }

    bool Start()
    {
        started_ = true;
        bool ok = InitCParlo((char *)rootPath_.c_str());
        return ok && WatchConnection("cparlodb");
    }
    std::string Log() { return vqt::ReadWholeFile(root_.file("logs\\cparlo.log")); }
    static int Occurrences(const std::string &text, const std::string &part)
    {
        int n = 0;
        for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1))
            n++;
        return n;
    }

    const vqt::DbEngine *engine_ = nullptr;
    vqt::ScratchDir root_{"persist"};
    std::string rootPath_;
    bool started_ = false;
};

} // namespace

TEST_F(Persist, FreshDatabaseThenChangedRowsComeBackAfterRestart)
{
    ASSERT_TRUE(Start()) << Log();
    /* Created, default rows stored and loaded as stored rows. */
    TableData *params = GetTableDataByName("Agentparams");
    ASSERT_NE(nullptr, params);
    int defaults = 0;
    for (RowObject *r = params->firstRow; r; r = r->next, defaults++)
        EXPECT_EQ(ROW_FLAG_STORED, r->flags);
    EXPECT_EQ(3, defaults);
    EXPECT_EQ(3, CountInDatabase("select count(*) from Agentparams"));
    EXPECT_EQ(1, CountInDatabase("select count(*) from AgentEvents"));
    EXPECT_EQ(0, CountInDatabase("select count(*) from PersistVals"));

    for (const TextRow *r : {&kKept, &kChanged, &kDropped})
        ASSERT_TRUE(AddNewRow("PersistVals", MakeRow(*r)));
    ASSERT_EQ(1, SaveTable("PersistVals")) << Log();
    EXPECT_EQ(3, CountStatements("insert"));

    /* One new, one modified and one deleted row. */
    g_watch.statements.clear();
    ASSERT_TRUE(AddNewRow("PersistVals", MakeRow(kAdded)));
    ASSERT_TRUE(UpdateRowObject("PersistVals", FindRow(2), "TXT", "after", 5));
    ASSERT_TRUE(DeleteRowObject("PersistVals", FindRow(3)));
    EXPECT_EQ(ROW_FLAG_STORED | ROW_FLAG_MODIFIED, FindRow(2)->flags);
    ASSERT_EQ(1, SaveTable("PersistVals")) << Log();
    EXPECT_EQ(1, CountStatements("insert"));
    EXPECT_EQ(1, CountStatements("update"));
    EXPECT_EQ(1, CountStatements("delete"));
    EXPECT_EQ(3u, g_watch.statements.size());
    std::vector<std::string> saved;
    for (INT32 id : {1, 2, 4}) {
        ASSERT_NE(nullptr, FindRow(id)) << id;
        EXPECT_EQ(ROW_FLAG_STORED, FindRow(id)->flags) << id;
        saved.push_back(Describe(FindRow(id)));
    }
    EXPECT_EQ(nullptr, FindRow(3));

    /* Saving again writes nothing. */
    g_watch.statements.clear();
    EXPECT_EQ(1, SaveTable("PersistVals"));
    EXPECT_TRUE(g_watch.statements.empty());

    DeInitCParlo();
    started_ = false;
    ASSERT_TRUE(Start()) << Log();
    EXPECT_EQ(3, CountInDatabase("select count(*) from Agentparams")) << "default data stored twice";
    ASSERT_NE(nullptr, GetTableDataByName("PersistVals"));
    std::vector<std::string> loaded;
    for (INT32 id : {1, 2, 4}) {
        ASSERT_NE(nullptr, FindRow(id)) << id;
        EXPECT_EQ(ROW_FLAG_STORED, FindRow(id)->flags);
        loaded.push_back(Describe(FindRow(id)));
    }
    EXPECT_EQ(saved, loaded);
    EXPECT_EQ(nullptr, FindRow(3));
    EXPECT_NE(std::string::npos, loaded[1].find(":after|")) << loaded[1];
}

/* What a listener of deletions saw when it selected the table from its
 * notification. */
struct SelectingListener {
    int calls = 0;
    INT32 deletedId = -1;
    INT32 rowsLeft = -1;
};
SelectingListener g_selecting;

void selectOnDelete(IMDSNotification *n, const char *)
{
    g_selecting.calls++;
    g_selecting.deletedId = n->row->values[0] ? *(INT32 *)n->row->values[0] : -1;
    ResultData *r = SelectRows("PersistVals", "ID > 0");
    g_selecting.rowsLeft = r ? r->rowCount : -1;
    FreeResultData(r);
}

DWORD WINAPI saveOnThread(void *)
{
    return (DWORD)SaveTable("PersistVals");
}

/* A listener that selects the table from the notification of a row that
 * SaveTable deleted gets its answer (the criteria lock is free by then)
 * and the save completes. */
TEST_F(Persist, ListenerSelectingFromADeleteNotificationDuringSave)
{
    ASSERT_TRUE(Start()) << Log();
    ASSERT_TRUE(AddNewRow("PersistVals", MakeRow(kKept)));
    ASSERT_TRUE(AddNewRow("PersistVals", MakeRow(kDropped)));
    ASSERT_EQ(1, SaveTable("PersistVals"));
    static char table[] = "PersistVals";
    static char *tables[] = {table, nullptr};
    g_selecting = SelectingListener();
    ASSERT_TRUE(AddNotificationListener("selector", ROW_FLAG_DELETED, selectOnDelete, 1, tables));
    ASSERT_TRUE(DeleteRowObject("PersistVals", FindRow(3)));
    HANDLE thread = CreateThread(nullptr, 0, saveOnThread, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    DWORD wait = WaitForSingleObject(thread, 180000);
    DWORD saved = 0;
    GetExitCodeThread(thread, &saved);
    CloseHandle(thread);
    RemoveNotification("selector");
    ASSERT_EQ(WAIT_OBJECT_0, wait) << "SaveTable did not end: the listener waits for the criteria lock";
    EXPECT_EQ(1u, saved) << Log();
    EXPECT_EQ(1, g_selecting.calls);
    EXPECT_EQ(3, g_selecting.deletedId);
    EXPECT_EQ(1, g_selecting.rowsLeft);
    EXPECT_EQ(nullptr, FindRow(3));
    EXPECT_EQ(1, CountInDatabase("select count(*) from PersistVals"));
}

TEST_F(Persist, DuplicateKeyInsertIsReportedOnEveryRetry)
{
    ASSERT_TRUE(Start()) << Log();
    ASSERT_TRUE(AddNewRow("PersistVals", MakeRow(kKept)));
    ASSERT_EQ(1, SaveTable("PersistVals"));
    RowObject *twin = MakeRow(kKept);
    ASSERT_TRUE(AddNewRow("PersistVals", twin));
    for (int attempt = 1; attempt <= 2; attempt++) {
        EXPECT_EQ(0, SaveTable("PersistVals")) << attempt;
        EXPECT_EQ(ROW_FLAG_NEW, twin->flags);
        EXPECT_EQ(attempt, Occurrences(Log(), "Error in executing update query")) << Log();
    }
    EXPECT_EQ(3, CountStatements("insert"));
    EXPECT_EQ(1, CountInDatabase("select count(*) from PersistVals"));
}

TEST_F(Persist, DatabaseStoppedDuringSaveLosesAndDuplicatesNothing)
{
    if (vqt::IsSqliteEngine(engine_->name))
        GTEST_SKIP() << "the embedded database cannot be stopped";
    ASSERT_TRUE(Start()) << Log();
    const int kRows = 6;
    char text[16];
    for (int i = 1; i <= kRows; i++) {
        snprintf(text, sizeof text, "%d", 100 + i);
        TextRow r = kKept;
        r[0] = text;
        ASSERT_TRUE(AddNewRow("PersistVals", MakeRow(r)));
    }
    /* The server goes down before the third INSERT runs. */
    std::string engine = engine_->name;
    bool stopped = false;
    g_watch.before = 3;
    g_watch.step = [&] { stopped = RunEngineScript("stop-" + engine); };
    EXPECT_EQ(0, SaveTable("PersistVals"));
    ASSERT_TRUE(stopped) << "the engine script did not run";
    int stored = 0, waiting = 0;
    for (RowObject *r = GetTableDataByName("PersistVals")->firstRow; r; r = r->next) {
        stored += r->flags == ROW_FLAG_STORED;
        waiting += r->flags == ROW_FLAG_NEW;
    }
    EXPECT_EQ(2, stored);
    EXPECT_EQ(kRows - 2, waiting);

    ASSERT_TRUE(RunEngineScript("resume-" + engine));
    g_watch.step = nullptr;
    /* The first save after the restart meets the lost connection, renews
     * it and completes. */
    EXPECT_EQ(1, SaveTable("PersistVals")) << Log();
    for (RowObject *r = GetTableDataByName("PersistVals")->firstRow; r; r = r->next)
        EXPECT_EQ(ROW_FLAG_STORED, r->flags);
    EXPECT_EQ(kRows, CountInDatabase("select count(*) from PersistVals"));
    EXPECT_EQ(kRows, CountInDatabase("select count(distinct ID) from PersistVals"));
}

/* The engine's own port, as the fixture script wrote it. */
static WORD EnginePort(const char *engine)
{
    std::string text = vqt::ReadWholeFile(vqt::DbEngineFile((std::string(engine) + "/port").c_str()));
    return (WORD)atoi(text.c_str());
}

/* The framework started on the engine behind a relay of the test's own,
 * which can lose the answer to an INSERT of PersistVals: it commits and
 * the relay swallows the answer and closes both sides. MariaDB runs the
 * INSERT as it arrives, so its answer is cut; PostgreSQL first parses it
 * and answers that, so the cut waits for the answer after the commit. */
class LostAnswer : public Persist {
protected:
    vqt::CutProxy *proxy_ = nullptr;

    void SetUp() override
    {
        Persist::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (vqt::IsSqliteEngine(engine_->name))
            GTEST_SKIP() << "the embedded database has no connection to lose";
        WORD port = EnginePort(engine_->name);
        ASSERT_NE(0, port);
        proxy_ = vqt::StartCutProxy(port);
        ASSERT_NE(nullptr, proxy_);
        char record[256];
        if (strcmp(engine_->name, "mysql") == 0)
            snprintf(record, sizeof record,
                     "my 0 vqmysql vq vq 0 cparlodb ODBC MYSQL yes DSN=vqmysql;UID=vq;PWD=vq;PORT=%u;\n",
                     (unsigned)vqt::CutProxyPort(proxy_));
        else
            snprintf(record, sizeof record,
                     "pg 0 vqpgsql vq NULL 0 cparlodb ODBC PGSQL yes DSN=vqpgsql;UID=vq;Port=%u;\n",
                     (unsigned)vqt::CutProxyPort(proxy_));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\connparams.txt"), record));
        ASSERT_TRUE(Start()) << Log();
    }

    void TearDown() override
    {
        if (started_) {
            DeInitCParlo();
            started_ = false;
        }
        vqt::StopCutProxy(proxy_);
        Persist::TearDown();
    }

    /* The next INSERT of PersistVals loses its answer; with `refuseAfter`
     * the relay then refuses new connections until reopened. */
    void Arm(bool refuseAfter)
    {
        if (strcmp(engine_->name, "pgsql") == 0)
            vqt::ArmCutProxyOnAnswer(proxy_, "INSERT 0 1", refuseAfter);
        else
            vqt::ArmCutProxy(proxy_, " PersistVals values(", refuseAfter);
    }

    /* Another table's save, which renews the connection. */
    void RenewThroughAnotherTable()
    {
        RowObject *param = GetTableDataByName("Agentparams")->firstRow;
        ASSERT_NE(nullptr, param);
        ASSERT_TRUE(UpdateRowObject("Agentparams", param, "param_Value", "changed", 8));
        EXPECT_EQ(1, SaveTable("Agentparams")) << "renews the connection: " << Log();
    }
};

/* Where the connection opens again at once, the same save settles the row
 * against the database; where it cannot (the relay refuses), the row is
 * remembered and the first later save that can ask the database settles
 * it, even after another table's save has renewed the connection. Never a
 * second copy, never a save that fails for ever with a duplicate key. */
TEST_F(LostAnswer, CommittedInsertOfATableRowIsSettled)
{
    vqt::CutProxy *proxy = proxy_;
    /* Renewed at once: settled in the same save. */
    RowObject *kept = MakeRow(kKept);
    ASSERT_TRUE(AddNewRow("PersistVals", kept));
    Arm(false);
    EXPECT_EQ(1, SaveTable("PersistVals")) << Log();
    EXPECT_EQ(1, vqt::CutProxyCuts(proxy));
    EXPECT_EQ(ROW_FLAG_STORED, kept->flags);
    EXPECT_NE(std::string::npos, Log().find("was stored before the connection was lost")) << Log();

    /* Not renewed: the save fails, the row waits; another table's save
     * renews the connection; the next save of the table settles the row. */
    RowObject *added = MakeRow(kAdded);
    ASSERT_TRUE(AddNewRow("PersistVals", added));
    Arm(true);
    EXPECT_EQ(0, SaveTable("PersistVals"));
    EXPECT_EQ(2, vqt::CutProxyCuts(proxy));
    EXPECT_LE(1, vqt::CutProxyRefusals(proxy));
    EXPECT_EQ(ROW_FLAG_NEW, added->flags);
    vqt::ReopenCutProxy(proxy);
    RenewThroughAnotherTable();
    ASSERT_TRUE(AddNewRow("PersistVals", MakeRow(kChanged)));
    EXPECT_EQ(1, SaveTable("PersistVals")) << Log();
    EXPECT_EQ(ROW_FLAG_STORED, FindRow(2)->flags);
    EXPECT_EQ(ROW_FLAG_STORED, added->flags);
    EXPECT_NE(std::string::npos, Log().find("was stored before an earlier save lost its connection")) << Log();
    EXPECT_EQ(3, CountInDatabase("select count(*) from PersistVals"));
    EXPECT_EQ(3, CountInDatabase("select count(distinct ID) from PersistVals"));
}

/* The same for a row unit of a data object, saved by SaveRowUnit. */
TEST_F(LostAnswer, CommittedInsertOfARowUnitIsSettled)
{
    auto unitOf = [](const TextRow &texts) {
        RowObject *r = MakeRow(texts);
        RowUnit *u = CreateRowUnit("PersistVals", r->values, r->sizes);
        FreeRowObject(r, GetTableDefn("PersistVals")->columnCount);
        if (u)
            u->state = ROW_FLAG_NEW;
        return u;
    };
    RowUnit *kept = unitOf(kKept), *added = unitOf(kAdded);
    ASSERT_TRUE(kept && added);
    Arm(false);
    EXPECT_EQ(1, SaveRowUnit(kept, nullptr)) << Log();
    EXPECT_EQ(ROW_FLAG_STORED, kept->state);
    EXPECT_NE(std::string::npos, Log().find("SaveRowUnit : a row of PersistVals was stored before the connection was lost"));

    Arm(true);
    EXPECT_EQ(0, SaveRowUnit(added, nullptr));
    EXPECT_EQ(2, vqt::CutProxyCuts(proxy_));
    EXPECT_EQ(ROW_FLAG_NEW, added->state);
    vqt::ReopenCutProxy(proxy_);
    RenewThroughAnotherTable();
    EXPECT_EQ(1, SaveRowUnit(added, nullptr)) << Log();
    EXPECT_EQ(ROW_FLAG_STORED, added->state);
    EXPECT_NE(std::string::npos,
              Log().find("SaveRowUnit : a row of PersistVals was stored before an earlier save lost its connection"));
    EXPECT_EQ(2, CountInDatabase("select count(*) from PersistVals"));
    FreeRowUnit(kept);
    FreeRowUnit(added);
}
