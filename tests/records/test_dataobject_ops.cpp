/* Data-object operations without a database: copies and merges keep states
 * and never hold a key twice, column values and lists, the foreign-key
 * order of table lists, rows from a result set, and the refusals of the
 * retrieval operations that come before any query. */
#include "records/dataobject.h"
#include "records/datadict.h"
#include "records/dialects.h"
#include "records/personality.h"
#include "records/tabledefn.h"
#include "recordfixture.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const std::string kData = VQ_RECORDS_TEST_DATA;

class DataObjectOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/keys.xml").c_str()));
        d_ = CreateDataObject();
        ASSERT_NE(nullptr, d_);
    }
    void TearDown() override
    {
        FreeDataObject(d_);
        FreePersonalities();
        vqr::ClearAll();
    }
    /* Inserts a row of texts (NULL: a NULL value) with that state. */
    RowUnit *Add(DataObject *d, const char *table, std::vector<const char *> texts, BYTE state)
    {
        CreateRowCollection(d, table);
        if (InsertStringRowIntoDO(d, table, texts.data()) != 1)
            return nullptr;
        RowUnit *u = GetLastRowUnit(d, table);
        u->state = state;
        return u;
    }
    static std::string Text(const RowUnit *u, const char *column)
    {
        INT32 size = 0;
        BYTE *v = GetColumnValueFromDO(u, column, &size);
        if (!v)
            return "NULL";
        return strcmp(column, "NOTE") == 0 ? std::string((char *)v, size) : std::to_string(*(INT32 *)v);
    }
    /* "table:count" per collection, in order. */
    static std::string Shape(const DataObject *d)
    {
        std::string out;
        for (RowCollection *c = d->collections; c; c = c->next)
            out += std::string(c->tableName) + ":" + std::to_string(c->count) + " ";
        return out;
    }
    DataObject *d_ = nullptr;
};

} // namespace

TEST_F(DataObjectOps, CloneKeepsStatesAndOwnsItsValues)
{
    ASSERT_NE(nullptr, Add(d_, "Orders", {"1", "5", "first"}, ROW_FLAG_NEW));
    RowUnit *stored = Add(d_, "Orders", {"2", "5", nullptr}, ROW_FLAG_STORED | ROW_FLAG_DELETED);
    ASSERT_NE(nullptr, stored);
    ASSERT_NE(nullptr, CreateRowCollection(d_, "OrderLine"));

    DataObject *copy = CloneDataObject(d_);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ("Orders:2 OrderLine:0 ", Shape(copy));
    RowUnit *c2 = GetNthRowUnit(copy, "Orders", 2);
    ASSERT_NE(nullptr, c2);
    EXPECT_EQ(ROW_FLAG_STORED | ROW_FLAG_DELETED, c2->state);
    EXPECT_EQ(ROW_FLAG_NEW, GetFirstRowUnit(copy, "Orders")->state);
    EXPECT_TRUE(CheckForPKEntry(copy, stored)) << "the copy's key map knows its units";
    EXPECT_NE(stored->values[0], c2->values[0]);

    const char *changed = "changed";
    ASSERT_TRUE(SetValueForRowUnit(GetFirstRowUnit(copy, "Orders"), "NOTE", changed, 7));
    EXPECT_EQ("first", Text(GetFirstRowUnit(d_, "Orders"), "NOTE"));
    FreeDataObject(copy);

    RowUnit *single = CloneRowUnit(stored);
    ASSERT_NE(nullptr, single);
    EXPECT_EQ(nullptr, single->next);
    EXPECT_EQ(stored->state, single->state);
    EXPECT_EQ("5", Text(single, "CUST_ID"));
    FreeRowUnit(single);
}

