/* vqlibxml2.dll is loaded and works: a small document is parsed from memory
 * and an XPath is evaluated through it. */
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <windows.h>

TEST(Libxml2, ParsesAndEvaluatesXPathThroughTheProgramsDll)
{
    /* The DLL the process really uses carries our module name. */
    EXPECT_NE(GetModuleHandleA("vqlibxml2.dll"), nullptr);

    static const char doc[] =
        "<Configuration><Add OfficeClientEdition=\"32\">"
        "<Product ID=\"O365ProPlusRetail\"><Language ID=\"en-us\"/></Product>"
        "<Product ID=\"VisioProRetail\"/></Add></Configuration>";
    xmlDocPtr d = xmlReadMemory(doc, sizeof(doc) - 1, "smoke.xml", NULL, 0);
    ASSERT_NE(d, nullptr);
    xmlXPathContextPtr ctx = xmlXPathNewContext(d);
    ASSERT_NE(ctx, nullptr);
    xmlXPathObjectPtr r = xmlXPathEvalExpression(BAD_CAST "/Configuration/Add/Product", ctx);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->nodesetval, nullptr);
    ASSERT_EQ(r->nodesetval->nodeNr, 2);
    xmlChar *id = xmlGetProp(r->nodesetval->nodeTab[1], BAD_CAST "ID");
    EXPECT_STREQ((const char *)id, "VisioProRetail");
    xmlFree(id);
    xmlXPathFreeObject(r);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(d);
}
