/* The table store: registry and creation, row changes and their flags,
 * selection with and without criteria, the result cursor, column lookups and
 * the criteria lock. */
#include "records/store/criteria.h"
#include "records/store/tablestore.h"
#include "support/records/recordfixture.h"

#include "agent/locktable.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

using namespace vqt;

namespace {

class TableStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        DefineTable("Agentparams", {{"PARAM_NAME", BRN_SQL_VARCHAR},
                                    {"PARAM_VALUE", BRN_SQL_VARCHAR},
                                    {"SEQ", BRN_SQL_INT}},
                    {"PARAM_NAME"});
    }
    void TearDown() override
    {
        EXPECT_FALSE(IsLockHeld(GetCriteriaLockKey()));
        ClearAll();
    }
    RowObject *Param(const char *name, const char *value, INT32 seq)
    {
        return AddRow("Agentparams", {Cell::s(name), value ? Cell::s(value) : Cell::null(), Cell::i(seq)});
    }
};

} // namespace

TEST_F(TableStore, CreationAndLookupIgnoreLetterCase)
{
    TableData *td = GetTableDataByName("AGENTPARAMS");
    ASSERT_NE(nullptr, td);
    EXPECT_EQ(TABLE_KIND_TABLE, td->kind);
    EXPECT_EQ(3, td->columnCount);
    EXPECT_STREQ("Agentparams", td->name);
    EXPECT_FALSE(CreateTable("agentPARAMS"));      /* exists */
    EXPECT_FALSE(CreateTable("NoSuchDefinition"));
    EXPECT_FALSE(CreateTable(NULL));
    EXPECT_EQ(nullptr, GetTableDataByName(NULL));
    EXPECT_EQ(nullptr, GetTableDataByName("other"));

    TableData a = {}, b = {};
    a.name = (char *)"Zeta";
    b.name = (char *)"alpha";
    EXPECT_LT(SortTableByName(&a, &b), 0);          /* byte order: 'Z' < 'a' */
    EXPECT_EQ(0, SortTableByName(&a, &a));
}

TEST_F(TableStore, SelectWithoutCriteriaAndCursorRules)
{
    ResultData *r = SelectRows("Agentparams", NULL);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0, r->rowCount);
    EXPECT_EQ(nullptr, GotoNextRowObject(r));
    FreeResultData(r);

    RowObject *r1 = Param("A", "1", 1);
    RowObject *r2 = Param("B", "2", 2);
    r = SelectRows("agentparams", NULL);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(2, r->rowCount);
    EXPECT_EQ(nullptr, r->cursor);
    INT32 size = -1;
    EXPECT_EQ(nullptr, GetColumnValueByName("PARAM_NAME", &size, r));   /* before the first */
    EXPECT_EQ(r1, GotoNextRowObject(r));
    BYTE *v = GetColumnValueByName("param_value", &size, r);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(r1->values[1], v);                   /* a reference, not a copy */
    EXPECT_EQ(1, size);
    EXPECT_EQ(nullptr, GetColumnValueByName("NOPE", &size, r));
    EXPECT_EQ(r2, GotoNextRowObject(r));
    EXPECT_EQ(nullptr, GotoNextRowObject(r));
    EXPECT_EQ(r1, GotoNextRowObject(r));           /* starts again */
    ResetResultDataCursor(r);
    EXPECT_EQ(r1, GotoNextRowObject(r));

    EXPECT_EQ(BRN_SQL_INT, GetColumnTypeByName("seq", r));
    EXPECT_EQ(0, GetColumnTypeByName("nope", r));
    EXPECT_STREQ("PARAM_VALUE", GetColumnNameByIndex(1, r));
    EXPECT_EQ(nullptr, GetColumnNameByIndex(3, r));
    EXPECT_STREQ("Agentparams", GetTableNameFromResultData(r));
    FreeResultData(r);
}

