/* Table data from XML: value conversion per type, rows and their
 * selection, reference texts and the AutoID map, keys inherited from
 * enclosing elements and found below, the level rules of the walk, the
 * three loaders' failures, and documents built to exhaust the loader. */
#include "records/dict/dictload.h"
#include "records/base/datetime.h"
#include "records/store/tablestore.h"
#include "records/xml/xmlload.h"
#include "support/records/recordfixture.h"

#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <libxml/parser.h>

#include <limits.h>
#include <string.h>

using namespace vqt;
using vqt::ScratchLog;

namespace {

const std::string kData = VQ_RECORDS_TEST_DATA;

class XmlLoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/keys.xml").c_str())); }
    void TearDown() override { ClearAll(); }

    static int Load(const std::string &xml)
    {
        return ConstructTableDataFromXMLBuffer(xml.c_str(), (int)xml.size());
    }
};

std::vector<RowObject *> TableRows(const char *table)
{
    std::vector<RowObject *> rows;
    TableData *td = GetTableDataByName(table);
    for (RowObject *r = td ? td->firstRow : nullptr; r; r = r->next)
        rows.push_back(r);
    return rows;
}

INT32 Column(const char *table, const char *column)
{
    TableDefn *d = GetTableDefn(table);
    for (INT32 i = 0; d && i < d->columnCount; i++)
        if (strcmp(d->columns[i]->name, column) == 0)
            return i;
    ADD_FAILURE() << "no column " << table << "." << column;
    return 0;
}

/* The cell as text ("NULL" for a NULL cell). */
std::string TextOf(const RowObject *row, const char *table, const char *column)
{
    INT32 i = Column(table, column);
    return row->values[i] ? std::string((const char *)row->values[i], (size_t)row->sizes[i]) : "NULL";
}

/* The 32-bit cell, or the given marker for a NULL cell. */
INT64 IntOf(const RowObject *row, const char *table, const char *column, INT64 null = LLONG_MIN)
{
    INT32 i = Column(table, column);
    return row->values[i] ? (INT64)ReadInt32Value(row->values[i], row->sizes[i]) : null;
}

std::string Bytes(const void *p, size_t n) { return std::string((const char *)p, n); }

template <typename T> std::string Bytes(T v) { return Bytes(&v, sizeof v); }

} // namespace

