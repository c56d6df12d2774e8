/* The data dictionary: type names in their fixed order, column properties
 * and keys read from files, the structural faults that abandon a table, the
 * list file with its fallback to the framework root, the lookups and the
 * print, and the framework's own data directory. */
#include "records/dict/dictload.h"
#include "records/dict/tabledefn.h"
#include "records/store/tablestore.h"
#include "support/records/recordfixture.h"

#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace vqt;
using vqt::ScratchDir;
using vqt::ScratchLog;

namespace {

const std::string kData = VQ_RECORDS_TEST_DATA;

class DataDict : public ::testing::Test {
protected:
    void TearDown() override { ClearAll(); }

    /* Writes a dictionary document of `tables` and loads it. */
    void LoadText(const std::string &tables)
    {
        std::string path = dir_.file("dict.xml");
        ASSERT_TRUE(vqt::WriteWholeFile(path, "<?xml version=\"1.0\"?>\n<data-dictionary>\n" + tables
                                                  + "\n</data-dictionary>\n"));
        ASSERT_TRUE(LoadDataDictFromXMLFile(path.c_str()));
    }
    ScratchDir dir_{"dict"};
};

ColumnDefn *Col(const char *table, const char *column)
{
    ColumnDefn *c = GetColumnDefnEntry(table, column);
    EXPECT_NE(nullptr, c) << table << "." << column;
    return c;
}

const char kGoodTable[] =
    "<table name=\"Good\"><columns><column name=\"ID\"><data-type>INTEGER</data-type></column>"
    "</columns></table>";

} // namespace

TEST_F(DataDict, TypeNamesFromAFileIgnoreCase)
{
    ScratchLog log;
    ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/types.xml").c_str()));
    TableDefn *d = GetTableDefn("alltypes");
    ASSERT_NE(nullptr, d);
    /* Every name of the list, every second one written in lower case. */
    static const BYTE expected[] = {0, 1, 2, 3, 4, 5, 7, 5, 6, 5, 8, 9, 9, 10, 11, 12, 13,
                                    14, 15, 15, 22, 22, 16, 16, 17, 17, 18, 18, 18, 21, 21, 20, 20, 19};
    ASSERT_EQ((INT32)(sizeof expected), d->columnCount);
    for (INT32 i = 0; i < d->columnCount; i++)
        EXPECT_EQ(expected[i], d->columns[i]->type) << d->columns[i]->name;
    EXPECT_STREQ("one column per type name", d->description);
    for (const char *unknown : {"VARCHAR", "BRN_SQL_VARCHAR", "BRN_SQL_INT ", ""})
        EXPECT_EQ(0, GetSqlTypeCode(unknown)) << unknown;
    const char line[] = "[ERROR] Column data type not supported - Error while creating column definition.";
    size_t before = log.linesWith(line).size();
    EXPECT_EQ(0, GetSqlTypeCode(NULL));
    EXPECT_EQ(before + 1, log.linesWith(line).size());
}

