/* The configuration document editor (see configdoc.h). Each operation parses
 * the file, edits the tree and saves the whole file back in place, so every
 * edit sees the one before it. */
#include "driver/configdoc.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

#define VQ_EXIT_INVALID_DATA 13

/* The FORCEAPPSHUTDOWN property, whatever the case of its Name. */
static const char kForceAppShutdownXPath[] =
    "/Configuration/Property[translate(@Name,'abcdefghijklmnopqrstuvwxyz',"
    "'ABCDEFGHIJKLMNOPQRSTUVWXYZ')='FORCEAPPSHUTDOWN']";

static const xmlChar *X(const char *s) { return (const xmlChar *)s; }

/* The first node that xpath selects in doc, or NULL. */
static xmlNodePtr firstNode(xmlDocPtr doc, const char *xpath)
{
    xmlNodePtr node = NULL;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx)
        return NULL;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(X(xpath), ctx);
    if (result && result->nodesetval && result->nodesetval->nodeNr > 0)
        node = result->nodesetval->nodeTab[0];
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return node;
}

/* How the file on disk is laid out, to be kept by the save: a UTF-8 byte
 * order mark, and CRLF line ends (the parser reads every line end as LF). */
struct FileLayout {
    bool byteOrderMark;
    bool crlf;
};

static FileLayout layoutOf(const std::string &text)
{
    FileLayout layout;
    layout.byteOrderMark = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    size_t lf = text.find('\n');
    layout.crlf = lf != std::string::npos && lf > 0 && text[lf - 1] == '\r';
    return layout;
}

/* The file's bytes; empty when it cannot be read. */
static std::string readFileBytes(const char *path)
{
    std::string bytes;
    wchar_t *wide = Utf8ToWideText(path);
    if (!wide)
        return bytes;
    HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    free(wide);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof(chunk), &got, NULL) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
}

/* The system's text for `code` on one line, as UTF-8 ("" when it has none). */
static std::string systemText(DWORD code)
{
    wchar_t *wide = NULL;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                             NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             (LPWSTR)&wide, 0, NULL);
    std::string text;
    char *utf8 = NULL;
    if (n != 0 && wide && ChangeWideToUtf8Str(wide, &utf8)) {
        text = utf8;
        free(utf8);
    }
    if (wide)
        LocalFree(wide);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

/* The file that `path` leads to: the target of a symbolic link, so that a
 * save writes the target instead of replacing the link with a plain file.
 * The path itself when it cannot be resolved (it does not exist yet). */
static std::wstring finalPathOf(const std::wstring &path)
{
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return path;
    std::vector<wchar_t> buf(MAX_PATH + 1);
    DWORD n = GetFinalPathNameByHandleW(h, buf.data(), (DWORD)buf.size(), FILE_NAME_NORMALIZED);
    if (n >= buf.size()) {
        buf.resize((size_t)n + 1);
        n = GetFinalPathNameByHandleW(h, buf.data(), (DWORD)buf.size(), FILE_NAME_NORMALIZED);
    }
    CloseHandle(h);
    if (n == 0 || n >= buf.size())
        return path;
    return std::wstring(buf.data(), n);
}

/* Attempts at a free temporary name before a save gives up. */
#define VQ_SAVE_TEMP_ATTEMPTS 100

/* Creates a new temporary file beside target, named after it with this
 * process's id and a counter, so that whatever an earlier run left behind
 * (a file or a folder of any such name) is passed over instead of blocking
 * the save. The handle, or INVALID_HANDLE_VALUE with *error set. */
