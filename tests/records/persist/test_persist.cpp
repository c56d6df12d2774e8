/* Persistence without a database: the row-state table of saving, the table
 * lists' failures, the personality file's checks against the dictionary,
 * and data objects in memory (key strings, insert, update, delete, the
 * order of tables for saving). */
#include "records/object/dataobject.h"
#include "records/dict/dictload.h"
#include "records/persist/persist.h"
#include "records/object/personality.h"
#include "records/dict/tabledefn.h"
#include "support/records/recordfixture.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

namespace {

const std::string kData = VQ_RECORDS_TEST_DATA;

class PersistMemory : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/keys.xml").c_str())); }
    void TearDown() override
    {
        FreePersonalities();
        vqt::ClearAll();
    }
    std::string Personality(const std::string &body)
    {
        std::string path = dir_.file("p.xml");
        vqt::WriteWholeFile(path, "<?xml version=\"1.0\"?><Personalities>" + body + "</Personalities>");
        return path;
    }
    vqt::ScratchDir dir_{"persona"};
};

} // namespace

TEST(PersistRowState, ActionByFlags)
{
    const struct {
        BYTE flags;
        RowSaveAction action;
    } cases[] = {
        {0, ROW_SAVE_NOTHING},  {1, ROW_SAVE_NOTHING},    {2, ROW_SAVE_INSERT},     {6, ROW_SAVE_INSERT},
        {5, ROW_SAVE_UPDATE},   {9, ROW_SAVE_DELETE},     {13, ROW_SAVE_DELETE},    {3, ROW_SAVE_LEFT_ALONE},
        {4, ROW_SAVE_LEFT_ALONE}, {7, ROW_SAVE_LEFT_ALONE}, {8, ROW_SAVE_LEFT_ALONE}, {10, ROW_SAVE_LEFT_ALONE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.action, GetRowSaveAction(c.flags)) << (int)c.flags;
}

TEST(PersistLists, MissingListsAndUnknownTables)
{
    vqt::ScratchLog log;
    EXPECT_FALSE(LoadAllTablesFromFile("Z:\\no\\such\\loadtablelist.txt"));
    EXPECT_TRUE(log.has("Cannot open LoadTableList Entry File."));
    EXPECT_EQ(0, SaveTable("NoSuchTable"));
    EXPECT_FALSE(UnLoadTable("NoSuchTable"));
}

TEST_F(PersistMemory, PersonalityFileReadInOrder)
{
    std::string path = Personality(
        "<PersonalityConfiguration personalityname=\"CustomerView\" description=\"d\" dominanttableid=\"Customer\"/>"
        "<ConstituentTable tableindex=\"1\" tableid=\"Orders\" fkconstraint_id=\"FK_ORDERS_CUSTOMER\" mandatory=\"FALSE\"/>"
        "<ConstituentTable tableindex=\"0\" tableid=\"Customer\" fkconstraint_id=\"x\"/>"
        "<ConstituentTable tableindex=\"2\" tableid=\"OrderLine\" fkconstraint_id=\"fk_line_order\" mandatory=\"yes\"/>");
    ASSERT_EQ(1, CreatePersonalityFromXMLFile(path.c_str()));
    PersonalityDefn *p = GetPersonalityDefn("customerview");
    ASSERT_NE(nullptr, p);
    EXPECT_STREQ("Customer", p->dominantTable);
    ASSERT_EQ(2, p->constituentCount);
    EXPECT_STREQ("Orders", p->constituents[0]->tableName);
    EXPECT_EQ(0, p->constituents[0]->mandatory);
    EXPECT_EQ(2, p->constituents[1]->tableIndex);
    EXPECT_EQ(1, p->constituents[1]->mandatory);
    INT32 n = 0;
    const char **dominant = GetDominantTables(&n);
    ASSERT_EQ(1, n);
    EXPECT_STREQ("Customer", dominant[0]);
    free(dominant);
}

TEST_F(PersistMemory, FaultyPersonalityFilesAreRefusedWhole)
{
    const struct {
        const char *body;
        const char *message;
    } cases[] = {
        {"<PersonalityConfiguration personalityname=\"P\" dominanttableid=\"Nowhere\"/>", "unknown dominant table Nowhere"},
        {"<PersonalityConfiguration personalityname=\"P\" dominanttableid=\"Customer\"/>"
         "<ConstituentTable tableid=\"Ghost\" fkconstraint_id=\"fk_orders_customer\"/>", "unknown table Ghost"},
        {"<PersonalityConfiguration personalityname=\"P\" dominanttableid=\"Customer\"/>"
         "<ConstituentTable tableid=\"Orders\" fkconstraint_id=\"fk_broken\"/>", "foreign key fk_broken"},
        {"<PersonalityConfiguration personalityname=\"P\" dominanttableid=\"Customer\"/>"
         "<ConstituentTable tableid=\"OrderLine\" fkconstraint_id=\"fk_line_order\"/>", "does not link OrderLine"},
        {"<PersonalityConfiguration personalityname=\"P\" dominanttableid=\"Customer\"/>"
         "<ConstituentTable tableid=\"Orders\"/>", "foreign key (none)"},
        {"<ConstituentTable tableid=\"Orders\" fkconstraint_id=\"fk_orders_customer\"/>", "precedes every"},
        {"<PersonalityConfiguration personalityname=\"P\" dominanttableid=\"Customer\"/>"
         "<PersonalityConfiguration personalityname=\"p\" dominanttableid=\"Orders\"/>", "defined twice"},
        {"<DominantTableConfig DOMINANTTABLEID=\"Nowhere\" isindexed=\"true\"/>", "unknown table Nowhere"},
    };
    for (const auto &c : cases) {
        vqt::ScratchLog log;
        EXPECT_EQ(0, CreatePersonalityFromXMLFile(Personality(c.body).c_str())) << c.body;
        EXPECT_TRUE(log.has(c.message)) << c.body << "\n" << log.plainText();
        EXPECT_EQ(nullptr, GetPersonalityDefnQuiet("P")) << c.body;
    }
    vqt::ScratchLog log;
    vqt::WriteWholeFile(dir_.file("bad.xml"), "<Personalities><unclosed></Personalities>");
    EXPECT_EQ(0, CreatePersonalityFromXMLFile(dir_.file("bad.xml").c_str()));
    EXPECT_TRUE(log.has("Could not parse file"));
}

TEST_F(PersistMemory, RowUnitsByKeyString)
{
    DataObject *d = CreateDataObject();
    ASSERT_NE(nullptr, d);
    ASSERT_NE(nullptr, CreateRowCollection(d, "OrderLine"));
    const char *first[] = {"7", "1", nullptr, "3"};
    ASSERT_EQ(1, InsertStringRowIntoDO(d, "OrderLine", first));
    RowUnit *u = GetFirstRowUnit(d, "orderline");
    ASSERT_NE(nullptr, u);
    EXPECT_EQ(ROW_FLAG_NEW, u->state);
    char *key = GenerateKeyString(u);
    EXPECT_STREQ("OrderLine|7|1", key);
    EXPECT_EQ(u, FindRowUnit(d, key));
    free(key);
    INT32 size = 0;
    BYTE *qty = GetColumnValueFromDO(u, "QTY", &size);
    ASSERT_NE(nullptr, qty) << "the default fills a NULL";
    EXPECT_EQ(1, *(INT32 *)qty);

    /* Same key again: refused; a table outside the DO: refused. */
    vqt::ScratchLog log;
    EXPECT_EQ(0, InsertStringRowIntoDO(d, "OrderLine", first));
    EXPECT_TRUE(log.has("Row with keyStr OrderLine|7|1 already exists."));
    const char *customer[] = {"1", "x"};
    EXPECT_EQ(0, InsertStringRowIntoDO(d, "Customer", customer));
    EXPECT_TRUE(log.has("The RowUnit belongs to Table Customer, which is not in DO"));

    /* Update through a copy with the same key; a unit never saved and then
     * deleted frees its key at once, stays valid for a walker holding it,
     * and its save writes nothing and takes it out. */
    RowUnit *copy = CreateRowUnit("OrderLine", u->values, u->sizes);
    INT32 five = 5;
    ASSERT_TRUE(SetValueForRowUnit(copy, "QTY", &five, 4));
    ASSERT_TRUE(UpdateRowUnit(copy, d));
    EXPECT_EQ(5, *(INT32 *)GetColumnValueFromDO(u, "qty", &size));
    EXPECT_EQ(ROW_FLAG_NEW | ROW_FLAG_MODIFIED, u->state);
    const char *second[] = {"7", "2", nullptr, "3"};
    ASSERT_EQ(1, InsertStringRowIntoDO(d, "OrderLine", second));
    RowUnit *walker = GetFirstRowUnit(d, "OrderLine");
    ASSERT_EQ(u, walker);
    ASSERT_TRUE(DeleteRowUnit(copy, d));
    EXPECT_EQ(ROW_FLAG_NEW | ROW_FLAG_MODIFIED | ROW_FLAG_DELETED, walker->state);
    RowUnit *next = GotoNextRowUnit(walker);
    ASSERT_NE(nullptr, next);
    EXPECT_EQ(2, *(INT32 *)GetColumnValueFromDO(next, "LINE_NO", &size));
    char *firstKey = GenerateKeyString(copy);
    EXPECT_EQ(nullptr, FindRowUnit(d, firstKey));
    free(firstKey);
    EXPECT_FALSE(UpdateRowUnit(copy, d));
    EXPECT_TRUE(log.has("Row to be updated is not present in DO."));
    EXPECT_FALSE(DeleteRowUnit(copy, d));
    ASSERT_TRUE(DeleteRowUnit(next, d));
    EXPECT_EQ(1, SaveRowCollection(GetRowCollection(d, "OrderLine"), d));
    EXPECT_TRUE(IsDOEmpty(d));
    EXPECT_EQ(1, InsertStringRowIntoDO(d, "OrderLine", first)) << "the key is free again";
    EXPECT_TRUE(DeleteRowUnit(copy, d));
    EXPECT_EQ(1, SaveRowUnit(GetFirstRowUnit(d, "OrderLine"), d));
    EXPECT_TRUE(IsDOEmpty(d));
    FreeRowUnit(copy);

    /* A stored unit is only marked. */
    RowUnit *stored = CreateRowUnit("OrderLine", nullptr, nullptr);
    INT32 seven = 7;
    SetValueForRowUnit(stored, "ORDER_ID", &seven, 4);
    SetValueForRowUnit(stored, "LINE_NO", &seven, 4);
    ASSERT_EQ(1, AddStoredRowUnit(d, stored));
    ASSERT_TRUE(DeleteRowUnit(stored, d));
    EXPECT_EQ(ROW_FLAG_STORED | ROW_FLAG_DELETED, stored->state);
    EXPECT_EQ(stored, GetNthRowUnit(d, "OrderLine", 1));
    FreeDataObject(d);
}

TEST_F(PersistMemory, TablesSortedReferencedFirst)
{
    DataObject *d = CreateDataObject();
    for (const char *t : {"OrderLine", "Orders", "Site", "Customer"})
        ASSERT_NE(nullptr, CreateRowCollection(d, t));
    INT32 n = 0;
    const char **order = SortTablesForDO(d, &n);
    ASSERT_EQ(4, n);
    std::string joined;
    for (INT32 i = 0; i < n; i++)
        joined += std::string(order[i]) + " ";
    EXPECT_EQ("Site Customer Orders OrderLine ", joined);
    free(order);
    FreeDataObject(d);
}