TEST_F(DataDict, ColumnPropertiesFromAFile)
{
    ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/types.xml").c_str()));
    /* code, max size, nullable, unique */
    static const struct {
        const char *column;
        BYTE type;
        INT32 maxSize;
        BYTE nullable, unique;
    } cases[] = {
        {"WIDE_CHAR", 22, 300, 1, 0},   {"NARROW_CHAR", 14, 255, 1, 0}, {"WIDE_NCHAR", 22, 256, 1, 0},
        {"BAD_SIZE", 5, -1, 1, 0},      {"NULL_DEFAULT", 5, 0, 1, 0},   {"NULL_TRUE", 5, 0, 1, 0},
        {"NULL_YES", 5, 0, 0, 0},       {"UNIQUE_TRUE", 5, 0, 1, 1},    {"UNIQUE_TITLE", 5, 0, 1, 0},
        {"DEF_TEXT", 14, -5, 1, 0},     {"NO_TYPE", 0, 0, 1, 0},        {"ODD_TYPE", 0, 0, 1, 0},
    };
    for (const auto &c : cases) {
        ColumnDefn *col = Col("Props", c.column);
        if (!col)
            continue;
        EXPECT_EQ(c.type, col->type) << c.column;
        EXPECT_EQ(c.maxSize, col->maxSize) << c.column;
        EXPECT_EQ(c.nullable, col->nullable) << c.column;
        EXPECT_EQ(c.unique, col->unique) << c.column;
    }

    BYTE found = 9;
    BYTE *seven = GetDefaultValue("PROPS", "DEF_SEVEN", &found);
    EXPECT_EQ(1, found);
    ASSERT_NE(nullptr, seven);
    EXPECT_EQ(4, Col("Props", "DEF_SEVEN")->defaultSize);
    EXPECT_EQ(7, ReadInt32Value(seven, 4));
    BYTE *abc = GetDefaultValue("Props", "DEF_ABC", &found);
    ASSERT_NE(nullptr, abc);
    EXPECT_EQ(0, ReadInt32Value(abc, 4));
    ColumnDefn *text = Col("Props", "DEF_TEXT");
    ASSERT_EQ(5, text->defaultSize);
    EXPECT_EQ(0, memcmp(text->defaultValue, "hello", 6));
    EXPECT_STREQ("a described column", text->description);
    EXPECT_EQ(nullptr, GetDefaultValue("Props", "NULL_DEFAULT", &found));
    EXPECT_EQ(1, found);

    EXPECT_STREQ("PropSeq", Col("Props", "GEN")->generatorName);
    EXPECT_EQ(nullptr, Col("Props", "LISTED")->generatorName);
    AllowedValues *listed = Col("Props", "LISTED")->allowedValues;
    ASSERT_NE(nullptr, listed);
    EXPECT_EQ(0, listed->rangeFlag);
    EXPECT_STREQ("red", listed->values[0]);
    EXPECT_STREQ("green", listed->values[1]);
    EXPECT_STREQ("blue", listed->values[2]);
    EXPECT_EQ(nullptr, listed->values[3]);
    AllowedValues *ranged = Col("Props", "RANGED")->allowedValues;
    ASSERT_NE(nullptr, ranged);
    EXPECT_EQ(1, ranged->rangeFlag);
    EXPECT_STREQ("1", ranged->values[0]);
    EXPECT_STREQ("10", ranged->values[1]);
}

TEST_F(DataDict, KeysFromAFile)
{
    ScratchLog log;
    ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/types.xml").c_str()));
    TableDefn *d = GetTableDefn("Props");
    ASSERT_NE(nullptr, d);
    ASSERT_EQ(2, d->constraints->primaryKeyCount);
    EXPECT_STREQ("WIDE_CHAR", d->constraints->primaryKeyColumns[0]);
    EXPECT_STREQ("GEN", d->constraints->primaryKeyColumns[1]);

    /* Two pairs of one foreign key: two definitions, same table and flags. */
    static const struct {
        const char *local, *reference, *table;
        BYTE cascade, bidirectional;
    } expected[] = {
        {"NULL_TRUE", "C05", "AllTypes", 1, 1},
        {"NULL_YES", "C07", "AllTypes", 1, 1},
        {"DEF_TEXT", "PARAM_NAME", "Agentparams", 0, 0},
    };
    ForeignKeyDefn *fk = d->constraints->foreignKeys;
    for (const auto &e : expected) {
        ASSERT_NE(nullptr, fk);
        EXPECT_STREQ(e.local, fk->localColumn);
        EXPECT_STREQ(e.reference, fk->referenceColumn);
        EXPECT_STREQ(e.table, fk->referenceTable);
        EXPECT_EQ(e.cascade, fk->onDeleteCascade) << e.local;
        EXPECT_EQ(0, fk->reserved);
        EXPECT_EQ(e.bidirectional, fk->bidirectional) << e.local;
        fk = fk->next;
    }
    EXPECT_EQ(nullptr, fk);
    EXPECT_TRUE(log.has("[DEBUG] fk-columns tag not found \n"));

    /* The column without a data-type is the file's one error. */
    EXPECT_EQ(std::vector<std::string>{"Column data type not supported - Error while creating column definition."},
              log.messages("ERROR"));
    EXPECT_EQ(d->constraints->foreignKeys->next, GetForeignKeyByLocalColumn(d, "null_yes"));
    EXPECT_EQ(nullptr, GetForeignKeyByLocalColumn(d, "GEN"));
    EXPECT_EQ(1u, log.messages("ERROR").size());
    EXPECT_EQ(nullptr, GetForeignKeyByLocalColumn(GetTableDefn("AllTypes"), "C01"));
    EXPECT_TRUE(log.has("[ERROR] No Foreignkey Entries in Definition \n"));
    TableDefn bare = {};
    EXPECT_EQ(nullptr, GetForeignKeyByLocalColumn(&bare, "C01"));
    EXPECT_TRUE(log.has("[ERROR] No constraint Definition \n"));
}