static HANDLE createTemporaryBeside(const std::wstring &target, std::wstring *temporary,
                                    DWORD *error)
{
    *error = ERROR_FILE_EXISTS;
    for (int i = 0; i < VQ_SAVE_TEMP_ATTEMPTS; i++) {
        *temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                     std::to_wstring(i) + L".vqtmp";
        HANDLE h = CreateFileW(temporary->c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        *error = GetLastError();
        /* Only a name that is taken is worth another try; any other
         * failure (no access, no such folder) stays the same. */
        if (GetFileAttributesW(temporary->c_str()) == INVALID_FILE_ATTRIBUTES)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

/* The attributes a saved document keeps from the file it replaces. */
#define VQ_KEPT_ATTRIBUTES (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | \
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | \
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)

/* Writes bytes to path through a temporary file beside it, so that a failed
 * write never leaves a half-written document: the file keeps its earlier
 * content unless the whole new content is in place. A symbolic link is
 * written through, and the file's attributes (read-only above all) are
 * kept. 0, or the Windows error code of the step that failed. */
static DWORD replaceFile(const char *path, const std::string &bytes)
{
    wchar_t *wide = Utf8ToWideText(path);
    if (!wide)
        return ERROR_INVALID_NAME;
    std::wstring target = finalPathOf(wide);
    free(wide);
    DWORD attributes = GetFileAttributesW(target.c_str());

    std::wstring temporary;
    DWORD error = 0;
    HANDLE h = createTemporaryBeside(target, &temporary, &error);
    if (h == INVALID_HANDLE_VALUE)
        return error;
    BOOL ok = WriteWholeBuffer(h, bytes.data(), (DWORD)bytes.size());
    if (!ok)
        error = GetLastError();
    if (!CloseHandle(h) && ok) {
        ok = FALSE;
        error = GetLastError();
    }
    /* A read-only file cannot be replaced: the attribute is lifted for the
     * move and put back on the new content. */
    bool readOnly = attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (ok && readOnly && !SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        ok = FALSE;
        error = GetLastError();
    }
    if (ok && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ok = FALSE;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
        if (readOnly)
            SetFileAttributesW(target.c_str(), attributes);
        return error ? error : ERROR_WRITE_FAULT;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        !SetFileAttributesW(target.c_str(), attributes & VQ_KEPT_ATTRIBUTES))
        LogError("replaceFile : saved %s but unable to restore its attributes. Error Code : %lu\n",
                 path, GetLastError());
    return 0;
}

/* Saves doc over path as formatted UTF-8, keeping the file's byte order
 * mark and line ends. 0, or the Windows error code of a failed save, which
 * is logged with the document's name and the reason: the file then keeps
 * its earlier content. */
static DWORD saveDocument(xmlDocPtr doc, const char *path, const char *operation)
{
    FileLayout layout = layoutOf(readFileBytes(path));
    xmlChar *dump = NULL;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &dump, &size, "utf-8", 1);
    DWORD rc = ERROR_NOT_ENOUGH_MEMORY;
    if (dump && size > 0) {
        std::string out;
        out.reserve((size_t)size + (size_t)size / 16 + 3);
        if (layout.byteOrderMark)
            out += "\xEF\xBB\xBF";
        for (int i = 0; i < size; i++) {
            if (dump[i] == '\n' && layout.crlf)
                out += '\r';
            out += (char)dump[i];
        }
        rc = replaceFile(path, out);
    }
    xmlFree(dump);
    if (rc != 0)
        LogError("%s : unable to save %s. Error Code : %lu. %s\n", operation, path,
                 (unsigned long)rc, systemText(rc).c_str());
    return rc;
}

DWORD modifyAttribute(const char *path, const char *xpath, const char *attribute,
                      const char *value)
{
    if (!FileExists(path))
        LogError("modifyAttribute : file not found : %s \n", path);
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc)
        return 0;
    DWORD rc = 0;
    xmlNodePtr node = firstNode(doc, xpath);
    if (node) {
        xmlSetProp(node, X(attribute), X(value));
        rc = saveDocument(doc, path, "modifyAttribute");
    } else {
        LogError("Tag %s not found \n", xpath);
    }
    xmlFreeDoc(doc);
    return rc;
}

DWORD ApplyEditionAndVersion(const char *path, const char *platform, const char *version)
{
    const char *edition = NULL;
    if (_stricmp(platform, "x64") == 0)
        edition = "64";
    else if (_stricmp(platform, "x86") == 0)
        edition = "32";
    /* After a failed save the next edits would fail the same way. */
    DWORD rc = 0;
    if (edition)
        rc = modifyAttribute(path, "/Configuration/Add", "OfficeClientEdition", edition);
    if (rc == 0)
        rc = modifyAttribute(path, "/Configuration/Add", "Version", version);
    if (rc == 0)
        rc = modifyAttribute(path, "/Configuration/Updates", "TargetVersion", version);
    return rc;
}

/* The identifier as attribute value text between double quotes: markup
 * characters become references, so that an identifier holding '"', '<' or
 * '&' still parses and keeps its exact value; ordinary identifiers come out
 * unchanged. */
