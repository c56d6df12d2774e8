/* Data-object operations without a database: copies and merges keep states
 * and never hold a key twice, column values, and the refusals of retrieval
 * that come before any query. (The foreign-key order of tables is tested
 * through SortTablesForDO with the persistence tests.) */
#include "records/object/dataobject.h"
#include "records/dict/dictload.h"
#include "records/object/personality.h"
#include "support/records/recordfixture.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

namespace {

class DataObjectOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDataDictFromXMLFile((std::string(VQ_RECORDS_TEST_DATA) + "/keys.xml").c_str()));
    }
    void TearDown() override
    {
        FreeDataObject(d_);
        FreePersonalities();
        vqt::ClearAll();
    }
    /* Inserts an Orders row (ORDER_ID, CUST_ID, NOTE; NULL: a NULL value)
     * into `d` with that state. */
    static RowUnit *Order(DataObject *d, const char *id, const char *note, BYTE state)
    {
        const char *texts[] = {id, "5", note};
        CreateRowCollection(d, "Orders");
        if (InsertStringRowIntoDO(d, "Orders", texts) != 1)
            return nullptr;
        GetLastRowUnit(d, "Orders")->state = state;
        return GetLastRowUnit(d, "Orders");
    }
    /* "table:count" per collection, then each Orders unit's "note/state". */
    static std::string Shape(const DataObject *d)
    {
        std::string out;
        for (RowCollection *c = d->collections; c; c = c->next)
            out += std::string(c->tableName) + ":" + std::to_string(c->count) + " ";
        for (RowUnit *u = GetFirstRowUnit(d, "Orders"); u; u = u->next)
            out += (u->values[2] ? std::string((char *)u->values[2], u->sizes[2]) : "NULL") + "/" +
                   std::to_string(u->state) + " ";
        return out;
    }
    DataObject *d_ = CreateDataObject();
};

} // namespace

TEST_F(DataObjectOps, CopiesAndMergesKeepStatesAndOneUnitPerKey)
{
    Order(d_, "1", "target", ROW_FLAG_STORED);
    DataObject *src = CreateDataObject();
    Order(src, "1", "source", ROW_FLAG_STORED | ROW_FLAG_MODIFIED);
    Order(src, "2", nullptr, ROW_FLAG_STORED | ROW_FLAG_DELETED);
    CreateRowCollection(src, "Site");

    DataObject *copy = CloneDataObject(src);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(Shape(src), Shape(copy));
    EXPECT_NE(GetFirstRowUnit(src, "Orders")->values[2], GetFirstRowUnit(copy, "Orders")->values[2]);
    EXPECT_EQ(1, MergeDataObject(d_, copy));
    EXPECT_EQ(0, MergeDataObject(d_, copy)) << "a second merge adds nothing";
    EXPECT_EQ(0, MergeDataObject(d_, d_));
    EXPECT_EQ("Orders:2 Site:0 target/1 NULL/9 ", Shape(d_));
    FreeDataObject(copy);

    RowUnit *unit = CloneRowUnit(GetFirstRowUnit(src, "Orders"));
    ASSERT_NE(nullptr, unit);
    EXPECT_EQ(nullptr, unit->next);
    EXPECT_EQ(ROW_FLAG_STORED | ROW_FLAG_MODIFIED, unit->state);
    FreeRowUnit(unit);
    FreeDataObject(src);
}

TEST_F(DataObjectOps, ColumnValuesOfATable)
{
    Order(d_, "1", "a", ROW_FLAG_STORED);
    Order(d_, "2", nullptr, ROW_FLAG_NEW);
    CreateRowCollection(d_, "Site");
    const struct {
        const char *table, *column;
        INT32 count;        /* -1: refused */
    } cases[] = {{"orders", "note", 2}, {"Site", "SITE", 0}, {"Orders", "NOPE", -1}, {"Customer", "NAME", -1}};
    for (const auto &c : cases) {
        INT32 count = -1, *sizes = nullptr;
        BYTE **values = GetColumnValuesFromDO(d_, c.table, c.column, &sizes, &count);
        EXPECT_EQ(c.count, values ? count : -1) << c.table << "." << c.column;
        if (c.count == 2) {
            EXPECT_EQ('a', values[0][0]);
            EXPECT_EQ(1, sizes[0]);
            EXPECT_EQ(nullptr, values[1]);
        }
        free(values);
        free(sizes);
    }
    INT32 n = 0;
    const char **names = GetColumnListFromDO(d_, "ORDERS", &n);
    ASSERT_EQ(3, n);
    EXPECT_STREQ("NOTE", names[2]);
    free(names);
}

TEST_F(DataObjectOps, RetrievalRefusesBadRequestsBeforeAnyQuery)
{
    vqt::ScratchDir dir("dobjops");
    vqt::WriteWholeFile(dir.file("p.xml"),
                        "<?xml version=\"1.0\"?><P><PersonalityConfiguration personalityname=\"CV\" "
                        "dominanttableid=\"Customer\"/></P>");
    ASSERT_EQ(1, CreatePersonalityFromXMLFile(dir.file("p.xml").c_str()));
    const char *cv[] = {"CV"};
    SelectQuery *empty = CreateSelectQuery();
    vqt::ScratchLog log;
    EXPECT_EQ(nullptr, GetDOFromPersonalities(cv, 0));
    EXPECT_TRUE(log.has("GetDOFromPersonalities : no personality given."));
    /* A unit of another table has other columns than the dominant table's. */
    EXPECT_EQ(nullptr, GetDOFromPersonalitiesByRowUnit(cv, 1, Order(d_, "1", nullptr, ROW_FLAG_STORED)));
    EXPECT_TRUE(log.has("the row unit belongs to Orders, not to the dominant table Customer"));
    EXPECT_EQ(nullptr, GetDataObject(empty));
    EXPECT_TRUE(log.has("GetDataObject : the select query names no table."));
    EXPECT_FALSE(DeepRetrieveDO(d_, "Nobody"));
    FreeSelectQuery(empty);
}
