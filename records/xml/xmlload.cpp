/* Table data from XML: the walk over a parsed document, one row per element
 * named after a table, with the values of the element's attributes, the
 * reference texts resolved through the load's AutoID map and the key
 * columns that the element lacks inherited from the elements around it.
 *
 * Documents may come from the network. They are parsed without network
 * access and with libxml2's limits on (nesting, entity amplification); the
 * walk does not enter entity references, whose content libxml2 shares
 * between all references instead of copying it, so an entity cannot
 * multiply rows; attribute values are taken with their entity references
 * replaced, up to XMLLOAD_MAX_VALUE_BYTES. */
#include "records/xml/xmlload.h"
#include "records/xml/xmlautoid.h"
#include "records/base/reclimits.h"
#include "records/store/storecolumns.h"
#include "records/base/strutil.h"
#include "records/store/tablestore.h"

#include "agent/log.h"

#include <libxml/parser.h>

#include <stdlib.h>
#include <string.h>
#include <strings.h>

static const char kRowFailed[] =
    "Cannot create and add a new row while constructing tabledata from XML file.\n";

/* One key a row element may inherit: a foreign key of its table (referenced
 * table and column, local column) or a primary-key column that is no local
 * column of a foreign key (column only). */
struct KeyEntry {
    const char *referenceTable;     /* NULL for a primary-key entry */
    const char *referenceColumn;
    const char *column;             /* the row's own column */
    char *value;                    /* owned; NULL until found */
};

struct KeyList {
    KeyEntry *entries;
    INT32 count;
};

/* Foreign-key lists of enclosing elements, built once per row element and
 * grown on demand. */
struct InheritCache {
    xmlNodePtr *nodes;
    KeyList *lists;
    INT32 count;
    INT32 capacity;
};

struct LoadContext {
    xmlDocPtr doc;
    HashMap *autoIds;
};

static void freeKeyList(KeyList *list)
{
    for (INT32 i = 0; i < list->count; i++)
        free(list->entries[i].value);
    free(list->entries);
    list->entries = NULL;
    list->count = 0;
}

/* The value of an attribute with its entity references replaced: a new
 * heap text, "" for an empty one, NULL when out of memory or beyond
 * XMLLOAD_MAX_VALUE_BYTES (logged). */
static char *attributeText(xmlDocPtr doc, xmlAttrPtr attr)
{
    xmlChar *v = xmlNodeListGetString(doc, attr->children, 1);
    const char *text = v ? (const char *)v : "";
    size_t n = strlen(text);
    char *copy = NULL;
    if (n > XMLLOAD_MAX_VALUE_BYTES)
        LogError("ConstructTableData : value of attribute %s is longer than %d bytes\n",
                 (const char *)attr->name, XMLLOAD_MAX_VALUE_BYTES);
    else
        CopyString(&copy, text);
    if (v)
        xmlFree(v);
    return copy;
}

/* The value of the element's attribute named `name` (A-Z folded) as a new
 * text, or NULL when it has none. */
static char *findAttribute(xmlDocPtr doc, xmlNodePtr node, const char *name)
{
    for (xmlAttrPtr a = node->properties; a; a = a->next)
        if (a->name && StoreCompareNames((const char *)a->name, name) == 0)
            return attributeText(doc, a);
    return NULL;
}

static BOOL isElement(xmlNodePtr node)
{
    return node && node->type == XML_ELEMENT_NODE;
}

static TableDefn *definitionOf(xmlNodePtr element)
{
    TableData *td = GetTableDataByName((const char *)element->name);
    if (td && td->kind == TABLE_KIND_TABLE && td->tableDefn)
        return td->tableDefn;
    return td ? NULL : GetTableDefn((const char *)element->name);
}