static std::string attributeText(const std::string &id)
{
    std::string out;
    for (char c : id) {
        switch (c) {
        case '&':  out += "&amp;"; break;
        case '<':  out += "&lt;"; break;
        case '>':  out += "&gt;"; break;
        case '"':  out += "&quot;"; break;
        /* Attribute value normalization would turn these into spaces. */
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:   out += c; break;
        }
    }
    return out;
}

static std::vector<std::string> sortedDistinct(const std::string &list)
{
    std::vector<std::string> items = SplitTokens(list, ",");
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}

/* Indentation of the rebuilt elements: what precedes a node on its line
 * when that is white space only. */
struct Indents {
    std::string product;   /* before <Product> and </Product> */
    std::string child;     /* before <Language> and <ExcludeApp> */
    std::string add;       /* before </Add> */
};

/* The white space after the last line break of a blank text node, or "" and
 * FALSE when node is not such a node. */
static BOOL lineIndent(xmlNodePtr node, std::string *indent)
{
    indent->clear();
    if (!node || node->type != XML_TEXT_NODE || !xmlIsBlankNode(node) || !node->content)
        return FALSE;
    const char *text = (const char *)node->content;
    const char *nl = strrchr(text, '\n');
    if (!nl)
        return FALSE;
    *indent = nl + 1;
    return TRUE;
}

/* The document's own indentation: the Add element's, one level more for the
 * products (as the first old Product had it, when there was one), one more
 * for their children; two spaces a level when the document has none. */
static Indents indentsFor(xmlNodePtr add, xmlNodePtr firstOldProduct)
{
    Indents in;
    lineIndent(add->prev, &in.add);
    std::string unit = in.add.empty() ? std::string("  ") : in.add;
    std::string product;
    if (firstOldProduct && lineIndent(firstOldProduct->prev, &product) &&
        product.size() > in.add.size() && product.compare(0, in.add.size(), in.add) == 0) {
        unit = product.substr(in.add.size());
        in.product = product;
    } else {
        in.product = in.add + unit;
    }
    in.child = in.product + unit;
    return in;
}

/* The old attributes of a Product (all but ID: PIDKEY, MSICondition ...) as
 * attribute text, in their order. */
static std::string carriedAttributes(xmlNodePtr old)
{
    std::string text;
    if (!old)
        return text;
    for (xmlAttrPtr a = old->properties; a; a = a->next) {
        if (xmlStrcmp(a->name, X("ID")) == 0)
            continue;
        xmlChar *value = xmlNodeListGetString(old->doc, a->children, 1);
        text += " " + std::string((const char *)a->name) + "=\"" +
                attributeText(value ? (const char *)value : "") + "\"";
        xmlFree(value);
    }
    return text;
}

/* The Product element text of one product, parsed later in the context of
 * the Add element; `old` is the Product of the same ID that the document
 * had, or NULL. */
static std::string productText(const std::string &product, const ClickToRunState *state,
                               xmlNodePtr old, const Indents &in)
{
    std::string text = "<Product ID=\"" + attributeText(product) + "\"" +
                       carriedAttributes(old) + ">";
    const std::vector<std::string> &languages =
        InstalledLanguagesOf(state->installedLanguages, product + ".16");
    if (languages.empty()) {
        text += "\n" + in.child + "<Language ID=\"" + attributeText(state->clientCulture) + "\"/>";
    } else {
        for (const std::string &language : languages)
            text += "\n" + in.child + "<Language ID=\"" + attributeText(language) + "\"/>";
    }
    for (const std::string &app : sortedDistinct(ExcludedAppsOf(*state, product)))
        text += "\n" + in.child + "<ExcludeApp ID=\"" + attributeText(app) + "\"/>";
    text += "\n" + in.product + "</Product>";
    return text;
}

/* The first old Product whose ID is id, or NULL. */
static xmlNodePtr oldProductWithId(const std::vector<xmlNodePtr> &old, const std::string &id)
{
    for (xmlNodePtr p : old) {
        xmlChar *value = xmlGetProp(p, X("ID"));
        bool same = value && id == (const char *)value;
        xmlFree(value);
        if (same)
            return p;
    }
    return NULL;
}

/* Takes node out of the tree with the white space line before it, so that
 * no blank line stays where it stood. */
