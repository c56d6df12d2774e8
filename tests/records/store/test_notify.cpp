/* Row-change notifications: event filters, table lists, duplicate and
 * disabled listeners, and what the table store delivers. */
#include "records/cparlo.h"
#include "records/store/notify.h"
#include "support/records/recordfixture.h"
#include "support/scratchlog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vqt;

namespace {

struct Seen {
    std::string listener, table;
    int flags;
    INT32 id;
    const BYTE *buffer;     /* the delivered first cell */
};
std::vector<Seen> g_seen;

void Record(IMDSNotification *n, const char *listener)
{
    g_seen.push_back({listener, n->tableName, n->row->flags, IntAt(n->row, 0), n->row->values[0]});
}

class Notify : public ::testing::Test {
protected:
    void SetUp() override { DefineTable("T", {{"ID", BRN_SQL_INT}, {"NAME", BRN_SQL_VARCHAR}}); }
    void TearDown() override
    {
        DeInitNotification();
        ClearAll();
        g_seen.clear();
    }
    /* The listeners' names that a row of `table` with `flags` reached. */
    std::string Send(BYTE flags, const char *table = "T")
    {
        g_seen.clear();
        RowObject *row = MakeRow({Cell::i(7), Cell::s("x")});
        row->flags = flags;
        SendNotification(row, table);
        FreeRowObject(row, 2);
        std::string names;
        for (const Seen &s : g_seen)
            names += s.listener + ";";
        return names;
    }
    char *tables_[2] = {(char *)"T", nullptr};
};

} // namespace

TEST_F(Notify, FilterAndTableListDecideDelivery)
{
    DefineTable("Other", {{"ID", BRN_SQL_INT}, {"NAME", BRN_SQL_VARCHAR}});   /* a table not listed */
    char *names[] = {(char *)"zeta", (char *)"Alpha", (char *)"T", (char *)"mid", nullptr};
    const struct { BYTE filter; const char *table; BYTE flags; bool delivered; } cases[] = {
        {0, "T", 2, true},  {0, "t", 9, true},  {2, "T", 2, true},   {2, "T", 6, true},
        {2, "T", 10, true}, {2, "T", 3, true},  {4, "T", 2, false},  {2, "T", 4, false},
        {2, "T", 14, false}, {6, "T", 6, true}, {8, "t", 9, true},   {0, "Other", 2, false},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(AddNotificationListener("f", c.filter, Record, 1, names));
        EXPECT_EQ(c.delivered ? "f;" : "", Send(c.flags, c.table)) << (int)c.filter << c.table << (int)c.flags;
        ASSERT_TRUE(RemoveNotification("F"));
    }
    /* Sorted in place, searched ignoring case. */
    EXPECT_STREQ("Alpha", names[0]);
    EXPECT_STREQ("zeta", names[3]);
    for (const char *in : {"ALPHA", "MiD", "t", "Zeta"})
        EXPECT_TRUE(IsListContains(names, in)) << in;
    for (const char *out : {"beta", "", "zetas", (const char *)nullptr})
        EXPECT_FALSE(IsListContains(names, out)) << (out ? out : "(null)");
    char *empty[] = {nullptr};
    EXPECT_FALSE(IsListContains(empty, "T"));
}

TEST_F(Notify, DuplicateDisabledAndRemovedListeners)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(AddNotificationListener("Audit", 0, Record, 1, tables_));
    EXPECT_TRUE(AddNotificationListener("AUDIT", 0, Record, 1, tables_));
    EXPECT_TRUE(log.has("Listener with same name exists AUDIT"));
    ASSERT_TRUE(AddNotificationListener("Second", 0, Record, 1, tables_));
    EXPECT_FALSE(AddNotificationListener(nullptr, 0, Record, 1, tables_));
    EXPECT_FALSE(AddNotificationListener("NoCallback", 0, nullptr, 1, tables_));
    EXPECT_EQ("Audit;Second;", Send(2));

    EXPECT_TRUE(DisableNotification("audit"));
    EXPECT_FALSE(DisableNotification("nobody"));
    EXPECT_FALSE(RemoveNotification("nobody"));
    EXPECT_EQ("Second;", Send(2));
    /* Only removing and adding again brings a disabled listener back. */
    EXPECT_TRUE(RemoveNotification("AUDIT"));
    ASSERT_TRUE(AddNotificationListener("Audit", 0, Record, 1, tables_));
    EXPECT_EQ("Second;Audit;", Send(2));

    DeInitNotification();
    EXPECT_TRUE(log.has("Listener with name Second removed"));
    EXPECT_EQ("", Send(2));
}

TEST_F(Notify, TableStoreChangesArriveAsCopies)
{
    /* The store reports its changes through the hook that start-up fills. */
    ConnectStoreHooks();
    ASSERT_TRUE(AddNotificationListener("store", 0, Record, 1, tables_));
    RowObject *row = AddRow("T", {Cell::i(5), Cell::s("a")});
    INT32 six = 6;
    ASSERT_TRUE(UpdateRowObject("T", row, "ID", &six, 4));
    const BYTE *live = row->values[0];
    ASSERT_TRUE(DeleteRowObject("T", row));     /* a new row: unlinked and freed */
    ASSERT_EQ(3u, g_seen.size());
    const int flags[] = {2, 6, 6}, ids[] = {5, 6, 6};
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(flags[i], g_seen[i].flags) << i;
        EXPECT_EQ(ids[i], g_seen[i].id) << i;
    }
    EXPECT_NE(live, g_seen[1].buffer);
}