/* The foreign-key list of a table, values not yet found. `trace` logs it. */
static BOOL buildForeignKeyList(const TableDefn *defn, KeyList *list, BOOL trace)
{
    list->entries = NULL;
    list->count = 0;
    if (!defn || !defn->constraints)
        return TRUE;
    INT32 n = 0;
    for (ForeignKeyDefn *fk = defn->constraints->foreignKeys; fk; fk = fk->next)
        n++;
    if (n == 0)
        return TRUE;
    list->entries = (KeyEntry *)calloc((size_t)n, sizeof(KeyEntry));
    if (!list->entries)
        return FALSE;
    for (ForeignKeyDefn *fk = defn->constraints->foreignKeys; fk; fk = fk->next) {
        if (trace) {
            LogTrace("Column Name : %s\n", fk->localColumn);
            LogTrace("Ref Column  : %s\n", fk->referenceColumn);
            LogTrace("Tablename : %s\n", fk->referenceTable);
        }
        KeyEntry *e = &list->entries[list->count++];
        e->referenceTable = fk->referenceTable;
        e->referenceColumn = fk->referenceColumn;
        e->column = fk->localColumn;
    }
    return TRUE;
}

static const KeyEntry *entryByColumn(const KeyList *list, const char *column)
{
    for (INT32 i = 0; i < list->count; i++)
        if (StoreCompareNames(list->entries[i].column, column) == 0)
            return &list->entries[i];
    return NULL;
}

static BOOL fillForeignKeys(xmlDocPtr doc, KeyList *list, xmlNodePtr from, InheritCache *cache);

/* The foreign-key list of an enclosing element, filled from the elements
 * that enclose it; NULL when the cache is full or out of memory. */
static const KeyList *enclosingList(xmlDocPtr doc, xmlNodePtr element, InheritCache *cache)
{
    for (INT32 i = 0; i < cache->count; i++)
        if (cache->nodes[i] == element)
            return &cache->lists[i];
    if (cache->count >= XMLLOAD_MAX_INHERIT_LISTS)
        return NULL;
    KeyList list;
    if (!buildForeignKeyList(definitionOf(element), &list, FALSE))
        return NULL;
    /* A list is filled only from elements further out, so it never asks for
     * itself; the lists those need are cached by the time it is. */
    fillForeignKeys(doc, &list, element->parent, cache);
    if (cache->count == cache->capacity) {
        INT32 cap = cache->capacity ? cache->capacity * 2 : 8;
        xmlNodePtr *nodes = (xmlNodePtr *)realloc(cache->nodes, sizeof *nodes * (size_t)cap);
        if (nodes)
            cache->nodes = nodes;
        KeyList *lists = nodes ? (KeyList *)realloc(cache->lists, sizeof *lists * (size_t)cap) : NULL;
        if (lists)
            cache->lists = lists;
        if (!nodes || !lists) {
            freeKeyList(&list);
            return NULL;
        }
        cache->capacity = cap;
    }
    cache->nodes[cache->count] = element;
    cache->lists[cache->count] = list;
    return &cache->lists[cache->count++];
}

/* Fills the entries still without a value from `from` and the elements
 * enclosing it, nearest first; an entry keeps the first value found. */
static BOOL fillForeignKeys(xmlDocPtr doc, KeyList *list, xmlNodePtr from, InheritCache *cache)
{
    for (xmlNodePtr a = from; isElement(a); a = a->parent) {
        for (INT32 i = 0; i < list->count; i++) {
            KeyEntry *e = &list->entries[i];
            if (e->value)
                continue;
            e->value = findAttribute(doc, a, e->referenceColumn);
            if (e->value || StoreCompareNames((const char *)a->name, e->referenceTable) != 0)
                continue;
            const KeyList *outer = enclosingList(doc, a, cache);
            const KeyEntry *match = outer ? entryByColumn(outer, e->referenceColumn) : NULL;
            if (match && match->value)
                CopyString(&e->value, match->value);
        }
    }
    return TRUE;
}

/* The n-th child node (1 for the first) of a node, or NULL. */
static xmlNodePtr nthChild(xmlNodePtr node, int n)
{
    xmlNodePtr c = node ? node->children : NULL;
    while (c && --n > 0)
        c = c->next;
    return c;
}

/* Looks below the row element for a foreign-key value no enclosing element
 * supplied: from the row's second child node, descending each time to the
 * second child of the element just examined, at most XMLLOAD_MAX_DESCENT
 * steps. An element named after the referenced table gives its attribute
 * named like the referenced column; an element of another table gives its
 * attribute for the local column of its own foreign key to that column. */
