/* The configuration document editor on real documents: the saved XML is
 * compared with the expected text, and the log with the lines each edit
 * writes. First, that the editor's libxml2 is the program's own DLL
 * (vqlibxml2.dll) and works: a small document parsed from memory and an
 * XPath evaluated through it. */
#include "driver/configdoc.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

namespace {

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

typedef std::vector<std::string> Texts;

std::string dataFile(const std::string &name)
{
    return std::string(VQ_DRIVER_TEST_DATA) + "/" + name;
}

/* A document in a scratch folder, written from text or copied from the
 * sample documents. */
class Document {
public:
    explicit Document(const std::string &text) : path_(dir_.file("config.xml"))
    {
        EXPECT_TRUE(vqt::WriteWholeFile(path_, text));
    }
    static std::string sample(const std::string &name)
    {
        std::string text;
        EXPECT_TRUE(vqt::ReadWholeFile(dataFile(name), &text)) << dataFile(name);
        return text;
    }
    const char *path() const { return path_.c_str(); }
    std::string text() const { return vqt::ReadWholeFile(path_); }
private:
    vqt::ScratchDir dir_{"doc"};
    std::string path_;
};

/* The editor's own ERROR lines: the file check's lines are left out. */
Texts editorErrors(const vqt::ScratchLog &log)
{
    Texts out;
    for (const std::string &m : log.messages("ERROR"))
        if (m.rfind("CheckFileExists", 0) != 0)
            out.push_back(m);
    return out;
}

ClickToRunState state(const char *products, const char *culture, const char *excluded,
                      InstalledLanguageMap languages = {})
{
    ClickToRunState s;
    s.productReleaseIds = products;
    s.clientCulture = culture;
    s.excludedApps = excluded;
    s.installedLanguages = languages;
    return s;
}

/* Each child element of every Add in the saved file as "Name:ID child=ID ...",
 * and "--" after each Add. */
Texts savedProducts(const char *path)
{
    Texts out;
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc)
        return {"(unparsable)"};
    for (xmlNodePtr add = xmlDocGetRootElement(doc)->children; add; add = add->next) {
        if (add->type != XML_ELEMENT_NODE || xmlStrcmp(add->name, BAD_CAST "Add"))
            continue;
        for (xmlNodePtr p = add->children; p; p = p->next) {
            if (p->type != XML_ELEMENT_NODE)
                continue;
            xmlChar *id = xmlGetProp(p, BAD_CAST "ID");
            std::string item = std::string((const char *)p->name) + ":" +
                               (id ? (const char *)id : "");
            xmlFree(id);
            for (xmlNodePtr c = p->children; c; c = c->next) {
                if (c->type != XML_ELEMENT_NODE)
                    continue;
                xmlChar *cid = xmlGetProp(c, BAD_CAST "ID");
                item += std::string(" ") + (const char *)c->name + "=" +
                        (cid ? (const char *)cid : "");
                xmlFree(cid);
            }
            out.push_back(item);
        }
        out.push_back("--");
    }
    xmlFreeDoc(doc);
    return out;
}

/* The value of attribute on the first node xpath selects, "(none)" when the
 * node or the attribute is missing. */
std::string savedAttribute(const char *path, const char *xpath, const char *attribute)
{
    std::string out = "(none)";
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc)
        return "(unparsable)";
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathObjectPtr r = xmlXPathEvalExpression(BAD_CAST xpath, ctx);
    if (r && r->nodesetval && r->nodesetval->nodeNr > 0) {
        xmlChar *v = xmlGetProp(r->nodesetval->nodeTab[0], BAD_CAST attribute);
        if (v)
            out = (const char *)v;
        xmlFree(v);
    }
    xmlXPathFreeObject(r);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(doc);
    return out;
}

