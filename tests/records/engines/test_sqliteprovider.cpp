/* The two providers on one SQLite file (run with VQ_DB_ENGINE sqlitenative,
 * the ODBC data source vqcparlo configured too): rows of every type are
 * written through the SQLITE provider into the file the data source names,
 * and the same queries read through both providers give the same result
 * sets, column by column (name, SQL type, type code, bytes or text) and
 * cell by cell (NULL, text, value). The one difference allowed is the one
 * the ODBC driver makes: it hands a real over with 15 significant digits,
 * where the SQLITE provider gives the stored double. */
#include "records/base/coltypes.h"
#include "records/db/dialects.h"
#include "records/db/odbcadapter.h"
#include "records/db/sqliteprovider.h"
#include "support/records/dbengine.h"
#include "support/records/sqlschema.h"

#include <gtest/gtest.h>

#include <float.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

using namespace vqt;

namespace {

ConnParamsEntry Record(const char *dsn, const char *driver)
{
    ConnParamsEntry r = {};
    r.dsn = (char *)dsn;
    r.user = (char *)"cparlo";
    r.connectionName = (char *)"bothdb";
    r.driver = (char *)driver;
    r.dbType = (char *)"SQLITE";
    return r;
}

bool IsReal(SHORT sqlType)
{
    return sqlType == 6 /* SQL_FLOAT */ || sqlType == 7 /* SQL_REAL */ || sqlType == 8 /* SQL_DOUBLE */;
}

/* The double a 15-digit text of `v` reads as. */
double FifteenDigits(double v)
{
    char text[40];
    snprintf(text, sizeof text, "%.15g", v);
    return strtod(text, NULL);
}

void ExpectSameSets(const ResultSet *native, const ResultSet *odbc)
{
    ASSERT_EQ(odbc->columnCount, native->columnCount);
    for (INT32 i = 0; i < odbc->columnCount; i++) {
        const ResultColumn &n = native->columns[i], &o = odbc->columns[i];
        SCOPED_TRACE(std::string("column ") + o.name);
        EXPECT_STREQ(o.name, n.name);
        EXPECT_EQ(o.sqlType, n.sqlType);
        EXPECT_EQ(o.type, n.type);
        EXPECT_EQ(o.binary, n.binary);
    }
    ASSERT_EQ(odbc->rowCount, native->rowCount);
    int rowNo = 1;
    for (const ResultRow *n = native->firstRow, *o = odbc->firstRow; n && o; n = n->next, o = o->next, rowNo++) {
        for (INT32 i = 0; i < odbc->columnCount; i++) {
            const ResultColumn &col = odbc->columns[i];
            const ResultCell &a = n->cells[i], &b = o->cells[i];
            SCOPED_TRACE("row " + std::to_string(rowNo) + " column " + col.name);
            ASSERT_EQ(b.text == nullptr, a.text == nullptr);
            if (!b.text)
                continue;
            if (IsReal(col.sqlType)) {
                double exact = strtod(a.text, NULL);
                double odbcValue = strtod(b.text, NULL);
                double rounded = FifteenDigits(exact);
                EXPECT_EQ(0, memcmp(&rounded, &odbcValue, sizeof rounded)) << a.text << " / " << b.text;
                if (col.type == BRN_SQL_DOUBLE) {
                    ASSERT_EQ(8, a.size);
                    EXPECT_EQ(0, memcmp(&exact, a.value, 8)) << a.text;
                }
                continue;
            }
            EXPECT_EQ(std::string(b.text, b.textLength), std::string(a.text, a.textLength));
            ASSERT_EQ(b.size, a.size);
            ASSERT_EQ(b.value == nullptr, a.value == nullptr);
            if (b.value && col.type != BRN_SQL_DATE && col.type != BRN_SQL_TIME && col.type != BRN_SQL_DATETIME) {
                EXPECT_EQ(0, memcmp(b.value, a.value, (size_t)b.size));
            }
        }
    }
}

class BothProviders : public ::testing::Test {
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
        /* The file the data source vqcparlo names (tests/fixtures/dbengines). */
        file_ = DbEngineFile("sqlite/cparlo.db");
        ConnParamsEntry n = Record(file_.c_str(), "SQLITE");
        native_ = GetSQLiteProvider()->openConnection(&n);
        ASSERT_NE(nullptr, native_);
        for (const char *t : {"vqall", "vqparent", "vqblob", "vqrows"})
            SQLiteExecuteUpdate(native_, (std::string("drop table ") + t).c_str());
        Run(SqlGenCreateTableQuery(&g_sqliteDialect, "vqparent"));
        Run(SqlGenCreateTableQuery(&g_sqliteDialect, "vqall"));
        RowObject *p1 = Row({I32(1), Text("k'1"), Text("parent one")});
        RowObject *p2 = Row({I32(2), Text("k2"), Text("parent two")});
        Run(SqlGenInsertQuery(&g_sqliteDialect, "vqparent", p1));
        Run(SqlGenInsertQuery(&g_sqliteDialect, "vqparent", p2));
        FreeRow(p1, 3);
        FreeRow(p2, 3);
        RowObject *rows[] = {FullRow(), NullRow(), PlainRow()};
        const double reals[] = {4503599627370497.0, -DBL_MAX, 0.1234567};
        for (int i = 0; i < 3; i++) {
            if (i != 1)
                SetCell(rows[i], C_DOUBLE, F64(reals[i]));
            SetCell(rows[i], C_BLOB, Bytes("\x00\xff" "a\x00\xff", 5, 5));
            Run(SqlGenInsertQuery(&g_sqliteDialect, "vqall", rows[i]));
            FreeRow(rows[i], C_COUNT);
        }
        ConnParamsEntry o = Record("vqcparlo", "ODBC");
        odbc_ = ODBCOpenConnection(&o);
        ASSERT_NE(nullptr, odbc_) << "the data source vqcparlo is not configured";
    }
    void TearDown() override
    {
        if (odbc_)
            ODBCCloseConnection(odbc_);
        if (native_)
            SQLiteCloseConnection(native_);
    }
    void Run(char *statement)
    {
        ASSERT_NE(nullptr, statement);
        EXPECT_TRUE(SQLiteExecuteUpdate(native_, statement)) << statement;
        free(statement);
    }