TEST_F(TableStore, SelectByCriteria)
{
    Param("RESOURCE_ID", "42", 1);
    Param("resource_id", "43", 2);
    Param("OTHER", "44", 3);
    ResultData *r = SelectRows("Agentparams", "param_name='RESOURCE_ID'");
    ASSERT_NE(nullptr, r);
    ASSERT_EQ(1, r->rowCount);
    ASSERT_NE(nullptr, GotoNextRowObject(r));
    EXPECT_STREQ("42", (char *)GetColumnValueByName("PARAM_VALUE", NULL, r));
    FreeResultData(r);

    r = SelectRows("Agentparams", "SEQ >= 2 or PARAM_NAME = 'RESOURCE_ID'");
    ASSERT_NE(nullptr, r);
    std::vector<RowObject *> rows = Rows(r);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(1, IntAt(rows[0], 2));
    EXPECT_EQ(3, IntAt(rows[2], 2));
    FreeResultData(r);

    r = SelectRows("Agentparams", "UNKNOWN = 1");
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0, r->rowCount);
    FreeResultData(r);

    /* A criteria that does not parse gives NULL and frees the lock. */
    EXPECT_EQ(nullptr, SelectRows("Agentparams", "PARAM_NAME="));
    EXPECT_FALSE(IsLockHeld(GetCriteriaLockKey()));
    r = SelectRows("Agentparams", "SEQ = 3");
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(1, r->rowCount);
    FreeResultData(r);
    EXPECT_EQ(nullptr, SelectRows("Missing", "SEQ = 3"));
}

TEST_F(TableStore, GetColumnValueFindsTheFirstMatch)
{
    Param("RESOURCE_ID", "42", 1);
    Param("EMPTY", NULL, 2);
    INT32 size = 0;
    BYTE *v = GetColumnValue("AGENTPARAMS", "PARAM_VALUE", "PARAM_NAME = 'RESOURCE_ID'", &size);
    ASSERT_NE(nullptr, v);
    EXPECT_STREQ("42", (char *)v);
    EXPECT_EQ(nullptr, GetColumnValue("AGENTPARAMS", "PARAM_VALUE", "PARAM_NAME = 'NONE'", &size));
    EXPECT_EQ(nullptr, GetColumnValue("AGENTPARAMS", "PARAM_VALUE", "PARAM_NAME = ", &size));
    EXPECT_EQ(nullptr, GetColumnValue("AGENTPARAMS", "PARAM_VALUE", "SEQ = 2", &size));
}

TEST_F(TableStore, UpdateRefusesPrimaryKeyAndMarksModified)
{
    RowObject *row = Param("A", "1", 1);
    EXPECT_FALSE(UpdateRowObject("Agentparams", row, "param_name", "B", 1));
    EXPECT_STREQ("A", (char *)row->values[0]);
    EXPECT_EQ(ROW_FLAG_NEW, row->flags);

    EXPECT_TRUE(UpdateRowObject("Agentparams", row, "PARAM_VALUE", "hello", 5));
    EXPECT_STREQ("hello", (char *)row->values[1]);
    EXPECT_EQ(5, row->sizes[1]);
    EXPECT_EQ(ROW_FLAG_NEW | ROW_FLAG_MODIFIED, row->flags);
    /* A part of a longer text is stored terminated. */
    EXPECT_TRUE(UpdateRowObject("Agentparams", row, "PARAM_VALUE", "abcdef", 3));
    EXPECT_STREQ("abc", (char *)row->values[1]);

    EXPECT_FALSE(UpdateRowObject("Agentparams", NULL, "PARAM_VALUE", "x", 1));
    EXPECT_FALSE(UpdateRowObject("Agentparams", row, "NOPE", "x", 1));
    EXPECT_FALSE(UpdateRowObject("Missing", row, "PARAM_VALUE", "x", 1));
}

TEST_F(TableStore, DeletingStoredRowsOnlyMarksThem)
{
    RowObject *a = Param("A", "1", 1);
    RowObject *b = Param("B", "2", 2);
    RowObject *c = Param("C", "3", 3);
    b->flags = ROW_FLAG_STORED;
    EXPECT_TRUE(DeleteRowObject("Agentparams", b));
    EXPECT_EQ(ROW_FLAG_STORED | ROW_FLAG_DELETED, b->flags);
    ResultData *r = SelectRows("Agentparams", NULL);
    EXPECT_EQ(3, r->rowCount);                      /* still selected */
    FreeResultData(r);

    /* Unstored rows leave the list; the tail stays right for appends. */
    EXPECT_TRUE(DeleteRowObject("Agentparams", c));
    RowObject *d = Param("D", "4", 4);
    r = SelectRows("Agentparams", NULL);
    std::vector<RowObject *> rows = Rows(r);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(a, rows[0]);
    EXPECT_EQ(b, rows[1]);
    EXPECT_EQ(d, rows[2]);
    FreeResultData(r);
    EXPECT_EQ(4, GetTableDataByName("Agentparams")->rowCount);   /* not reduced */

    RowObject *stranger = MakeRow({Cell::s("X"), Cell::s("X"), Cell::i(0)});
    EXPECT_FALSE(DeleteRowObject("Agentparams", stranger));
    FreeRowObject(stranger, 3);

    EXPECT_TRUE(DeleteRowObjectByCriteria("Agentparams", "SEQ < 3"));
    r = SelectRows("Agentparams", NULL);
    rows = Rows(r);
    ASSERT_EQ(2u, rows.size());                     /* b stays, marked */
    EXPECT_EQ(b, rows[0]);
    EXPECT_EQ(d, rows[1]);
    FreeResultData(r);
    EXPECT_TRUE(DeleteRowObjectByCriteria("Agentparams", "SEQ = 99"));
    EXPECT_FALSE(DeleteRowObjectByCriteria("Agentparams", "SEQ = "));
    EXPECT_FALSE(DeleteRowObjectByCriteria("Agentparams", NULL));

    EXPECT_TRUE(DeleteAllTableRowObjects("AGENTPARAMS"));
    r = SelectRows("Agentparams", NULL);
    rows = Rows(r);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(b, rows[0]);
    FreeResultData(r);
    EXPECT_FALSE(DeleteAllTableRowObjects(NULL));
    EXPECT_FALSE(DeleteAllTableRowObjects("Missing"));
}