static void unlinkWithItsLine(xmlNodePtr node, std::vector<xmlNodePtr> *removed)
{
    xmlNodePtr before = node->prev;
    std::string indent;
    if (lineIndent(before, &indent)) {
        xmlUnlinkNode(before);
        removed->push_back(before);
    }
    xmlUnlinkNode(node);
    removed->push_back(node);
}

/* Links a new text node with `text` into parent before `next` (NULL: as the
 * last child). Linked by hand: libxml2's insertion functions merge a text
 * node into a neighbouring one, which would join two lines into one. */
static xmlNodePtr insertText(xmlDocPtr doc, xmlNodePtr parent, xmlNodePtr next,
                             const std::string &text)
{
    xmlNodePtr node = xmlNewDocText(doc, X(text.c_str()));
    if (!node)
        return NULL;
    node->parent = parent;
    node->next = next;
    node->prev = next ? next->prev : parent->last;
    if (node->prev)
        node->prev->next = node;
    else
        parent->children = node;
    if (next)
        next->prev = node;
    else
        parent->last = node;
    return node;
}

/* Adds the parsed product after the Add's last element, on a line of its
 * own; the white space that closes the Add stays last. */
static void appendProduct(xmlDocPtr doc, xmlNodePtr add, xmlNodePtr list, const Indents &in)
{
    xmlNodePtr closing = add->last;
    std::string ignored;
    if (!lineIndent(closing, &ignored))
        closing = insertText(doc, add, NULL, "\n" + in.add);
    if (!closing) {
        xmlFreeNodeList(list);
        return;
    }
    xmlNodePtr first = NULL;
    for (xmlNodePtr n = list, next; n; n = next) {
        next = n->next;
        xmlUnlinkNode(n);
        xmlAddPrevSibling(closing, n);
        if (!first)
            first = n;
    }
    insertText(doc, add, first, "\n" + in.product);
}

DWORD RebuildProductElements(const char *path, const ClickToRunState *state)
{
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc) {
        LogError("Unable to open configuration XML file.\n");
        return VQ_EXIT_INVALID_DATA;
    }
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathObjectPtr adds = ctx ? xmlXPathEvalExpression(X("/Configuration/Add"), ctx) : NULL;
    xmlXPathObjectPtr products =
        ctx ? xmlXPathEvalExpression(X("/Configuration/Add/Product"), ctx) : NULL;
    if (!adds || !adds->nodesetval || adds->nodesetval->nodeNr == 0) {
        LogError("Tag /Configuration/Add not found \n");
        xmlXPathFreeObject(products);
        xmlXPathFreeObject(adds);
        xmlXPathFreeContext(ctx);
        xmlFreeDoc(doc);
        return VQ_EXIT_INVALID_DATA;
    }
    xmlNodePtr add = adds->nodesetval->nodeTab[0];

    std::vector<std::string> ids = sortedDistinct(state->productReleaseIds);

    /* The old Product elements of every Add go, with their lines; they stay
     * allocated until the new ones have taken over their attributes. */
    std::vector<xmlNodePtr> oldProducts;
    if (products && products->nodesetval)
        for (int i = 0; i < products->nodesetval->nodeNr; i++)
            oldProducts.push_back(products->nodesetval->nodeTab[i]);
    xmlXPathFreeObject(products);
    xmlNodePtr firstInAdd = NULL;
    for (xmlNodePtr p : oldProducts)
        if (p->parent == add) {
            firstInAdd = p;
            break;
        }
    Indents in = indentsFor(add, firstInAdd);
    std::vector<xmlNodePtr> removed;
    for (xmlNodePtr old : oldProducts)
        unlinkWithItsLine(old, &removed);

    for (const std::string &id : ids) {
        std::string text = productText(id, state, oldProductWithId(oldProducts, id), in);
        xmlNodePtr list = NULL;
        xmlParserErrors err =
            xmlParseInNodeContext(add, text.c_str(), (int)text.size(), 0, &list);
        if (err == XML_ERR_OK && list) {
            appendProduct(doc, add, list, in);
        } else {
            /* Not a silent loss: the deployment would go on without it. */
            LogError("RebuildProductElements : unable to add Product %s. Error Code : %d\n",
                     id.c_str(), (int)err);
            xmlFreeNodeList(list);
        }
    }
    for (xmlNodePtr old : removed)
        xmlFreeNode(old);

    DWORD saved = saveDocument(doc, path, "RebuildProductElements");
    xmlXPathFreeObject(adds);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(doc);
    return saved == 0 ? 0 : VQ_EXIT_INVALID_DATA;
}

