/* Print and text forms of tables, views and results: one header line of
 * column names, one line per row, each cell in its type's format. */
#include "records/base/datetime.h"
#include "records/store/tablestore.h"
#include "support/records/recordfixture.h"

#include "agent/log.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string.h>

using namespace vqt;

namespace {

class RowPrint : public ::testing::Test {
protected:
    void TearDown() override { ClearAll(); }
};

/* The message part of each log line (after the level tag). */
std::vector<std::string> LoggedMessages(const std::string &path, const char *tag)
{
    std::vector<std::string> out;
    std::string all = vqt::ReadWholeFile(path);
    all.erase(std::remove(all.begin(), all.end(), '\r'), all.end());   /* text mode */
    size_t pos = 0;
    std::string marker = std::string(tag) + " ";
    while ((pos = all.find(marker, pos)) != std::string::npos) {
        pos += marker.size();
        size_t next = all.find("\n[ ", pos);
        out.push_back(all.substr(pos, next == std::string::npos ? std::string::npos : next + 1 - pos));
        if (next == std::string::npos)
            break;
        pos = next;
    }
    return out;
}

} // namespace

TEST_F(RowPrint, TextFormEveryType)
{
    std::vector<ColSpec> cols = {
        {"TI", BRN_SQL_TINYINT}, {"UTI", BRN_SQL_UNSIGNED_TINYINT}, {"SI", BRN_SQL_SMALLINT},
        {"USI", BRN_SQL_UNSIGNED_SMALLINT}, {"I", BRN_SQL_INT}, {"UI", BRN_SQL_UNSIGNED_INT},
        {"BI", BRN_SQL_BIGINT}, {"ULI", BRN_SQL_UNSIGNED_LONG_INT}, {"F", BRN_SQL_FLOAT},
        {"D", BRN_SQL_DOUBLE}, {"R", BRN_SQL_REAL}, {"DEC", BRN_SQL_DECIMAL},
        {"NUM", BRN_SQL_NUMERIC}, {"C", BRN_SQL_CHAR}, {"VC", BRN_SQL_VARCHAR},
        {"DT", BRN_SQL_DATE}, {"TM", BRN_SQL_TIME}, {"DTM", BRN_SQL_DATETIME},
        {"B", BRN_SQL_BOOLEAN}, {"BL", BRN_SQL_BLOB}, {"CL", BRN_SQL_CLOB}, {"TX", BRN_SQL_TEXT},
    };
    DefineTable("ALLTYPES", cols);
    BrnDate date = {2024, 2, 9};
    BrnTime time = {7, 5, 3};
    BrnDateTime both = {&date, &time, 0, 0, 0};
    AddRow("ALLTYPES", {
        Cell::i(-1), Cell::i(2), Cell::i(-3), Cell::i(4), Cell::i(5), Cell::i(-6),
        Cell::ll(1234567890123LL), Cell::ll(8), Cell::f(1.5f), Cell::d(-2.25), Cell::f(3.0f),
        Cell::s("12.5"), Cell::s("13"), Cell::s("ch"), Cell::s("vc"),
        Cell::raw(std::string((char *)&date, 4)), Cell::raw(std::string((char *)&time, 3)),
        Cell::raw(std::string((char *)&both, 11)), Cell::raw("\x01"), Cell::s("blob"),
        Cell::s("clob"), Cell::s("text"),
    });
    AddRow("ALLTYPES", std::vector<Cell>(cols.size(), Cell::null()));

    char *text = ToStringTableData("alltypes");
    ASSERT_NE(nullptr, text);
    std::string header;
    for (auto &c : cols)
        header += c.name + "\t";
    std::string row1 = "-1\t2\t-3\t5\t-6\t1.500000\t-2.250000\tch\tvc\t2024-02-09\t07:05:03\t"
                       "2024-02-09 07:05:03\t1\t";
    std::string nulls;
    for (size_t i = 0; i < cols.size(); i++)
        nulls += "NULL\t";
    EXPECT_EQ(header + "\n" + row1 + "\n" + nulls + "\n", std::string(text));
    free(text);
    EXPECT_EQ(nullptr, ToStringTableData("missing"));
}

