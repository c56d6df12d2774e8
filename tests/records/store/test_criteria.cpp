/* The criteria language: what parses, how it groups, how literals convert
 * and how leaves compare by column type. */
#include "records/store/criteria.h"
#include "records/base/textvalue.h"
#include "records/base/datetime.h"
#include "support/records/recordfixture.h"

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <string>

using namespace vqt;

namespace {

const char *opText(BYTE op)
{
    static const char *names[] = {"?", "<", ">", "<=", ">=", "=", "!=", "and", "or"};
    return op <= 8 ? names[op] : "?";
}

/* Renders a tree with every AND/OR parenthesised, so grouping is visible. */
std::string Render(const CriteriaNode *n)
{
    if (!n)
        return "null";
    if (n->columnName && n->literal)
        return std::string(n->columnName) + opText(n->op) + n->literal;
    return "(" + Render(n->left) + " " + opText(n->op) + " " + Render(n->right) + ")";
}

std::string Parsed(const char *text)
{
    CriteriaNode *n = ParseCriteria(text);
    std::string s = n ? Render(n) : "FAIL";
    FreeCriteria(n);
    return s;
}

} // namespace

TEST(CriteriaParse, AndOrShareOnePrecedenceAndGroupRight)
{
    EXPECT_EQ("(a=1 and (b=2 or c=3))", Parsed("a=1 and b=2 or c=3"));
    EXPECT_EQ("(a=1 or (b=2 and c=3))", Parsed("a=1 or b=2 and c=3"));
    EXPECT_EQ("((a=1 or b=2) and c=3)", Parsed("(a=1 or b=2) and c=3"));
    EXPECT_EQ("(a=1 and (b=2 or c=3))", Parsed("a=1 and (b=2) or ((c=3))"));
    EXPECT_EQ("a='x y'", Parsed("  (\ta = 'x y' )  "));
}

TEST(CriteriaParse, ValueFirstComparisonsAreMirrored)
{
    EXPECT_EQ("X>5", Parsed("5 < X"));
    EXPECT_EQ("X<5", Parsed("5 > X"));
    EXPECT_EQ("X>=5", Parsed("5 <= X"));
    EXPECT_EQ("X<=5", Parsed("5 >= X"));
    EXPECT_EQ("X=5", Parsed("5 = X"));
    EXPECT_EQ("X!=5", Parsed("5 != X"));
    EXPECT_EQ("X='a'", Parsed("'a'=X"));
}

TEST(CriteriaParse, ParentLinksAreSet)
{
    CriteriaNode *n = ParseCriteria("a=1 and b=2");
    ASSERT_NE(nullptr, n);
    EXPECT_EQ(n, n->left->parent);
    EXPECT_EQ(n, n->right->parent);
    EXPECT_EQ(nullptr, n->parent);
    FreeCriteria(n);
}

TEST(CriteriaParse, TextsThatDoNotParse)
{
    const char *bad[] = {
        "", " ", "\n", "a=", "=1", "a=-1", "a=+1", "t.a=1", "a<>1", "a==1", "a=1;",
        "A=1 AND B=2", "A=1 OR B=2", "a=b", "1=2", "NAME = 'O'Brien'", "a='x",
        "_a=1", "a=1\r", "a=1\n", "(a=1", "a=1)", "()", "a=1 and", "and a=1",
        "a=1.", "a=.5", "a ! 1", "a=1 b=2", "a=1 and (b=2 or) c=3", "a=1e5",
    };
    for (const char *t : bad)
        EXPECT_EQ("FAIL", Parsed(t)) << "text: " << t;
    EXPECT_EQ(nullptr, ParseCriteria(NULL));
}

TEST(CriteriaParse, TokensAsTheTableSays)
{
    /* Identifiers may hold digits and "_"; keywords are lower case only. */
    EXPECT_EQ("AND=1", Parsed("AND=1"));
    EXPECT_EQ("and_x=1", Parsed("and_x=1"));
    EXPECT_EQ("ora=1", Parsed("ora=1"));
    EXPECT_EQ("a1_B=2.50", Parsed("a1_B=2.50"));
    EXPECT_EQ("a=''", Parsed("a=''"));
    EXPECT_EQ("a='1 and b=2'", Parsed("a='1 and b=2'"));
    /* "1e5" is the integer 1 then the identifier e5: "e5 = 1" reversed. */
    EXPECT_EQ("e5<1", Parsed("1 > e5"));
}

