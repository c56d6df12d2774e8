/* The SQLITE provider on files of a scratch folder (no ODBC needed): where a
 * relative database name lies, values read as stored (reals bit for bit,
 * 64-bit integers, bytes 0x00 and 0xFF of blobs, UTF-8 text, NULL), blobs
 * through the chunk source, and the files it must refuse with SQLite's own
 * message: not a database, read-only, locked by another connection. The
 * engine tests run every SQLite case on this provider as well. */
#include "records/db/sqliteprovider.h"
#include "records/base/coltypes.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include "agent/log.h"

#include <gtest/gtest.h>

#include <float.h>
#include <stdint.h>
#include <string.h>
#include <string>

namespace {

const DBProvider *P() { return GetSQLiteProvider(); }

void *Open(const std::string &dsn)
{
    ConnParamsEntry r = {};
    r.dsn = (char *)dsn.c_str();
    r.connectionName = (char *)"sqlitetest";
    r.driver = (char *)"SQLITE";
    r.dbType = (char *)"SQLITE";
    return P()->openConnection(&r);
}

struct BytesSource {
    std::string data;
    size_t piece;
    size_t sent;
};

int BytesChunks(BYTE **data, INT32 *size, void *context)
{
    BytesSource *s = (BytesSource *)context;
    if (s->sent >= s->data.size())
        return CHUNK_SOURCE_DONE;
    size_t n = s->data.size() - s->sent < s->piece ? s->data.size() - s->sent : s->piece;
    *data = (BYTE *)s->data.data() + s->sent;
    *size = (INT32)n;
    s->sent += n;
    return 1;
}

} // namespace

TEST(SQLiteProvider, ARelativeNameLiesUnderTheRootsDataFolderAndIsCreated)
{
    vqt::ScratchDir root("sqlroot");
    ASSERT_TRUE(CreateDirectoryA(root.file("data").c_str(), NULL));
    std::string rootPath = root.path();
    char *saved = gv_cParloRoot;
    gv_cParloRoot = (char *)rootPath.c_str();
    void *c = Open("made.db");
    gv_cParloRoot = saved;
    ASSERT_NE(nullptr, c);
    EXPECT_TRUE(P()->executeUpdate(c, "create table t(x int)"));
    P()->closeConnection(c);
    EXPECT_TRUE(vqt::FileExistsA(root.file("data\\made.db")));
    EXPECT_FALSE(vqt::FileExistsA(root.file("made.db")));
}

/* Every real at its edges, and 64-bit integers, come back as stored: the
 * value itself and a text that converts to the very same number. */
TEST(SQLiteProvider, RealsAndIntegersComeBackAsStored)
{
    void *c = Open(":memory:");
    ASSERT_NE(nullptr, c);
    ASSERT_TRUE(P()->executeUpdate(c, "create table v(id int, d double, f float, i bigint, n int)"));
    const struct { double d; INT64 i; INT32 n; } cases[] = {
        {4503599627370497.0, INT64_MAX, INT32_MAX},
        {-DBL_MAX, INT64_MIN, INT32_MIN},
        {DBL_MIN, 9007199254740993LL, 0},
        {4.9406564584124654e-324, -1, -1},
        {0.1234567, 1, 1},
        {1.0 / 3.0, 0, 2},
        {1e300, 123456789012LL, 7},
        {-4997.375, 5, 5},
        {1.0 / 1024, 6, 6},
        {1.0 / 2048, 7, 7},
    };
    int id = 0;
    for (const auto &k : cases) {
        char sql[256];
        snprintf(sql, sizeof sql, "insert into v values(%d, %.17g, %.17g, %lld, %d)", id++, k.d, k.d,
                 (long long)k.i, (int)k.n);
        ASSERT_TRUE(P()->executeUpdate(c, sql)) << sql;
    }
    ResultSet *set = P()->executeQuery(c, "select d, f, i, n from v order by id");
    ASSERT_NE(nullptr, set);
    ASSERT_EQ((INT32)(sizeof cases / sizeof cases[0]), set->rowCount);
    EXPECT_EQ(BRN_SQL_DOUBLE, set->columns[0].type);
    EXPECT_EQ(BRN_SQL_DOUBLE, set->columns[1].type);
    EXPECT_EQ(BRN_SQL_BIGINT, set->columns[2].type);
    EXPECT_EQ(BRN_SQL_INT, set->columns[3].type);
    int row = 0;
    for (ResultRow *r = set->firstRow; r; r = r->next, row++) {
        SCOPED_TRACE("row " + std::to_string(row));
        const auto &k = cases[row];
        for (int col = 0; col < 2; col++) {
            ASSERT_EQ(8, r->cells[col].size);
            EXPECT_EQ(0, memcmp(&k.d, r->cells[col].value, 8)) << std::hexfloat << k.d;
            double again = strtod(r->cells[col].text, NULL);
            EXPECT_EQ(0, memcmp(&k.d, &again, 8)) << r->cells[col].text;
        }
        ASSERT_EQ(8, r->cells[2].size);
        EXPECT_EQ(k.i, *(INT64 *)r->cells[2].value);
        EXPECT_EQ(std::to_string(k.i), r->cells[2].text);
        ASSERT_EQ(4, r->cells[3].size);
        EXPECT_EQ(k.n, *(INT32 *)r->cells[3].value);
    }
    FreeResultSet(set);
    P()->closeConnection(c);
}

/* Bytes 0x00 and 0xFF in blobs written as literals and through the chunk
 * source (in odd pieces, and empty), UTF-8 text, and NULL cells. */