TEST_F(DataDict, StructuralFaultsAbandonTheirTableOnly)
{
    static const struct {
        const char *table;
        const char *message;
    } cases[] = {
        {"<table system=\"x\"><columns/></table>", "\nTABLE tag missing\n"},
        {"<table name=\"T\"><columns/><primary-key><primary-key-column>A<b/></primary-key-column></primary-key></table>",
         "\nMissing primary-key-column end tag\n"},
        {"<table name=\"T\"><columns/><foreign-keys><foreign-key reference-table-name=\"G\"><fk-columns><fk-column>"
         "<fk-local-column>A<x/></fk-local-column><fk-reference-column>B</fk-reference-column>"
         "</fk-column></fk-columns></foreign-key></foreign-keys></table>",
         "\n Missing endof FK-LOCAL-COLUMN tag\n"},
        {"<table name=\"T\"><columns/><foreign-keys><foreign-key reference-table-name=\"G\"><fk-columns><fk-column>"
         "<fk-local-column>A</fk-local-column><fk-reference-column><x/></fk-reference-column>"
         "</fk-column></fk-columns></foreign-key></foreign-keys></table>",
         "\nMissing endof FK-REFERENCE-COLUMN\n"},
        {"<table name=\"T\"><columns/><foreign-keys><foreign-key reference-table-name=\"G\"><fk-columns><fk-column>"
         "<fk-local-column>A</fk-local-column></fk-column></fk-columns></foreign-key></foreign-keys></table>",
         "\nMissing end FK-COLUMNS\n"},
        {"<table name=\"T\"><columns/><foreign-keys><foreign-key reference-table-name=\"G\"><fk-columns/>"
         "<fk-constraints>X<y/></fk-constraints></foreign-key></foreign-keys></table>",
         "\nMissing endof FK-CONSTRAINTS tag\n"},
        {"<table name=\"T\"><columns><column name=\"C\"><allowed-values><value>a<b/></value></allowed-values>"
         "</column></columns></table>",
         "\n No ending Value tag\n"},
        {"<table name=\"T\"><columns><column name=\"C\"><allowed-values><from>1<b/></from><to>2</to></allowed-values>"
         "</column></columns></table>",
         "\nNo Ending FROM tag \n"},
        {"<table name=\"T\"><columns><column name=\"C\"><allowed-values><from>1</from><to><b/></to></allowed-values>"
         "</column></columns></table>",
         "\nNo ending TO tag \n"},
        {"<table name=\"T\"><columns><column name=\"C\"><allowed-values><from>1</from></allowed-values>"
         "</column></columns></table>",
         "In the allowed values attribute, 'to' tag is missing.\n"},
        {"<table name=\"T\"><columns/><description>late</description></table>", "\nDescription tag ambiguity \n"},
        {"<table name=\"T\"><columns><column name=\"C\"><description>a</description><description>b</description>"
         "</column></columns></table>",
         "\nDescription tag ambiguity \n"},
        {"<table name=\"T\" owner=\"me\"><columns/></table>", "\n Not all Attributes were read\n"},
        {"<table name=\"T\"><columns><column name=\"C\" width=\"3\"/></columns></table>",
         "\n Not all Attributes were read\n"},
    };
    for (const auto &c : cases) {
        ScratchLog log;
        LoadText(std::string(c.table) + "\n" + kGoodTable);
        EXPECT_EQ(nullptr, GetTableDefn("T")) << c.table;
        EXPECT_NE(nullptr, GetTableDefn("Good")) << c.table;
        EXPECT_TRUE(log.has(std::string("[ERROR] ") + c.message)) << c.table;
        FreeAllTableDefns();
    }
}

TEST_F(DataDict, AReaderErrorKeepsTheTablesReadBefore)
{
    ScratchLog log;
    std::string path = dir_.file("broken.xml");
    ASSERT_TRUE(vqt::WriteWholeFile(path, std::string("<data-dictionary>") + kGoodTable
                                              + "<table name=\"Half\"><columns><column name=\"A\">"));
    EXPECT_TRUE(LoadDataDictFromXMLFile(path.c_str()));
    EXPECT_NE(nullptr, GetTableDefn("Good"));
    EXPECT_EQ(nullptr, GetTableDefn("Half"));
    EXPECT_TRUE(log.has("[ERROR] \nxmlTextReaderRead returned error \n"));
    EXPECT_TRUE(log.has("[ERROR] " + path + " : failed to parse\n"));

    /* An empty dictionary is no fault. */
    ASSERT_TRUE(vqt::WriteWholeFile(path, "<?xml version=\"1.0\"?>\n<data-dictionary/>\n<!-- end -->\n"));
    size_t errors = log.messages("ERROR").size();
    EXPECT_TRUE(LoadDataDictFromXMLFile(path.c_str()));
    EXPECT_EQ(errors, log.messages("ERROR").size());

    EXPECT_TRUE(LoadDataDictFromXMLFile(dir_.file("absent.xml").c_str()));
    EXPECT_TRUE(log.has("[ERROR] Unable to open " + dir_.file("absent.xml") + "\n"));
    EXPECT_FALSE(LoadDataDictFromXMLFile(NULL));
}

