/* Generated SQL run on a real engine through its provider, the ODBC adapter
 * or (sqlitenative) the SQLITE provider: the engine is chosen by
 * VQ_DB_ENGINE (sqlite, sqlitenative, pgsql, mysql), which CTest sets
 * together with the ODBC configuration of the private servers. Rows are
 * written with the dialect's INSERT, changed with its UPDATE and DELETE,
 * read back with its SELECTs through the provider's query and
 * ConvertResultSetToRow, and compared with what was written, type by type. */
#include "records/base/coltypes.h"
#include "records/db/dbprovider.h"
#include "records/db/dialects.h"
#include "records/db/odbcadapter.h"
#include "support/records/dbengine.h"
#include "support/records/sqlschema.h"

#include <gtest/gtest.h>

#include <float.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <string>

using namespace vqt;

namespace {

struct Engine {
    const char *name;
    const char *dsn;
    const char *user;
    const char *password;
    const char *dialect;
    const SqlDialect *generator;
    const char *rawString;  /* the whole connection string, or null */
    bool exactReals;        /* false: the driver hands reals over as 15-digit text */
    bool native;            /* the SQLITE provider on its own file */
    bool signedZero;        /* a real column keeps the sign of -0 (SQLite
                               stores a whole real as an integer, MariaDB
                               stores -0 as 0) */
};

/* MariaDB's ODBC driver ignores the DSN once the connection string also
 * names a Driver (it connects to its default, localhost), so its record
 * carries its connection string whole, as a site with that driver would. */
const Engine kEngines[] = {
    /* The SQLite ODBC driver turns every real into 15-digit text before any
     * C type is asked for, so through it a double comes back as that text
     * reads: the file holds it exactly, the driver does not deliver it. */
    {"sqlite", "vqcparlo", "cparlo", nullptr, "SQLITE", &g_sqliteDialect, nullptr, false, false, false},
    /* SQLite's C API hands reals over as stored. */
    {"sqlitenative", nullptr, "cparlo", nullptr, "SQLITE", &g_sqliteDialect, nullptr, true, true, false},
    {"pgsql", "vqpgsql", "vq", nullptr, "PGSQL", &g_pgsqlDialect, nullptr, true, false, true},
    {"mysql", "vqmysql", "vq", "vq", "MYSQL", &g_mysqlDialect, "DSN=vqmysql;UID=vq;PWD=vq;", true, false, false},
};

const Engine *CurrentEngine()
{
    const char *name = getenv("VQ_DB_ENGINE");
    for (const Engine &e : kEngines)
        if (name && strcmp(name, e.name) == 0)
            return &e;
    return nullptr;
}

/* Compares a written cell with the one read back, by the column's type. */
void ExpectSameCell(const ColumnDefn *col, const BYTE *wrote, INT32 wroteSize, const BYTE *read,
                    INT32 readSize, int rowId, bool exactReals)
{
    SCOPED_TRACE(std::string("row ") + std::to_string(rowId) + " column " + col->name);
    if (!wrote) {
        EXPECT_EQ(nullptr, read);
        return;
    }
    ASSERT_NE(nullptr, read);
    switch (col->type) {
    case BRN_SQL_BIGINT:
    case BRN_SQL_UNSIGNED_LONG_INT:
        EXPECT_EQ(ReadInt64Value(wrote, wroteSize), ReadInt64Value(read, readSize));
        break;
    case BRN_SQL_FLOAT:
    case BRN_SQL_REAL: {
        /* Bit for bit: a nearly equal real is a changed value. */
        float a = ReadFloatValue(wrote, wroteSize), b = ReadFloatValue(read, readSize);
        EXPECT_EQ(0, memcmp(&a, &b, sizeof a)) << a << " came back as " << b;
        break;
    }
    case BRN_SQL_DOUBLE: {
        double a = ReadDoubleValue(wrote, wroteSize), b = ReadDoubleValue(read, readSize);
        if (!exactReals) {
            char text[40];
            snprintf(text, sizeof text, "%.15g", a);
            a = strtod(text, NULL);
        }
        EXPECT_EQ(0, memcmp(&a, &b, sizeof a)) << std::hexfloat << a << " came back as " << b;
        break;
    }
    case BRN_SQL_DECIMAL:
    case BRN_SQL_NUMERIC:
        /* Engines pad decimals with their scale ("12.5000"). */
        EXPECT_DOUBLE_EQ(strtod((const char *)wrote, NULL), strtod((const char *)read, NULL));
        break;
    case BRN_SQL_DATE:
    case BRN_SQL_TIME:
    case BRN_SQL_DATETIME:
        EXPECT_EQ(Take(ConvertValueToText(wrote, wroteSize, col->type)),
                  Take(ConvertValueToText(read, readSize, col->type)));
        break;
    case BRN_SQL_BOOLEAN:
        EXPECT_EQ(wrote[0], read[0]);
        EXPECT_EQ(1, readSize);
        break;
    case BRN_SQL_CHAR:
    case BRN_SQL_VARCHAR:
    case BRN_SQL_TEXT:
    case BRN_SQL_CLOB:
    case BRN_SQL_BLOB:
        EXPECT_EQ(std::string((const char *)wrote, wroteSize), std::string((const char *)read, readSize));
        break;
    default:
        EXPECT_EQ(ReadInt32Value(wrote, wroteSize), ReadInt32Value(read, readSize));
        break;
    }
}

/* A chunk source handing out `total` bytes of a pattern in 64 KiB pieces. */
struct PatternSource {
    std::string chunk;
    size_t total;
    size_t sent;
};

int PatternChunks(BYTE **data, INT32 *size, void *context)
{
    PatternSource *s = (PatternSource *)context;
    if (s->sent >= s->total)
        return CHUNK_SOURCE_DONE;
    size_t n = s->total - s->sent < s->chunk.size() ? s->total - s->sent : s->chunk.size();
    *data = (BYTE *)s->chunk.data();
    *size = (INT32)n;
    s->sent += n;
    return 1;
}

std::string Pattern(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++)
        s[i] = (char)((i * 7 + i / 251) & 0xff);
    return s;
}

