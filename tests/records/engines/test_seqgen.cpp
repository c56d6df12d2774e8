/* The sequence generator on each engine, started by InitCParlo with a
 * table of three generators (one named with a quote and a backslash):
 * batches of 300, restart, two threads, a lost state table. */
#include "records/cparlo.h"
#include "records/db/connpool.h"
#include "records/persist/seqgen.h"
#include "records/store/tablestore.h"
#include "support/records/dbengine.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <process.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kItemsDictionary[] =
    "<?xml version=\"1.0\"?>\n<data-dictionary><table name=\"SeqItems\"><columns>\n"
    "<column name=\"ID\"><data-type>BRN_SQL_INT</data-type>\n"
    "  <uniquevalue-generation><generator-name>ItemSeq</generator-name></uniquevalue-generation></column>\n"
    "<column name=\"REF\"><data-type>BRN_SQL_INT</data-type>\n"
    "  <uniquevalue-generation><generator-name>it's\\</generator-name></uniquevalue-generation></column>\n"
    "<column name=\"INST\"><data-type>BRN_SQL_INT</data-type>\n"
    "  <uniquevalue-generation><generator-name>INSTANCE_ID</generator-name></uniquevalue-generation></column>\n"
    "</columns><primary-key><primary-key-column>ID</primary-key-column></primary-key></table></data-dictionary>\n";

class SeqGen : public ::testing::Test {
protected:
    void SetUp() override
    {
        const vqt::DbEngine *engine = vqt::CurrentDbEngine();
        ASSERT_NE(nullptr, engine) << "VQ_DB_ENGINE names no engine: run through CTest";
        const char *record = engine->record;
        ASSERT_TRUE(CreateDirectoryA(root_.file("data").c_str(), NULL));
        ASSERT_TRUE(vqt::CopyFileTo(std::string(VQ_DATA_DIR) + "/agentdictionary.xml",
                                    root_.file("data\\agentdictionary.xml")));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\items.xml"), kItemsDictionary));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\datadictionary.txt"), "agentdictionary.xml\nitems.xml\n"));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\dsn_table_map.txt"),
                                        "Agentparams cparlodb\nSeqGenState cparlodb\nSeqItems cparlodb\n"));
        ASSERT_TRUE(vqt::WriteWholeFile(root_.file("data\\connparams.txt"), record));
        /* A fresh database: every table of the dictionary is created anew. */
        Start();
        for (const char *table : {"Agentparams", "SeqGenState", "AgentEvents", "SeqItems"})
            Update(std::string("drop table ") + table);
        DeInitCParlo();
        Start();
        id_ = GetColumnDefnEntry("SeqItems", "ID");
        ASSERT_NE(nullptr, id_);
        logStart_ = vqt::ReadWholeFile(root_.file("logs\\cparlo.log")).size();
    }
    void TearDown() override { DeInitCParlo(); }

    /* Start-up to the identifier generator; the steps after it are not
     * this test's concern, so its answer is not examined. */
    void Start()
    {
        std::string path = root_.path();
        InitCParlo((char *)path.c_str());
    }
    bool Update(const std::string &statement)
    {
        bool ok = ExecuteUpdate(GetConnectionHandle("cparlodb"), statement.c_str());
        ReleaseConnectionHandle("cparlodb");
        return ok;
    }
    /* The first cell of a query without trailing blanks, "" for none. */
    std::string Value(const std::string &query)
    {
        ResultSet *set = ExecuteQuery(GetConnectionHandle("cparlodb"), query.c_str());
        ReleaseConnectionHandle("cparlodb");
        std::string v = set && set->firstRow && set->firstRow->cells[0].text ? set->firstRow->cells[0].text : "";
        FreeResultSet(set);
        return v.erase(v.find_last_not_of(' ') + 1);
    }
    std::string BatchEnd(const char *generator)
    {
        return Value(std::string("select CURRENTBATCHEND from SeqGenState where SEQNAME = '") + generator + "'");
    }
    /* The framework log since the fresh start. */
    std::string Log()
    {
        std::string all = vqt::ReadWholeFile(root_.file("logs\\cparlo.log"));
        return all.substr(std::min(logStart_, all.size()));
    }

    vqt::ScratchDir root_{"seqgen"};
    ColumnDefn *id_ = nullptr;
    size_t logStart_ = 0;
};

struct Taker {
    ColumnDefn *column;
    HANDLE ready;           /* set by the thread once it runs */
    HANDLE go;              /* set by the test to start both */
    std::vector<DWORD> ids;
};

unsigned __stdcall TakeIds(void *arg)
{
    Taker *t = (Taker *)arg;
    SetEvent(t->ready);
    WaitForSingleObject(t->go, INFINITE);
    for (int i = 0; i < 400; i++) {
        t->ids.push_back(GenerateID("SeqItems", t->column));
        Sleep(1);   /* lets the other thread in between draws */
    }
    return 0;
}

} // namespace