static char *searchBelow(xmlDocPtr doc, xmlNodePtr row, const KeyEntry *entry)
{
    xmlNodePtr node = nthChild(row, 2);
    for (int step = 0; isElement(node) && step < XMLLOAD_MAX_DESCENT; step++) {
        char *value = NULL;
        if (StoreCompareNames((const char *)node->name, entry->referenceTable) == 0) {
            value = findAttribute(doc, node, entry->referenceColumn);
        } else {
            TableDefn *defn = definitionOf(node);
            if (defn && defn->constraints) {
                for (ForeignKeyDefn *fk = defn->constraints->foreignKeys; fk && !value; fk = fk->next)
                    if (StoreCompareNames(fk->localColumn, entry->referenceColumn) == 0)
                        value = findAttribute(doc, node, fk->localColumn);
            }
        }
        if (value)
            return value;
        node = nthChild(node, 2);
    }
    return NULL;
}

/* The primary-key list: key columns that are no local column of a foreign
 * key, values from the nearest enclosing element with such an attribute. */
static BOOL buildPrimaryKeyList(xmlDocPtr doc, const TableDefn *defn, xmlNodePtr row, KeyList *list)
{
    list->entries = NULL;
    list->count = 0;
    const ConstraintDefn *c = defn ? defn->constraints : NULL;
    if (!c || c->primaryKeyCount <= 0 || !c->primaryKeyColumns)
        return TRUE;
    list->entries = (KeyEntry *)calloc((size_t)c->primaryKeyCount, sizeof(KeyEntry));
    if (!list->entries)
        return FALSE;
    for (INT32 k = 0; k < c->primaryKeyCount; k++) {
        const char *key = c->primaryKeyColumns[k];
        if (!key)
            continue;
        LogTrace("Primary key : %s\n\n", key);
        BOOL isForeign = FALSE;
        if (c->foreignKeys) {
            LogTrace("Foreign key Constraints\n");
            LogTrace("********************************\n");
            for (ForeignKeyDefn *fk = c->foreignKeys; fk; fk = fk->next) {
                LogTrace("Column Name : %s\n", fk->localColumn);
                if (StoreCompareNames(fk->localColumn, key) == 0)
                    isForeign = TRUE;
            }
        }
        if (!isForeign)
            list->entries[list->count++].column = key;
    }
    for (xmlNodePtr a = row->parent; isElement(a); a = a->parent)
        for (INT32 i = 0; i < list->count; i++)
            if (!list->entries[i].value)
                list->entries[i].value = findAttribute(doc, a, list->entries[i].column);
    return TRUE;
}

/* The attribute of the row element for a column (A-Z folded). */
static xmlAttrPtr attributeFor(xmlNodePtr row, const char *column)
{
    for (xmlAttrPtr a = row->properties; a; a = a->next)
        if (a->name && StoreCompareNames((const char *)a->name, column) == 0)
            return a;
    return NULL;
}

static BOOL isWorkflowNextStatement(const char *table, const char *column, const char *text)
{
    if (StoreCompareNames(table, "Workflow_Statements") != 0
        || StoreCompareNames(column, "NEXT_STATEMENT_ID") != 0)
        return FALSE;
    const char *key = strchr(text, ':');
    key = key ? strchr(key + 1, ':') : NULL;
    return key && strcmp(key + 1, "0") == 0;
}

/* Sets one column from its attribute text. *treatAsMissing is set when the
 * column is then handled as one without an attribute. FALSE when out of
 * memory or beyond the value limit. */