class Engines : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        DefineTestSchema();
        CreateQueryGeneratorRegistry();
        SetDSNMapValid(0, SQL_DIALECT_SQLITE);
    }
    static void TearDownTestSuite() { FreeAllTableDefns(); }

    void SetUp() override
    {
        engine_ = CurrentEngine();
        ASSERT_NE(nullptr, engine_) << "VQ_DB_ENGINE names no engine: run through CTest";
        record_ = {};
        record_.dsn = (char *)(engine_->native ? NativeSqliteFile().c_str() : engine_->dsn);
        record_.user = (char *)engine_->user;
        record_.password = (char *)engine_->password;
        record_.connectionName = (char *)"testdb";
        record_.driver = (char *)(engine_->native ? "SQLITE" : "ODBC");
        record_.dbType = (char *)engine_->dialect;
        record_.rawStringFlag = engine_->rawString ? 1 : 0;
        record_.rawString = (char *)engine_->rawString;
        p_ = engine_->native ? GetSQLiteProvider() : GetODBCProvider();
        conn_ = p_->openConnection(&record_);
        ASSERT_NE(nullptr, conn_) << "the " << engine_->name << " engine did not accept a connection";
        d_ = engine_->generator;
        for (const char *t : {"vqall", "vqparent", "vqblob", "vqrows"})
            p_->executeUpdate(conn_, (std::string("drop table ") + t).c_str());
    }
    void TearDown() override
    {
        if (conn_)
            p_->closeConnection(conn_);
    }

    void Run(char *statement)
    {
        ASSERT_NE(nullptr, statement);
        BOOL ok = p_->executeUpdate(conn_, statement);
        EXPECT_TRUE(ok) << statement;
        free(statement);
    }

    void CreateAndFill()
    {
        Run(SqlGenCreateTableQuery(d_, "vqparent"));
        Run(SqlGenCreateTableQuery(d_, "vqall"));
        RowObject *p1 = Row({I32(1), Text("k'1"), Text("parent one")});
        RowObject *p2 = Row({I32(2), Text("k2"), Text("parent two")});
        Run(SqlGenInsertQuery(d_, "vqparent", p1));
        Run(SqlGenInsertQuery(d_, "vqparent", p2));
        FreeRow(p1, 3);
        FreeRow(p2, 3);
        rows_[0] = FullRow();
        rows_[1] = NullRow();
        rows_[2] = PlainRow();
        for (RowObject *r : rows_)
            Run(SqlGenInsertQuery(d_, "vqall", r));
    }
    void FreeRows()
    {
        for (RowObject *&r : rows_) {
            FreeRow(r, C_COUNT);
            r = nullptr;
        }
    }

    /* Reads every row of vqall by id and compares them with `expected`. */
    void ExpectTableHolds(const std::vector<RowObject *> &expected)
    {
        SelectQuery *q = OrderedQuery(0, 0);
        char *text = SqlGenSelectQuery(d_, q);
        FreeSelectQuery(q);
        ASSERT_NE(nullptr, text);
        ResultSet *set = p_->executeQuery(conn_, text);
        free(text);
        ASSERT_NE(nullptr, set);
        EXPECT_EQ(C_COUNT, set->columnCount);
        ASSERT_EQ((INT32)expected.size(), set->rowCount);
        const TableDefn *defn = GetTableDefn("vqall");
        size_t i = 0;
        for (ResultRow *r = set->firstRow; r; r = r->next, i++) {
            RowObject *back = ConvertResultSetToRow(set, r, engine_->dialect, "vqall");
            ASSERT_NE(nullptr, back);
            EXPECT_EQ(ROW_FLAG_STORED, back->flags);
            for (int c = 0; c < C_COUNT; c++)
                ExpectSameCell(defn->columns[c], expected[i]->values[c], expected[i]->sizes[c],
                               back->values[c], back->sizes[c], (int)i + 1, engine_->exactReals);
            FreeRow(back, C_COUNT);
        }
        FreeResultSet(set);
    }

    const Engine *engine_ = nullptr;
    const SqlDialect *d_ = nullptr;
    const DBProvider *p_ = nullptr;
    ConnParamsEntry record_;
    void *conn_ = nullptr;
    RowObject *rows_[3] = {};
};

} // namespace