TEST_F(TableStore, SelectRowByRowIdxSurvivesDeletions)
{
    EXPECT_EQ(nullptr, SelectRowByRowIdx("Agentparams", 1));   /* past the count */
    ResultData *r = SelectRowByRowIdx("Agentparams", 0);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0, r->rowCount);
    FreeResultData(r);

    RowObject *a = Param("A", "1", 1);
    Param("B", "2", 2);
    RowObject *c = Param("C", "3", 3);
    r = SelectRowByRowIdx("Agentparams", 3);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(c, GotoNextRowObject(r));
    FreeResultData(r);
    r = SelectRowByRowIdx("Agentparams", -5);
    EXPECT_EQ(a, GotoNextRowObject(r));
    FreeResultData(r);
    EXPECT_EQ(nullptr, SelectRowByRowIdx("Agentparams", 4));

    /* Three added, one deleted: index 3 is within the count but not the list. */
    EXPECT_TRUE(DeleteRowObject("Agentparams", a));
    r = SelectRowByRowIdx("Agentparams", 3);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0, r->rowCount);
    EXPECT_EQ(nullptr, GotoNextRowObject(r));
    FreeResultData(r);
}

TEST(TableStoreRows, GeneratorAndDefaultFillNullCells)
{
    DefineTable("G", {{"ID", BRN_SQL_INT, "GEN_ID"},
                      {"BIG", BRN_SQL_BIGINT, "GEN_BIG", Cell::ll(77)},
                      {"KIND", BRN_SQL_INT, nullptr, Cell::i(9)},
                      {"NAME", BRN_SQL_VARCHAR, nullptr, Cell::s("dflt")}});
    /* The sequence generator is not started, so generation fails: the cell
     * is left NULL, never given -1, and a default still applies. */
    RowObject *row = AddRow("G", {Cell::null(), Cell::null(), Cell::null(), Cell::s("mine")});
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(nullptr, row->values[0]);
    ASSERT_NE(nullptr, row->values[1]);
    EXPECT_EQ(8, row->sizes[1]);
    EXPECT_EQ(77, ReadInt64Value(row->values[1], row->sizes[1]));
    EXPECT_EQ(9, IntAt(row, 2));
    EXPECT_STREQ("mine", (char *)row->values[3]);
    RowObject *second = AddRow("G", {Cell::i(5), Cell::null(), Cell::i(1), Cell::null()});
    EXPECT_EQ(5, IntAt(second, 0));
    EXPECT_EQ(1, IntAt(second, 2));
    EXPECT_STREQ("dflt", (char *)second->values[3]);
    EXPECT_NE(row->values[3], second->values[3]);
    EXPECT_EQ(2, GetTableDataByName("g")->rowCount);
    EXPECT_FALSE(AddNewRow("Missing", second));
    ClearAll();
}

namespace {
std::vector<std::string> g_hookCalls;
DWORD CountingSource(const char *table, ColumnDefn *column)
{
    g_hookCalls.push_back(std::string("id ") + table + "." + (column ? column->name : "?"));
    return column && strcmp(column->name, "BIG") == 0 ? 0x80000001u : STORE_NO_IDENTIFIER - 1;
}
void RecordingHook(RowObject *row, const char *table)
{
    g_hookCalls.push_back(std::string("row ") + table + " " + std::to_string(row->flags));
}
} // namespace

