/* Benchmark of the table-data loader: a document of 100000 row elements of
 * five columns loaded with ConstructTableDataFromXMLBuffer, against a bare
 * libxml2 parse of the same text that walks every element and takes every
 * attribute's value, in the same run. Prints the rows each saw (they must
 * agree), both times and the ratio (target: at most 2), then the time to
 * load a dictionary file of 200 tables. */
#include "benchclock.h"
#include "records/dict/dictload.h"
#include "records/dict/tabledefn.h"
#include "records/store/tablestore.h"
#include "records/xml/xmlload.h"

#include <libxml/parser.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

static const int kRows = 100000;
static const int kRepeats = 5;
static const int kDictionaryTables = 200;

static const char kRowTable[] =
    "<table name=\"BenchRow\"><columns>"
    "<column name=\"ID\"><data-type>BRN_SQL_INT</data-type></column>"
    "<column name=\"NAME\"><data-type>BRN_SQL_CHAR</data-type><max-size>64</max-size></column>"
    "<column name=\"SCORE\"><data-type>BRN_SQL_DOUBLE</data-type></column>"
    "<column name=\"FLAG\"><data-type>BOOLEAN</data-type></column>"
    "<column name=\"NOTE\"><data-type>TEXT</data-type></column>"
    "</columns><primary-key><primary-key-column>ID</primary-key-column></primary-key></table>";

/* A dictionary of `tables` tables of eight columns, each after the first
 * with a foreign key to the one before it. */
static std::string dictionaryText(int tables)
{
    std::string s = "<?xml version=\"1.0\"?>\n<data-dictionary>\n";
    for (int t = 0; t < tables; t++) {
        char name[32];
        snprintf(name, sizeof name, "Table%03d", t);
        s += std::string("<table name=\"") + name + "\"><description>table " + name + "</description><columns>";
        for (int c = 0; c < 8; c++) {
            char col[160];
            snprintf(col, sizeof col,
                     "<column name=\"C%d\"><description>column %d</description><data-type>%s</data-type>"
                     "<nullable>%s</nullable>%s</column>",
                     c, c, c % 2 ? "BRN_SQL_CHAR" : "BRN_SQL_INT", c ? "true" : "false",
                     c == 2 ? "<default-value>7</default-value>" : "");
            s += col;
        }
        s += "</columns><primary-key><primary-key-column>C0</primary-key-column></primary-key>";
        if (t > 0) {
            char fk[300];
            snprintf(fk, sizeof fk,
                     "<foreign-keys><foreign-key name=\"fk%d\" reference-table-name=\"Table%03d\"><fk-columns>"
                     "<fk-column><fk-local-column>C2</fk-local-column><fk-reference-column>C0</fk-reference-column>"
                     "</fk-column></fk-columns></foreign-key></foreign-keys>",
                     t, t - 1);
            s += fk;
        }
        s += "</table>\n";
    }
    return s + kRowTable + "\n</data-dictionary>\n";
}

static std::string documentText()
{
    std::string s = "<?xml version=\"1.0\"?>\n<rows>\n";
    s.reserve((size_t)kRows * 96);
    char line[200];
    for (int i = 0; i < kRows; i++) {
        snprintf(line, sizeof line,
                 " <BenchRow ID=\"%d\" NAME=\"name %d\" SCORE=\"%d.25\" FLAG=\"%s\" NOTE=\"note &amp; %d\"/>\n",
                 i, i % 977, i % 1000, i % 3 ? "true" : "false", i);
        s += line;
    }
    return s + "</rows>\n";
}

/* The yardstick: parse, visit every element, take every attribute value
 * with its entities replaced, release. Returns the elements seen below the
 * root. */