TEST_F(Engines, EveryTypeComesBackAsWrittenNullsIncluded)
{
    CreateAndFill();
    ExpectTableHolds({rows_[0], rows_[1], rows_[2]});
    FreeRows();
}

TEST_F(Engines, UpdateAndDeleteChangeOnlyTheirRow)
{
    CreateAndFill();
    SetCell(rows_[2], C_VARCHAR, Text("upd'ated \\ x"));
    SetCell(rows_[2], C_BOOL, Bool(1));
    SetCell(rows_[2], C_BIG, I64(-9000000000123LL));
    SetCell(rows_[2], C_BLOB, Bytes("a\0b'c", 5, 5));
    Run(SqlGenUpdateQuery(d_, "vqall", rows_[2]));
    ExpectTableHolds({rows_[0], rows_[1], rows_[2]});
    Run(SqlGenDeleteQuery(d_, "vqall", rows_[2]));
    ExpectTableHolds({rows_[0], rows_[1]});
    /* A statement that matches no row still succeeds. */
    EXPECT_TRUE(p_->executeUpdate(conn_, "update vqparent set pname='none' where p1=999"));
    FreeRows();
}

TEST_F(Engines, JoinCriteriaGroupingHavingSortAndLimitsSelectTheRightRows)
{
    CreateAndFill();
    SelectQuery *q = JoinQuery(d_);
    char *text = SqlGenSelectQuery(d_, q);
    FreeSelectQuery(q);
    ASSERT_NE(nullptr, text);
    ResultSet *set = p_->executeQuery(conn_, text);
    ASSERT_NE(nullptr, set) << text;
    free(text);
    ASSERT_EQ(2, set->rowCount);
    ASSERT_EQ(3, set->columnCount);
    struct { const char *name; long long total; } expected[] = {{"parent two", 5}, {"parent one", -2000000000}};
    int i = 0;
    for (ResultRow *r = set->firstRow; r; r = r->next, i++) {
        EXPECT_STREQ(expected[i].name, r->cells[0].text);
        ASSERT_NE(nullptr, r->cells[1].text);
        EXPECT_EQ(expected[i].total, (long long)strtod(r->cells[1].text, NULL));
        EXPECT_STREQ("1", r->cells[2].text);
    }
    FreeResultSet(set);

    SelectQuery *second = OrderedQuery(1, 1, {"id"});
    text = SqlGenSelectQuery(d_, second);
    FreeSelectQuery(second);
    set = p_->executeQuery(conn_, text);
    ASSERT_NE(nullptr, set) << text;
    free(text);
    ASSERT_EQ(1, set->rowCount);
    EXPECT_STREQ("2", set->firstRow->cells[0].text);
    FreeResultSet(set);
    FreeRows();
}

