/* Connection records, pools and providers on the SQLite default: records
 * read from a connparams.txt, hand-out per thread, renewal of aged
 * connections, one environment shared by all connections, the provider
 * slots, and the ODBC installer's failure under Wine. */
#include "agent/log.h"
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/db/dbprovider.h"
#include "records/db/odbcadapter.h"
#include "records/base/reclimits.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <process.h>
#include <string>

namespace {

class Pools : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string file = dir_.file("connparams.txt");
        ASSERT_TRUE(vqt::WriteWholeFile(file,
            "cparlo 0 vqcparlo cparlo NULL 0 pooldb ODBC SQLITE NO\n"
            "raw 0 none nobody secret 0 rawdb ODBC SQLITE yes DSN=vqcparlo;\n"
            "incomplete 0 x y\n"));
        ASSERT_TRUE(LoadConnParamsEntryFromFile(file.c_str()));
        InitDBProvider();
    }
    void TearDown() override
    {
        FreeAllConnectionPools();
        FreeAllConnParamsEntries();
        FreeDBProviders();
    }
    vqt::ScratchDir dir_{"pool"};
};

unsigned __stdcall TakeShared(void *out)
{
    *(DBConnection **)out = GetConnectionHandle("pooldb");
    return 0;
}

} // namespace

TEST_F(Pools, RecordsAreReadWithTheirPasswordAndRawStringRules)
{
    INT32 count = 0;
    ConnParamsEntry **records = GetConnParamsEntries(&count);
    ASSERT_EQ(2, count);
    EXPECT_EQ(nullptr, records[0]->password);
    EXPECT_EQ(0, records[0]->rawStringFlag);
    EXPECT_STREQ("secret", records[1]->password);
    EXPECT_EQ(1, records[1]->rawStringFlag);
    EXPECT_STREQ("DSN=vqcparlo;", records[1]->rawString);
    EXPECT_STREQ("pooldb", GetDefaultConnectionName());
    EXPECT_EQ(records[1], GetConnParamsEntry("rawdb"));
    EXPECT_EQ(nullptr, GetConnParamsEntry("RAWDB"));
}

TEST_F(Pools, BothRecordFormsConnectAndASecondInitDBProviderIsRefused)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(EstablishDBConnections());
    for (const char *name : {"pooldb", "rawdb"}) {
        DBConnection *c = GetConnectionHandle(name);
        ASSERT_NE(nullptr, c) << name;
        ResultSet *set = ExecuteQuery(c, "select 1");
        ASSERT_NE(nullptr, set) << name;
        EXPECT_EQ(1, set->rowCount);
        FreeResultSet(set);
        ReleaseConnectionHandle(name);
    }
    EXPECT_EQ(0, InitDBProvider());
    EXPECT_TRUE(log.has("InitDBProvider Failed as already initialized"));
    EXPECT_NE(nullptr, GetDBProviderSlot(0));
}

TEST_F(Pools, AConnectionIsRenewedOnlyWhenOlderThanTheLimit)
{
    vqt::ScratchLog log(VQ_LOG_LEVEL_DEBUG);
    ASSERT_TRUE(EstablishDBConnections());
    DBConnection *first = GetConnectionHandle("pooldb");
    ASSERT_NE(nullptr, first);
    time_t opened = first->openedAt;
    EXPECT_EQ(first, GetConnectionHandleAt("pooldb", opened + CPARLO_CONNECTION_MAX_AGE));
    EXPECT_EQ(1u, log.linesWith("pooldb : Connection Established").size());
    DBConnection *renewed = GetConnectionHandleAt("pooldb", opened + CPARLO_CONNECTION_MAX_AGE + 1);
    ASSERT_NE(nullptr, renewed);
    EXPECT_EQ(2u, log.linesWith("pooldb : Connection Established").size());
    ResultSet *set = ExecuteQuery(renewed, "select 2");
    ASSERT_NE(nullptr, set);
    FreeResultSet(set);
}

/* A renewal happens in place: whoever holds the connection goes on with it;
 * a failed or refused renewal leaves connection and pool as they were. */