TEST(CriteriaParse, LineFeedEndsAnExpressionAndTheLastOneIsTheResult)
{
    EXPECT_EQ("b=2", Parsed("a=1\nb=2"));
    EXPECT_EQ("FAIL", Parsed("a=1\n\nb=2"));
}

TEST(CriteriaParse, StackLimitAndOverlongTokensFailCleanly)
{
    /* Each pending "expr and" holds two entries, each "(" one, of 10000. */
    std::string chain;
    for (int i = 0; i < 4990; i++)
        chain += "a=1 and ";
    chain += "a=1";
    CriteriaNode *n = ParseCriteria(chain.c_str());
    ASSERT_NE(nullptr, n);
    EXPECT_EQ(CRITERIA_OP_AND, n->op);
    FreeCriteria(n);

    std::string longChain;
    for (int i = 0; i < 5000; i++)
        longChain += "a=1 or ";
    longChain += "a=1";
    EXPECT_EQ(nullptr, ParseCriteria(longChain.c_str()));

    std::string deep(9990, '(');
    deep += "a=1" + std::string(9990, ')');
    n = ParseCriteria(deep.c_str());
    EXPECT_NE(nullptr, n);
    FreeCriteria(n);
    std::string tooDeep(10000, '(');
    tooDeep += "a=1" + std::string(10000, ')');
    EXPECT_EQ(nullptr, ParseCriteria(tooDeep.c_str()));

    /* A token beyond the scanner's buffer fails; one that fits parses. */
    std::string fits = "a='" + std::string(16380, 'x') + "'";
    n = ParseCriteria(fits.c_str());
    ASSERT_NE(nullptr, n);
    EXPECT_EQ(16382u, strlen(n->literal));
    FreeCriteria(n);
    std::string overlong = "a='" + std::string(20000, 'x') + "'";
    EXPECT_EQ(nullptr, ParseCriteria(overlong.c_str()));
    EXPECT_EQ(nullptr, ParseCriteria(("a=1 and " + std::string(17000, 'b') + "=2").c_str()));

    /* Nothing of a failed parse is left over for the next one. */
    EXPECT_EQ("(a=1 and b=2)", Parsed("a=1 and b=2"));
}

TEST(ConvertTextToValue, Integers)
{
    struct { const char *text; INT32 want; } cases[] = {
        {"7", 7}, {"-12", -12}, {"+3", 3}, {"2.5", 0}, {"'5'", 0}, {"abc", 0},
        {"12x", 0}, {"", 0}, {"4294967295", -1},
    };
    for (auto &c : cases) {
        INT32 size = 0;
        BYTE *v = ConvertTextToValue(c.text, &size, BRN_SQL_INT);
        ASSERT_NE(nullptr, v);
        EXPECT_EQ(4, size);
        EXPECT_EQ(c.want, ReadInt32Value(v, size)) << c.text;
        EXPECT_EQ(0, v[4]);
        free(v);
    }
    INT32 size = 0;
    BYTE *v = ConvertTextToValue("-9000000000", &size, BRN_SQL_BIGINT);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(8, size);
    EXPECT_EQ(-9000000000LL, ReadInt64Value(v, size));
    free(v);
}

