/* SortResultSet: the order must be exactly what the adjacent-swap sort of
 * the entry list gives (equal keys never swapped), including NULL and short
 * cells, and empty or one-row results. */
#include "records/store/tablestore.h"
#include "support/records/recordfixture.h"

#include <gtest/gtest.h>

#include <random>

using namespace vqt;

namespace {

/* The reference: the pass-bounded adjacent-swap sort over row positions. */
std::vector<int> BubbleOrder(const std::vector<long long> &keys, bool ascending)
{
    std::vector<int> order(keys.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = (int)i;
    for (size_t p = order.size(); p > 0; p--)
        for (size_t i = 1; i < p; i++) {
            long long a = keys[order[i - 1]], b = keys[order[i]];
            if (ascending ? a > b : a < b)
                std::swap(order[i - 1], order[i]);
        }
    return order;
}

class Sort : public ::testing::Test {
protected:
    void SetUp() override
    {
        DefineTable("S", {{"K", BRN_SQL_INT}, {"POS", BRN_SQL_INT}, {"NAME", BRN_SQL_VARCHAR}});
    }
    void TearDown() override { ClearAll(); }
    std::vector<int> Positions(ResultData *r)
    {
        std::vector<int> out;
        for (RowObject *row : Rows(r))
            out.push_back(IntAt(row, 1));
        return out;
    }
};

} // namespace

TEST_F(Sort, RandomKeysWithManyTiesMatchTheReference)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; round++) {
        ClearAll();
        SetUp();
        int n = 1 + (int)(rng() % 300);
        std::vector<long long> keys;
        for (int i = 0; i < n; i++) {
            INT32 k = (INT32)(rng() % 7) - 3;          /* many ties, negatives */
            if (round % 5 == 0)
                k = (INT32)rng();
            keys.push_back(k);
            AddRow("S", {Cell::i(k), Cell::i(i), Cell::s("x")});
        }
        for (int asc = 0; asc < 2; asc++) {
            ResultData *r = SelectRows("S", NULL);
            ASSERT_TRUE(SortResultSet(r, "k", asc ? SORT_ORDER_ASCENDING : 2));
            EXPECT_EQ(BubbleOrder(keys, asc), Positions(r)) << "round " << round;
            EXPECT_EQ(n, r->rowCount);
            FreeResultData(r);
        }
    }
}

TEST_F(Sort, NullAndShortCellsSortSafely)
{
    /* NULL sorts below every value; a one-byte cell reads as that byte. */
    AddRow("S", {Cell::i(5), Cell::i(0), Cell::null()});
    AddRow("S", {Cell::null(), Cell::i(1), Cell::null()});
    AddRow("S", {Cell::raw("\x03"), Cell::i(2), Cell::null()});
    AddRow("S", {Cell::i(INT_MIN), Cell::i(3), Cell::null()});
    AddRow("S", {Cell::null(), Cell::i(4), Cell::null()});
    ResultData *r = SelectRows("S", NULL);
    ASSERT_TRUE(SortResultSet(r, "K", SORT_ORDER_ASCENDING));
    EXPECT_EQ((std::vector<int>{1, 4, 3, 2, 0}), Positions(r));
    ASSERT_TRUE(SortResultSet(r, "K", 0));
    EXPECT_EQ((std::vector<int>{0, 2, 3, 1, 4}), Positions(r));
    /* The cursor still walks every entry from the new head. */
    int seen = 0;
    while (GotoNextRowObject(r))
        seen++;
    EXPECT_EQ(5, seen);
    FreeResultData(r);
}

TEST_F(Sort, DegenerateResults)
{
    ResultData *r = SelectRows("S", NULL);
    EXPECT_TRUE(SortResultSet(r, "K", SORT_ORDER_ASCENDING));   /* empty: nothing to do */
    FreeResultData(r);

    AddRow("S", {Cell::i(1), Cell::i(0), Cell::null()});
    r = SelectRows("S", NULL);
    EXPECT_TRUE(SortResultSet(r, "K", SORT_ORDER_ASCENDING));
    EXPECT_FALSE(SortResultSet(r, "NOPE", SORT_ORDER_ASCENDING));
    EXPECT_FALSE(SortResultSet(r, NULL, SORT_ORDER_ASCENDING));
    EXPECT_FALSE(SortResultSet(NULL, "K", SORT_ORDER_ASCENDING));
    r->rowCount = 2;                         /* one entry but a count of two */
    EXPECT_FALSE(SortResultSet(r, "K", SORT_ORDER_ASCENDING));
    FreeResultData(r);

    ResultData bare = {};
    EXPECT_FALSE(SortResultSet(&bare, "K", SORT_ORDER_ASCENDING));

    /* Two equal keys keep their order both ways. */
    AddRow("S", {Cell::i(1), Cell::i(1), Cell::null()});
    r = SelectRows("S", NULL);
    EXPECT_TRUE(SortResultSet(r, "K", 0));
    EXPECT_EQ((std::vector<int>{0, 1}), Positions(r));
    FreeResultData(r);
}

TEST_F(Sort, OnlyTheCountedEntriesTakePart)
{
    for (int i = 0; i < 4; i++)
        AddRow("S", {Cell::i(10 - i), Cell::i(i), Cell::null()});
    ResultData *r = SelectRows("S", NULL);
    r->rowCount = 3;
    ASSERT_TRUE(SortResultSet(r, "K", SORT_ORDER_ASCENDING));
    EXPECT_EQ((std::vector<int>{2, 1, 0, 3}), Positions(r));
    FreeResultData(r);
}