static int bareWalk(const std::string &text)
{
    xmlDocPtr doc = xmlReadMemory(text.data(), (int)text.size(), "bench.xml", NULL, XML_PARSE_NONET);
    if (!doc)
        return -1;
    int elements = 0;
    size_t bytes = 0;
    std::vector<xmlNodePtr> stack;
    for (xmlNodePtr n = xmlDocGetRootElement(doc)->children; n; n = n->next)
        stack.push_back(n);
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty()) {
        xmlNodePtr n = stack.back();
        stack.pop_back();
        if (n->type != XML_ELEMENT_NODE)
            continue;
        elements++;
        for (xmlAttrPtr a = n->properties; a; a = a->next) {
            xmlChar *v = xmlNodeListGetString(doc, a->children, 1);
            if (v) {
                bytes += strlen((const char *)v);
                xmlFree(v);
            }
        }
        for (xmlNodePtr c = n->last; c; c = c->prev)
            stack.push_back(c);
    }
    xmlFreeDoc(doc);
    xmlCleanupParser();
    return bytes ? elements : -1;
}

static int loadedRows()
{
    TableData *td = GetTableDataByName("BenchRow");
    int n = 0;
    for (RowObject *r = td ? td->firstRow : NULL; r; r = r->next)
        n++;
    return n;
}

static void dropRows()
{
    TableData *td = GetTableDataByName("BenchRow");
    if (td) {
        RemoveTableDataFromRegistry(td);
        FreeTableData(td);
    }
}

int main()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string dictPath = std::string(temp) + "vq_bench_dictionary.xml";
    std::string dict = dictionaryText(kDictionaryTables);
    FILE *f = fopen(dictPath.c_str(), "wb");
    if (!f || fwrite(dict.data(), 1, dict.size(), f) != dict.size()) {
        fprintf(stderr, "cannot write %s\n", dictPath.c_str());
        return 1;
    }
    fclose(f);

    std::vector<double> dictTimes;
    INT32 defined = 0;
    for (int r = 0; r < kRepeats; r++) {
        FreeAllTableDefns();
        double t0 = BenchNowMs();
        LoadDataDictFromXMLFile(dictPath.c_str());
        dictTimes.push_back(BenchNowMs() - t0);
        GetTableDefnRegistry(&defined);
    }
    DeleteFileA(dictPath.c_str());
    if (defined != kDictionaryTables + 1) {
        fprintf(stderr, "dictionary holds %d tables, expected %d\n", (int)defined, kDictionaryTables + 1);
        return 1;
    }

    std::string doc = documentText();
    std::vector<double> bare, loader;
    int bareRows = 0, loaderRows = 0;
    for (int r = 0; r < kRepeats; r++) {
        double t0 = BenchNowMs();
        bareRows = bareWalk(doc);
        double t1 = BenchNowMs();
        int ok = ConstructTableDataFromXMLBuffer(doc.data(), (int)doc.size());
        double t2 = BenchNowMs();
        loaderRows = ok ? loadedRows() : -1;
        dropRows();
        bare.push_back(t1 - t0);
        loader.push_back(t2 - t1);
    }
    std::sort(bare.begin(), bare.end());
    std::sort(loader.begin(), loader.end());
    std::sort(dictTimes.begin(), dictTimes.end());
    double b = bare[kRepeats / 2], l = loader[kRepeats / 2];
    printf("document: %d rows, %u bytes\n", kRows, (unsigned)doc.size());
    printf("bare libxml2 parse and attribute walk: %d elements, median %.1f ms (best %.1f)\n", bareRows, b,
           bare[0]);
    printf("ConstructTableDataFromXMLBuffer:       %d rows,     median %.1f ms (best %.1f)\n", loaderRows, l,
           loader[0]);
    printf("ratio loader / bare walk: %.2f (target <= 2.00)\n", l / b);
    printf("dictionary of %d tables (+1), %u bytes: median %.1f ms (best %.1f)\n", kDictionaryTables,
           (unsigned)dict.size(), dictTimes[kRepeats / 2], dictTimes[0]);
    FreeAllTableDefns();
    return bareRows == kRows && loaderRows == kRows ? 0 : 1;
}