const char kSmall[] =
    "<Configuration>\n"
    "  <Add OfficeClientEdition=\"32\">\n"
    "    <Product ID=\"Old\"><Language ID=\"en-us\"/></Product>\n"
    "  </Add>\n"
    "  <Updates Enabled=\"TRUE\"/>\n"
    "  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/>\n"
    "</Configuration>\n";

} // namespace


TEST(ConfigDocument, TypicalRunRewritesTheSampleAsExpected)
{
    Document doc(Document::sample("typical.xml"));
    vqt::ScratchLog log;
    ApplyEditionAndVersion(doc.path(), "x64", "16.0.17328.20282");
    ClickToRunState s = state("VisioProRetail,O365ProPlusRetail", "en-us", "lync,groove",
                              {{"O365ProPlusRetail.16", {"de-de", "en-us"}}});
    EXPECT_EQ(RebuildProductElements(doc.path(), &s), 0u);
    SetForceAppShutdown(doc.path(), FALSE);
    EXPECT_EQ(doc.text(), Document::sample("typical.expected.xml"));
    EXPECT_EQ(editorErrors(log), Texts());
    EXPECT_EQ(log.messages("INFO"), Texts({"FORCEAPPSHUTDOWN set as FALSE."}));
}

TEST(ConfigDocument, TwoAddElementsLicensingPropertyAndNoUpdates)
{
    Document doc(Document::sample("two-adds.xml"));
    vqt::ScratchLog log;
    ApplyEditionAndVersion(doc.path(), "x86", "");
    ClickToRunState s = state("VisioProRetail,ProjectProRetail", "fr-fr", "",
                              {{"VisioProRetail.16", {"fr-fr", "it-it"}}});
    EXPECT_EQ(RebuildProductElements(doc.path(), &s), 0u);
    SetForceAppShutdown(doc.path(), TRUE);
    EXPECT_EQ(doc.text(), Document::sample("two-adds.expected.xml"));
    EXPECT_EQ(editorErrors(log), Texts({"Tag /Configuration/Updates not found "}));
    EXPECT_EQ(log.messages("INFO"), Texts({"FORCEAPPSHUTDOWN set as TRUE."}));
}

/* Documents as administrators write them, through the whole edit sequence
 * of a run: the new elements sit indented like their siblings (two spaces a
 * level in a document without indentation), no blank line stays behind, a
 * byte order mark and CRLF line ends are kept, a rebuilt Product keeps the
 * attributes of the old one of its ID (a volume product's PIDKEY), and a
 * product with its own exclusion list gets that list. */
TEST(ConfigDocument, RealWorldDocumentsKeepLayoutAttributesAndOwnExclusions)
{
    ClickToRunState volume = state("VisioPro2021Volume,ProPlus2021Volume", "en-us", "",
                                   {{"ProPlus2021Volume.16", {"de-de", "en-us"}}});
    volume.productExcludedApps["ProPlus2021Volume"] = "lync,groove";
    ClickToRunState business = state("O365BusinessRetail", "fr-fr", "teams");
    const Texts none, noUpdates = {"Tag /Configuration/Updates not found "};
    struct Case {
        const char *input, *expected;
        const ClickToRunState *state;
        const Texts &errors;
    } cases[] = {
        {"volume-crlf.xml", "volume-crlf.expected.xml", &volume, none},
        {"flat.xml", "flat.expected.xml", &business, noUpdates},
        {"typical.xml", "typical-retail.expected.xml", &business, none},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        Document doc(Document::sample(c.input));
        vqt::ScratchLog log;
        ApplyEditionAndVersion(doc.path(), "x64", "16.0.14332.20500");
        EXPECT_EQ(RebuildProductElements(doc.path(), c.state), 0u);
        SetForceAppShutdown(doc.path(), FALSE);
        EXPECT_EQ(doc.text(), Document::sample(c.expected));
        EXPECT_EQ(editorErrors(log), c.errors);
    }
}