static BOOL valueFromAttribute(LoadContext *ctx, const char *tableName, const ColumnDefn *column,
                               BYTE type, const char *text, BYTE **value, INT32 *size,
                               BOOL *treatAsMissing)
{
    *treatAsMissing = FALSE;
    if (CountDelimiter(text, ':') < 2)
        return AllocateAndCopyColumnValue(value, size, type, text);
    if (isWorkflowNextStatement(tableName, column->name, text)) {
        INT32 zero = 0;
        *value = CopyValueBuffer(&zero, 4);
        *size = 4;
        *treatAsMissing = TRUE;
        return *value != NULL;
    }
    if (type == BRN_SQL_CHAR || type == BRN_SQL_VARCHAR || type == BRN_SQL_BLOB
        || type == BRN_SQL_TEXT)
        return AllocateAndCopyColumnValue(value, size, type, strchr(strchr(text, ':') + 1, ':') + 1);
    if (type == BRN_SQL_DATE || type == BRN_SQL_TIME || type == BRN_SQL_DATETIME)
        return AllocateAndCopyColumnValue(value, size, type, text);
    DWORD id = 0;
    if (!ResolveAutoID(ctx->autoIds, tableName, column, text, &id))
        return TRUE;    /* reported; the column gets no value here */
    *value = CopyValueBuffer(&id, 4);
    *size = 4;
    return *value != NULL;
}

/* Loads one row element. TRUE also for a grouping element whose name holds
 * "List" and names no table. */
static BOOL loadRow(LoadContext *ctx, xmlNodePtr row)
{
    const char *name = (const char *)row->name;
    TableData *td = GetTableDataByName(name);
    if (!td && CreateTable(name))
        td = GetTableDataByName(name);
    if (!td)
        return strstr(name, "List") != NULL;

    TableDefn *defn = td->kind == TABLE_KIND_TABLE ? td->tableDefn : NULL;
    const CustomViewDefn *view = td->kind == TABLE_KIND_VIEW ? td->viewDefn : NULL;
    INT32 columns = StoreColumnCount(defn, view);
    if (columns <= 0)
        return FALSE;

    KeyList foreign = {NULL, 0}, primary = {NULL, 0};
    InheritCache cache = {NULL, NULL, 0, 0};
    BYTE **values = (BYTE **)calloc((size_t)columns, sizeof(BYTE *));
    INT32 *sizes = (INT32 *)calloc((size_t)columns, sizeof(INT32));
    BOOL ok = values && sizes && buildForeignKeyList(defn, &foreign, TRUE)
              && buildPrimaryKeyList(ctx->doc, defn, row, &primary);
    if (ok) {
        fillForeignKeys(ctx->doc, &foreign, row->parent, &cache);
        for (INT32 i = 0; i < foreign.count; i++)
            if (!foreign.entries[i].value)
                foreign.entries[i].value = searchBelow(ctx->doc, row, &foreign.entries[i]);
    }

    for (INT32 i = 0; ok && i < columns; i++) {
        const char *columnName = StoreColumnName(defn, view, i);
        BYTE type = StoreColumnType(defn, view, i);
        const ColumnDefn *column = defn ? defn->columns[i] : view->columns[i]->columnDefn;
        if (!columnName || !column)
            continue;
        xmlAttrPtr attr = attributeFor(row, columnName);
        BOOL missing = attr == NULL;
        if (attr) {
            char *text = attributeText(ctx->doc, attr);
            ok = text && valueFromAttribute(ctx, td->name, column, type, text, &values[i],
                                            &sizes[i], &missing);
            free(text);
            if (!ok)
                break;
        }
        if (!values[i] && defn && column->defaultValue) {
            values[i] = CopyValueBuffer(column->defaultValue, column->defaultSize);
            sizes[i] = column->defaultSize;
        }
        if (!missing)
            continue;
        const KeyEntry *key = entryByColumn(&foreign, columnName);
        if (!key)
            key = entryByColumn(&primary, columnName);
        if (!key)
            continue;
        if (!key->value)
            continue;
        /* The enclosing element's text is converted as an attribute of this
         * element would be: a reference text ("Customer:CUST_ID:c1") gives
         * the identifier that the parent got for it, not a number read from
         * the text. */
        BYTE *inherited = NULL;
        INT32 inheritedSize = 0;
        BOOL ignored = FALSE;
        if (valueFromAttribute(ctx, td->name, column, type, key->value, &inherited, &inheritedSize, &ignored)
            && inherited) {
            free(values[i]);
            values[i] = inherited;
            sizes[i] = inheritedSize;
        }
    }

    freeKeyList(&foreign);
    freeKeyList(&primary);
    for (INT32 i = 0; i < cache.count; i++)
        freeKeyList(&cache.lists[i]);
    free(cache.lists);
    free(cache.nodes);
    RowObject *rowObject = ok ? CreateNewRowObject(values, sizes) : NULL;
    if (rowObject && AddNewRow(td->name, rowObject))
        return TRUE;
    if (rowObject)
        FreeRowObject(rowObject, columns);
    else {
        for (INT32 i = 0; values && i < columns; i++)
            free(values[i]);
        free(values);
        free(sizes);
    }
    return FALSE;
}