TEST(XmlValue, EachTypeCodeConvertsItsText)
{
    BrnDate date = {2024, 3, 5}, partDate = {2024, 3, 0}, noDate = {0, 0, 0};
    BrnTime time = {7, 8, 9}, partTime = {7, 0, 0};
    static const struct {
        BYTE type;
        const char *text;
        std::string bytes;
    } cases[] = {
        {BRN_SQL_INT, "42", Bytes<INT32>(42)},
        {BRN_SQL_INT, "-7", Bytes<INT32>(-7)},
        {BRN_SQL_SMALLINT, "+8", Bytes<INT32>(8)},
        {BRN_SQL_TINYINT, "12a", Bytes<INT32>(0)},
        {BRN_SQL_INT, "", Bytes<INT32>(0)},
        {BRN_SQL_INT, " 1", Bytes<INT32>(0)},
        {BRN_SQL_INT, "-", Bytes<INT32>(0)},
        {BRN_SQL_UNSIGNED_INT, "4294967295", Bytes<UINT32>(0xFFFFFFFFu)},
        {BRN_SQL_UNSIGNED_TINYINT, "4294967296", Bytes<INT32>(0)},
        {BRN_SQL_INT, "-2147483648", Bytes<INT32>(INT_MIN)},
        {BRN_SQL_INT, "-2147483649", Bytes<INT32>(0)},
        {BRN_SQL_BIGINT, "-9223372036854775808", Bytes<INT64>(LLONG_MIN)},
        {BRN_SQL_UNSIGNED_LONG_INT, "18446744073709551615", Bytes<UINT64>(~0ull)},
        {BRN_SQL_BIGINT, "99999999999999999999", Bytes<INT64>(0)},
        {BRN_SQL_FLOAT, "2.5", Bytes<float>(2.5f)},
        {BRN_SQL_FLOAT, "2.5x", Bytes<float>(0)},
        {BRN_SQL_DOUBLE, "-1e3", Bytes<double>(-1000.0)},
        {BRN_SQL_DOUBLE, "", Bytes<double>(0)},
        {BRN_SQL_CHAR, "a:b", "a:b"},
        {BRN_SQL_VARCHAR, "x y", "x y"},
        {BRN_SQL_TEXT, "", ""},
        {BRN_SQL_BOOLEAN, "FALSE", Bytes<BYTE>(0)},
        {BRN_SQL_BOOLEAN, "false", Bytes<BYTE>(0)},
        {BRN_SQL_BOOLEAN, "no", Bytes<BYTE>(1)},
        {BRN_SQL_BOOLEAN, "", Bytes<BYTE>(1)},
        {BRN_SQL_DATE, "2024-03-05", Bytes(&date, 4)},
        {BRN_SQL_DATE, "2024-3", Bytes(&partDate, 4)},
        {BRN_SQL_DATE, "junk", Bytes(&noDate, 4)},
        {BRN_SQL_TIME, "07:08:09", Bytes(&time, 3)},
        {BRN_SQL_TIME, "7", Bytes(&partTime, 3)},
    };
    for (const auto &c : cases) {
        BYTE *value = (BYTE *)0x1;
        INT32 size = -5;
        ASSERT_TRUE(AllocateAndCopyColumnValue(&value, &size, c.type, c.text)) << c.text;
        ASSERT_NE(nullptr, value) << c.text;
        EXPECT_EQ((INT32)c.bytes.size(), size) << (int)c.type << " '" << c.text << "'";
        EXPECT_EQ(c.bytes, Bytes(value, (size_t)size)) << (int)c.type << " '" << c.text << "'";
        EXPECT_EQ(0, value[size]) << "terminating byte";
        free(value);
    }
    for (BYTE type : {0, 4, 11, 12, 13, 20, 21, 23}) {
        BYTE *value = (BYTE *)0x1;
        INT32 size = -5;
        EXPECT_TRUE(AllocateAndCopyColumnValue(&value, &size, type, "12")) << (int)type;
        EXPECT_EQ(nullptr, value);
        EXPECT_EQ(0, size);
    }
    ScratchLog log;
    BYTE *value = (BYTE *)0x1;
    INT32 size = -5;
    EXPECT_FALSE(AllocateAndCopyColumnValue(&value, &size, BRN_SQL_INT, NULL));
    EXPECT_EQ(nullptr, value);
    EXPECT_TRUE(log.has("[TRACE] value parameter in AllocateAndCopyColumnValue is NULL \n"));
}

