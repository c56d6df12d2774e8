/* The configuration document editor (see configdoc.h). Each operation parses
 * the file, edits the tree and saves the whole file back in place, so every
 * edit sees the one before it. */
#include "driver/configdoc.h"
#include "agent/fileutil.h"
#include "agent/log.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <stdio.h>
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

/* Saves doc over path as formatted UTF-8. A failed save is logged: the file
 * then keeps its earlier content. */
static void saveDocument(xmlDocPtr doc, const char *path, const char *operation)
{
    if (xmlSaveFormatFileEnc(path, doc, "utf-8", 1) < 0)
        LogError("%s : unable to save %s \n", operation, path);
}

void modifyAttribute(const char *path, const char *xpath, const char *attribute,
                     const char *value)
{
    if (!FileExists(path))
        LogError("modifyAttribute : file not found : %s \n", path);
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc)
        return;
    xmlNodePtr node = firstNode(doc, xpath);
    if (node) {
        xmlSetProp(node, X(attribute), X(value));
        saveDocument(doc, path, "modifyAttribute");
    } else {
        LogError("Tag %s not found \n", xpath);
    }
    xmlFreeDoc(doc);
}

void ApplyEditionAndVersion(const char *path, const char *platform, const char *version)
{
    const char *edition = NULL;
    if (_stricmp(platform, "x64") == 0)
        edition = "64";
    else if (_stricmp(platform, "x86") == 0)
        edition = "32";
    if (edition)
        modifyAttribute(path, "/Configuration/Add", "OfficeClientEdition", edition);
    modifyAttribute(path, "/Configuration/Add", "Version", version);
    modifyAttribute(path, "/Configuration/Updates", "TargetVersion", version);
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

/* The Product element text of one product, parsed later in the context of
 * the Add element. */
static std::string productText(const std::string &product, const ClickToRunState *state,
                               const std::vector<std::string> &excluded)
{
    std::string text = "<Product ID=\"" + attributeText(product) + "\">\n";
    const std::vector<std::string> &languages =
        InstalledLanguagesOf(state->installedLanguages, product + ".16");
    if (languages.empty()) {
        text += "<Language ID=\"" + attributeText(state->clientCulture) + "\"/>\n";
    } else {
        for (const std::string &language : languages)
            text += "<Language ID=\"" + attributeText(language) + "\"/>\n";
    }
    for (const std::string &app : excluded)
        text += "<ExcludeApp ID=\"" + attributeText(app) + "\"/>\n";
    text += "</Product>\n";
    return text;
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
    std::vector<std::string> excluded = sortedDistinct(state->excludedApps);

    /* The old Product elements of every Add go; they are freed only after
     * the node set that points at them. */
    std::vector<xmlNodePtr> removed;
    if (products && products->nodesetval) {
        for (int i = 0; i < products->nodesetval->nodeNr; i++) {
            xmlNodePtr old = products->nodesetval->nodeTab[i];
            xmlReplaceNode(old, NULL);
            removed.push_back(old);
        }
    }
    xmlXPathFreeObject(products);
    for (xmlNodePtr old : removed)
        xmlFreeNode(old);

    for (const std::string &id : ids) {
        std::string text = productText(id, state, excluded);
        xmlNodePtr list = NULL;
        xmlParserErrors err =
            xmlParseInNodeContext(add, text.c_str(), (int)text.size(), 0, &list);
        if (err == XML_ERR_OK && list) {
            xmlAddChildList(add, list);
        } else {
            /* Not a silent loss: the deployment would go on without it. */
            LogError("RebuildProductElements : unable to add Product %s. Error Code : %d\n",
                     id.c_str(), (int)err);
            xmlFreeNodeList(list);
        }
    }

    saveDocument(doc, path, "RebuildProductElements");
    xmlXPathFreeObject(adds);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(doc);
    return 0;
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
 * when the document has no such property. TRUE when the
 * document was dealt with here (added, or no /Configuration to add it to);
 * FALSE when the property exists or the file does not parse, for the
 * attribute edits to do their part and their messages. */
static BOOL addForceAppShutdownWhenAbsent(const char *path, const char *value)
{
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc)
        return FALSE;
    BOOL handled = TRUE;
    if (firstNode(doc, kForceAppShutdownXPath)) {
        handled = FALSE;
    } else {
        xmlNodePtr config = firstNode(doc, "/Configuration");
        if (!config) {
            LogError("Tag %s not found \n", "/Configuration");
        } else {
            xmlNodePtr prop = xmlNewDocNode(doc, NULL, X("Property"), NULL);
            if (prop && xmlNewProp(prop, X("Name"), X("FORCEAPPSHUTDOWN")) &&
                xmlNewProp(prop, X("Value"), X(value)) && insertProperty(doc, config, prop)) {
                LogDebug("SetForceAppShutdown : Property FORCEAPPSHUTDOWN added.\n");
                saveDocument(doc, path, "SetForceAppShutdown");
            } else {
                LogError("SetForceAppShutdown : unable to add Property FORCEAPPSHUTDOWN.\n");
                xmlFreeNode(prop);
            }
        }
    }
    xmlFreeDoc(doc);
    return handled;
}

void SetForceAppShutdown(const char *path, BOOL on)
{
    const char *value = on ? "TRUE" : "FALSE";
    /* Only the FORCEAPPSHUTDOWN property is touched: the first Property may
     * be another one, a licensing property for example, that must stay. */
    if (!addForceAppShutdownWhenAbsent(path, value)) {
        modifyAttribute(path, kForceAppShutdownXPath, "Name", "FORCEAPPSHUTDOWN");
        modifyAttribute(path, kForceAppShutdownXPath, "Value", value);
    }
    if (on)
        LogInfo("FORCEAPPSHUTDOWN set as TRUE.\n");
    else
        LogInfo("FORCEAPPSHUTDOWN set as FALSE.\n");
}