TEST(ConvertTextToValue, RealsTextsBooleansAndByteCopies)
{
    INT32 size = 0;
    BYTE *v = ConvertTextToValue("2.5", &size, BRN_SQL_FLOAT);
    EXPECT_EQ(4, size);
    EXPECT_FLOAT_EQ(2.5f, ReadFloatValue(v, size));
    free(v);
    v = ConvertTextToValue("-0.25", &size, BRN_SQL_DOUBLE);
    EXPECT_EQ(8, size);
    EXPECT_DOUBLE_EQ(-0.25, ReadDoubleValue(v, size));
    free(v);
    v = ConvertTextToValue("1e5", &size, BRN_SQL_REAL);
    EXPECT_EQ(0.0f, ReadFloatValue(v, size));
    free(v);

    v = ConvertTextToValue("'hi'", &size, BRN_SQL_VARCHAR);
    EXPECT_EQ(4, size);
    EXPECT_STREQ("'hi'", (char *)v);
    free(v);

    v = ConvertTextToValue("True", &size, BRN_SQL_BOOLEAN);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(1, size);
    EXPECT_EQ(1, v[0]);
    free(v);
    v = ConvertTextToValue("false", &size, BRN_SQL_BOOLEAN);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(0, v[0]);
    free(v);
    EXPECT_EQ(nullptr, ConvertTextToValue("yes", &size, BRN_SQL_BOOLEAN));
    EXPECT_EQ(nullptr, ConvertTextToValue("1", &size, 23));

    /* Byte copies take the caller's size but never read past the text. */
    size = 3;
    v = ConvertTextToValue("12345", &size, BRN_SQL_DECIMAL);
    EXPECT_EQ(3, size);
    EXPECT_STREQ("123", (char *)v);
    free(v);
    size = 1000;
    v = ConvertTextToValue("ab", &size, BRN_SQL_BLOB);
    EXPECT_EQ(2, size);
    EXPECT_STREQ("ab", (char *)v);
    free(v);
}

TEST(ConvertTextToValue, DateTimesHoldBothParts)
{
    INT32 size = 0;
    BYTE *v = ConvertTextToValue("2021-03-04 05:06:07", &size, BRN_SQL_DATETIME);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(BRN_DATETIME_SIZE, size);
    BrnDateTime *dt = (BrnDateTime *)v;
    ASSERT_NE(nullptr, dt->date);
    ASSERT_NE(nullptr, dt->time);
    EXPECT_EQ(2021, dt->date->year);
    EXPECT_EQ(4, dt->date->day);
    EXPECT_EQ(7, dt->time->second);
    FreeBrnDateTime((BrnDateTime *)memcpy(malloc(sizeof(BrnDateTime)), v, sizeof(BrnDateTime)));
    free(v);
    EXPECT_EQ(nullptr, ConvertTextToValue("nonsense", &size, BRN_SQL_DATE));
}

namespace {

/* Evaluates `criteria` against a one-row table of the given column. */
class LeafTest : public ::testing::Test {
protected:
    void TearDown() override { ClearAll(); }
    bool Matches(BYTE type, const Cell &cell, const char *criteria)
    {
        DefineTable("T", {{"X", type}, {"PAD", BRN_SQL_INT}}, {}, true);
        AddRow("T", {cell, Cell::i(0)});
        ResultData *r = SelectRows("T", criteria);
        EXPECT_NE(nullptr, r) << criteria;
        bool hit = r && r->rowCount == 1;
        FreeResultData(r);
        ClearAll();
        return hit;
    }
};

} // namespace

TEST_F(LeafTest, IntegersCompareSignedOrUnsignedByType)
{
    EXPECT_TRUE(Matches(BRN_SQL_INT, Cell::i(-1), "X < 0"));
    EXPECT_FALSE(Matches(BRN_SQL_UNSIGNED_INT, Cell::i(-1), "X < 0"));
    EXPECT_TRUE(Matches(BRN_SQL_UNSIGNED_INT, Cell::i(-1), "X > 5"));
    EXPECT_TRUE(Matches(BRN_SQL_TINYINT, Cell::i(6), "5 < X"));
    EXPECT_FALSE(Matches(BRN_SQL_TINYINT, Cell::i(5), "5 < X"));
    EXPECT_TRUE(Matches(BRN_SQL_SMALLINT, Cell::i(5), "X <= 5 and X >= 5 and X = 5"));
    EXPECT_TRUE(Matches(BRN_SQL_INT, Cell::i(0), "X = 2.5"));       /* literal is 0 */
    EXPECT_TRUE(Matches(BRN_SQL_INT, Cell::i(0), "X = '7'"));
    EXPECT_TRUE(Matches(BRN_SQL_BIGINT, Cell::ll(-5000000000LL), "X < 1"));
    EXPECT_FALSE(Matches(BRN_SQL_BIGINT, Cell::ll(5000000000LL), "X < 1"));
}