TEST(XmlValue, DateTimesHoldBothPartsWithUnsuppliedFieldsZero)
{
    static const struct {
        const char *text;
        int y, mo, d, h, mi, s;
    } cases[] = {
        {"2024-03-05 07:08:09", 2024, 3, 5, 7, 8, 9},
        {"2024-03-05", 2024, 3, 5, 0, 0, 0},
        {"2024-03-05 07", 2024, 3, 5, 7, 0, 0},
        {"nonsense", 0, 0, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        BYTE *value = NULL;
        INT32 size = 0;
        ASSERT_TRUE(AllocateAndCopyColumnValue(&value, &size, BRN_SQL_DATETIME, c.text));
        ASSERT_EQ(BRN_DATETIME_SIZE, size);
        BrnDateTime dt = {};
        memcpy(&dt, value, BRN_DATETIME_SIZE);
        ASSERT_NE(nullptr, dt.date);
        ASSERT_NE(nullptr, dt.time);
        EXPECT_EQ(c.y, dt.date->year) << c.text;
        EXPECT_EQ(c.mo, dt.date->month) << c.text;
        EXPECT_EQ(c.d, dt.date->day) << c.text;
        EXPECT_EQ(c.h, dt.time->hour) << c.text;
        EXPECT_EQ(c.mi, dt.time->minute) << c.text;
        EXPECT_EQ(c.s, dt.time->second) << c.text;
        EXPECT_EQ(0, dt.extra1 | dt.extra2 | dt.extra3);
        free(dt.date);
        free(dt.time);
        free(value);
    }
}

TEST_F(XmlLoad, TwoParametersAndTheSelectionOfOne)
{
    ASSERT_EQ(1, Load("<resource><Agentparams PARAM_NAME=\"CUSTOMER\" param_Value=\"acme\"/>"
                      "<Agentparams PARAM_NAME=\"RESOURCE_ID\" param_value=\"R-17&amp;x\"/></resource>"));
    ASSERT_EQ(2u, TableRows("Agentparams").size());
    for (RowObject *r : TableRows("Agentparams"))
        EXPECT_EQ(ROW_FLAG_NEW, r->flags);
    ResultData *rd = SelectRows("Agentparams", "PARAM_NAME='RESOURCE_ID'");
    ASSERT_NE(nullptr, rd);
    ASSERT_NE(nullptr, GotoNextRowObject(rd));
    INT32 size = 0;
    BYTE *v = GetColumnValueByName("param_Value", &size, rd);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ("R-17&x", std::string((const char *)v, (size_t)size));
    EXPECT_EQ(nullptr, GotoNextRowObject(rd));
    FreeResultData(rd);
}

TEST_F(XmlLoad, ColumnsOfEveryKindFromOneElement)
{
    ASSERT_EQ(1, Load("<r><Vals I8=\"-3\" U16=\"5\" I32=\"x\" U32=\"4000000000\" I64=\"-5000000000\" F32=\"1.5\""
                      " F64=\"2.25\" TXT=\"a:b:c:d\" D=\"2024-03-05\" T=\"07:08:09\" DT=\"2024-03-05 07:08:09\""
                      " B=\"FALSE\" BL=\"raw\" unused=\"1\"/>"
                      "<Vals TXT=\"12:30\" B=\"no\"/></r>"));
    std::vector<RowObject *> rows = TableRows("Vals");
    ASSERT_EQ(2u, rows.size());
    RowObject *r = rows[0];
    EXPECT_EQ(-3, IntOf(r, "Vals", "I8"));
    EXPECT_EQ(nullptr, r->values[Column("Vals", "U16")]);     /* code 4 takes no value */
    EXPECT_EQ(0, IntOf(r, "Vals", "I32"));
    EXPECT_EQ(4000000000u, (UINT32)IntOf(r, "Vals", "U32"));
    EXPECT_EQ(-5000000000LL, ReadInt64Value(r->values[Column("Vals", "I64")], 8));
    EXPECT_EQ(1.5f, ReadFloatValue(r->values[Column("Vals", "F32")], 4));
    EXPECT_EQ(2.25, ReadDoubleValue(r->values[Column("Vals", "F64")], 8));
    EXPECT_EQ("c:d", TextOf(r, "Vals", "TXT"));
    BrnDate d;
    memcpy(&d, r->values[Column("Vals", "D")], 4);
    EXPECT_EQ(2024, d.year);
    EXPECT_EQ(5, d.day);
    EXPECT_EQ(Bytes("\x07\x08\x09", 3), TextOf(r, "Vals", "T"));
    /* A date-time holds two colons: the whole text is its value. */
    BrnDateTime dt;
    ASSERT_EQ(BRN_DATETIME_SIZE, r->sizes[Column("Vals", "DT")]);
    memcpy(&dt, r->values[Column("Vals", "DT")], BRN_DATETIME_SIZE);
    EXPECT_EQ(2024, dt.date->year);
    EXPECT_EQ(9, dt.time->second);
    EXPECT_EQ(Bytes<BYTE>(0), TextOf(r, "Vals", "B"));
    EXPECT_EQ(nullptr, r->values[Column("Vals", "BL")]);
    EXPECT_EQ("12:30", TextOf(rows[1], "Vals", "TXT"));
    EXPECT_EQ(Bytes<BYTE>(1), TextOf(rows[1], "Vals", "B"));
}

TEST_F(XmlLoad, ReferenceTextsShareTheirIdentifierThroughTheMap)
{
    ScratchLog log;
    const char text[] = "<r><Vals REF=\"Customer:CUST_ID:17\"/><Vals REF=\"Customer:CUST_ID:17\"/>"
                        "<Vals REF=\"Customer:CUST_ID:18\"/><Vals REF=\"::5\"/>"
                        "<Vals REF=\"CycA:A_ID:9\"/><Vals REF=\"Nowhere:X:x12\"/></r>";
    xmlDocPtr doc = xmlReadMemory(text, (int)sizeof text - 1, NULL, NULL, 0);
    ASSERT_NE(nullptr, doc);
    HashMap *map = ConstructTableDataFromXMLNode(doc, xmlDocGetRootElement(doc));
    ASSERT_NE(nullptr, map);
    std::vector<RowObject *> rows = TableRows("Vals");
    ASSERT_EQ(6u, rows.size());
    /* No generator answers yet: the key part stands in, the same for the
     * same text, and never the generator's failure value. */
    EXPECT_EQ(17, IntOf(rows[0], "Vals", "REF"));
    EXPECT_EQ(17, IntOf(rows[1], "Vals", "REF"));
    EXPECT_EQ(18, IntOf(rows[2], "Vals", "REF"));
    EXPECT_EQ(LLONG_MIN, IntOf(rows[3], "Vals", "REF"));
    EXPECT_TRUE(log.has("[ERROR] Unable to get Column details for AutoID generation \n"));
    EXPECT_EQ(9, IntOf(rows[4], "Vals", "REF"));   /* the foreign-key cycle ends */
    EXPECT_EQ(0, IntOf(rows[5], "Vals", "REF"));

    static const struct {
        const char *key;
        DWORD id;
    } keys[] = {{"Customer:CUST_ID:17", 17}, {"Vals:REF:17", 17}, {"Customer:CUST_ID:18", 18},
                {"Vals:REF:18", 18},         {"CycA:A_ID:9", 9},   {"Vals:REF:9", 9}};
    for (const auto &k : keys) {
        const DWORD *id = (const DWORD *)GetFromHashMap(map, k.key);
        ASSERT_NE(nullptr, id) << k.key;
        EXPECT_EQ(k.id, *id) << k.key;
    }
    EXPECT_FALSE(HashMapContainsKey(map, "::5"));
    EXPECT_EQ(8u, GetHashMapCount(map));
    FreeAutoIDMap(map);
    xmlFreeDoc(doc);
}

TEST_F(XmlLoad, AGeneratorThatFailsIsNoIdentifier)
{
    ScratchLog log;
    ASSERT_EQ(1, Load("<r><Customer CUST_ID=\"Customer:CUST_ID:3\" NAME=\"a\"/><Customer NAME=\"b\"/></r>"));
    std::vector<RowObject *> rows = TableRows("Customer");
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(3, IntOf(rows[0], "Customer", "CUST_ID"));
    EXPECT_EQ(LLONG_MIN, IntOf(rows[1], "Customer", "CUST_ID"));
    EXPECT_TRUE(log.has("[ERROR] AddNewRow : no identifier generated for Customer.CUST_ID\n"));
}

TEST_F(XmlLoad, WorkflowNextStatementZeroIsTheNumberZero)
{
    ASSERT_EQ(1, Load("<r><Workflow_Statements STATEMENT_ID=\"1\" NEXT_STATEMENT_ID=\"Workflow_Statements:STATEMENT_ID:0\"/>"
                      "<Workflow_Statements STATEMENT_ID=\"2\" NEXT_STATEMENT_ID=\"Workflow_Statements:STATEMENT_ID:5\"/>"
                      "<Workflow_Statements STATEMENT_ID=\"3\"/></r>"));
    std::vector<RowObject *> rows = TableRows("Workflow_Statements");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(0, IntOf(rows[0], "Workflow_Statements", "NEXT_STATEMENT_ID"));
    EXPECT_EQ(5, IntOf(rows[1], "Workflow_Statements", "NEXT_STATEMENT_ID"));
    EXPECT_EQ(-1, IntOf(rows[2], "Workflow_Statements", "NEXT_STATEMENT_ID"));   /* the default */
}

TEST_F(XmlLoad, KeysComeFromTheNearestEnclosingElement)
{
    ASSERT_EQ(1, Load("<r><Site SITE=\"4\" SITE_NAME=\"north\">"
                      "  <RackList SITE=\"6\" RACK=\"2\"><Machine MACHINE=\"m1\"/><Machine MACHINE=\"m2\" SITE=\"8\"/></RackList>"
                      "  <Machine MACHINE=\"m3\"/>"
                      "</Site>"
                      "<Customer CUST_ID=\"5\" NAME=\"acme\">"
                      "  <Orders ORDER_ID=\"1\"><OrderLine LINE_NO=\"1\"/><OrderLine LINE_NO=\"2\" QTY=\"4\"/></Orders>"
                      "  <Orders ORDER_ID=\"2\" CUST_ID=\"6\"/>"
                      "</Customer></r>"));
    std::vector<RowObject *> m = TableRows("Machine");
    ASSERT_EQ(3u, m.size());
    EXPECT_EQ(6, IntOf(m[0], "Machine", "SITE"));
    EXPECT_EQ(2, IntOf(m[0], "Machine", "RACK"));
    EXPECT_EQ(8, IntOf(m[1], "Machine", "SITE"));        /* its own attribute wins */
    EXPECT_EQ(4, IntOf(m[2], "Machine", "SITE"));
    EXPECT_EQ(LLONG_MIN, IntOf(m[2], "Machine", "RACK"));

    std::vector<RowObject *> o = TableRows("Orders");
    ASSERT_EQ(2u, o.size());
    EXPECT_EQ(5, IntOf(o[0], "Orders", "CUST_ID"));
    EXPECT_EQ(6, IntOf(o[1], "Orders", "CUST_ID"));
    std::vector<RowObject *> l = TableRows("OrderLine");
    ASSERT_EQ(2u, l.size());
    EXPECT_EQ(1, IntOf(l[0], "OrderLine", "ORDER_ID"));
    /* CUSTOMER refers to Orders.CUST_ID, which the enclosing Orders element
     * lacks: its own foreign key takes it from the Customer around it. */
    EXPECT_EQ(5, IntOf(l[0], "OrderLine", "CUSTOMER"));
    EXPECT_EQ(1, IntOf(l[0], "OrderLine", "QTY"));
    EXPECT_EQ(4, IntOf(l[1], "OrderLine", "QTY"));
}

/* A key inherited from a reference text is the parent's identifier. */
TEST_F(XmlLoad, AnInheritedReferenceTextIsTheParentsIdentifier)
{
    ASSERT_EQ(1, Load("<r><Customer CUST_ID=\"Customer:CUST_ID:17\" NAME=\"acme\">"
                      "  <Orders ORDER_ID=\"1\"/><Orders ORDER_ID=\"2\" CUST_ID=\"Customer:CUST_ID:17\"/>"
                      "</Customer></r>"));
    std::vector<RowObject *> c = TableRows("Customer");
    ASSERT_EQ(1u, c.size());
    std::vector<RowObject *> o = TableRows("Orders");
    ASSERT_EQ(2u, o.size());
    EXPECT_EQ(IntOf(c[0], "Customer", "CUST_ID"), IntOf(o[0], "Orders", "CUST_ID"));
    EXPECT_EQ(IntOf(c[0], "Customer", "CUST_ID"), IntOf(o[1], "Orders", "CUST_ID"));
    EXPECT_EQ(17, IntOf(o[0], "Orders", "CUST_ID"));
}

TEST_F(XmlLoad, SearchBelowFollowsTheSecondChildNodes)
{
    ASSERT_EQ(1, Load("<r>\n"
                      "<Orders ORDER_ID=\"9\">\n  <Customer CUST_ID=\"77\"/>\n</Orders>\n"
                      "<Orders ORDER_ID=\"11\"><Customer CUST_ID=\"78\"/></Orders>\n"
                      "<OrderLine LINE_NO=\"1\">\n <OrderList>\n  <Orders ORDER_ID=\"12\" CUST_ID=\"5\"/>\n </OrderList>\n</OrderLine>\n"
                      "</r>"));
    std::vector<RowObject *> o = TableRows("Orders");
    ASSERT_EQ(3u, o.size());
    EXPECT_EQ(77, IntOf(o[0], "Orders", "CUST_ID"));
    /* Without white space the Customer is the first child, out of reach. */
    EXPECT_EQ(LLONG_MIN, IntOf(o[1], "Orders", "CUST_ID"));
    std::vector<RowObject *> l = TableRows("OrderLine");
    ASSERT_EQ(1u, l.size());
    EXPECT_EQ(12, IntOf(l[0], "OrderLine", "ORDER_ID"));
    EXPECT_EQ(5, IntOf(l[0], "OrderLine", "CUSTOMER"));
}

TEST_F(XmlLoad, ListElementsArePassedOverAndUnknownOnesStopTheirLevel)
{
    {
        ScratchLog log;
        ASSERT_EQ(1, Load("<r><SomethingList><Agentparams PARAM_NAME=\"in list\"/></SomethingList>"
                          "<Customer CUST_ID=\"1\"><Unknown/><Orders ORDER_ID=\"3\"/></Customer>"
                          "<Agentparams PARAM_NAME=\"after\"/></r>"));
        EXPECT_EQ(2u, TableRows("Agentparams").size());
        EXPECT_EQ(1u, TableRows("Customer").size());
        EXPECT_EQ(0u, TableRows("Orders").size());
        EXPECT_TRUE(log.has("[ERROR] Cannot create and add a new row while constructing tabledata from XML file.\n"));
        EXPECT_FALSE(log.has("Cannot construct table data"));
    }
    ScratchLog log;
    EXPECT_EQ(0, Load("<r><Agentparams PARAM_NAME=\"a\"/><Unknown/><Agentparams PARAM_NAME=\"b\"/></r>"));
    EXPECT_EQ(3u, TableRows("Agentparams").size());     /* "a" stays, "b" is never read */
    EXPECT_TRUE(log.has("[ERROR] Cannot create and add a new row while constructing tabledata from XML file.\n"));
    EXPECT_TRUE(log.has("[ERROR] Cannot construct table data from XML buffer.\n"));
    EXPECT_EQ(0, Load("<r><somethinglist/></r>"));        /* "List" is case-sensitive */
}

TEST_F(XmlLoad, AnEmptyDictionaryMakesEveryRowAnError)
{
    FreeAllTableDefns();
    ScratchLog log;
    EXPECT_EQ(0, Load("<r><Agentparams PARAM_NAME=\"RESOURCE_ID\" param_Value=\"1\"/></r>"));
    EXPECT_EQ(nullptr, GetTableDataByName("Agentparams"));
    EXPECT_TRUE(log.has("[ERROR] Cannot create and add a new row while constructing tabledata from XML file.\n"));
    EXPECT_TRUE(log.has("[ERROR] Cannot construct table data from XML buffer.\n"));
}

TEST_F(XmlLoad, DocumentsThatDoNotParseAddNothing)
{
    static const char *const texts[] = {"<r><Agentparams PARAM_NAME=\"x\"></r>", "", "no xml at all",
                                        "<r><Agentparams PARAM_NAME=\"x\"/></r><second/>"};
    for (const char *t : texts) {
        ScratchLog log;
        EXPECT_EQ(0, Load(t)) << t;
        EXPECT_TRUE(log.has("[ERROR] error: could not parse file file.xml\n")) << t;
    }
    ScratchLog log;
    EXPECT_EQ(0, ConstructTableDataFromXMLBuffer(NULL, 10));
    EXPECT_TRUE(log.has("[ERROR] error: could not parse file file.xml\n"));
    EXPECT_EQ(0u, TableRows("Agentparams").size());
}

TEST_F(XmlLoad, FilesAndNodes)
{
    vqt::ScratchDir dir("xml");
    ScratchLog log;
    std::string path = dir.file("rows.xml");
    ASSERT_TRUE(vqt::WriteWholeFile(path, "<r><Agentparams PARAM_NAME=\"f\"/></r>"));
    EXPECT_TRUE(ConstructTableDataFromXMLFile(path.c_str()));
    EXPECT_EQ(1u, TableRows("Agentparams").size());
    EXPECT_FALSE(ConstructTableDataFromXMLFile(dir.file("absent.xml").c_str()));
    EXPECT_FALSE(ConstructTableDataFromXMLFile(NULL));
    EXPECT_TRUE(log.has("[ERROR] error: could not parse file file.xml\n"));
    ASSERT_TRUE(vqt::WriteWholeFile(path, "<r><Bogus/></r>"));
    EXPECT_FALSE(ConstructTableDataFromXMLFile(path.c_str()));
    EXPECT_TRUE(log.has("[ERROR] Cannot construct table data from XML file.\n"));

    const char text[] = "<r><Customer CUST_ID=\"5\"><Orders ORDER_ID=\"1\"/></Customer><Bogus/></r>";
    xmlDocPtr doc = xmlReadMemory(text, (int)sizeof text - 1, NULL, NULL, 0);
    ASSERT_NE(nullptr, doc);
    /* Below the Customer element only: its Orders row, which still inherits
     * from the Customer outside the loaded part. */
    HashMap *map = ConstructTableDataFromXMLNode(doc, xmlDocGetRootElement(doc)->children);
    ASSERT_NE(nullptr, map);
    FreeAutoIDMap(map);
    EXPECT_EQ(0u, TableRows("Customer").size());
    ASSERT_EQ(1u, TableRows("Orders").size());
    EXPECT_EQ(5, IntOf(TableRows("Orders")[0], "Orders", "CUST_ID"));
    EXPECT_EQ(nullptr, ConstructTableDataFromXMLNode(doc, xmlDocGetRootElement(doc)));
    EXPECT_TRUE(log.has("[ERROR] Cannot construct table data from buffer node.\n"));
    EXPECT_EQ(nullptr, ConstructTableDataFromXMLNode(doc, NULL));
    xmlFreeDoc(doc);
}

TEST_F(XmlLoad, EntitiesCannotMultiplyRowsOrValues)
{
    /* Ten levels of ten references: 10^10 bytes if expanded. */
    std::string dtd = "<!DOCTYPE r [<!ENTITY e0 \"lol\">";
    for (int i = 1; i <= 10; i++) {
        dtd += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; k++)
            dtd += "&e" + std::to_string(i - 1) + ";";
        dtd += "\">";
    }
    ScratchLog log;
    EXPECT_EQ(0, Load(dtd + "]><r><Agentparams PARAM_NAME=\"bomb\" param_Value=\"&e10;\"/></r>"));
    EXPECT_EQ(0u, TableRows("Agentparams").size());
    /* libxml2's amplification limit refuses it while parsing. */
    EXPECT_TRUE(log.has("[ERROR] error: could not parse file file.xml\n"));
    /* The same in element content, where it is never expanded for a row. */
    EXPECT_EQ(0, Load(dtd + "]><r><Agentparams PARAM_NAME=\"bomb\">&e10;</Agentparams></r>"));

    /* A modest entity in a value is replaced. */
    EXPECT_EQ(1, Load(dtd + "]><r><Agentparams PARAM_NAME=\"&e1;\"/></r>"));
    ASSERT_EQ(1u, TableRows("Agentparams").size());
    EXPECT_EQ("lollollollollollollollollollol",
              TextOf(TableRows("Agentparams")[0], "Agentparams", "PARAM_NAME"));

    /* Rows inside an entity are not rows of the document. */
    EXPECT_EQ(1, Load("<!DOCTYPE r [<!ENTITY rows \"<Agentparams PARAM_NAME='e'/>\">]><r>&rows;&rows;</r>"));
    EXPECT_EQ(1u, TableRows("Agentparams").size());
}