TEST_F(DataDict, ASecondDefinitionOfANameIsKeptButNeverFound)
{
    ScratchLog log;
    LoadText(std::string(kGoodTable)
             + "<table name=\"GOOD\"><columns><column name=\"OTHER\"/><column name=\"MORE\"/></columns></table>");
    INT32 count = 0;
    TableDefn **all = GetTableDefnRegistry(&count);
    ASSERT_EQ(2, count);
    EXPECT_EQ(all[0], GetTableDefn("good"));
    EXPECT_EQ(1, GetTableDefn("good")->columnCount);
    EXPECT_TRUE(log.has("[ERROR] AddTableDefn : table GOOD is defined twice; lookups use the first definition\n"));
    /* Freeing by name removes the first; the second becomes reachable. */
    EXPECT_TRUE(FreeTableDefn("Good"));
    ASSERT_NE(nullptr, GetTableDefn("Good"));
    EXPECT_EQ(2, GetTableDefn("Good")->columnCount);
}

TEST_F(DataDict, LookupsAndTheirMessages)
{
    ScratchLog log;
    ASSERT_TRUE(LoadDataDictFiles(VQ_FRAMEWORK_DATA));
    EXPECT_NE(nullptr, GetTableDefn("AGENTPARAMS"));
    EXPECT_NE(nullptr, GetColumnDefnEntry("agentparams", "param_Value"));
    EXPECT_EQ(nullptr, GetColumnDefnEntry("Agentparams", "param_value"));
    EXPECT_EQ(14, GetColumnDefnType("Agentparams", "PARAM_NAME"));
    EXPECT_EQ(22, GetColumnDefnType("Agentparams", "param_Value"));
    EXPECT_EQ(0, GetColumnDefnType("Agentparams", "PARAM_name"));
    EXPECT_EQ(5, GetColumnDefnType("SeqGenState", "CURRENTBATCHEND"));
    BYTE found = 7;
    BYTE *batchEnd = GetDefaultValue("SeqGenState", "CURRENTBATCHEND", &found);
    EXPECT_EQ(1, found);
    ASSERT_NE(nullptr, batchEnd);
    EXPECT_EQ(0, ReadInt32Value(batchEnd, 4));
    EXPECT_TRUE(log.has("[TRACE] @@@@ Inside GetColumnDefnEntry @@@@\n"));
    EXPECT_TRUE(log.has("[TRACE] @@@@ Inside GetDefaultValue @@@@\n"));

    EXPECT_EQ(nullptr, GetColumnDefnEntry("Nowhere", "X"));
    EXPECT_TRUE(log.has("[ERROR] No definition found for table Nowhere\n"));
    found = 7;
    EXPECT_EQ(nullptr, GetDefaultValue(NULL, "X", &found));
    EXPECT_EQ(0, found);
    EXPECT_TRUE(log.has("[ERROR] Cannot fetch default value;\n"));
    EXPECT_EQ(nullptr, GetTableDefn(NULL));
    EXPECT_TRUE(log.has("[ERROR] Table Name is NULL.\n"));

    /* The table store creates tables only for names the dictionary holds. */
    EXPECT_TRUE(CreateTable("agentparams"));
    EXPECT_FALSE(CreateTable("Unknown"));
}

TEST_F(DataDict, ListFileNamesAreSeparatedByAnyWhiteSpace)
{
    ScratchLog log;
    ASSERT_TRUE(LoadDataDictFiles(kData.c_str()));
    EXPECT_NE(nullptr, GetTableDefn("AllTypes"));
    EXPECT_NE(nullptr, GetTableDefn("Orders"));

    FreeAllTableDefns();
    ASSERT_TRUE(vqt::WriteWholeFile(dir_.file("one.xml"), std::string("<data-dictionary>") + kGoodTable
                                                              + "</data-dictionary>"));
    std::string tooLong(300, 'n');
    ASSERT_TRUE(vqt::WriteWholeFile(dir_.file("datadictionary.txt"),
                                    "missing.xml\r\n" + tooLong + "\t one.xml"));
    ASSERT_TRUE(LoadDataDictFiles(dir_.path().c_str()));
    EXPECT_NE(nullptr, GetTableDefn("Good"));
    EXPECT_TRUE(log.has("[ERROR] Unable to open " + dir_.path() + "\\missing.xml\n"));
    EXPECT_TRUE(log.has("is longer than 271 bytes; passed over\n"));
    EXPECT_TRUE(log.has("[DEBUG] Opening " + dir_.path() + "\\one.xml\n"));
    EXPECT_FALSE(log.has(tooLong.substr(0, 100) + "\n"));

    EXPECT_FALSE(LoadDataDictFiles(dir_.file("nothing").c_str()));
    EXPECT_TRUE(log.has("[ERROR] Cannot open DataDictionary File.\n"));
    EXPECT_FALSE(LoadDataDictFiles(NULL));
}