TEST_F(Engines, OneMebibyteBlobRoundTripsThroughTheChunkSource)
{
    Run(SqlGenCreateTableQuery(d_, "vqblob"));
    PatternSource source = {Pattern(65536), 1 << 20, 0};
    ASSERT_TRUE(p_->executeUpdateBlob(conn_, "insert into vqblob values(1, ?)", PatternChunks, &source));
    EXPECT_EQ((size_t)1 << 20, source.sent);
    ResultSet *set = p_->executeQuery(conn_, "select data from vqblob where id=1");
    ASSERT_NE(nullptr, set);
    ASSERT_EQ(1, set->rowCount);
    const ResultCell &cell = set->firstRow->cells[0];
    ASSERT_EQ(1 << 20, cell.textLength);
    std::string expected;
    for (int i = 0; i < 16; i++)
        expected += source.chunk;
    EXPECT_TRUE(memcmp(expected.data(), cell.text, expected.size()) == 0);
    FreeResultSet(set);
}

TEST_F(Engines, LongTextArrivesWholeWhateverSizeTheDriverReports)
{
    CreateAndFill();
    std::string longText(300000, 'x');
    for (size_t i = 0; i < longText.size(); i += 1000)
        longText[i] = (char)('a' + (i / 1000) % 26);
    SetCell(rows_[0], C_TEXT, Text(longText.c_str()));
    SetCell(rows_[0], C_CLOB, Text(longText.c_str()));
    Run(SqlGenUpdateQuery(d_, "vqall", rows_[0]));
    ExpectTableHolds({rows_[0], rows_[1], rows_[2]});
    FreeRows();
}

/* Rows are fetched in blocks of bound buffers: 700 rows span three blocks,
 * the last one partial, with NULLs among them; each row keeps its place and
 * its values. */
TEST_F(Engines, RowsAcrossFetchBlocksComeWholeAndInOrder)
{
    Run(strdup("create table vqrows (id int primary key, name varchar(20), score double precision)"));
    std::string insert = "insert into vqrows values ";
    for (int id = 1; id <= 700; id++) {
        if (id > 1)
            insert += ",";
        insert += "(" + std::to_string(id) + "," + (id % 7 ? "'n" + std::to_string(id) + "'" : "NULL") + "," +
                  std::to_string(id) + ".25)";
    }
    Run(strdup(insert.c_str()));
    ResultSet *set = p_->executeQuery(conn_, "select id, name, score from vqrows order by id");
    ASSERT_NE(nullptr, set);
    ASSERT_EQ(700, set->rowCount);
    int id = 1;
    for (ResultRow *r = set->firstRow; r; r = r->next, id++) {
        ASSERT_STREQ(std::to_string(id).c_str(), r->cells[0].text);
        if (id % 7)
            ASSERT_STREQ(("n" + std::to_string(id)).c_str(), r->cells[1].text) << id;
        else
            ASSERT_EQ(nullptr, r->cells[1].text) << id;
        ASSERT_EQ(id + 0.25, strtod(r->cells[2].text, NULL)) << id;
    }
    FreeResultSet(set);
}

/* SQLite keeps a text longer than its column's declared size, and its
 * driver still reports the declared size: the value must not be cut to the
 * buffer sized from it. The other engines refuse such a value. */
