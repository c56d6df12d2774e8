/* Data objects filled from each engine's database: personalities by
 * criteria, by row unit and several at once (a row reached through two of
 * them is held once), deep retrieval of a data object holding dominant rows
 * only, and a select-query model. Customers 1 and 2; orders 10 and 11 of
 * customer 1, 20 of customer 2; lines 10/1, 10/2 and 20/1. */
#include "records/cparlo.h"
#include "records/db/connpool.h"
#include "records/object/dataobject.h"
#include "records/object/personality.h"
#include "records/base/coltypes.h"
#include "support/records/dbengine.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <functional>
#include <string>

namespace {

const char kDictionary[] =
    "<?xml version=\"1.0\"?>\n<data-dictionary>\n"
    "<table name=\"DoCust\"><columns>"
    "<column name=\"CUST_ID\"><data-type>BRN_SQL_INT</data-type></column>"
    "<column name=\"NAME\"><data-type>BRN_SQL_CHAR</data-type><max-size>20</max-size></column>"
    "</columns><primary-key><primary-key-column>CUST_ID</primary-key-column></primary-key></table>\n"
    "<table name=\"DoOrder\"><columns>"
    "<column name=\"ORDER_ID\"><data-type>BRN_SQL_INT</data-type></column>"
    "<column name=\"CUST_ID\"><data-type>BRN_SQL_INT</data-type></column>"
    "</columns><primary-key><primary-key-column>ORDER_ID</primary-key-column></primary-key>"
    "<foreign-keys><foreign-key name=\"fk_doorder_cust\" reference-table-name=\"DoCust\"><fk-columns><fk-column>"
    "<fk-local-column>CUST_ID</fk-local-column><fk-reference-column>CUST_ID</fk-reference-column>"
    "</fk-column></fk-columns></foreign-key></foreign-keys></table>\n"
    "<table name=\"DoLine\"><columns>"
    "<column name=\"ORDER_ID\"><data-type>BRN_SQL_INT</data-type></column>"
    "<column name=\"LINE_NO\"><data-type>BRN_SQL_INT</data-type></column>"
    "</columns><primary-key><primary-key-column>ORDER_ID</primary-key-column>"
    "<primary-key-column>LINE_NO</primary-key-column></primary-key>"
    "<foreign-keys><foreign-key name=\"fk_doline_order\" reference-table-name=\"DoOrder\"><fk-columns><fk-column>"
    "<fk-local-column>ORDER_ID</fk-local-column><fk-reference-column>ORDER_ID</fk-reference-column>"
    "</fk-column></fk-columns></foreign-key></foreign-keys></table>\n"
    "<table name=\"DoFlag\"><columns>"
    "<column name=\"ACTIVE\"><data-type>BOOLEAN</data-type></column>"
    "<column name=\"SERIAL\"><data-type>BRN_SQL_UNSIGNED_INT</data-type></column>"
    "</columns><primary-key><primary-key-column>ACTIVE</primary-key-column>"
    "<primary-key-column>SERIAL</primary-key-column></primary-key></table>\n"
    "<table name=\"DoFlagNote\"><columns>"
    "<column name=\"NOTE_ID\"><data-type>BRN_SQL_INT</data-type></column>"
    "<column name=\"ACTIVE\"><data-type>BOOLEAN</data-type></column>"
    "<column name=\"SERIAL\"><data-type>BRN_SQL_UNSIGNED_INT</data-type></column>"
    "</columns><primary-key><primary-key-column>NOTE_ID</primary-key-column></primary-key>"
    "<foreign-keys><foreign-key name=\"fk_note_flag\" reference-table-name=\"DoFlag\"><fk-columns>"
    "<fk-column><fk-local-column>ACTIVE</fk-local-column><fk-reference-column>ACTIVE</fk-reference-column></fk-column>"
    "<fk-column><fk-local-column>SERIAL</fk-local-column><fk-reference-column>SERIAL</fk-reference-column></fk-column>"
    "</fk-columns></foreign-key></foreign-keys></table>\n"
    "</data-dictionary>\n";

const char kPersonalities[] =
    "<?xml version=\"1.0\"?><Personalities>"
    "<PersonalityConfiguration personalityname=\"CustOrders\" dominanttableid=\"DoCust\"/>"
    "<ConstituentTable tableindex=\"1\" tableid=\"DoOrder\" fkconstraint_id=\"fk_doorder_cust\"/>"
    "<ConstituentTable tableindex=\"2\" tableid=\"DoLine\" fkconstraint_id=\"fk_doline_order\"/>"
    "<PersonalityConfiguration personalityname=\"OrderLines\" dominanttableid=\"DoOrder\"/>"
    "<ConstituentTable tableindex=\"1\" tableid=\"DoLine\" fkconstraint_id=\"fk_doline_order\"/>"
    "<PersonalityConfiguration personalityname=\"FlagNotes\" dominanttableid=\"DoFlag\"/>"
    "<ConstituentTable tableindex=\"1\" tableid=\"DoFlagNote\" fkconstraint_id=\"fk_note_flag\"/>"
    "</Personalities>";

class DataObjectDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        const vqt::DbEngine *engine = vqt::CurrentDbEngine();
        ASSERT_NE(nullptr, engine) << "VQ_DB_ENGINE names no engine: run through CTest";
        ASSERT_TRUE(CreateDirectoryA(root_.file("data").c_str(), NULL));
        const std::pair<const char *, const char *> files[] = {
            {"datadictionary.txt", "dobj.xml\n"},
            {"dobj.xml", kDictionary},
            {"dsn_table_map.txt", "DoCust cparlodb\nDoOrder cparlodb\nDoLine cparlodb\nDoFlag cparlodb\nDoFlagNote cparlodb\n"},
            {"connparams.txt", engine->record},
            {"loadtablelist.txt", ""},
            {"personality.xml", kPersonalities},
        };
        for (const auto &f : files)
            ASSERT_TRUE(vqt::WriteWholeFile(root_.file(std::string("data\\") + f.first), f.second));
        std::string root = root_.path();
        started_ = true;
        ASSERT_TRUE(InitCParlo((char *)root.c_str()));
        ASSERT_EQ(1, CreatePersonalityFromXMLFile(root_.file("data\\personality.xml").c_str()));
        /* Start-up creates the tables only on a database that has none of
         * them; an earlier test may have made the first three. */
        CreateTableInDB("DoFlag", "cparlodb");
        CreateTableInDB("DoFlagNote", "cparlodb");
        DBConnection *c = GetConnectionHandle("cparlodb");
        ASSERT_NE(nullptr, c);
        /* The flags are stored by the engine's own TRUE and FALSE, so the
         * conditions the framework writes must match the engine's form. */
        for (const char *s : {"delete from DoLine", "delete from DoOrder", "delete from DoCust",
                              "delete from DoFlagNote", "delete from DoFlag",
                              "insert into DoCust values (1, 'Ann'), (2, 'Bob')",
                              "insert into DoOrder values (10, 1), (11, 1), (20, 2)",
                              "insert into DoLine values (10, 1), (10, 2), (20, 1)",
                              "insert into DoFlag values (TRUE, 3000000000), (FALSE, 3000000000), (FALSE, 7)",
                              "insert into DoFlagNote values (1, TRUE, 3000000000), (2, TRUE, 3000000000), "
                              "(3, FALSE, 3000000000), (4, FALSE, 7)"})
            EXPECT_TRUE(ExecuteUpdate(c, s)) << s;
        ReleaseConnectionHandle("cparlodb");
    }
    void TearDown() override
    {
        FreePersonalities();
        if (started_)
            DeInitCParlo();
    }
    /* "table:count" per collection, in order; "NULL" for no data object. */
    static std::string Shape(DataObject *d)
    {
        if (!d)
            return "NULL";
        std::string out;
        for (RowCollection *c = d->collections; c; c = c->next) {
            out += std::string(c->tableName) + ":" + std::to_string(c->count) + " ";
            for (RowUnit *u = c->first; u; u = u->next)
                if (u->state != ROW_FLAG_STORED)
                    out += "(unit not stored) ";
        }
        FreeDataObject(d);
        return out;
    }
    vqt::ScratchDir root_{"dobjdb"};
    bool started_ = false;
};

} // namespace