TEST_F(SeqGen, FreshDatabaseReservesBatchesOf300)
{
    EXPECT_EQ("300", BatchEnd("ItemSeq"));
    EXPECT_EQ("300", BatchEnd("INSTANCE_ID"));
    for (DWORD want = 1; want <= 300; want++)
        ASSERT_EQ(want, GenerateID("SeqItems", id_));
    EXPECT_EQ("300", BatchEnd("ItemSeq"));
    EXPECT_EQ(301u, GenerateID("SeqItems", id_));
    EXPECT_EQ("600", BatchEnd("ItemSeq"));

    /* The quoted name reaches the database unchanged. */
    EXPECT_EQ(1u, GenerateID("SeqItems", GetColumnDefnEntry("SeqItems", "REF")));
    EXPECT_EQ("it's\\", Value("select SEQNAME from SeqGenState where CURRENTBATCHEND = 300 and SEQNAME <> 'INSTANCE_ID' and SEQNAME <> 'EventSeq'"));
    EXPECT_EQ(1u, GenerateInstanceID());

    /* The table store fills a NULL identifier cell from the generator. */
    ASSERT_TRUE(GetTableDataByName("SeqItems") || CreateTable("SeqItems"));
    RowObject *row = CreateNewRowObject((BYTE **)calloc(3, sizeof(BYTE *)), (INT32 *)calloc(3, sizeof(INT32)));
    ASSERT_TRUE(AddNewRow("SeqItems", row));
    ASSERT_NE(nullptr, row->values[0]);
    EXPECT_EQ(302, ReadInt32Value(row->values[0], row->sizes[0]));
    EXPECT_EQ(2, ReadInt32Value(row->values[2], row->sizes[2]));
    EXPECT_EQ(std::string::npos, Log().find("SequenceGenerator failed")) << Log();
}

TEST_F(SeqGen, RestartContinuesAboveTheLastBatch)
{
    EXPECT_EQ(1u, GenerateID("SeqItems", id_));
    DeInitCParlo();
    Start();
    id_ = GetColumnDefnEntry("SeqItems", "ID");
    ASSERT_NE(nullptr, id_);
    EXPECT_EQ("600", BatchEnd("ItemSeq"));
    EXPECT_EQ(301u, GenerateID("SeqItems", id_));
}

TEST_F(SeqGen, TwoThreadsNeverShareAnIdentifier)
{
    /* Started one after the other (under CPU emulation threads starting
     * together lose the process), then drawing at the same time. */
    HANDLE go = CreateEventA(NULL, TRUE, FALSE, NULL);
    Taker takers[2] = {{id_, CreateEventA(NULL, FALSE, FALSE, NULL), go, {}},
                       {id_, CreateEventA(NULL, FALSE, FALSE, NULL), go, {}}};
    HANDLE threads[2];
    for (int i = 0; i < 2; i++) {
        threads[i] = (HANDLE)_beginthreadex(NULL, 0, TakeIds, &takers[i], 0, NULL);
        ASSERT_NE(nullptr, threads[i]);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(takers[i].ready, 300000));
    }
    SetEvent(go);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 300000));
    std::vector<DWORD> all;
    for (int i = 0; i < 2; i++) {
        CloseHandle(threads[i]);
        CloseHandle(takers[i].ready);
        all.insert(all.end(), takers[i].ids.begin(), takers[i].ids.end());
    }
    CloseHandle(go);
    std::sort(all.begin(), all.end());
    ASSERT_EQ(800u, all.size());
    for (DWORD i = 0; i < 800; i++)
        ASSERT_EQ(i + 1, all[i]) << "identifiers are not 1..800 exactly once";
    EXPECT_EQ("900", BatchEnd("ItemSeq"));
}

TEST_F(SeqGen, LostStateTableFailsEachTimeInsteadOfRetrying)
{
    ASSERT_TRUE(Update("drop table SeqGenState"));
    for (DWORD want = 1; want <= 300; want++)
        ASSERT_EQ(want, GenerateID("SeqItems", id_));
    EXPECT_EQ(GENERATE_ID_FAILED, GenerateID("SeqItems", id_));
    EXPECT_EQ(GENERATE_ID_FAILED, GenerateID("SeqItems", id_));
    std::string log = Log();
    size_t first = log.find("Table doesn't Exists for UpdateSeqGen");
    ASSERT_NE(std::string::npos, first) << log;
    EXPECT_NE(std::string::npos, log.find("Table doesn't Exists for UpdateSeqGen", first + 1));
    ColumnDefn unknown = {};
    unknown.generatorName = (char *)"NoSuchSeq";
    EXPECT_EQ(GENERATE_ID_FAILED, GenerateID("SeqItems", &unknown));
}