TEST_F(DataObjectOps, MergeAddsMissingRowsAndKeepsTheTargetsOnSharedKeys)
{
    Add(d_, "Orders", {"1", "5", "target"}, ROW_FLAG_STORED);
    DataObject *src = CreateDataObject();
    Add(src, "Orders", {"1", "5", "source"}, ROW_FLAG_STORED | ROW_FLAG_MODIFIED);
    Add(src, "Orders", {"2", "5", nullptr}, ROW_FLAG_NEW);
    Add(src, "Customer", {"5", "Ann"}, ROW_FLAG_STORED);
    CreateRowCollection(src, "Site");

    EXPECT_EQ(2, MergeDataObject(d_, src));
    EXPECT_EQ("Orders:2 Customer:1 Site:0 ", Shape(d_));
    EXPECT_EQ("target", Text(GetFirstRowUnit(d_, "Orders"), "NOTE"));
    EXPECT_EQ(ROW_FLAG_STORED, GetFirstRowUnit(d_, "Orders")->state);
    EXPECT_EQ(ROW_FLAG_NEW, GetNthRowUnit(d_, "Orders", 2)->state);
    EXPECT_EQ("Orders:2 Customer:1 Site:0 ", Shape(src)) << "the source is not changed";
    EXPECT_EQ(0, MergeDataObject(d_, src)) << "a second merge adds nothing";
    EXPECT_EQ(0, MergeDataObject(d_, d_));
    EXPECT_EQ(-1, MergeDataObject(d_, nullptr));

    /* One collection into a third data object, which has one of its keys. */
    DataObject *third = CreateDataObject();
    Add(third, "Orders", {"2", "9", "kept"}, ROW_FLAG_STORED);
    RowCollection *c = CloneRowCollection(GetRowCollection(src, "Orders"), third);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(2, c->count);
    EXPECT_EQ("9", Text(c->first, "CUST_ID"));
    FreeDataObject(third);
    FreeDataObject(src);
}

TEST_F(DataObjectOps, ColumnValuesAndColumnList)
{
    Add(d_, "Orders", {"1", "5", "a"}, ROW_FLAG_STORED);
    Add(d_, "Orders", {"2", "6", nullptr}, ROW_FLAG_NEW);
    CreateRowCollection(d_, "Site");
    const struct {
        const char *table, *column;
        bool found;
        INT32 count;
    } cases[] = {
        {"orders", "cust_id", true, 2}, {"Orders", "NOTE", true, 2}, {"Site", "SITE", true, 0},
        {"Orders", "NOPE", false, 0},   {"Customer", "NAME", false, 0},
    };
    for (const auto &c : cases) {
        INT32 count = -1, *sizes = nullptr;
        BYTE **values = GetColumnValuesFromDO(d_, c.table, c.column, &sizes, &count);
        EXPECT_EQ(c.found, values != nullptr) << c.table << "." << c.column;
        EXPECT_EQ(c.count, count) << c.table << "." << c.column;
        free(values);
        free(sizes);
    }
    INT32 count = 0, *sizes = nullptr;
    BYTE **notes = GetColumnValuesFromDO(d_, "Orders", "NOTE", &sizes, &count);
    ASSERT_EQ(2, count);
    EXPECT_EQ(1, sizes[0]);
    EXPECT_EQ('a', notes[0][0]);
    EXPECT_EQ(nullptr, notes[1]);
    EXPECT_EQ(0, sizes[1]);
    free(notes);
    free(sizes);

    const char **names = GetColumnListFromDO(d_, "ORDERS", &count);
    ASSERT_EQ(3, count);
    EXPECT_STREQ("ORDER_ID", names[0]);
    EXPECT_STREQ("NOTE", names[2]);
    free(names);
    EXPECT_EQ(nullptr, GetColumnListFromDO(d_, "Customer", &count));
    EXPECT_EQ(0, count);
}

TEST_F(DataObjectOps, SortTableByForeignKeys)
{
    const struct {
        std::vector<const char *> in;
        const char *out;
    } cases[] = {
        {{"OrderLine", "Orders", "Customer"}, "Customer Orders OrderLine "},
        {{"Orders", "Site", "Customer"}, "Site Customer Orders "},
        {{"CycB", "CycA"}, "CycB CycA "},          /* a cycle keeps its order */
        {{"Node", "Site"}, "Node Site "},          /* a key to itself does not count */
        {{"OrderLine"}, "OrderLine "},
    };
    for (const auto &c : cases) {
        std::vector<const char *> list = c.in;
        ASSERT_TRUE(SortTableByFK(list.data(), (INT32)list.size()));
        std::string joined;
        for (const char *t : list)
            joined += std::string(t) + " ";
        EXPECT_EQ(c.out, joined);
    }
    EXPECT_TRUE(SortTableByFK(nullptr, 0));
}