TEST(SQLiteProvider, BlobsTextAndNullsComeBackByteForByte)
{
    void *c = Open(":memory:");
    ASSERT_NE(nullptr, c);
    ASSERT_TRUE(P()->executeUpdate(c, "create table b(id int, data blob, txt varchar(40))"));
    ASSERT_TRUE(P()->executeUpdate(c, "insert into b values(1, X'00FF0000FFFE01', 'M\xc3\xbcller \xf0\x9f\x98\x80')"));
    ASSERT_TRUE(P()->executeUpdate(c, "insert into b values(2, NULL, NULL)"));
    BytesSource source = {std::string("\xff\x00\xff\x00\x00", 5), 2, 0};
    ASSERT_TRUE(P()->executeUpdateBlob(c, "insert into b values(3, ?, 'chunked')", BytesChunks, &source));
    BytesSource empty = {"", 1, 0};
    ASSERT_TRUE(P()->executeUpdateBlob(c, "insert into b values(4, ?, '')", BytesChunks, &empty));

    ResultSet *set = P()->executeQuery(c, "select data, txt from b order by id");
    ASSERT_NE(nullptr, set);
    ASSERT_EQ(4, set->rowCount);
    EXPECT_TRUE(set->columns[0].binary);
    const struct { std::string data; bool dataNull; std::string txt; bool txtNull; } expected[] = {
        {std::string("\x00\xff\x00\x00\xff\xfe\x01", 7), false, "M\xc3\xbcller \xf0\x9f\x98\x80", false},
        {"", true, "", true},
        {std::string("\xff\x00\xff\x00\x00", 5), false, "chunked", false},
        {"", false, "", false},
    };
    int i = 0;
    for (ResultRow *r = set->firstRow; r; r = r->next, i++) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        const ResultCell &d = r->cells[0], &t = r->cells[1];
        if (expected[i].dataNull) {
            EXPECT_EQ(nullptr, d.value);
            EXPECT_EQ(0, d.size);
        } else {
            ASSERT_NE(nullptr, d.value);
            EXPECT_EQ(expected[i].data, std::string((const char *)d.value, d.size));
            EXPECT_EQ(expected[i].data, std::string(d.text, d.textLength));
        }
        if (expected[i].txtNull) {
            EXPECT_EQ(nullptr, t.text);
        } else {
            ASSERT_NE(nullptr, t.value);
            EXPECT_EQ(expected[i].txt, std::string((const char *)t.value, t.size));
        }
    }
    FreeResultSet(set);

    /* A query's own binary parameter comes from the chunk source too. */
    BytesSource key = {std::string("\x00\xff\x00\x00\xff\xfe\x01", 7), 3, 0};
    set = P()->executeQueryBlob(c, "select id from b where data = ?", BytesChunks, &key);
    ASSERT_NE(nullptr, set);
    ASSERT_EQ(1, set->rowCount);
    EXPECT_STREQ("1", set->firstRow->cells[0].text);
    FreeResultSet(set);
    P()->closeConnection(c);
}

/* Files the provider must refuse: an ERROR line with SQLite's message and
 * no connection, and a statement on a file another connection holds
 * locked fails the same way. */
TEST(SQLiteProvider, UnusableFilesGiveAClearErrorAndNoConnection)
{
    vqt::ScratchDir dir("sqlbad");
    vqt::ScratchLog log(dir.path(), "bad.log", 4);
    ASSERT_TRUE(log.opened());

    std::string notDb = dir.file("notadb.db");
    ASSERT_TRUE(vqt::WriteWholeFile(notDb, std::string(4096, 'x') + "this is plain text, not a database\n"));

    /* Wine lets root write a file marked read-only, so the file is held
     * open by a reader that shares it for reading only: SQLite can then
     * open it for reading and nothing else, as a read-only file. */
    std::string readOnly = dir.file("readonly.db");
    void *maker = Open(readOnly);
    ASSERT_NE(nullptr, maker);
    ASSERT_TRUE(P()->executeUpdate(maker, "create table t(x int); insert into t values(1)"));
    P()->closeConnection(maker);
    HANDLE reader = CreateFileA(readOnly.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);

    std::string locked = dir.file("locked.db");
    void *holder = Open(locked);
    ASSERT_NE(nullptr, holder);
    ASSERT_TRUE(P()->executeUpdate(holder, "create table t(x int)"));
    void *early = Open(locked);     /* opened before the lock is taken */
    ASSERT_NE(nullptr, early);
    ASSERT_TRUE(P()->executeUpdate(holder, "begin exclusive; insert into t values(1)"));

    const struct { std::string path; const char *message; } cases[] = {
        {notDb, "file is not a database"},
        {readOnly, "read-only"},
        {locked, "database is locked"},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.path);
        int errorsBefore = log.count("[ERROR]");
        EXPECT_EQ(nullptr, Open(k.path));
        EXPECT_LT(errorsBefore, log.count("[ERROR]"));
        EXPECT_FALSE(log.linesWith(k.message).empty()) << log.plainText();
    }
    EXPECT_FALSE(P()->executeUpdate(early, "insert into t values(2)"));
    EXPECT_EQ(nullptr, P()->executeQuery(early, "select * from t"));
    EXPECT_LE(3u, log.linesWith("database is locked").size()) << log.plainText();

    ASSERT_TRUE(P()->rollbackTransaction(holder));
    EXPECT_TRUE(P()->executeUpdate(early, "insert into t values(3)")) << "the lock is gone";
    P()->closeConnection(early);
    P()->closeConnection(holder);
    CloseHandle(reader);
    log.close();
}
