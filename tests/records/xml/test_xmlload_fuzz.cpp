/* Mutated dictionary files and table-data documents (truncations, swapped
 * tag names, random attributes, odd reference texts, cut and doubled
 * ranges) through both loaders. Checked: nothing crashes; a dictionary file
 * that is not well-formed is reported; every definition loaded is whole;
 * a table-data load succeeds exactly when a reference walk written here
 * says it must, a failure is logged, and the rows added are exactly those
 * the reference walk counts (the rows before a failure stay, no others). */
#include "records/dict/dictload.h"
#include "records/dict/tabledefn.h"
#include "records/store/tablestore.h"
#include "records/xml/xmlload.h"
#include "support/records/recordfixture.h"

#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <libxml/parser.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace vqt;
using vqt::ScratchLog;

namespace {

const std::string kData = VQ_RECORDS_TEST_DATA;
const int kDictionaryRuns = 10000;
const int kDocumentRuns = 12000;

struct Mutator {
    std::mt19937 rng;
    explicit Mutator(unsigned seed) : rng(seed) {}
    size_t pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; }
    template <typename T> const T &any(const std::vector<T> &v) { return v[pick(v.size())]; }

    /* Positions just after '<' (or "</") where a tag name starts. */
    std::vector<size_t> tagStarts(const std::string &s)
    {
        std::vector<size_t> at;
        for (size_t i = 0; i + 1 < s.size(); i++)
            if (s[i] == '<' && (isalpha((unsigned char)s[i + 1]) || s[i + 1] == '/'))
                at.push_back(s[i + 1] == '/' ? i + 2 : i + 1);
        return at;
    }

    std::string mutate(std::string s, const std::vector<std::string> &names,
                       const std::vector<std::string> &attrNames, const std::vector<std::string> &values)
    {
        int steps = 1 + (int)pick(3);
        for (int k = 0; k < steps && !s.empty(); k++) {
            switch (pick(7)) {
            case 0: /* truncation */
                s.resize(pick(s.size() + 1));
                break;
            case 1: { /* a tag name swapped for another */
                std::vector<size_t> at = tagStarts(s);
                if (at.empty())
                    break;
                size_t p = any(at), e = p;
                while (e < s.size() && (isalnum((unsigned char)s[e]) || s[e] == '-' || s[e] == '_'))
                    e++;
                s.replace(p, e - p, any(names));
                break;
            }
            case 2: { /* a random attribute in a start tag */
                std::vector<size_t> at = tagStarts(s);
                if (at.empty())
                    break;
                size_t p = any(at);
                if (p >= 2 && s[p - 1] == '/')
                    break;
                size_t e = p;
                while (e < s.size() && (isalnum((unsigned char)s[e]) || s[e] == '-' || s[e] == '_'))
                    e++;
                s.insert(e, " " + any(attrNames) + "=\"" + any(values) + "\"");
                break;
            }
            case 3: { /* a range cut out */
                size_t a = pick(s.size()), n = pick(std::min<size_t>(64, s.size() - a) + 1);
                s.erase(a, n);
                break;
            }
            case 4: { /* a range doubled */
                size_t a = pick(s.size()), n = pick(std::min<size_t>(200, s.size() - a) + 1);
                s.insert(a, s.substr(a, n));
                break;
            }
            case 5: /* one byte changed */
                s[pick(s.size())] = "<>/\"=:&; aZ\x01\xC3"[pick(14)];
                break;
            default: { /* an attribute value replaced by an odd reference text */
                size_t q = s.find("=\"", pick(s.size()));
                if (q == std::string::npos)
                    break;
                size_t e = s.find('"', q + 2);
                if (e == std::string::npos)
                    break;
                s.replace(q + 2, e - q - 2, any(values));
                break;
            }
            }
        }
        return s;
    }
};

LONGLONG FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a))
        return -1;
    return ((LONGLONG)a.nFileSizeHigh << 32) | a.nFileSizeLow;
}