TEST_F(DataDict, LoadAllPrefersTheRelativeDataFolderThenTheRoot)
{
    ScratchLog log;
    char saved[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, saved));
    std::string work = dir_.file("work");
    ASSERT_TRUE(CreateDirectoryA(work.c_str(), NULL));
    std::string root = dir_.file("root");
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((root + "\\data").c_str(), NULL));
    ASSERT_TRUE(vqt::WriteWholeFile(root + "\\data\\datadictionary.txt", "rooted.xml\n"));
    ASSERT_TRUE(vqt::WriteWholeFile(root + "\\data\\rooted.xml",
                                    "<data-dictionary><table name=\"Rooted\"><columns><column name=\"A\"/>"
                                    "</columns></table></data-dictionary>"));
    char *savedRoot = gv_cParloRoot;
    gv_cParloRoot = (char *)root.c_str();
    ASSERT_TRUE(SetCurrentDirectoryA(work.c_str()));

    EXPECT_TRUE(LoadAllDataDictFiles());
    EXPECT_NE(nullptr, GetTableDefn("Rooted"));
    EXPECT_TRUE(log.has("[DEBUG] Opening " + root + "/data/datadictionary.txt\n"));
    EXPECT_TRUE(log.has("[DEBUG] Opening " + root + "/data/rooted.xml\n"));
    FreeAllTableDefns();

    /* ..\data beside the working folder wins over the root. */
    ASSERT_TRUE(CreateDirectoryA(dir_.file("data").c_str(), NULL));
    ASSERT_TRUE(vqt::WriteWholeFile(dir_.file("data\\datadictionary.txt"), "near.xml"));
    ASSERT_TRUE(vqt::WriteWholeFile(dir_.file("data\\near.xml"),
                                    std::string("<data-dictionary>") + kGoodTable + "</data-dictionary>"));
    EXPECT_TRUE(LoadAllDataDictFiles());
    EXPECT_NE(nullptr, GetTableDefn("Good"));
    EXPECT_EQ(nullptr, GetTableDefn("Rooted"));
    EXPECT_TRUE(log.has("[DEBUG] Opening ..\\data\\near.xml\n"));
    FreeAllTableDefns();

    /* Neither. */
    ASSERT_TRUE(DeleteFileA(dir_.file("data\\datadictionary.txt").c_str()));
    gv_cParloRoot = (char *)work.c_str();
    EXPECT_FALSE(LoadAllDataDictFiles());
    EXPECT_TRUE(log.has("[ERROR] Cannot open DataDictionary File.\n"));
    gv_cParloRoot = NULL;
    EXPECT_FALSE(LoadAllDataDictFiles());

    SetCurrentDirectoryA(saved);
    gv_cParloRoot = savedRoot;
}

TEST_F(DataDict, PrintShowsColumnsAndKeys)
{
    ScratchLog log;
    ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/keys.xml").c_str()));
    PrintTableDefn(GetTableDefn("OrderLine"));
    /* In this order. */
    static const char *const expected[] = {
        "Table Name : OrderLine\n", "Column Name : ORDER_ID\n", "Column Type : 5\n", "Unique Flag : FALSE\n",
        "Primary key : LINE_NO\n\n", "Foreign key Constraints\n", "Ref Column  : CUST_ID\n",
        "Tablename : Orders\n", "********************************\n"};
    std::string text = log.plainText();
    size_t at = 0;
    for (const char *e : expected) {
        at = text.find(std::string("[DEBUG] ") + e, at);
        ASSERT_NE(std::string::npos, at) << e;
        at++;
    }
    TableDefn empty = {};
    size_t before = log.linesWith("[DEBUG]").size();
    PrintTableDefn(&empty);
    PrintTableDefn(NULL);
    EXPECT_EQ(before, log.linesWith("[DEBUG]").size());
}