TEST(ConfigDocument, EditionFollowsThePlatformInAnyCaseAndOnlyForX64AndX86)
{
    struct Case { const char *platform, *edition; } cases[] = {
        {"x64", "64"}, {"X64", "64"}, {"x86", "32"}, {"X86", "32"},
        {"arm64", "16"}, {"", "16"}, {"x64 ", "16"},
    };
    for (const Case &c : cases) {
        Document doc("<Configuration><Add OfficeClientEdition=\"16\"/>"
                     "<Updates TargetVersion=\"old\"/></Configuration>");
        ApplyEditionAndVersion(doc.path(), c.platform, "16.0.1");
        EXPECT_EQ(savedAttribute(doc.path(), "/Configuration/Add", "OfficeClientEdition"),
                  c.edition) << '"' << c.platform << '"';
        EXPECT_EQ(savedAttribute(doc.path(), "/Configuration/Add", "Version"), "16.0.1");
        EXPECT_EQ(savedAttribute(doc.path(), "/Configuration/Updates", "TargetVersion"),
                  "16.0.1");
    }
    /* Without "-version" both versions become empty attributes. */
    Document doc(kSmall);
    ApplyEditionAndVersion(doc.path(), "x64", "");
    EXPECT_EQ(doc.text(),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<Configuration>\n"
              "  <Add OfficeClientEdition=\"64\" Version=\"\">\n"
              "    <Product ID=\"Old\"><Language ID=\"en-us\"/></Product>\n"
              "  </Add>\n"
              "  <Updates Enabled=\"TRUE\" TargetVersion=\"\"/>\n"
              "  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/>\n"
              "</Configuration>\n");
}

TEST(ConfigDocument, ProductsAreSortedOrdinallyWithoutDuplicates)
{
    Document doc(kSmall);
    ClickToRunState s = state(",VisioProRetail,O365ProPlusRetail,,visioProRetail,"
                              "O365ProPlusRetail,VisioProRetail", "ja-jp", "Teams,Access,Teams",
                              {{"visioProRetail.16", {"en-us"}},
                               {"VisioProRetail", {"xx-xx"}},      /* no ".16": not its key */
                               {"O365ProPlusRetail.16", {}}});
    EXPECT_EQ(RebuildProductElements(doc.path(), &s), 0u);
    EXPECT_EQ(savedProducts(doc.path()),
              Texts({"Product:O365ProPlusRetail Language=ja-jp ExcludeApp=Access ExcludeApp=Teams",
                     "Product:VisioProRetail Language=ja-jp ExcludeApp=Access ExcludeApp=Teams",
                     "Product:visioProRetail Language=en-us ExcludeApp=Access ExcludeApp=Teams",
                     "--"}));
}