TEST_F(Engines, AValueLongerThanItsReportedSizeArrivesWhole)
{
    if (!IsSqliteEngine(engine_->name))
        GTEST_SKIP() << engine_->name << " refuses a value longer than its column";
    Run(strdup("create table vqrows (id int primary key, name varchar(20), score double precision)"));
    std::string longName(5000, 'q');
    longName[4999] = 'z';
    Run(strdup("insert into vqrows values (1, 'short', 1.5)"));
    Run(strdup(("insert into vqrows values (2, '" + longName + "', 2.5)").c_str()));
    ResultSet *set = p_->executeQuery(conn_, "select id, name, score from vqrows order by id");
    ASSERT_NE(nullptr, set);
    ASSERT_EQ(2, set->rowCount);
    EXPECT_STREQ("short", set->firstRow->cells[1].text);
    EXPECT_EQ(5000, set->lastRow->cells[1].textLength);
    EXPECT_TRUE(longName == set->lastRow->cells[1].text) << "the long value came back changed";
    FreeResultSet(set);
}

TEST_F(Engines, RollbackLeavesNothingAndCommitKeeps)
{
    Run(SqlGenCreateTableQuery(d_, "vqparent"));
    const struct { int key; bool commit; int rowsAfter; } cases[] = {{7, false, 0}, {8, true, 1}};
    for (const auto &c : cases) {
        ASSERT_TRUE(p_->beginTransaction(conn_));
        std::string insert = "insert into vqparent values(" + std::to_string(c.key) + ",'t','in transaction')";
        EXPECT_TRUE(p_->executeUpdate(conn_, insert.c_str()));
        EXPECT_TRUE(c.commit ? p_->commitTransaction(conn_) : p_->rollbackTransaction(conn_));
        std::string select = "select pname from vqparent where p1=" + std::to_string(c.key);
        ResultSet *set = p_->executeQuery(conn_, select.c_str());
        ASSERT_NE(nullptr, set);
        EXPECT_EQ(c.rowsAfter, set->rowCount) << "key " << c.key;
        FreeResultSet(set);
    }
}

TEST_F(Engines, AFailingStatementIsReportedAsFailure)
{
    EXPECT_FALSE(p_->executeUpdate(conn_, "insert into no_such_table values(1)"));
    EXPECT_EQ(nullptr, p_->executeQuery(conn_, "select * from no_such_table"));
}

/* Reals at their edges come back bit for bit, dates and times as their own
 * part, decimals as numbers. */