/* Puts prop among the children of config: after the last Property, else
 * after the last element, on a line of its own indented as that element. */
static xmlNodePtr insertProperty(xmlDocPtr doc, xmlNodePtr config, xmlNodePtr prop)
{
    xmlNodePtr anchor = NULL;
    for (xmlNodePtr c = config->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        if (!anchor || xmlStrcmp(anchor->name, X("Property")) != 0 ||
            xmlStrcmp(c->name, X("Property")) == 0)
            anchor = c;
    }
    if (!anchor)
        return xmlAddChild(config, prop);
    if (!xmlAddNextSibling(anchor, prop))
        return NULL;
    /* The indentation goes in before prop: added after anchor it would
     * merge with the text that follows anchor. */
    if (anchor->prev && xmlIsBlankNode(anchor->prev)) {
        xmlNodePtr indent = xmlNewDocText(doc, anchor->prev->content);
        if (indent && !xmlAddPrevSibling(prop, indent))
            xmlFreeNode(indent);
    }
    return prop;
}

/* Adds <Property Name="FORCEAPPSHUTDOWN" Value="value"/> to /Configuration
 * when the document has no such property, and sets the value on every one it
 * has: two properties of different values would leave the tool to pick one.
 * 0, or the error code of a failed save. */
static DWORD setForceAppShutdownProperties(const char *path, const char *value)
{
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc) {
        /* The two attribute edits report a missing file as they would for
         * any document; an unparsable one is left alone without a word. */
        modifyAttribute(path, kForceAppShutdownXPath, "Name", "FORCEAPPSHUTDOWN");
        modifyAttribute(path, kForceAppShutdownXPath, "Value", value);
        return 0;
    }
    DWORD rc = 0;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathObjectPtr found =
        ctx ? xmlXPathEvalExpression(X(kForceAppShutdownXPath), ctx) : NULL;
    if (found && found->nodesetval && found->nodesetval->nodeNr > 0) {
        for (int i = 0; i < found->nodesetval->nodeNr; i++) {
            xmlSetProp(found->nodesetval->nodeTab[i], X("Name"), X("FORCEAPPSHUTDOWN"));
            xmlSetProp(found->nodesetval->nodeTab[i], X("Value"), X(value));
        }
        rc = saveDocument(doc, path, "SetForceAppShutdown");
    } else {
        xmlNodePtr config = firstNode(doc, "/Configuration");
        if (!config) {
            LogError("Tag %s not found \n", "/Configuration");
        } else {
            xmlNodePtr prop = xmlNewDocNode(doc, NULL, X("Property"), NULL);
            if (prop && xmlNewProp(prop, X("Name"), X("FORCEAPPSHUTDOWN")) &&
                xmlNewProp(prop, X("Value"), X(value)) && insertProperty(doc, config, prop)) {
                LogDebug("SetForceAppShutdown : Property FORCEAPPSHUTDOWN added.\n");
                rc = saveDocument(doc, path, "SetForceAppShutdown");
            } else {
                LogError("SetForceAppShutdown : unable to add Property FORCEAPPSHUTDOWN.\n");
                xmlFreeNode(prop);
            }
        }
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(doc);
    return rc;
}

DWORD SetForceAppShutdown(const char *path, BOOL on)
{
    /* Only the FORCEAPPSHUTDOWN property is touched: the first Property may
     * be another one, a licensing property for example, that must stay. */
    DWORD rc = setForceAppShutdownProperties(path, on ? "TRUE" : "FALSE");
    if (rc != 0)
        return rc;
    if (on)
        LogInfo("FORCEAPPSHUTDOWN set as TRUE.\n");
    else
        LogInfo("FORCEAPPSHUTDOWN set as FALSE.\n");
    return 0;
}

DWORD RewriteConfigurationDocument(const char *path, const ClickToRunState *state,
                                   const char *version, BOOL forceAppShutdown)
{
    if (ApplyEditionAndVersion(path, state->platform.c_str(), version) != 0)
        return VQ_EXIT_INVALID_DATA;
    if (RebuildProductElements(path, state) != 0)
        return VQ_EXIT_INVALID_DATA;
    if (SetForceAppShutdown(path, forceAppShutdown) != 0)
        return VQ_EXIT_INVALID_DATA;
    return 0;
}