TEST(ConfigDocument, EmptyProductListRemovesAllProductsAndStillSaves)
{
    Document doc("<Configuration><Add><Product ID=\"A\"/><Other/><Product ID=\"B\"/></Add>"
                 "</Configuration>");
    ClickToRunState s = state("", "en-us", "lync");
    EXPECT_EQ(RebuildProductElements(doc.path(), &s), 0u);
    EXPECT_EQ(doc.text(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<Configuration>\n  <Add>\n    <Other/>\n  </Add>\n</Configuration>\n");

    /* An Add without products gets the new ones after its other children. */
    Document bare("<Configuration><Add><Other/></Add></Configuration>");
    s = state("A", "en-us", "");
    EXPECT_EQ(RebuildProductElements(bare.path(), &s), 0u);
    EXPECT_EQ(savedProducts(bare.path()), Texts({"Other:", "Product:A Language=en-us", "--"}));
}

TEST(ConfigDocument, IdentifiersWithMarkupCharactersKeepTheirProduct)
{
    Document doc(kSmall);
    vqt::ScratchLog log;
    ClickToRunState s = state("A\"B,C<D&E,Plain", "en-\"us\"", "x>y,a&amp;b",
                              {{"C<D&E.16", {"l'1", "l<2"}}});
    EXPECT_EQ(RebuildProductElements(doc.path(), &s), 0u);
    EXPECT_EQ(savedProducts(doc.path()),
              Texts({"Product:A\"B Language=en-\"us\" ExcludeApp=a&amp;b ExcludeApp=x>y",
                     "Product:C<D&E Language=l'1 Language=l<2 ExcludeApp=a&amp;b ExcludeApp=x>y",
                     "Product:Plain Language=en-\"us\" ExcludeApp=a&amp;b ExcludeApp=x>y",
                     "--"}));
    EXPECT_EQ(editorErrors(log), Texts());

    /* A product that cannot be written at all is reported; the rest stay. */
    Document bad(kSmall);
    s = state("Bad\x01Id,Good", "en-us", "");
    EXPECT_EQ(RebuildProductElements(bad.path(), &s), 0u);
    EXPECT_EQ(savedProducts(bad.path()), Texts({"Product:Good Language=en-us", "--"}));
    Texts errors = editorErrors(log);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("RebuildProductElements : unable to add Product Bad\x01Id. Error Code : ", 0),
              0u) << errors[0];
}

TEST(ConfigDocument, NoAddElementIsReportedAndEndsTheRebuild)
{
    const char text[] = "<Configuration><Updates/><Property Name=\"X\" Value=\"1\"/></Configuration>";
    Document doc(text);
    vqt::ScratchLog log;
    ApplyEditionAndVersion(doc.path(), "x64", "1.2");
    ClickToRunState s = state("A", "en-us", "");
    EXPECT_EQ(RebuildProductElements(doc.path(), &s), 13u);
    EXPECT_EQ(editorErrors(log), Texts({"Tag /Configuration/Add not found ",
                                        "Tag /Configuration/Add not found ",
                                        "Tag /Configuration/Add not found "}));
    /* Only the Updates edit was saved. */
    EXPECT_EQ(doc.text(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Configuration>\n"
                          "  <Updates TargetVersion=\"1.2\"/>\n  <Property Name=\"X\" Value=\"1\"/>\n"
                          "</Configuration>\n");
}

TEST(ConfigDocument, MissingOrUnparsableDocumentIsLeftAlone)
{
    vqt::ScratchDir dir("doc");
    std::string missing = dir.file("absent.xml");
    {
        vqt::ScratchLog log;
        ApplyEditionAndVersion(missing.c_str(), "x64", "1");
        ClickToRunState s = state("A", "en-us", "");
        EXPECT_EQ(RebuildProductElements(missing.c_str(), &s), 13u);
        SetForceAppShutdown(missing.c_str(), TRUE);
        std::string line = "modifyAttribute : file not found : " + missing + " ";
        EXPECT_EQ(editorErrors(log), Texts({line, line, line,
                                            "Unable to open configuration XML file.",
                                            line, line}));
        EXPECT_EQ(log.messages("INFO"), Texts({"FORCEAPPSHUTDOWN set as TRUE."}));
        EXPECT_FALSE(vqt::FileExistsA(missing));
    }
    {
        const char text[] = "<Configuration><Add></Configuration>";
        Document doc(text);
        vqt::ScratchLog log;
        ApplyEditionAndVersion(doc.path(), "x64", "1");
        ClickToRunState s = state("A", "en-us", "");
        EXPECT_EQ(RebuildProductElements(doc.path(), &s), 13u);
        SetForceAppShutdown(doc.path(), FALSE);
        EXPECT_EQ(editorErrors(log), Texts({"Unable to open configuration XML file."}));
        EXPECT_EQ(doc.text(), text);
    }
}

TEST(ConfigDocument, ForceAppShutdownTouchesOnlyItsOwnProperty)
{
    struct Case { const char *before; BOOL on; const char *after; } cases[] = {
        /* The usual document: the property is set in place. */
        {"<Configuration><Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/></Configuration>",
         FALSE,
         "<Configuration>\n  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"FALSE\"/>\n"
         "</Configuration>"},
        /* A licensing property first: it stays, the one after it changes. */
        {"<Configuration><Property Name=\"SharedComputerLicensing\" Value=\"1\"/>"
         "<Property Name=\"forceAppShutdown\" Value=\"FALSE\"/></Configuration>",
         TRUE,
         "<Configuration>\n  <Property Name=\"SharedComputerLicensing\" Value=\"1\"/>\n"
         "  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/>\n</Configuration>"},
        /* Only another property: FORCEAPPSHUTDOWN is added after it. */
        {"<Configuration><Property Name=\"SharedComputerLicensing\" Value=\"1\"/><Display/>"
         "</Configuration>",
         FALSE,
         "<Configuration>\n  <Property Name=\"SharedComputerLicensing\" Value=\"1\"/>\n"
         "  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"FALSE\"/>\n  <Display/>\n"
         "</Configuration>"},
        /* No property at all: added after the last element. */
        {"<Configuration>\n  <Add/>\n  <Display/>\n</Configuration>", TRUE,
         "<Configuration>\n  <Add/>\n  <Display/>\n"
         "  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/>\n</Configuration>"},
        {"<Configuration/>", TRUE,
         "<Configuration>\n  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/>\n"
         "</Configuration>"},
        /* Two of them: both get the value, whatever the case of their Name. */
        {"<Configuration><Property Name=\"FORCEAPPSHUTDOWN\" Value=\"TRUE\"/>"
         "<Property Name=\"SharedComputerLicensing\" Value=\"1\"/>"
         "<Property Name=\"ForceAppShutdown\" Value=\"TRUE\"/></Configuration>",
         FALSE,
         "<Configuration>\n  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"FALSE\"/>\n"
         "  <Property Name=\"SharedComputerLicensing\" Value=\"1\"/>\n"
         "  <Property Name=\"FORCEAPPSHUTDOWN\" Value=\"FALSE\"/>\n</Configuration>"},
    };
    for (const Case &c : cases) {
        Document doc(c.before);
        vqt::ScratchLog log;
        SetForceAppShutdown(doc.path(), c.on);
        EXPECT_EQ(doc.text(),
                  std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n") + c.after + "\n")
            << c.before;
        EXPECT_EQ(editorErrors(log), Texts()) << c.before;
        EXPECT_EQ(log.messages("INFO"), Texts({c.on ? "FORCEAPPSHUTDOWN set as TRUE."
                                                    : "FORCEAPPSHUTDOWN set as FALSE."}));
    }

    /* A document whose root is not Configuration gets nothing. */
    const char other[] = "<Config><Property Name=\"A\"/></Config>";
    Document doc(other);
    vqt::ScratchLog log;
    SetForceAppShutdown(doc.path(), TRUE);
    EXPECT_EQ(doc.text(), other);
    EXPECT_EQ(editorErrors(log), Texts({"Tag /Configuration not found "}));
}

TEST(ConfigDocument, ModifyAttributeEditsTheFirstMatchOnly)
{
    Document doc("<Configuration><Add Version=\"1\"/><Add Version=\"2\"/></Configuration>");
    vqt::ScratchLog log;
    modifyAttribute(doc.path(), "/Configuration/Add", "Version", "3 & <4>");
    modifyAttribute(doc.path(), "/Configuration/Remove", "All", "TRUE");
    EXPECT_EQ(doc.text(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<Configuration>\n  <Add Version=\"3 &amp; &lt;4&gt;\"/>\n"
                          "  <Add Version=\"2\"/>\n</Configuration>\n");
    EXPECT_EQ(editorErrors(log), Texts({"Tag /Configuration/Remove not found "}));
}

namespace {

/* The names in a folder, "." and ".." left out, sorted. */
Texts folderNames(const std::string &dir)
{
    Texts names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string n = fd.cFileName;
        if (n != "." && n != "..")
            names.push_back(n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

/* The path that `path` resolves to (a link's target), "" when unreadable. */
std::string finalPath(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return "";
    char buf[1024];
    DWORD n = GetFinalPathNameByHandleA(h, buf, sizeof(buf), 0);
    CloseHandle(h);
    return n > 0 && n < sizeof(buf) ? std::string(buf, n) : "";
}

/* Makes `link` a symbolic link to `target`. Wine's CreateSymbolicLinkW
 * reports success without making anything; there the link is made as the
 * file system's own symbolic link with /bin/ln, which Wine follows and
 * resolves like a Windows one. "" on success, else why it could not be made. */
std::string makeSymbolicLink(const std::string &link, const std::string &target)
{
    if (CreateSymbolicLinkA(link.c_str(), target.c_str(), 0) &&
        GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES)
        return "";
    typedef char *(CDECL *UnixName)(LPCWSTR);
    UnixName unixName = (UnixName)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                           "wine_get_unix_file_name");
    if (!unixName)
        return "CreateSymbolicLinkA failed with " + std::to_string(GetLastError());
    std::wstring wlink(link.begin(), link.end()), wtarget(target.begin(), target.end());
    char *ulink = unixName(wlink.c_str()), *utarget = unixName(wtarget.c_str());
    if (!ulink || !utarget)
        return "no Unix names for the paths";
    std::string cmd = std::string("/bin/ln -s \"") + utarget + "\" \"" + ulink + "\"";
    HeapFree(GetProcessHeap(), 0, ulink);
    HeapFree(GetProcessHeap(), 0, utarget);
    /* Wine gives no usable handle of a Unix process to wait on: the link
     * is waited for instead. */
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return cmd + ": not started, " + std::to_string(GetLastError());
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 200 && GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; i++)
        Sleep(50);
    return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES ? "" : cmd + ": no link";
}

} // namespace

/* A save that cannot be made: every edit reports it, with the document's
 * name and the reason, and the document and its folder stay as they were.
 * Running as root under Wine no folder is unwritable; a document another
 * program holds open (it cannot be replaced) and a folder where every
 * temporary name of this process is taken stand for it. */
TEST(ConfigDocument, SaveThatFailsLeavesTheDocumentAndSaysWhy)
{
    struct Case { const char *name; bool holdOpen; } cases[] = {
        {"held open", true},
        {"no free temporary name", false},
    };
    ClickToRunState s = state("A", "en-us", "");
    s.platform = "x64";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        vqt::ScratchDir dir("save");
        std::string path = dir.file("config.xml");
        ASSERT_TRUE(vqt::WriteWholeFile(path, kSmall));
        for (int i = 0; !c.holdOpen && i < 100; i++)
            ASSERT_TRUE(CreateDirectoryA((path + "." + std::to_string(GetCurrentProcessId()) + "." +
                                          std::to_string(i) + ".vqtmp").c_str(), NULL));
        Texts before = folderNames(dir.path());
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.holdOpen) {
            held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               0, NULL);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
        }
        vqt::ScratchLog log;
        EXPECT_NE(modifyAttribute(path.c_str(), "/Configuration/Add", "Version", "1"), 0u);
        EXPECT_NE(ApplyEditionAndVersion(path.c_str(), "x64", "1"), 0u);
        EXPECT_EQ(RebuildProductElements(path.c_str(), &s), 13u);
        EXPECT_NE(SetForceAppShutdown(path.c_str(), FALSE), 0u);
        EXPECT_EQ(RewriteConfigurationDocument(path.c_str(), &s, "1", FALSE), 13u);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(vqt::ReadWholeFile(path), kSmall);
        EXPECT_EQ(folderNames(dir.path()), before) << "no temporary file is left";
        Texts errors = editorErrors(log);
        /* One line per failed save: 1 + 1 (the later edits are not tried)
         * + 1 + 1, and 1 for the whole rewrite, which stops at once. */
        ASSERT_EQ(errors.size(), 5u) << ::testing::PrintToString(errors);
        EXPECT_EQ(errors[0].rfind("modifyAttribute : unable to save " + path + ". Error Code : ", 0), 0u)
            << errors[0];
        EXPECT_EQ(errors[2].rfind("RebuildProductElements : unable to save " + path, 0), 0u);
        EXPECT_EQ(errors[3].rfind("SetForceAppShutdown : unable to save " + path, 0), 0u);
        EXPECT_GT(errors[0].size(), errors[0].find(". Error Code : ") + 20) << "the reason follows";
        EXPECT_EQ(log.messages("INFO"), Texts()) << "no FORCEAPPSHUTDOWN line after a failed save";
    }
}

/* Whatever earlier runs left beside the document, under the old name or
 * this process's own temporary names, a file or a folder, the save goes
 * through and leaves them alone. */
TEST(ConfigDocument, LeftoversBesideTheDocumentDoNotBlockTheSave)
{
    vqt::ScratchDir dir("left");
    std::string path = dir.file("config.xml");
    ASSERT_TRUE(vqt::WriteWholeFile(path, kSmall));
    std::string pid = std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA((path + ".vqtmp").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((path + "." + pid + ".0.vqtmp").c_str(), NULL));
    ASSERT_TRUE(vqt::WriteWholeFile(path + "." + pid + ".1.vqtmp", "left"));
    ASSERT_TRUE(SetFileAttributesA((path + "." + pid + ".1.vqtmp").c_str(), FILE_ATTRIBUTE_READONLY));
    Texts before = folderNames(dir.path());
    vqt::ScratchLog log;
    EXPECT_EQ(SetForceAppShutdown(path.c_str(), FALSE), 0u);
    EXPECT_EQ(savedAttribute(path.c_str(), "/Configuration/Property", "Value"), "FALSE");
    EXPECT_EQ(folderNames(dir.path()), before);
    EXPECT_EQ(vqt::ReadWholeFile(path + "." + pid + ".1.vqtmp"), "left");
    EXPECT_EQ(editorErrors(log), Texts());
}

/* A read-only document is saved and stays read-only; a document that is a
 * symbolic link is saved into the link's target and stays a link. */
TEST(ConfigDocument, ReadOnlyDocumentAndSymbolicLinkAreWrittenInPlace)
{
    struct Case { const char *name; bool link; } cases[] = {{"read-only", false}, {"link", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        vqt::ScratchDir dir("inplace");
        std::string path = dir.file("config.xml"), written = path;
        if (c.link) {
            written = dir.file("target.xml");
            ASSERT_TRUE(vqt::WriteWholeFile(written, kSmall));
            std::string why = makeSymbolicLink(path, written);
            if (!why.empty()) {
                ADD_FAILURE() << "no symbolic link could be made: " << why;
                continue;
            }
        } else {
            ASSERT_TRUE(vqt::WriteWholeFile(path, kSmall));
            ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        std::string resolved = finalPath(path);
        vqt::ScratchLog log;
        EXPECT_EQ(SetForceAppShutdown(path.c_str(), FALSE), 0u);
        EXPECT_EQ(editorErrors(log), Texts());
        EXPECT_EQ(savedAttribute(written.c_str(), "/Configuration/Property", "Value"), "FALSE");
        if (c.link) {
            EXPECT_EQ(finalPath(path), resolved) << "still a link to the target";
            EXPECT_NE(resolved.find("target.xml"), std::string::npos) << resolved;
        } else {
            DWORD attributes = GetFileAttributesA(path.c_str());
            EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
            EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << attributes;
        }
        EXPECT_EQ(folderNames(dir.path()), c.link ? Texts({"config.xml", "target.xml"})
                                                  : Texts({"config.xml"}));
    }
}