TEST_F(DataObjectDb, RetrievalByPersonalityRowUnitQueryAndDeepRetrieval)
{
    const char *custOrders[] = {"CustOrders"};
    const char *both[] = {"CustOrders", "OrderLines"};
    RowUnit *cust2 = CreateRowUnit("DoCust", nullptr, nullptr);
    INT32 two = 2, one = 1;
    ASSERT_TRUE(SetValueForRowUnit(cust2, "CUST_ID", &two, 4));
    const struct {
        const char *what;
        std::function<DataObject *()> fetch;
        const char *shape;
    } cases[] = {
        {"by criteria", [&] { return GetDOFromPersonalitiesByCriteria(custOrders, 1, "CUST_ID = 1"); },
         "DoCust:1 DoOrder:2 DoLine:2 "},
        {"two personalities, shared rows once", [&] { return GetDOFromPersonalities(both, 2); },
         "DoCust:2 DoOrder:3 DoLine:3 "},
        {"by row unit", [&] { return GetDOFromPersonalitiesByRowUnit(custOrders, 1, cust2); },
         "DoCust:1 DoOrder:1 DoLine:1 "},
        {"deep retrieval, twice",
         [&] {
             DataObject *d = GetDataObjectByCriteria("DoCust", "CUST_ID = 2");
             EXPECT_TRUE(DeepRetrieveDO(d, "CustOrders"));
             EXPECT_TRUE(DeepRetrieveDO(d, "CustOrders"));
             return d;
         },
         "DoCust:1 DoOrder:1 DoLine:1 "},
        {"select-query model",
         [&] {
             SelectQuery *q = CreateSelectQuery();
             AddSelectTable(q, "DoOrder", nullptr);
             q->criteria = CreateCriteriaCompare(q, "DoOrder", nullptr, "CUST_ID", BRN_SQL_INT, SQL_OP_EQ, &one, 4);
             DataObject *d = GetDataObject(q);
             FreeSelectQuery(q);
             return d;
         },
         "DoOrder:2 "},
        {"failing query", [&] { return GetDOFromPersonalitiesByCriteria(both, 2, "NO_SUCH_COLUMN = 1"); }, "NULL"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.shape, Shape(c.fetch())) << c.what;
    FreeRowUnit(cust2);
}

/* Keys of a BOOLEAN and an unsigned 32-bit column above 2^31: the key
 * conditions of a row unit's personality and of deep retrieval must find the
 * stored rows on every engine. */
TEST_F(DataObjectDb, BooleanAndUnsignedKeysFindTheirRows)
{
    const char *flagNotes[] = {"FlagNotes"};
    RowUnit *unit = CreateRowUnit("DoFlag", nullptr, nullptr);
    BYTE inactive = 0;
    UINT32 serial = 3000000000u;
    ASSERT_TRUE(SetValueForRowUnit(unit, "ACTIVE", &inactive, 1));
    ASSERT_TRUE(SetValueForRowUnit(unit, "SERIAL", &serial, 4));
    const struct {
        const char *what;
        std::function<DataObject *()> fetch;
        const char *shape;
    } cases[] = {
        {"by row unit (false, 3000000000)", [&] { return GetDOFromPersonalitiesByRowUnit(flagNotes, 1, unit); },
         "DoFlag:1 DoFlagNote:1 "},
        {"deep retrieval of both flags",
         [&] {
             DataObject *d = GetDataObjectByCriteria("DoFlag", "SERIAL = 3000000000");
             EXPECT_TRUE(DeepRetrieveDO(d, "FlagNotes"));
             return d;
         },
         "DoFlag:2 DoFlagNote:3 "},
        {"every flag", [&] { return GetDOFromPersonalities(flagNotes, 1); }, "DoFlag:3 DoFlagNote:4 "},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.shape, Shape(c.fetch())) << c.what;
    FreeRowUnit(unit);
}