/* Every definition of the registry is whole. */
void CheckDefinitions()
{
    INT32 count = 0;
    TableDefn **defns = GetTableDefnRegistry(&count);
    for (INT32 i = 0; i < count; i++) {
        TableDefn *d = defns[i];
        ASSERT_NE(nullptr, d->name);
        ASSERT_NE(nullptr, d->constraints);
        ASSERT_TRUE(d->columnCount == 0 || d->columns);
        for (INT32 c = 0; c < d->columnCount; c++) {
            ColumnDefn *col = d->columns[c];
            ASSERT_NE(nullptr, col);
            ASSERT_NE(nullptr, col->name);
            ASSERT_LE(col->type, BRN_SQL_LAST_TYPE);
            if (col->allowedValues && col->allowedValues->rangeFlag) {
                ASSERT_NE(nullptr, col->allowedValues->values[0]);
                ASSERT_NE(nullptr, col->allowedValues->values[1]);
            }
        }
        for (INT32 k = 0; k < d->constraints->primaryKeyCount; k++)
            ASSERT_NE(nullptr, d->constraints->primaryKeyColumns[k]);
        for (ForeignKeyDefn *fk = d->constraints->foreignKeys; fk; fk = fk->next) {
            ASSERT_NE(nullptr, fk->localColumn);
            ASSERT_NE(nullptr, fk->referenceColumn);
            ASSERT_NE(nullptr, fk->referenceTable);
        }
    }
}

std::string Lower(std::string s)
{
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

/* The reference walk: rows per table (lower-case name) and whether the
 * level succeeds. */
bool ReferenceLevel(xmlNodePtr first, std::map<std::string, int> *rows)
{
    for (xmlNodePtr n = first; n; n = n->next) {
        if (n->type == XML_ENTITY_REF_NODE || n->type == XML_ENTITY_DECL || n->type == XML_DTD_NODE)
            continue;
        if (n->type == XML_ELEMENT_NODE) {
            const char *name = (const char *)n->name;
            if (GetTableDefn(name) || GetTableDataByName(name))
                (*rows)[Lower(name)]++;
            else if (!strstr(name, "List"))
                return false;
        }
        if (n->children)
            ReferenceLevel(n->children, rows);
    }
    return true;
}

std::map<std::string, int> RowCounts()
{
    std::map<std::string, int> counts;
    INT32 n = 0;
    TableData **tables = GetTableRegistry(&n);
    for (INT32 i = 0; i < n; i++) {
        int rows = 0;
        for (RowObject *r = tables[i]->firstRow; r; r = r->next)
            rows++;
        if (rows)
            counts[Lower(tables[i]->name)] = rows;
    }
    return counts;
}

const int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

} // namespace

TEST(XmlLoadFuzz, MutatedDictionaryFiles)
{
    std::vector<std::string> bases = {vqt::ReadWholeFile(kData + "/types.xml"),
                                      vqt::ReadWholeFile(kData + "/keys.xml")};
    ASSERT_FALSE(bases[0].empty());
    ASSERT_FALSE(bases[1].empty());
    std::vector<std::string> names = {"table", "columns", "column", "description", "data-type", "nullable",
                                      "max-size", "default-value", "unique", "uniquevalue-generation",
                                      "generator-name", "allowed-values", "value", "from", "to",
                                      "primary-key", "primary-key-column", "foreign-keys", "foreign-key",
                                      "fk-columns", "fk-column", "fk-local-column", "fk-reference-column",
                                      "fk-constraints", "data-dictionary", "other"};
    std::vector<std::string> attrs = {"name", "system", "reference-table-name", "isbidirectional", "odd"};
    std::vector<std::string> values = {"", "T", "true", "C05", "x:y:z", "&amp;", "ON-DELETE-CASCADE", "0"};
    vqt::ScratchDir dir("dictfuzz");
    std::string path = dir.file("d.xml");
    ScratchLog log((BYTE)VQ_LOG_LEVEL_ERROR);
    Mutator m(20261209);
    int runs = 0, malformed = 0, tablesLoaded = 0;
    for (int i = 0; i < kDictionaryRuns; i++) {
        std::string text = m.mutate(m.any(bases), names, attrs, values);
        ASSERT_TRUE(vqt::WriteWholeFile(path, text));
        xmlDocPtr check = xmlReadMemory(text.data(), (int)text.size(), NULL, NULL, kParseOptions);
        bool wellFormed = check != nullptr;
        if (check)
            xmlFreeDoc(check);
        LONGLONG before = FileSize(log.path());
        ASSERT_TRUE(LoadDataDictFromXMLFile(path.c_str()));
        runs++;
        if (!wellFormed) {
            malformed++;
            ASSERT_GT(FileSize(log.path()), before) << "unreported malformed file:\n" << text;
        }
        CheckDefinitions();
        if (HasFatalFailure())
            return;
        INT32 count = 0;
        GetTableDefnRegistry(&count);
        tablesLoaded += count;
        FreeAllTableDefns();
    }
    printf("dictionary fuzz: %d mutated files, %d not well-formed, %d definitions loaded\n", runs,
           malformed, tablesLoaded);
    EXPECT_EQ(kDictionaryRuns, runs);
}