/* Walks one level of the document: each node in order, a row for each
 * element, then its children as a level of their own. A row that cannot be
 * loaded stops this level (FALSE); a failure inside a nested level stops
 * that level only. Entity references are not entered. */
static BOOL walkLevel(LoadContext *ctx, xmlNodePtr first, int depth)
{
    for (xmlNodePtr node = first; node; node = node->next) {
        if (node->type == XML_ENTITY_REF_NODE || node->type == XML_ENTITY_DECL
            || node->type == XML_DTD_NODE)
            continue;
        if (node->type == XML_ELEMENT_NODE && !loadRow(ctx, node)) {
            LogError(kRowFailed);
            return FALSE;
        }
        if (!node->children)
            continue;
        if (depth + 1 > XMLLOAD_MAX_DEPTH) {
            LogError(kRowFailed);
            continue;
        }
        walkLevel(ctx, node->children, depth + 1);
    }
    return TRUE;
}

/* Loads the rows below `element` with a new AutoID map; the map on success,
 * NULL on failure. */
static HashMap *loadBelow(xmlDocPtr doc, xmlNodePtr element)
{
    LoadContext ctx = {doc, NULL};
    if (!element || !CreateHashMap(&ctx.autoIds, XMLLOAD_AUTOID_BUCKETS))
        return NULL;
    if (!walkLevel(&ctx, element->children, 1)) {
        FreeAutoIDMap(ctx.autoIds);
        return NULL;
    }
    return ctx.autoIds;
}

/* Parser options of the file and text loads: no network access, libxml2's
 * own limits kept, its messages left to the loader's. */
static const int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

/* Loads a parsed document (NULL: it did not parse) and releases it. */
static BOOL loadDocument(xmlDocPtr doc, const char *failure)
{
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : NULL;
    if (!root) {
        LogError("error: could not parse file file.xml\n");
        if (doc)
            xmlFreeDoc(doc);
        xmlCleanupParser();
        return FALSE;
    }
    HashMap *map = loadBelow(doc, root);
    if (!map)
        LogError("%s", failure);
    FreeAutoIDMap(map);
    xmlFreeDoc(doc);
    xmlCleanupParser();
    return map != NULL;
}

BOOL ConstructTableDataFromXMLFile(const char *path)
{
    LogTrace("\t@@@@@ Inside ConstructTableDataFromXMLFile() @@@@@\n");
    xmlDocPtr doc = path ? xmlReadFile(path, NULL, kParseOptions) : NULL;
    return loadDocument(doc, "Cannot construct table data from XML file.\n");
}

int ConstructTableDataFromXMLBuffer(const char *text, int length)
{
    LogTrace("\t@@@@@ Inside ConstructTableDataFromXMLBuffer() @@@@@\n");
    xmlDocPtr doc = text && length > 0 ? xmlReadMemory(text, length, "file.xml", NULL, kParseOptions)
                                       : NULL;
    return loadDocument(doc, "Cannot construct table data from XML buffer.\n") ? 1 : 0;
}

HashMap *ConstructTableDataFromXMLNode(xmlDocPtr doc, xmlNodePtr element)
{
    LogTrace("\t@@@@@ Inside ConstructTableDataFromXMLNode() @@@@@\n");
    HashMap *map = loadBelow(doc, element);
    if (!map)
        LogError("Cannot construct table data from buffer node.\n");
    return map;
}

void FreeAutoIDMap(HashMap *map)
{
    if (!map)
        return;
    for (DWORD b = 0; b < map->bucketCount; b++)
        for (HashEntry *e = map->buckets[b]; e; e = e->next)
            free(e->value);
    FreeHashMap(map);
}
