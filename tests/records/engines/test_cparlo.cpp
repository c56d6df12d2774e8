/* Framework start-up on each engine with the repository's dictionary: the
 * log, providers, dictionary, table map and connection records are loaded
 * from the framework root's data folder, one pooled connection per record is
 * opened, the dictionary's tables are created in the database and the
 * identifier generator starts; the listed tables are loaded and, the tables
 * being new, the default data is stored. */
#include "records/db/connparams.h"
#include "records/db/connpool.h"
#include "records/cparlo.h"
#include "support/records/dbengine.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>


TEST(CParloStart, StepsOneToElevenRunAndTheDictionaryTablesExist)
{
    const vqt::DbEngine *c = vqt::CurrentDbEngine();
    ASSERT_NE(nullptr, c) << "VQ_DB_ENGINE names no engine: run through CTest";

    vqt::ScratchDir root("cparlo");
    ASSERT_TRUE(CreateDirectoryA(root.file("data").c_str(), NULL));
    for (const char *name : {"datadictionary.txt", "agentdictionary.xml", "dsn_table_map.txt"})
        ASSERT_TRUE(vqt::CopyFileTo(std::string(VQ_DATA_DIR) + "/" + name, root.file("data\\" + std::string(name))));
    ASSERT_TRUE(vqt::WriteWholeFile(root.file("data\\connparams.txt"), c->record));

    /* The tables must not exist before, so that their creation is seen. */
    INT32 n = 0;
    {
        ASSERT_TRUE(LoadConnParamsEntryFromFile(root.file("data\\connparams.txt").c_str()));
        ConnParamsEntry **records = GetConnParamsEntries(&n);
        ASSERT_EQ(1, n);
        const DBProvider *p = vqt::DbEngineProvider(c);
        void *conn = p->openConnection(records[0]);
        ASSERT_NE(nullptr, conn);
        p->executeUpdate(conn, "drop table Agentparams");
        p->executeUpdate(conn, "drop table SeqGenState");
        p->executeUpdate(conn, "drop table AgentEvents");
        p->closeConnection(conn);
        FreeAllConnParamsEntries();
    }

    std::string rootPath = root.path();
    EXPECT_TRUE(InitCParlo((char *)rootPath.c_str()));
    std::string log = vqt::ReadWholeFile(root.file("logs\\cparlo.log"));
    EXPECT_EQ(std::string::npos, log.find("LoadAllDataDictFiles failed")) << log;
    EXPECT_EQ(std::string::npos, log.find("EstablishDBConnections failed")) << log;

    ConnectionPool **pools = GetConnectionPools(&n);
    ASSERT_EQ(1, n);
    EXPECT_STREQ("cparlodb", pools[0]->connectionName);
    DBConnection *conn = GetConnectionHandle("cparlodb");
    ASSERT_NE(nullptr, conn);
    /* Without a default-data list the data tables stay empty. */
    for (const char *table : {"Agentparams", "SeqGenState", "AgentEvents"}) {
        ResultSet *set = ExecuteQuery(conn, (std::string("select * from ") + table).c_str());
        EXPECT_NE(nullptr, set) << table << " was not created";
        if (set && strcmp(table, "SeqGenState") != 0) {
            EXPECT_EQ(0, set->rowCount);
        }
        FreeResultSet(set);
    }
    /* SQLite has no CREATE DATABASE; the servers create one. */
    bool server = !vqt::IsSqliteEngine(c->name);
    ExecuteUpdate(conn, "drop database vqcreated");
    ReleaseConnectionHandle("cparlodb");
    EXPECT_EQ(server ? 1 : 0, CreateDB("vqcreated"));
    conn = GetConnectionHandle("cparlodb");
    ASSERT_NE(nullptr, conn);
    if (server) {
        EXPECT_TRUE(ExecuteUpdate(conn, "drop database vqcreated"));
    } else {
        std::string after = vqt::ReadWholeFile(root.file("logs\\cparlo.log"));
        EXPECT_NE(std::string::npos, after.find("Cannot create database vqcreated.")) << after;
    }
    ReleaseConnectionHandle("cparlodb");
    DeInitCParlo();
    EXPECT_EQ(nullptr, GetConnectionPools(&n));
    EXPECT_EQ(0, n);
}