TEST(XmlLoadFuzz, MutatedTableDataDocuments)
{
    ASSERT_TRUE(LoadDataDictFromXMLFile((kData + "/keys.xml").c_str()));
    std::vector<std::string> bases = {
        "<resource>\n <Agentparams PARAM_NAME=\"RESOURCE_ID\" param_Value=\"R-1\"/>\n"
        " <Agentparams PARAM_NAME=\"X\" param_Value=\"a:b:c\"/>\n</resource>",
        "<r>\n<Customer CUST_ID=\"Customer:CUST_ID:1\" NAME=\"n\">\n <OrderList>\n"
        "  <Orders ORDER_ID=\"Orders:ORDER_ID:7\" NOTE=\"x\">\n   <OrderLine LINE_NO=\"1\" QTY=\"2\"/>\n"
        "   <OrderLine LINE_NO=\"2\"/>\n  </Orders>\n </OrderList>\n</Customer>\n</r>",
        "<r><Site SITE=\"1\"><RackList RACK=\"3\"><Machine MACHINE=\"m\"/></RackList></Site>"
        "<Workflow_Statements STATEMENT_ID=\"1\" NEXT_STATEMENT_ID=\"Workflow_Statements:STATEMENT_ID:0\"/>"
        "<Vals I8=\"1\" TXT=\"a:b:c:d\" DT=\"2024-01-02 03:04:05\" B=\"false\" REF=\"CycA:A_ID:4\"/></r>",
        "<r ID=\"1\"><Node><Node ID=\"2\"><Node/></Node></Node><CycA A_ID=\"CycB:B_ID:x\"/></r>",
    };
    std::vector<std::string> names = {"Agentparams", "Customer", "Orders", "OrderLine", "Site", "Machine",
                                      "Workflow_Statements", "Node", "CycA", "CycB", "Vals", "Unknown",
                                      "RackList", "list", "r"};
    std::vector<std::string> attrs = {"PARAM_NAME", "param_value", "CUST_ID", "ORDER_ID", "LINE_NO", "QTY",
                                      "SITE", "RACK", "MACHINE", "ID", "PARENT_ID", "REF", "DT", "D", "T",
                                      "I64", "F32", "B", "NEXT_STATEMENT_ID", "A_ID", "zz"};
    std::vector<std::string> values = {"", ":", "::", ":::", "a:", "::7", "T:C:", "Orders:ORDER_ID:1",
                                       "Customer:CUST_ID:1", "CycA:A_ID:2", "x:y:z:w", "Nowhere:Q:3",
                                       "Workflow_Statements:STATEMENT_ID:0", "-", "99999999999999999999",
                                       "2024-13-45 99:99:99", "1e400", "&amp;&lt;", "FALSE", "12:30"};
    ScratchLog log((BYTE)VQ_LOG_LEVEL_ERROR);
    Mutator m(9);
    int runs = 0, failed = 0, rows = 0;
    for (int i = 0; i < kDocumentRuns; i++) {
        std::string text = m.mutate(m.any(bases), names, attrs, values);
        std::map<std::string, int> expected;
        bool expectOk = false;
        xmlDocPtr ref = xmlReadMemory(text.data(), (int)text.size(), "file.xml", NULL, kParseOptions);
        if (ref && xmlDocGetRootElement(ref))
            expectOk = ReferenceLevel(xmlDocGetRootElement(ref)->children, &expected);
        if (ref)
            xmlFreeDoc(ref);

        LONGLONG before = FileSize(log.path());
        int result = ConstructTableDataFromXMLBuffer(text.data(), (int)text.size());
        runs++;
        ASSERT_EQ(expectOk ? 1 : 0, result) << text;
        if (!result) {
            failed++;
            ASSERT_GT(FileSize(log.path()), before) << "unreported failure:\n" << text;
        }
        std::map<std::string, int> got = RowCounts();
        ASSERT_EQ(expected, got) << text;
        for (const auto &kv : got)
            rows += kv.second;
        ClearTables();
    }
    printf("table-data fuzz: %d mutated documents, %d failed loads, %d rows\n", runs, failed, rows);
    EXPECT_EQ(kDocumentRuns, runs);
    FreeAllTableDefns();
}