TEST_F(LeafTest, FloatsTextsAndTypesThatNeverMatch)
{
    EXPECT_TRUE(Matches(BRN_SQL_FLOAT, Cell::f(2.5f), "X >= 2.5"));
    EXPECT_FALSE(Matches(BRN_SQL_FLOAT, Cell::f(2.4f), "X >= 2.5"));
    EXPECT_TRUE(Matches(BRN_SQL_FLOAT, Cell::f(NAN), "X != 1"));
    EXPECT_FALSE(Matches(BRN_SQL_FLOAT, Cell::f(NAN), "X = 1 or X < 1 or X >= 1"));

    EXPECT_TRUE(Matches(BRN_SQL_VARCHAR, Cell::s("RESOURCE_ID"), "x='RESOURCE_ID'"));
    EXPECT_FALSE(Matches(BRN_SQL_VARCHAR, Cell::s("resource_id"), "X='RESOURCE_ID'"));
    EXPECT_TRUE(Matches(BRN_SQL_CHAR, Cell::s(""), "X = ''"));
    EXPECT_FALSE(Matches(BRN_SQL_CHAR, Cell::s("a"), "X = ''"));
    EXPECT_TRUE(Matches(BRN_SQL_TEXT, Cell::s("ab"), "X < 'abc' and X > 'a'"));
    /* Signed characters: a byte above 127 sorts below ASCII. */
    EXPECT_TRUE(Matches(BRN_SQL_TEXT, Cell::s("\xE9"), "X < 'a'"));
    /* An unquoted literal still loses its first and last characters. */
    EXPECT_TRUE(Matches(BRN_SQL_TEXT, Cell::s("2"), "X = 123"));
    EXPECT_TRUE(Matches(BRN_SQL_TEXT, Cell::s(""), "X = 5"));

    EXPECT_FALSE(Matches(BRN_SQL_DOUBLE, Cell::d(1.0), "X = 1 or X != 1"));
    EXPECT_FALSE(Matches(BRN_SQL_BOOLEAN, Cell::raw("\x01"), "X = 1 or X != 1"));
    EXPECT_FALSE(Matches(BRN_SQL_UNSIGNED_LONG_INT, Cell::ll(1), "X = 1 or X != 1"));
    EXPECT_FALSE(Matches(BRN_SQL_INT, Cell::i(1), "NOPE = 1 or NOPE != 1"));
}

TEST_F(LeafTest, NullAndShortCellsMatchNothingAndAreNotOverread)
{
    EXPECT_FALSE(Matches(BRN_SQL_INT, Cell::null(), "X = 0 or X != 0"));
    EXPECT_FALSE(Matches(BRN_SQL_VARCHAR, Cell::null(), "X = '' or X != ''"));
    /* A one-byte cell in an integer column reads as that byte. */
    EXPECT_TRUE(Matches(BRN_SQL_INT, Cell::raw("\x07"), "X = 7"));
}

TEST(CriteriaBind, WideTablesDoNotWrapTheColumnIndex)
{
    std::vector<ColSpec> cols;
    for (int i = 0; i < 300; i++)
        cols.push_back({"C" + std::to_string(i), BRN_SQL_INT});
    DefineTable("WIDE", cols);
    std::vector<Cell> cells;
    for (int i = 0; i < 300; i++)
        cells.push_back(Cell::i(i));
    AddRow("WIDE", cells);
    ResultData *r = SelectRows("WIDE", "c299 = 299 and C4 = 4");
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(1, r->rowCount);
    FreeResultData(r);
    r = SelectRows("WIDE", "C299 = 43");      /* 299 mod 256 */
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0, r->rowCount);
    FreeResultData(r);
    ClearAll();
}