TEST_F(RowPrint, DateAndTimeFromDateTimeHoldings)
{
    DefineTable("DATES", {{"DT", BRN_SQL_DATE}, {"TM", BRN_SQL_TIME}});
    BrnDate date = {1999, 12, 31};
    BrnDateTime dateOnly = {&date, NULL, 0, 0, 0};
    AddRow("DATES", {Cell::raw(std::string((char *)&dateOnly, 11)),
                     Cell::raw(std::string((char *)&dateOnly, 11))});
    char *text = ToStringTableData("DATES");
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("DT\tTM\t\n1999-12-31\t00:00:00\t\n", text);
    free(text);
}

TEST_F(RowPrint, LargeTablesAreNotBoundedByAFixedArea)
{
    DefineTable("BIGTEXT", {{"N", BRN_SQL_INT}, {"C", BRN_SQL_VARCHAR}});
    for (int i = 0; i < 200; i++)
        AddRow("BIGTEXT", {Cell::i(i), Cell::s(std::string(50, 'a' + i % 26))});
    char *text = ToStringTableData("BIGTEXT");
    ASSERT_NE(nullptr, text);
    std::string s(text);
    EXPECT_EQ(201, std::count(s.begin(), s.end(), '\n'));
    EXPECT_GT(s.size(), 10000u);
    EXPECT_NE(std::string::npos, s.find("\n199\t" + std::string(50, 'a' + 199 % 26) + "\t\n"));
    free(text);
}

TEST_F(RowPrint, PrintWritesDebugLinesAndSkipsDeletedRowsOfResults)
{
    vqt::ScratchDir dir("rowprint");
    ASSERT_TRUE(SetLogDefaults());
    ASSERT_TRUE(SetLogParams("print.log", dir.path().c_str(), VQ_LOG_LEVEL_DEBUG));
    ASSERT_TRUE(OpenLogFile());

    DefineTable("P", {{"ID", BRN_SQL_INT}, {"BIG", BRN_SQL_BIGINT}, {"TX", BRN_SQL_TEXT}});
    AddRow("P", {Cell::i(1), Cell::ll(-5), Cell::s("one")});
    RowObject *gone = AddRow("P", {Cell::i(2), Cell::null(), Cell::s("two")});
    gone->flags = ROW_FLAG_STORED;
    ASSERT_TRUE(DeleteRowObject("P", gone));
    PrintTableData("p");
    ResultData *r = SelectRows("P", NULL);
    PrintResultData(r);
    FreeResultData(r);
    CloseLogFile();

    std::vector<std::string> lines = LoggedMessages(GetLogPath(), "[DEBUG]");
    std::vector<std::string> want = {
        "ID\tBIG\tTX\t\n", "1\t-5\tone\t\n", "2\tNULL\ttwo\t\n",   /* the table */
        "ID\tBIG\tTX\t\n", "1\t-5\tone\t\n",                       /* the result */
    };
    EXPECT_EQ(want, lines);
    FreeLogSettings();
}

TEST_F(RowPrint, ViewsUseViewColumnNamesAndUnderlyingTypes)
{
    DefineTable("BASE", {{"ID", BRN_SQL_INT}, {"NAME", BRN_SQL_VARCHAR}});
    TableDefn *base = GetTableDefn("BASE");
    ViewColumnDefn *cols[2] = {CreateViewColumnDefn("VN", NULL, 0, base->columns[1]),
                               CreateViewColumnDefn("VI", NULL, 0, base->columns[0])};
    char *names[] = {(char *)"BASE"};
    ASSERT_TRUE(CreateCustomViewData("V", CreateCustomViewDefn(1, names, cols, 2)));
    AddRow("V", {Cell::s("n"), Cell::i(3)});
    char *text = ToStringTableData("V");
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("VN\tVI\t\nn\t3\t\n", text);
    free(text);
    text = ToStringCustomViewData("BASE");
    EXPECT_EQ(nullptr, text);
}
