/* Reads back what a configuration document asks for (see docrequest.h). The
 * document is only read; names of elements and attributes are those of the
 * Office Deployment Tool, compared exactly as the tool writes them, the
 * FORCEAPPSHUTDOWN name without regard to case as the editor sets it. */
#include "driver/docrequest.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <string.h>

#define VQ_EXIT_INVALID_DATA 13

static bool isElement(xmlNodePtr node, const char *name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, (const xmlChar *)name) == 0;
}

static DocumentValue attributeOf(xmlNodePtr node, const char *name)
{
    DocumentValue v;
    xmlChar *value = xmlGetProp(node, (const xmlChar *)name);
    if (value) {
        v.present = true;
        v.text = (const char *)value;
        xmlFree(value);
    }
    return v;
}

/* The ID attributes of the children of parent named `name`. */
static std::vector<std::string> childIds(xmlNodePtr parent, const char *name)
{
    std::vector<std::string> ids;
    for (xmlNodePtr c = parent->children; c; c = c->next)
        if (isElement(c, name))
            ids.push_back(attributeOf(c, "ID").text);
    return ids;
}

DWORD ReadDocumentRequest(const char *path, DocumentRequest *out)
{
    *out = DocumentRequest();
    xmlDocPtr doc = xmlParseFile(path);
    if (!doc)
        return VQ_EXIT_INVALID_DATA;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    bool firstAdd = true, firstUpdates = true;
    for (xmlNodePtr n = root && isElement(root, "Configuration") ? root->children : NULL; n;
         n = n->next) {
        if (isElement(n, "Add")) {
            if (firstAdd) {
                out->edition = attributeOf(n, "OfficeClientEdition");
                out->version = attributeOf(n, "Version");
                firstAdd = false;
            }
            for (xmlNodePtr p = n->children; p; p = p->next) {
                if (!isElement(p, "Product"))
                    continue;
                RequestedProduct product;
                product.id = attributeOf(p, "ID").text;
                product.languages = childIds(p, "Language");
                product.excludedApps = childIds(p, "ExcludeApp");
                out->products.push_back(product);
            }
        } else if (isElement(n, "Remove")) {
            std::vector<std::string> ids = childIds(n, "Product");
            out->removedProducts.insert(out->removedProducts.end(), ids.begin(), ids.end());
        } else if (isElement(n, "Updates") && firstUpdates) {
            out->targetVersion = attributeOf(n, "TargetVersion");
            firstUpdates = false;
        } else if (isElement(n, "Property") &&
                   _stricmp(attributeOf(n, "Name").text.c_str(), "FORCEAPPSHUTDOWN") == 0) {
            out->forceAppShutdown.push_back(attributeOf(n, "Value").text);
        }
    }
    xmlFreeDoc(doc);
    return 0;
}

std::vector<std::string> ProductsLeftRemoved(const DocumentRequest &request)
{
    std::vector<std::string> left;
    for (const std::string &id : request.removedProducts) {
        bool added = false;
        for (const RequestedProduct &p : request.products)
            added = added || _stricmp(p.id.c_str(), id.c_str()) == 0;
        if (!added)
            left.push_back(id);
    }
    return left;
}

std::string ListText(const std::vector<std::string> &list, const char *separator)
{
    std::string text;
    for (const std::string &s : list)
        text += (text.empty() ? "" : separator) + s;
    return text.empty() ? std::string("(none)") : text;
}