TEST_F(Pools, RenewalKeepsTheConnectionAndThePoolWhole)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(EstablishDBConnectionPool(2));
    DBConnection *held = GetConnectionHandle("pooldb");
    ASSERT_NE(nullptr, held);
    void *oldHandle = held->handle;
    EXPECT_EQ(held, RenewConnectionHandle("pooldb"));
    EXPECT_NE(oldHandle, held->handle);
    ResultSet *set = ExecuteQuery(held, "select 4");
    ASSERT_NE(nullptr, set);
    FreeResultSet(set);

    ConnParamsEntry *record = GetConnParamsEntry("pooldb");
    ASSERT_NE(nullptr, record);
    char *dsn = record->dsn;
    record->dsn = (char *)"vqnowhere";
    void *handle = held->handle;
    EXPECT_EQ(nullptr, RenewConnectionHandle("pooldb"));
    EXPECT_EQ(handle, held->handle);
    /* The age limit passed and the database still gone: the old one is
     * handed out again, and the pool keeps both connections. */
    EXPECT_EQ(held, GetConnectionHandleAt("pooldb", held->openedAt + CPARLO_CONNECTION_MAX_AGE + 1));
    record->dsn = dsn;
    INT32 count = 0;
    ConnectionPool **pools = GetConnectionPools(&count);
    ASSERT_GE(count, 1);
    EXPECT_EQ(2, pools[0]->count);
    set = ExecuteQuery(held, "select 5");
    ASSERT_NE(nullptr, set);
    FreeResultSet(set);

    held->inTransaction = 1;
    EXPECT_EQ(nullptr, RenewConnectionHandle("pooldb"));
    EXPECT_TRUE(log.has("inside a transaction"));
    EXPECT_EQ(handle, held->handle);
    held->inTransaction = 0;
    ReleaseConnectionHandle("pooldb");
    EXPECT_EQ(held, GetConnectionHandle("pooldb"));
}

TEST_F(Pools, ThreadsShareAOneConnectionPool)
{
    ASSERT_TRUE(EstablishDBConnections());
    DBConnection *mine = GetConnectionHandle("pooldb");
    DBConnection *theirs = nullptr;
    HANDLE t = (HANDLE)_beginthreadex(NULL, 0, TakeShared, &theirs, 0, NULL);
    ASSERT_NE((HANDLE)0, t);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_NE(nullptr, mine);
    EXPECT_EQ(mine, theirs);
}

TEST_F(Pools, ClosingOneConnectionLeavesTheOthersWorking)
{
    ASSERT_TRUE(EstablishDBConnectionPool(2));
    INT32 count = 0;
    ConnectionPool **pools = GetConnectionPools(&count);
    ASSERT_EQ(2, count);
    ASSERT_EQ(2, pools[0]->count);
    CloseDBConnection(pools[0]->connections[0]);
    pools[0]->count = 1;
    pools[0]->connections[0] = pools[0]->connections[1];
    ResultSet *set = ExecuteQuery(pools[0]->connections[0], "select 3");
    ASSERT_NE(nullptr, set);
    EXPECT_EQ(1, set->rowCount);
    FreeResultSet(set);
}

TEST_F(Pools, NullConnectionsAndQueriesFailWithTheirMessages)
{
    vqt::ScratchLog log;
    EXPECT_FALSE(ExecuteUpdate(nullptr, "select 1"));
    EXPECT_EQ(nullptr, ExecuteQuery(nullptr, "select 1"));
    EXPECT_TRUE(log.has("ConnectionHandle NULL in ExecuteUpdate for Query select 1"));
    EXPECT_TRUE(log.has("ConnectionHandle NULL in ExecuteQuery for Query select 1"));
    ConnParamsEntry none = {};
    EXPECT_EQ(nullptr, ODBCOpenConnection(&none));
    EXPECT_TRUE(log.has("ODBC connection Parameter missing"));
}

/* Wine's ODBC installer library answers FALSE for every driver and never
 * reaches unixODBC: what can be checked here is that the failure is
 * reported, and the argument checks. */
TEST(OdbcInstaller, CreateDSNReportsTheInstallersRefusal)
{
    vqt::ScratchLog log;
    EXPECT_FALSE(CreateDSN("vqnew", "NULL", "NULL", "u", "NULL", "/tmp/x.db", "VQSQLITE"));
    EXPECT_TRUE(log.has("SQLConfigDataSource returned FALSE"));
    EXPECT_FALSE(CreateDSN(nullptr, "d", "s", "u", "p", "db", "VQSQLITE"));
    EXPECT_TRUE(log.has("DriverName or DSN name is NULL"));

    vqt::ScratchDir dir("dsn");
    std::string list = dir.file("dsns.txt");
    ASSERT_TRUE(vqt::WriteWholeFile(list, "vqone NULL NULL u NULL db   VQ SQLITE driver\n"));
    EXPECT_EQ(1, CreateDSNsFromFile(list.c_str()));
    EXPECT_TRUE(log.has("Creating DSN vqone Failed"));
    EXPECT_EQ(0, CreateDSNsFromFile(dir.file("missing.txt").c_str()));
}
