/* Row-change notifications: event filters, table lists, disabled and
 * duplicate listeners, and what the table store delivers. */
#include "records/notify.h"
#include "recordfixture.h"
#include "support/scratchlog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vqr;

namespace {

struct Seen {
    std::string listener;
    std::string table;
    int flags;
    INT32 id;               /* first cell, -1 when NULL */
    const BYTE *buffer;     /* the first cell's buffer as delivered */
};

std::vector<Seen> g_seen;

void Record(IMDSNotification *n, const char *listener)
{
    ASSERT_NE(nullptr, n->changedAt);
    const BYTE *v = n->row->values[0];
    g_seen.push_back({listener, n->tableName, n->row->flags, v ? IntAt(n->row, 0) : -1, v});
}

class Notify : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_seen.clear();
        DefineTable("T", {{"ID", BRN_SQL_INT}, {"NAME", BRN_SQL_VARCHAR}});
    }
    void TearDown() override
    {
        DeInitNotification();
        ClearAll();
    }
    /* Sends a row of table T with these flags. */
    void Send(BYTE flags, const char *table = "T")
    {
        RowObject *row = MakeRow({Cell::i(7), Cell::s("x")});
        row->flags = flags;
        SendNotification(row, table);
        FreeRowObject(row, 2);
    }
    char *tables_[2] = {(char *)"T", nullptr};
};

} // namespace

TEST_F(Notify, FilterTakesItsFlagsAloneOrWithOneMore)
{
    struct Case {
        BYTE filter, flags;
        bool delivered;
    } cases[] = {
        {0, 2, true},  {0, 9, true},  {2, 2, true},  {2, 6, true},  {2, 10, true}, {2, 3, true},
        {4, 2, false}, {2, 4, false}, {2, 14, false}, {6, 6, true}, {6, 2, false}, {8, 9, true},
    };
    for (const Case &c : cases) {
        g_seen.clear();
        ASSERT_TRUE(AddNotificationListener("f", c.filter, Record, 1, tables_));
        Send(c.flags);
        EXPECT_EQ(c.delivered ? 1u : 0u, g_seen.size()) << "filter " << (int)c.filter << " flags " << (int)c.flags;
        ASSERT_TRUE(RemoveNotification("F"));
    }
}

TEST_F(Notify, TableListsAreSortedAndSearchedIgnoringCase)
{
    char *names[] = {(char *)"zeta", (char *)"Alpha", (char *)"T", (char *)"mid", nullptr};
    ASSERT_TRUE(AddNotificationListener("l", 0, Record, 1, names));
    EXPECT_STREQ("Alpha", names[0]);
    EXPECT_STREQ("mid", names[1]);
    EXPECT_STREQ("T", names[2]);
    EXPECT_STREQ("zeta", names[3]);
    struct {
        const char *name;
        bool found;
    } cases[] = {{"ALPHA", true}, {"Zeta", true}, {"MiD", true}, {"t", true},
                 {"beta", false}, {"", false}, {"zetas", false}, {nullptr, false}};
    for (const auto &c : cases)
        EXPECT_EQ(c.found, IsListContains(names, c.name) != 0) << (c.name ? c.name : "(null)");
    char *empty[] = {nullptr};
    EXPECT_FALSE(IsListContains(empty, "T"));
    EXPECT_FALSE(IsListContains(nullptr, "T"));

    /* Delivered for a listed table in any case, never for another. */
    Send(2, "t");
    Send(2, "Other");
    ASSERT_EQ(1u, g_seen.size());
    EXPECT_EQ("t", g_seen[0].table);
}

TEST_F(Notify, DuplicateNamesDisabledAndRemovedListeners)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(AddNotificationListener("Audit", 0, Record, 1, tables_));
    EXPECT_TRUE(AddNotificationListener("AUDIT", 0, Record, 1, tables_));
    EXPECT_TRUE(log.has("Listener with same name exists AUDIT"));
    ASSERT_TRUE(AddNotificationListener("Second", 0, Record, 1, tables_));
    EXPECT_FALSE(AddNotificationListener(nullptr, 0, Record, 1, tables_));
    EXPECT_FALSE(AddNotificationListener("NoCallback", 0, nullptr, 1, tables_));

    Send(2);
    ASSERT_EQ(2u, g_seen.size());           /* one each, in registration order */
    EXPECT_EQ("Audit", g_seen[0].listener);
    EXPECT_EQ("Second", g_seen[1].listener);

    EXPECT_TRUE(DisableNotification("audit"));
    EXPECT_FALSE(DisableNotification("nobody"));
    EXPECT_FALSE(RemoveNotification("nobody"));
    g_seen.clear();
    Send(2);
    ASSERT_EQ(1u, g_seen.size());
    EXPECT_EQ("Second", g_seen[0].listener);

    /* Only removing and adding again brings a disabled listener back. */
    EXPECT_TRUE(RemoveNotification("AUDIT"));
    ASSERT_TRUE(AddNotificationListener("Audit", 0, Record, 1, tables_));
    g_seen.clear();
    Send(2);
    ASSERT_EQ(2u, g_seen.size());
    EXPECT_EQ("Second", g_seen[0].listener);
    EXPECT_EQ("Audit", g_seen[1].listener);

    DeInitNotification();
    EXPECT_TRUE(log.has("Listener with name Second removed"));
    EXPECT_TRUE(log.has("Listener with name Audit removed"));
    g_seen.clear();
    Send(2);
    EXPECT_TRUE(g_seen.empty());
}

TEST_F(Notify, TableStoreChangesArriveAsCopies)
{
    ASSERT_TRUE(AddNotificationListener("store", 0, Record, 1, tables_));
    RowObject *row = AddRow("T", {Cell::i(5), Cell::s("a")});
    ASSERT_NE(nullptr, row);
    INT32 six = 6;
    ASSERT_TRUE(UpdateRowObject("T", row, "ID", &six, 4));
    const BYTE *live = row->values[0];
    ASSERT_TRUE(DeleteRowObject("T", row));  /* a new row: unlinked and freed */
    ASSERT_EQ(3u, g_seen.size());
    const int flags[] = {ROW_FLAG_NEW, ROW_FLAG_NEW | ROW_FLAG_MODIFIED, ROW_FLAG_NEW | ROW_FLAG_MODIFIED};
    const INT32 ids[] = {5, 6, 6};
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(flags[i], g_seen[i].flags) << i;
        EXPECT_EQ(ids[i], g_seen[i].id) << i;
    }
    EXPECT_NE(live, g_seen[1].buffer);
}
