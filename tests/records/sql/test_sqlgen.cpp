/* The texts the SQL generators write, for the cases where a fault would not
 * show as an engine error: grouping, row limits per dialect, which columns
 * land in SET and WHERE, quoting, 64-bit numbers, refused statements and
 * the dispatch to a table's dialect. The statements themselves run on their
 * engines in records_db_tests. */
#include "support/records/sqlschema.h"
#include "records/db/connparams.h"
#include "records/db/dialects.h"
#include "records/sql/sqltext.h"
#include "support/scratchlog.h"

#include <gtest/gtest.h>

#include <float.h>
#include <math.h>
#include <stdlib.h>

#include <string>

using namespace vqt;

namespace {

class SqlGenerate : public ::testing::Test {
protected:
    void SetUp() override
    {
        DefineTestSchema();
        CreateQueryGeneratorRegistry();
    }
    void TearDown() override
    {
        FreeAllTableDefns();
        FreeAllDataSourceMapEntries();
        FreeAllConnParamsEntries();
        FreeQueryGeneratorRegistry();
    }
};

bool Has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(SqlGenerate, SelectWithoutColumnsListsItsTablesAndSortsDescending)
{
    SelectQuery *q = CreateSelectQuery();
    AddSelectTable(q, "t1", NULL);
    AddSelectTable(q, "t2", NULL);
    EXPECT_EQ("select * from t1, t2\n", Take(SqlGenSelectQuery(&g_sqliteDialect, q)));
    AddSortColumn(q, NULL, NULL, "a");
    AddSortColumn(q, NULL, NULL, "b");
    q->sortAscending = 0;
    EXPECT_EQ("select * from t1, t2\norder by a,b  desc ", Take(SqlGenSelectQuery(&g_sqliteDialect, q)));
    FreeSelectQuery(q);
}

TEST_F(SqlGenerate, RowLimitAndOffsetPerDialect)
{
    const struct { const SqlDialect *d; INT32 limit, offset; const char *start, *end; } cases[] = {
        {&g_sqliteDialect, 10, 20, "select * from t\n", "limit 10 offset 20"},
        {&g_pgsqlDialect, 10, 20, "select * from t\n", "limit 10 offset 20"},
        {&g_mysqlDialect, 10, 20, "select * from t\n", "limit 20 , 10"},
        {&g_firebirdDialect, 10, 20, "select first 10 skip 20 * from t\n", "\n"},
        {&g_sqliteDialect, 0, 20, "select * from t\n", "t\n"},
        {&g_firebirdDialect, 0, 20, "select skip 20 * from t\n", "\n"},
        {&g_mysqlDialect, 5, 0, "select * from t\n", "limit 5"},
    };
    for (const auto &c : cases) {
        SelectQuery *q = CreateSelectQuery();
        AddSelectTable(q, "t", NULL);
        q->rowLimit = c.limit;
        q->rowOffset = c.offset;
        std::string text = Take(SqlGenSelectQuery(c.d, q));
        SCOPED_TRACE(std::string(c.d->name) + ": " + text);
        EXPECT_EQ(0u, text.find(c.start));
        EXPECT_EQ(text.size() - strlen(c.end), text.rfind(c.end));
        FreeSelectQuery(q);
    }
}

TEST_F(SqlGenerate, NestedAndOrKeepTheirGroupingAndValuesFollowTheDialect)
{
    const struct { const SqlDialect *d; const char *where; } cases[] = {
        {&g_sqliteDialect, "where  ( a.c_int >=  0  OR  a.c_int >  -2000000001 )  AND  a.c_varchar !=  'zzz' "},
        {&g_pgsqlDialect, "where  ( a.c_int >=  0  OR  a.c_int >  -2000000001 )  AND  a.c_varchar !=  'zzz' "},
        {&g_firebirdDialect, "from  vqall  a  inner join  vqparent  p  on a.fk1 = p.p1 and a.fk2 = p.p2 where"},
    };
    for (const auto &c : cases) {
        SelectQuery *q = JoinQuery(c.d);
        std::string text = Take(SqlGenSelectQuery(c.d, q));
        EXPECT_TRUE(Has(text, c.where)) << text;
        FreeSelectQuery(q);
    }
    /* Texts quoted by the generator are escaped; BOOLEAN per dialect. */
    const struct { const SqlDialect *d; BYTE type; const char *value; const char *expect; } values[] = {
        {&g_pgsqlDialect, BRN_SQL_VARCHAR, "o'k", " 'o''k' "},
        {&g_mysqlDialect, BRN_SQL_VARCHAR, "a\\'", " 'a\\\\''' "},
        {&g_pgsqlDialect, BRN_SQL_BOOLEAN, "\x01", " 't' "},
        {&g_mysqlDialect, BRN_SQL_BOOLEAN, "\x01", " 1 "},
        {&g_sqliteDialect, BRN_SQL_VARCHAR, "'as is'", " 'as is' "},
    };
    for (const auto &v : values) {
        SelectQuery *q = CreateSelectQuery();
        AddSelectTable(q, "t", NULL);
        q->criteria = CreateCriteriaCompare(q, "t", NULL, "c", v.type, SQL_OP_EQ, v.value, (INT32)strlen(v.value));
        std::string text = Take(SqlGenSelectQuery(v.d, q));
        EXPECT_TRUE(Has(text, std::string("t.c = ") + v.expect)) << v.d->name << ": " << text;
        FreeSelectQuery(q);
    }
}

TEST_F(SqlGenerate, UpdateKeepsTheKeyInWhereAndLiteralsEscaped)
{
    RowObject *r = PlainRow();
    SetCell(r, C_VARCHAR, Text("it's \\ here"));
    const struct { const SqlDialect *d; const char *set; const char *boolean; } cases[] = {
        {&g_sqliteDialect, "c_varchar='it''s \\ here'", "c_bool=0"},
        {&g_pgsqlDialect, "c_varchar='it''s \\ here'", "c_bool='f'"},
        {&g_mysqlDialect, "c_varchar='it''s \\\\ here'", "c_bool=0"},
        {&g_firebirdDialect, "c_varchar='it''s \\ here'", "c_bool=0"},
    };
    for (const auto &c : cases) {
        std::string text = Take(SqlGenUpdateQuery(c.d, "vqall", r));
        SCOPED_TRACE(text);
        EXPECT_EQ(0u, text.find("update vqall set c_tiny=1,"));
        EXPECT_TRUE(Has(text, c.set));
        EXPECT_TRUE(Has(text, c.boolean));
        EXPECT_FALSE(Has(text, "id=3,"));
        EXPECT_EQ(text.size() - strlen(" where id=3"), text.rfind(" where id=3"));
    }
    FreeRow(r, C_COUNT);
}

TEST_F(SqlGenerate, StatementsWithoutACompleteKeyAreRefused)
{
    vqt::ScratchLog log;
    RowObject *r = PlainRow();
    SetCell(r, C_ID, Null());
    EXPECT_EQ(nullptr, SqlGenUpdateQuery(&g_sqliteDialect, "vqall", r));
    EXPECT_EQ(nullptr, SqlGenDeleteQuery(&g_mysqlDialect, "vqall", r));
    EXPECT_EQ(2u, log.linesWith("no complete primary key value for table vqall").size());
    FreeRow(r, C_COUNT);
    Define("nokey", {{"a", 5, 0}, {"b", 15, 10}}, {});
    RowObject *k = Row({I32(1), Text("x")});
    EXPECT_EQ(nullptr, SqlGenDeleteQuery(&g_pgsqlDialect, "nokey", k));
    EXPECT_EQ(nullptr, SqlGenUpdateQuery(&g_pgsqlDialect, "nokey", k));
    FreeRow(k, 2);
}

TEST_F(SqlGenerate, InsertWritesNullBareAndNumbersInFull)
{
    RowObject *r = NullRow();
    std::string text = Take(SqlGenInsertQuery(&g_sqliteDialect, "vqall", r));
    EXPECT_EQ(0u, text.find("insert into  vqall values(2,NULL,NULL,"));
    EXPECT_TRUE(Has(text, ",NULL,2,'k2');"));
    FreeRow(r, C_COUNT);
    r = FullRow();
    const struct { const SqlDialect *d; const char *part; } cases[] = {
        {&g_sqliteDialect, ",4000000000,9000000000123,1234567890123456789,1.5,2.25,0.75,"},
        {&g_sqliteDialect, ",'2024-02-29','13:14:15','2024-02-29 13:14:15',1,"},
        {&g_pgsqlDialect, ",'2024-02-29 13:14:15','t',"},
        {&g_mysqlDialect, "'back\\\\slash ''q'''"},
        {&g_sqliteDialect, ",1,X'616263','clob text',"},
        {&g_pgsqlDialect, ",'t','\\x616263',"},
        {&g_firebirdDialect, ",1,x'616263',"},
    };
    for (const auto &c : cases) {
        text = Take(SqlGenInsertQuery(c.d, "vqall", r));
        EXPECT_TRUE(Has(text, c.part)) << c.d->name << ": " << text;
    }
    /* A real -0: PostgreSQL reads a bare "-0" as the integer 0. */
    SetCell(r, C_FLOAT, F32(-0.0f));
    SetCell(r, C_DOUBLE, F64(-0.0));
    SetCell(r, C_REAL, F32(-0.0f));
    const struct { const SqlDialect *d; const char *part; } zeros[] = {
        {&g_pgsqlDialect, ",'-0','-0','-0',"}, {&g_sqliteDialect, ",-0,-0,-0,"},
        {&g_mysqlDialect, ",-0,-0,-0,"}, {&g_firebirdDialect, ",-0,-0,-0,"},
    };
    for (const auto &c : zeros) {
        text = Take(SqlGenInsertQuery(c.d, "vqall", r));
        EXPECT_TRUE(Has(text, c.part)) << c.d->name << ": " << text;
    }
    /* Bytes with a zero and a quote keep every byte. */
    SetCell(r, C_BLOB, Bytes("a\0'", 3, 3));
    text = Take(SqlGenInsertQuery(&g_mysqlDialect, "vqall", r));
    EXPECT_TRUE(Has(text, ",X'610027',")) << text;
    FreeRow(r, C_COUNT);
    BYTE big[8] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ("18446744073709551615", Take(ConvertValueToText(big, 8, BRN_SQL_UNSIGNED_LONG_INT)));
    EXPECT_EQ("-1", Take(ConvertValueToText(big, 8, BRN_SQL_BIGINT)));
    EXPECT_EQ("NULL", Take(ConvertValueToText(NULL, 0, BRN_SQL_BIGINT)));
    EXPECT_EQ(nullptr, ConvertValueToText(big, 8, BRN_SQL_NOT_SUPPORTED_TYPE));
}

TEST_F(SqlGenerate, CreateTableWritesOneForeignKeyForBothColumnsAndTheDialectsEnd)
{
    const struct { const SqlDialect *d; const char *end; const char *blob; } cases[] = {
        {&g_sqliteDialect, "\n);\n\n", "\tc_blob blob"},
        {&g_pgsqlDialect, "\n);\n\n", "\tc_blob bytea"},
        {&g_mysqlDialect, "\n) ENGINE = InnoDB DEFAULT CHARSET=utf8mb4;\n\n", "\tc_blob longblob"},
        {&g_firebirdDialect, "\n);\n\n", "\tc_blob blob sub_type binary"},
    };
    for (const auto &c : cases) {
        std::string text = Take(SqlGenCreateTableQuery(c.d, "vqall"));
        SCOPED_TRACE(text);
        EXPECT_TRUE(Has(text, ",\n\tPRIMARY KEY(id),\n\tFOREIGN KEY(fk1,fk2) REFERENCES vqparent (p1,p2) ON DELETE CASCADE"));
        EXPECT_EQ(text.size() - strlen(c.end), text.rfind(c.end));
        EXPECT_TRUE(Has(text, c.blob));
        EXPECT_FALSE(Has(text, "FOREIGN KEY(fk1)"));
    }
}

TEST_F(SqlGenerate, EachTableUsesTheDialectOfItsConnection)
{
    vqt::ScratchLog log;
    ConnParamsEntry *my = (ConnParamsEntry *)calloc(1, sizeof *my);
    my->connectionName = Dup("mydb");
    my->dbType = Dup("MYSQL");
    AddConnParamsEntry(my);
    AddDataSourceMapEntry(CreateDataSourceMapEntry("VQALL", "mydb"));
    SetDSNMapValid(1, 0);
    std::string text = Take(GenerateCreateTableQuery("vqall"));
    EXPECT_TRUE(Has(text, "ENGINE = InnoDB")) << text;
    EXPECT_TRUE(log.has("Generated Create Table Query: CREATE TABLE vqall("));
    EXPECT_EQ(nullptr, GenerateCreateTableQuery("vqparent"));
    EXPECT_TRUE(log.has("No DataSourceMap Entry for Table name vqparent"));
    SetDSNMapValid(0, SQL_DIALECT_FIREBIRD);
    text = Take(GenerateCreateTableQuery("vqparent"));
    EXPECT_TRUE(Has(text, "\tp2 varchar(20)")) << text;
    SetDSNMapValid(7, 0);
    EXPECT_TRUE(log.has("Invalid Status"));
}

/* Every finite double and float comes back exactly from the literal written
 * for it; values without a literal in SQL are refused. */
TEST(SqlValueText, RealsAreWrittenWithRoundTripPrecision)
{
    const double doubles[] = {0.1234567, 1e300, 4503599627370497.0 /* 2^52+1 */, -DBL_MAX, DBL_MIN,
                              4.9406564584124654e-324, -0.0, 1.0 / 3.0, 123456789.125};
    for (double v : doubles) {
        std::string text = Take(ConvertValueToText((const BYTE *)&v, 8, BRN_SQL_DOUBLE));
        double back = strtod(text.c_str(), NULL);
        EXPECT_EQ(0, memcmp(&v, &back, 8)) << text;
        EXPECT_LT(text.size(), 26u) << text;
    }
    EXPECT_EQ("0.1234567", Take(ConvertValueToText((const BYTE *)&doubles[0], 8, BRN_SQL_DOUBLE)));
    /* A float's literal never reads as a number beyond the float range,
     * which a server refuses. */
    const float floats[] = {0.1f, 16777217.0f, FLT_MAX, -FLT_MAX, -FLT_MIN, 3.4028e-38f};
    for (float v : floats) {
        for (BYTE type : {BRN_SQL_FLOAT, BRN_SQL_REAL}) {
            std::string text = Take(ConvertValueToText((const BYTE *)&v, 4, type));
            double read = strtod(text.c_str(), NULL);
            float back = (float)read;
            EXPECT_EQ(0, memcmp(&v, &back, 4)) << text;
            EXPECT_LE(fabs(read), (double)FLT_MAX) << text;
        }
    }
    float tenth = 0.1f;
    EXPECT_EQ("0.100000001", Take(ConvertValueToText((const BYTE *)&tenth, 4, BRN_SQL_FLOAT)));
    vqt::ScratchLog log;
    const double bad[] = {INFINITY, -INFINITY, NAN};
    for (double v : bad)
        EXPECT_EQ(nullptr, ConvertValueToText((const BYTE *)&v, 8, BRN_SQL_DOUBLE));
    EXPECT_EQ(3u, log.linesWith("not finite").size());
}

/* DECIMAL and NUMERIC are written bare: only number literals pass. */
TEST(SqlValueText, DecimalsMustBeNumberLiterals)
{
    const struct { const char *text; bool number; } cases[] = {
        {"12.5", true}, {"-0.5", true}, {"+3", true}, {"1e10", true}, {"1.5E-3", true},
        {".5", true}, {"5.", true}, {"00012", true}, {"-1.25e+07", true},
        {"1 OR 1=1", false}, {"(select 1)", false}, {"", false}, {"-", false}, {".", false},
        {"1e", false}, {"1e+", false}, {"1.2.3", false}, {"0x10", false}, {" 1", false},
        {"1 ", false}, {"1;drop table t", false}, {"e5", false}, {"--1", false},
    };
    vqt::ScratchLog log;
    for (const auto &c : cases) {
        for (BYTE type : {BRN_SQL_DECIMAL, BRN_SQL_NUMERIC}) {
            char *text = ConvertValueToText((const BYTE *)c.text, (INT32)strlen(c.text), type);
            if (c.number)
                EXPECT_EQ(c.text, Take(text)) << c.text;
            else
                EXPECT_EQ(nullptr, text) << c.text;
        }
    }
    EXPECT_TRUE(log.has("is not a number; no statement is written"));
}

/* DATE is its date, TIME its time, DATETIME both, whatever the holding. */
TEST(SqlValueText, DateAndTimeLiteralsHoldOnlyTheirPart)
{
    Value full = DateTime(2024, 2, 29, 23, 59, 58);
    Value date = Date(1999, 12, 31), time = Time(0, 0, 1);
    BrnDate onlyDate = {2024, 2, 29};
    BrnTime onlyTime = {23, 59, 58};
    BrnDateTime dateHalf = {&onlyDate, NULL, 0, 0, 0}, timeHalf = {NULL, &onlyTime, 0, 0, 0};
    const struct { const BYTE *value; INT32 size; BYTE type; const char *expect; } cases[] = {
        {full.bytes, BRN_DATETIME_SIZE, BRN_SQL_DATE, "2024-02-29"},
        {full.bytes, BRN_DATETIME_SIZE, BRN_SQL_TIME, "23:59:58"},
        {full.bytes, BRN_DATETIME_SIZE, BRN_SQL_DATETIME, "2024-02-29 23:59:58"},
        {date.bytes, BRN_DATE_SIZE, BRN_SQL_DATE, "1999-12-31"},
        {date.bytes, BRN_DATE_SIZE, BRN_SQL_DATETIME, "1999-12-31 00:00:00"},
        {date.bytes, BRN_DATE_SIZE, BRN_SQL_TIME, nullptr},
        {time.bytes, BRN_TIME_SIZE, BRN_SQL_TIME, "00:00:01"},
        {time.bytes, BRN_TIME_SIZE, BRN_SQL_DATE, nullptr},
        {time.bytes, BRN_TIME_SIZE, BRN_SQL_DATETIME, nullptr},
        {(const BYTE *)&dateHalf, BRN_DATETIME_SIZE, BRN_SQL_DATE, "2024-02-29"},
        {(const BYTE *)&dateHalf, BRN_DATETIME_SIZE, BRN_SQL_TIME, nullptr},
        {(const BYTE *)&timeHalf, BRN_DATETIME_SIZE, BRN_SQL_TIME, "23:59:58"},
        {(const BYTE *)&timeHalf, BRN_DATETIME_SIZE, BRN_SQL_DATETIME, nullptr},
    };
    for (const auto &c : cases) {
        char *text = ConvertValueToText(c.value, c.size, c.type);
        if (c.expect)
            EXPECT_EQ(c.expect, Take(text)) << (int)c.type << " " << c.expect;
        else
            EXPECT_EQ(nullptr, text) << (int)c.type << " size " << c.size;
    }
    BrnDateTime *dt = (BrnDateTime *)full.bytes;
    free(dt->date);
    free(dt->time);
    free(full.bytes);
    free(date.bytes);
    free(time.bytes);
}

/* One BOOLEAN literal per dialect in INSERT, UPDATE, DELETE, criteria and
 * defaults: the form the engine stores, so key matches never miss. */
TEST_F(SqlGenerate, BooleansHaveOneLiteralPerDialect)
{
    Define("flags", {{"id", 5, 0}, {"flag", 19, 0}, {"note", 15, 10}}, {"id", "flag"});
    const struct { const SqlDialect *d; const char *on; const char *off; } dialects[] = {
        {&g_sqliteDialect, "1", "0"}, {&g_pgsqlDialect, "'t'", "'f'"},
        {&g_mysqlDialect, "1", "0"}, {&g_firebirdDialect, "1", "0"},
    };
    for (const auto &c : dialects) {
        SCOPED_TRACE(c.d->name);
        for (int on = 0; on <= 1; on++) {
            const std::string lit = on ? c.on : c.off;
            RowObject *r = Row({I32(7), Bool(on), Text("n")});
            EXPECT_EQ("insert into  flags values(7," + lit + ",'n');", Take(SqlGenInsertQuery(c.d, "flags", r)));
            EXPECT_TRUE(Has(Take(SqlGenUpdateQuery(c.d, "flags", r)), " where id=7 and flag=" + lit));
            EXPECT_TRUE(Has(Take(SqlGenDeleteQuery(c.d, "flags", r)), " where id=7 and flag=" + lit));
            FreeRow(r, 3);
            SelectQuery *q = CreateSelectQuery();
            AddSelectTable(q, "flags", NULL);
            BYTE byte = (BYTE)on;
            q->criteria = CreateCriteriaCompare(q, "flags", NULL, "flag", BRN_SQL_BOOLEAN, SQL_OP_EQ, &byte, 1);
            std::string select = Take(SqlGenSelectQuery(c.d, q));
            EXPECT_TRUE(Has(select, "flags.flag =  " + lit + " ")) << select;
            FreeSelectQuery(q);
        }
    }
}