/* The store calls what start-up fills in, and only that: the source for every
 * generated column of a new row, the change hook after every change. */
TEST(TableStoreHooks, SourceFillsGeneratedCellsAndHookSeesEveryChange)
{
    DefineTable("H", {{"ID", BRN_SQL_INT, "GEN_ID"}, {"BIG", BRN_SQL_BIGINT, "GEN_BIG"}});
    g_hookCalls.clear();
    StoreIdentifierSource oldSource = SetStoreIdentifierSource(CountingSource);
    StoreRowChangeHook oldHook = SetStoreRowChangeHook(RecordingHook);
    EXPECT_EQ(CountingSource, SetStoreIdentifierSource(CountingSource));
    EXPECT_EQ(RecordingHook, SetStoreRowChangeHook(RecordingHook));

    RowObject *row = AddRow("H", {Cell::null(), Cell::null()});
    ASSERT_NE(nullptr, row);
    EXPECT_EQ((INT32)(STORE_NO_IDENTIFIER - 1), IntAt(row, 0));
    EXPECT_EQ(0x80000001LL, ReadInt64Value(row->values[1], row->sizes[1]));
    INT32 seven = 7;
    ASSERT_TRUE(UpdateRowObject("H", row, "ID", &seven, 4));
    ASSERT_TRUE(DeleteRowObject("H", row));
    const std::vector<std::string> want = {"id H.ID", "id H.BIG", "row H 2", "row H 6", "row H 6"};
    EXPECT_EQ(want, g_hookCalls);

    /* Turned off: no calls, and a generated cell stays NULL. */
    SetStoreIdentifierSource(nullptr);
    SetStoreRowChangeHook(nullptr);
    g_hookCalls.clear();
    RowObject *plain = AddRow("H", {Cell::null(), Cell::i(3)});
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(nullptr, plain->values[0]);
    EXPECT_TRUE(g_hookCalls.empty());
    EXPECT_EQ(STORE_NO_IDENTIFIER, GenerateStoreIdentifier("H", nullptr));
    SetStoreIdentifierSource(oldSource);
    SetStoreRowChangeHook(oldHook);
    ClearAll();
}

TEST(TableStoreViews, ViewsHoldRowsButCannotBeSelectedByCriteria)
{
    DefineTable("BASE", {{"ID", BRN_SQL_INT}, {"NAME", BRN_SQL_VARCHAR}});
    TableDefn *base = GetTableDefn("BASE");
    ViewColumnDefn *cols[2] = {
        CreateViewColumnDefn("V_ID", NULL, 0, base->columns[0]),
        CreateViewColumnDefn("V_NAME", NULL, 0, base->columns[1]),
    };
    char *names[] = {(char *)"BASE", (char *)"OTHER"};
    CustomViewDefn *vd = CreateCustomViewDefn(2, names, cols, 2);
    ASSERT_NE(nullptr, vd);
    ASSERT_TRUE(CreateCustomViewData("MyView", vd));
    EXPECT_FALSE(CreateCustomViewData("myview", vd));
    AddRow("MyView", {Cell::i(1), Cell::s("one")});

    EXPECT_EQ(nullptr, SelectRows("MyView", "V_ID = 1"));
    EXPECT_FALSE(IsLockHeld(GetCriteriaLockKey()));
    ResultData *r = SelectRows("MyView", NULL);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(TABLE_KIND_VIEW, r->kind);
    ASSERT_NE(nullptr, GotoNextRowObject(r));
    EXPECT_STREQ("one", (char *)GetColumnValueByName("v_name", NULL, r));
    EXPECT_EQ(nullptr, GetColumnValueByName("NAME", NULL, r));
    /* Types of a view are found by the underlying column's name. */
    EXPECT_EQ(BRN_SQL_VARCHAR, GetColumnTypeByName("NAME", r));
    EXPECT_EQ(0, GetColumnTypeByName("V_NAME", r));
    EXPECT_STREQ("V_ID", GetColumnNameByIndex(0, r));
    EXPECT_STREQ("BASE", GetTableNameFromResultData(r));
    FreeResultData(r);
    EXPECT_STREQ("BASE", GetTableNameOfView("MYVIEW"));
    EXPECT_STREQ("BASE", GetTableNameOfView("BASE"));
    EXPECT_STREQ("unknown", GetTableNameOfView("unknown"));
    ClearAll();
}