TEST_F(XmlLoad, DeepNestingAndWideElementsStayBounded)
{
    /* Beyond libxml2's nesting limit the document does not parse. */
    std::string deep;
    for (int i = 0; i < 300; i++)
        deep += "<Node>";
    for (int i = 0; i < 300; i++)
        deep += "</Node>";
    EXPECT_EQ(0, Load("<r>" + deep + "</r>"));

    /* 200 self-referencing levels with two key pairs, no ID anywhere: every
     * level asks the levels above it, each answered once. */
    std::string nested;
    for (int i = 0; i < 200; i++)
        nested += "<Node>";
    for (int i = 0; i < 200; i++)
        nested += "</Node>";
    EXPECT_EQ(1, Load("<r ID=\"3\">" + nested + "</r>"));
    std::vector<RowObject *> rows = TableRows("Node");
    ASSERT_EQ(200u, rows.size());
    EXPECT_EQ(3, IntOf(rows[0], "Node", "PARENT_ID"));
    EXPECT_EQ(3, IntOf(rows[199], "Node", "PARENT_KEY"));

    std::string wide = "<r><Agentparams";
    for (int i = 0; i < 20000; i++)
        wide += " a" + std::to_string(i) + "=\"v\"";
    wide += " PARAM_NAME=\"wide\"/></r>";
    EXPECT_EQ(1, Load(wide));
    ASSERT_EQ(1u, TableRows("Agentparams").size());
    EXPECT_EQ("wide", TextOf(TableRows("Agentparams")[0], "Agentparams", "PARAM_NAME"));
}