TEST_F(Engines, EdgeValuesComeBackExactly)
{
    Run(SqlGenCreateTableQuery(d_, "vqparent"));
    Run(SqlGenCreateTableQuery(d_, "vqall"));
    RowObject *p1 = Row({I32(1), Text("k'1"), Text("parent one")});
    Run(SqlGenInsertQuery(d_, "vqparent", p1));
    FreeRow(p1, 3);
    /* A key beyond Latin-1 and the Basic Multilingual Plane: inserted,
     * updated by its key, and referred to by a child row below. */
    static const char kWideKey[] = "M\xc3\xbcller \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x98\x80";
    RowObject *p2 = Row({I32(2), Text(kWideKey), Text("before")});
    Run(SqlGenInsertQuery(d_, "vqparent", p2));
    SetCell(p2, 2, Text("after \xf0\x9f\x98\x80"));
    Run(SqlGenUpdateQuery(d_, "vqparent", p2));
    FreeRow(p2, 3);
    ResultSet *parents = p_->executeQuery(conn_, "select p2, pname from vqparent where p1 = 2");
    ASSERT_NE(nullptr, parents);
    ASSERT_EQ(1, parents->rowCount);
    EXPECT_STREQ(kWideKey, parents->firstRow->cells[0].text);
    EXPECT_STREQ("after \xf0\x9f\x98\x80", parents->firstRow->cells[1].text) << "the update by key missed";
    FreeResultSet(parents);
    const struct { double d; float f; int y, mo, dd, h, mi, sec; const char *dec; } cases[] = {
        {0.1234567, 0.1f, 2024, 2, 29, 23, 59, 58, "-0.5"},
        {4503599627370497.0, 16777216.0f, 1970, 1, 1, 0, 0, 0, "12345678.125"},
        {-DBL_MAX, FLT_MAX, 9999, 12, 31, 0, 0, 1, "1e3"},
        {1e300, -FLT_MIN, 2000, 1, 1, 12, 0, 0, "+7"},
        {DBL_MIN, 3.3333333f, 1999, 12, 31, 12, 30, 45, "0"},
        {1.0 / 3.0, 8388607.5f, 2038, 1, 19, 3, 14, 8, "99.99"},
        {-0.0, -0.0f, 1900, 3, 1, 23, 0, 59, "-0.0"},
    };
    std::vector<RowObject *> rows;
    int id = 10;
    for (const auto &c : cases) {
        RowObject *r = FullRow();
        SetCell(r, C_ID, I32(id++));
        SetCell(r, C_DOUBLE, F64(c.d));
        SetCell(r, C_FLOAT, F32(c.f));
        SetCell(r, C_REAL, F32(c.f));
        SetCell(r, C_DATE, Date(c.y, c.mo, c.dd));
        SetCell(r, C_TIME, Time(c.h, c.mi, c.sec));
        SetCell(r, C_DEC, Text(c.dec));
        /* Beyond Latin-1 and the Basic Multilingual Plane, on a MariaDB
         * whose own default character set is latin1. */
        SetCell(r, C_VARCHAR, Text("M\xc3\xbcller \xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x98\x80"));
        SetCell(r, C_CHAR, Text("\xe6\x9d\xb1\xf0\x9f\x98\x80"));
        SetCell(r, C_TEXT, Text("\xf0\x9f\x98\x80 long text \xc3\xbc"));
        if (id == 11) {
            SetCell(r, C_FK1, I32(2));
            SetCell(r, C_FK2, Text(kWideKey));
        }
        char *insert = SqlGenInsertQuery(d_, "vqall", r);
        Run(insert);
        if (c.d == 0 && !engine_->signedZero) {
            /* What such an engine gives back for -0. */
            SetCell(r, C_DOUBLE, F64(0.0));
            SetCell(r, C_FLOAT, F32(0.0f));
            SetCell(r, C_REAL, F32(0.0f));
        }
        rows.push_back(r);
    }
    ExpectTableHolds(rows);
    for (RowObject *r : rows)
        FreeRow(r, C_COUNT);
}

/* A BOOLEAN written by INSERT and by UPDATE is stored in one form, so a key
 * or criterion on it finds both rows. */
TEST_F(Engines, BooleansAreStoredInOneForm)
{
    CreateAndFill();
    SetCell(rows_[2], C_BOOL, Bool(1));
    Run(SqlGenUpdateQuery(d_, "vqall", rows_[2]));
    /* Row 1 was inserted true, row 3 updated to true: one criterion finds
     * both when both hold the same stored form. */
    SelectQuery *q = CreateSelectQuery();
    AddSelectTable(q, "vqall", NULL);
    AddSelectColumn(q, "vqall", NULL, "id", NULL, SQL_AGG_NONE, BRN_SQL_INT);
    BYTE on = 1;
    q->criteria = CreateCriteriaCompare(q, "vqall", NULL, "c_bool", BRN_SQL_BOOLEAN, SQL_OP_EQ, &on, 1);
    char *text = SqlGenSelectQuery(d_, q);
    FreeSelectQuery(q);
    ASSERT_NE(nullptr, text);
    ResultSet *set = p_->executeQuery(conn_, text);
    free(text);
    ASSERT_NE(nullptr, set);
    EXPECT_EQ(2, set->rowCount);
    FreeResultSet(set);
    set = p_->executeQuery(conn_, "select count(distinct c_bool) from vqall where c_bool is not null");
    ASSERT_NE(nullptr, set);
    ASSERT_EQ(1, set->rowCount);
    EXPECT_STREQ("1", set->firstRow->cells[0].text);
    FreeResultSet(set);
    FreeRows();
}