TEST_F(DataObjectOps, RowsFromAResultSet)
{
    CreateQueryGeneratorRegistry();
    SetDSNMapValid(0, SQL_DIALECT_SQLITE);
    /* Orders rows as a driver delivers them: texts, a NULL, a repeated key. */
    const std::vector<std::vector<const char *>> rows = {
        {"10", "1", "x"}, {"11", "1", nullptr}, {"10", "2", "again"}};
    ResultSet *set = (ResultSet *)calloc(1, sizeof *set);
    set->columnCount = 3;
    set->columns = (ResultColumn *)calloc(3, sizeof *set->columns);
    for (const auto &texts : rows) {
        ResultRow *r = (ResultRow *)calloc(1, sizeof *r);
        r->cells = (ResultCell *)calloc(3, sizeof *r->cells);
        for (int i = 0; i < 3; i++) {
            if (!texts[i])
                continue;
            r->cells[i].text = strdup(texts[i]);
            r->cells[i].textLength = (INT32)strlen(texts[i]);
        }
        (set->lastRow ? set->lastRow->next : set->firstRow) = r;
        set->lastRow = r;
        set->rowCount++;
    }

    DataObject *d = CreateDataObjectFromResultSet(set, "Orders");
    ASSERT_NE(nullptr, d);
    EXPECT_EQ("Orders:2 ", Shape(d));
    RowUnit *u = GetFirstRowUnit(d, "Orders");
    EXPECT_EQ(ROW_FLAG_STORED, u->state);
    EXPECT_EQ("x", Text(u, "NOTE")) << "the first row of a key is kept";
    EXPECT_EQ("NULL", Text(u->next, "NOTE"));
    FreeDataObject(d);
    EXPECT_EQ(nullptr, CreateDataObjectFromResultSet(set, "NoSuchTable"));
    EXPECT_EQ(nullptr, CreateRowCollectionFromResultSet(d_, nullptr, "Orders"));
    FreeResultSet(set);
    FreeQueryGeneratorRegistry();
}

TEST_F(DataObjectOps, RetrievalRefusesBadRequestsBeforeAnyQuery)
{
    vqt::ScratchDir dir("dobjops");
    std::string path = dir.file("p.xml");
    vqt::WriteWholeFile(path, "<?xml version=\"1.0\"?><Personalities>"
                              "<PersonalityConfiguration personalityname=\"CV\" dominanttableid=\"Customer\"/>"
                              "<ConstituentTable tableindex=\"1\" tableid=\"Orders\" fkconstraint_id=\"fk_orders_customer\"/>"
                              "</Personalities>");
    ASSERT_EQ(1, CreatePersonalityFromXMLFile(path.c_str()));
    RowUnit *line = Add(d_, "Orders", {"1", "5", nullptr}, ROW_FLAG_STORED);
    const char *cv[] = {"CV"};
    const char *unknown[] = {"CV", "Nobody"};
    SelectQuery *empty = CreateSelectQuery();

    vqt::ScratchLog log;
    EXPECT_EQ(nullptr, GetDOFromPersonalities(cv, 0));
    EXPECT_TRUE(log.has("GetDOFromPersonalities : no personality given."));
    EXPECT_EQ(nullptr, GetDOFromPersonalitiesByCriteria(unknown + 1, 1, "1=1"));
    EXPECT_TRUE(log.has("Personality Nobody not found in gv_personalityDefnVect"));
    EXPECT_EQ(nullptr, GetDOFromPersonalitiesByRowUnit(cv, 1, line));
    EXPECT_TRUE(log.has("the row unit belongs to Orders, not to the dominant table Customer"));
    EXPECT_EQ(nullptr, GetDataObject(empty));
    EXPECT_TRUE(log.has("GetDataObject : the select query names no table."));
    EXPECT_FALSE(DeepRetrieveDO(d_, "Nobody"));
    EXPECT_FALSE(DeepRetrieveDO(nullptr, "CV"));
    FreeSelectQuery(empty);
}