    std::string file_;
    void *native_ = nullptr;
    void *odbc_ = nullptr;
};

} // namespace

TEST_F(BothProviders, TheSameQueriesGiveTheSameResultSetsCellByCell)
{
    SelectQuery *join = JoinQuery(&g_sqliteDialect);
    char *joinText = SqlGenSelectQuery(&g_sqliteDialect, join);
    FreeSelectQuery(join);
    ASSERT_NE(nullptr, joinText);
    const std::string queries[] = {
        "select * from vqall order by id",
        joinText,
        /* Expressions: the driver types them by their first value. (It also
         * cuts a name after its last dot, "2.5" to "5": hence the alias.) */
        "select count(*), max(c_big), 'lit', NULL, X'00FF', 2.5 as r, sum(c_double) from vqall",
        "select p.pname, a.c_double, a.c_blob from vqparent p, vqall a where a.fk1 = p.p1 order by a.id",
    };
    free(joinText);
    for (const std::string &q : queries) {
        SCOPED_TRACE(q);
        ResultSet *fromNative = SQLiteExecuteQuery(native_, q.c_str());
        ResultSet *fromOdbc = ODBCExecuteQuery(odbc_, q.c_str());
        ASSERT_NE(nullptr, fromNative);
        ASSERT_NE(nullptr, fromOdbc);
        EXPECT_LT(0, fromOdbc->rowCount);
        ExpectSameSets(fromNative, fromOdbc);
        FreeResultSet(fromNative);
        FreeResultSet(fromOdbc);
    }
}
