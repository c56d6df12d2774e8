/* The data dictionary's file loader. The list file names the dictionary XML
 * files; each file is read with libxml2's streaming text reader, one table
 * element at a time, into a small tree of XmlTagInfo nodes, which is then
 * turned into a TableDefn with its columns and constraints and appended to
 * the dictionary registry. A structural fault abandons the table being read
 * (it is reported at ERROR level); a reader error ends the file, and the
 * tables read before it stay. */
#include "records/dict/dictload.h"
#include "records/dict/tabledefn.h"
#include "records/base/reclimits.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <libxml/xmlreader.h>

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

/* One element of a table element's subtree. Property elements of a column
 * are its children holding their text; the value texts of one
 * allowed-values element are gathered into one "value" node; "from" and
 * "to" are sibling nodes; "generator-name" is a child of the column. */
struct XmlTagInfo {
    char *name;
    char **attributeNames;      /* only name, system, reference-table-name, isbidirectional */
    char **attributeValues;
    INT32 attributeCount;
    char **textValues;
    INT32 textCount;
    BOOL hasElements;           /* it held element children of its own */
    XmlTagInfo *child;
    XmlTagInfo *next;
};

/* The attributes a dictionary element may carry, in the order read. */
static const char *const s_knownAttributes[] = {"name", "system", "reference-table-name",
                                                "isbidirectional"};

/* Levels below a table element that the reader keeps (a valid table uses
 * five); deeper content is read and dropped. */
#define DICT_MAX_TAG_DEPTH 16

enum ReadResult { READ_OK, READ_ABANDON, READ_FATAL };

static void freeTags(XmlTagInfo *tag)
{
    while (tag) {
        XmlTagInfo *next = tag->next;
        freeTags(tag->child);
        free(tag->name);
        for (INT32 i = 0; i < tag->attributeCount; i++) {
            free(tag->attributeNames[i]);
            free(tag->attributeValues[i]);
        }
        free(tag->attributeNames);
        free(tag->attributeValues);
        for (INT32 i = 0; i < tag->textCount; i++)
            free(tag->textValues[i]);
        free(tag->textValues);
        free(tag);
        tag = next;
    }
}

/* Appends a text (taken over) to a node's text values. */
static BOOL addText(XmlTagInfo *tag, char *text)
{
    char **grown = (char **)realloc(tag->textValues, sizeof *grown * (size_t)(tag->textCount + 1));
    if (!grown || !text) {
        if (grown)
            tag->textValues = grown;
        free(text);
        return FALSE;
    }
    tag->textValues = grown;
    tag->textValues[tag->textCount++] = text;
    return TRUE;
}

static const char *attribute(const XmlTagInfo *tag, const char *name)
{
    for (INT32 i = 0; i < tag->attributeCount; i++)
        if (strcmp(tag->attributeNames[i], name) == 0)
            return tag->attributeValues[i];
    return NULL;
}

static const char *firstText(const XmlTagInfo *tag)
{
    return tag->textCount > 0 ? tag->textValues[0] : "";
}

/* Reads the known attributes of the element the reader is on; an element
 * with any other attribute is refused. */
static ReadResult readAttributes(xmlTextReaderPtr reader, XmlTagInfo *tag)
{
    int count = xmlTextReaderAttributeCount(reader);
    const size_t known = sizeof s_knownAttributes / sizeof s_knownAttributes[0];
    tag->attributeNames = (char **)calloc(known, sizeof(char *));
    tag->attributeValues = (char **)calloc(known, sizeof(char *));
    if (!tag->attributeNames || !tag->attributeValues) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return READ_ABANDON;
    }
    for (size_t i = 0; i < known; i++) {
        xmlChar *value = xmlTextReaderGetAttribute(reader, BAD_CAST s_knownAttributes[i]);
        if (!value)
            continue;
        char *name = CopyText(s_knownAttributes[i]);
        char *copy = CopyText((const char *)value);
        xmlFree(value);
        if (!name || !copy) {
            free(name);
            free(copy);
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return READ_ABANDON;
        }
        tag->attributeNames[tag->attributeCount] = name;
        tag->attributeValues[tag->attributeCount] = copy;
        tag->attributeCount++;
    }
    if (count > tag->attributeCount) {
        LogError("\n Not all Attributes were read\n");
        return READ_ABANDON;
    }
    return READ_OK;
}

/* Appends `node` to the child list whose last entry is *last. */
static void appendChild(XmlTagInfo *parent, XmlTagInfo **last, XmlTagInfo *node)
{
    if (*last)
        (*last)->next = node;
    else
        parent->child = node;
    *last = node;
    while ((*last)->next)
        *last = (*last)->next;
}

/* Reshapes a child of a column before it is linked: the generator name of
 * "uniquevalue-generation" becomes the column's own child, and the children
 * of "allowed-values" become one "value" node with every value text, or the
 * "from" and "to" nodes as they are. Returns the nodes to link (a list),
 * freeing what it drops. */
static XmlTagInfo *reshapeColumnChild(XmlTagInfo *node)
{
    if (strcmp(node->name, "uniquevalue-generation") == 0) {
        XmlTagInfo *kept = NULL, **tail = &kept;
        XmlTagInfo *c = node->child;
        node->child = NULL;
        while (c) {
            XmlTagInfo *next = c->next;
            c->next = NULL;
            if (strcmp(c->name, "generator-name") == 0) {
                *tail = c;
                tail = &c->next;
            } else
                freeTags(c);
            c = next;
        }
        freeTags(node);
        return kept;
    }
    if (strcmp(node->name, "allowed-values") == 0) {
        XmlTagInfo *kept = NULL, **tail = &kept, *values = NULL;
        XmlTagInfo *c = node->child;
        node->child = NULL;
        while (c) {
            XmlTagInfo *next = c->next;
            c->next = NULL;
            if (strcmp(c->name, "value") == 0 && !c->hasElements) {
                if (!values) {
                    values = c;
                    *tail = c;
                    tail = &c->next;
                    c = next;
                    continue;
                }
                for (INT32 i = 0; i < c->textCount; i++) {
                    char *t = c->textValues[i];
                    c->textValues[i] = NULL;
                    addText(values, t);
                }
                freeTags(c);
            } else if (strcmp(c->name, "value") == 0 || strcmp(c->name, "from") == 0
                       || strcmp(c->name, "to") == 0) {
                *tail = c;
                tail = &c->next;
            } else
                freeTags(c);
            c = next;
        }
        freeTags(node);
        return kept;
    }
    return node;
}

/* Reads the element the reader is on, with its subtree, into *out. On
 * return the reader is on the element's end (or on the element itself when
 * it is empty). READ_FATAL when the reader failed (logged). */
static ReadResult readElement(xmlTextReaderPtr reader, int level, XmlTagInfo **out)
{
    *out = NULL;
    XmlTagInfo *tag = (XmlTagInfo *)calloc(1, sizeof *tag);
    const xmlChar *name = xmlTextReaderConstName(reader);
    if (!tag || !(tag->name = CopyText(name ? (const char *)name : ""))) {
        free(tag);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return READ_ABANDON;
    }
    *out = tag;
    ReadResult result = readAttributes(reader, tag);
    int depth = xmlTextReaderDepth(reader);
    if (xmlTextReaderIsEmptyElement(reader)) {
        if (result == READ_OK && !addText(tag, CopyText(""))) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            result = READ_ABANDON;
        }
        return result;
    }
    bool isColumn = strcmp(tag->name, "column") == 0;
    XmlTagInfo *last = NULL;
    char *text = CopyText("");
    size_t textLength = 0;
    if (!text) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        result = READ_ABANDON;
    }
    for (;;) {
        int rc = xmlTextReaderRead(reader);
        if (rc != 1) {
            LogError("\nxmlTextReaderRead returned error \n");
            free(text);
            return READ_FATAL;
        }
        int type = xmlTextReaderNodeType(reader);
        if (type == XML_READER_TYPE_END_ELEMENT && xmlTextReaderDepth(reader) == depth)
            break;
        if (type == XML_READER_TYPE_ELEMENT) {
            tag->hasElements = TRUE;
            XmlTagInfo *child = NULL;
            ReadResult r = readElement(reader, level + 1, &child);
            if (r == READ_FATAL) {
                freeTags(child);
                free(text);
                return READ_FATAL;
            }
            if (r != READ_OK && result == READ_OK)
                result = r;
            if (result != READ_OK || level >= DICT_MAX_TAG_DEPTH) {
                freeTags(child);
                continue;
            }
            if (isColumn)
                child = reshapeColumnChild(child);
            if (child)
                appendChild(tag, &last, child);
        } else if (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA
                   || type == XML_READER_TYPE_WHITESPACE
                   || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE) {
            const xmlChar *value = xmlTextReaderConstValue(reader);
            size_t n = value ? strlen((const char *)value) : 0;
            if (text && n) {
                char *grown = (char *)realloc(text, textLength + n + 1);
                if (!grown) {
                    LogError("MEMORY_ALLOCATION_FAILURE\n");
                    result = READ_ABANDON;
                    free(text);
                    text = NULL;
                } else {
                    text = grown;
                    memcpy(text + textLength, value, n + 1);
                    textLength += n;
                }
            }
        }
        /* Comments and processing instructions are passed over. */
    }
    if (text && !addText(tag, text) && result == READ_OK) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        result = READ_ABANDON;
    } else if (!text && result == READ_OK)
        result = READ_ABANDON;
    return result;
}

/* The text-holding elements and the message when one of them holds an
 * element where its end tag should be. */
static const struct {
    const char *name;
    const char *message;
} s_textElements[] = {
    {"primary-key-column", "\nMissing primary-key-column end tag\n"},
    {"fk-local-column", "\n Missing endof FK-LOCAL-COLUMN tag\n"},
    {"fk-reference-column", "\nMissing endof FK-REFERENCE-COLUMN\n"},
    {"fk-constraints", "\nMissing endof FK-CONSTRAINTS tag\n"},
    {"value", "\n No ending Value tag\n"},
    {"from", "\nNo Ending FROM tag \n"},
    {"to", "\nNo ending TO tag \n"},
};

/* FALSE (logged) when a text-holding element holds elements. */
static BOOL textElementClosed(const XmlTagInfo *tag)
{
    if (!tag->hasElements)
        return TRUE;
    for (size_t i = 0; i < sizeof s_textElements / sizeof s_textElements[0]; i++) {
        if (strcmp(tag->name, s_textElements[i].name) == 0) {
            LogError("%s", s_textElements[i].message);
            return FALSE;
        }
    }
    return TRUE;
}

/* A whole decimal number, optionally signed and surrounded by blanks; -1
 * for anything else or a value beyond 32 bits. */
static INT32 parseMaxSize(const char *text)
{
    while (isspace((unsigned char)*text))
        text++;
    char *end = NULL;
    errno = 0;
    long long v = strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || v > 0x7FFFFFFFLL || v < -0x7FFFFFFFLL - 1)
        return -1;
    while (isspace((unsigned char)*end))
        end++;
    return *end ? -1 : (INT32)v;
}

/* Builds one column from its node; NULL when the table must be abandoned
 * (logged). */
static ColumnDefn *buildColumn(const XmlTagInfo *column)
{
    const char *name = attribute(column, "name");
    if (!name) {
        LogError("Column name missing - Error while creating column definition.\n");
        return NULL;
    }
    /* Per-column state, fresh for every column. */
    const char *typeText = NULL, *description = NULL, *defaultText = NULL, *generator = NULL;
    BYTE nullable = 1, unique = 0;
    INT32 maxSize = 0;
    AllowedValues allowed = {NULL, 0};
    char *range[3] = {NULL, NULL, NULL};
    BOOL hasAllowed = FALSE;
    for (const XmlTagInfo *p = column->child; p; p = p->next) {
        if (!textElementClosed(p))
            return NULL;
        const char *t = firstText(p);
        if (strcmp(p->name, "data-type") == 0)
            typeText = t;
        else if (strcmp(p->name, "nullable") == 0)
            nullable = strcasecmp(t, "true") == 0 ? 1 : 0;
        else if (strcmp(p->name, "max-size") == 0)
            maxSize = parseMaxSize(t);
        else if (strcmp(p->name, "description") == 0) {
            if (description) {
                LogError("\nDescription tag ambiguity \n");
                return NULL;
            }
            description = t;
        } else if (strcmp(p->name, "default-value") == 0)
            defaultText = t;
        else if (strcmp(p->name, "generator-name") == 0)
            generator = t;
        else if (strcmp(p->name, "unique") == 0)
            unique = strcmp(t, "true") == 0 ? 1 : 0;
        else if (strcmp(p->name, "value") == 0) {
            allowed.values = p->textValues;
            allowed.rangeFlag = 0;
            hasAllowed = TRUE;
        } else if (strcmp(p->name, "from") == 0) {
            if (!p->next || strcmp(p->next->name, "to") != 0) {
                LogError("In the allowed values attribute, 'to' tag is missing.\n");
                return NULL;
            }
            if (!textElementClosed(p->next))
                return NULL;
            range[0] = (char *)t;
            range[1] = (char *)firstText(p->next);
            allowed.values = range;
            allowed.rangeFlag = 1;
            hasAllowed = TRUE;
            p = p->next;
        }
    }
    /* The list form ends with a NULL entry: the gathered texts gain one. */
    char **listCopy = NULL;
    if (hasAllowed && !allowed.rangeFlag) {
        INT32 n = 0;
        for (const XmlTagInfo *p = column->child; p; p = p->next)
            if (strcmp(p->name, "value") == 0 && p->textValues == allowed.values)
                n = p->textCount;
        listCopy = (char **)calloc((size_t)n + 1, sizeof(char *));
        if (!listCopy) {
            LogError("Cannot copy allowed values.\n");
            return NULL;
        }
        for (INT32 i = 0; i < n; i++)
            listCopy[i] = allowed.values[i];
        allowed.values = listCopy;
    }
    BYTE type = GetSqlTypeCode(typeText);
    ColumnDefn *c = CreateColumnDefn(name, type, defaultText,
                                     defaultText ? (INT32)strlen(defaultText) : 0, unique,
                                     generator, description, maxSize, nullable,
                                     hasAllowed ? &allowed : NULL);
    free(listCopy);
    return c;
}

/* Appends to `constraints` one foreign key per column pair of a
 * foreign-key node. FALSE when the table must be abandoned (logged). */
static BOOL buildForeignKey(const XmlTagInfo *fkTag, ConstraintDefn *constraints,
                            ForeignKeyDefn ***tail)
{
    const XmlTagInfo *columns = NULL;
    BYTE cascade = 0;
    for (const XmlTagInfo *p = fkTag->child; p; p = p->next) {
        if (strcmp(p->name, "fk-columns") == 0 && !columns)
            columns = p;
        else if (strcmp(p->name, "fk-constraints") == 0) {
            if (!textElementClosed(p))
                return FALSE;
            cascade = strcmp(firstText(p), "ON-DELETE-CASCADE") == 0 ? 1 : 0;
        }
    }
    if (!columns) {
        LogDebug("fk-columns tag not found \n");
        return TRUE;
    }
    const char *refTable = attribute(fkTag, "reference-table-name");
    const char *bidirectional = attribute(fkTag, "isbidirectional");
    const char *fkName = attribute(fkTag, "name");
    for (const XmlTagInfo *pair = columns->child; pair; pair = pair->next) {
        if (strcmp(pair->name, "fk-column") != 0)
            continue;
        const char *local = NULL, *reference = NULL;
        for (const XmlTagInfo *p = pair->child; p; p = p->next) {
            if (!textElementClosed(p))
                return FALSE;
            if (strcmp(p->name, "fk-local-column") == 0)
                local = firstText(p);
            else if (strcmp(p->name, "fk-reference-column") == 0)
                reference = firstText(p);
        }
        if (!local || !reference) {
            LogError("\nMissing end FK-COLUMNS\n");
            return FALSE;
        }
        ForeignKeyDefn *fk = (ForeignKeyDefn *)calloc(1, sizeof *fk);
        if (fk) {
            fk->localColumn = CopyText(local);
            fk->referenceColumn = CopyText(reference);
            fk->referenceTable = CopyText(refTable ? refTable : "");
            fk->name = fkName ? CopyText(fkName) : NULL;
        }
        if (!fk || !fk->localColumn || !fk->referenceColumn || !fk->referenceTable
            || (fkName && !fk->name)) {
            if (fk) {
                free(fk->name);
                free(fk->localColumn);
                free(fk->referenceColumn);
                free(fk->referenceTable);
                free(fk);
            }
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return FALSE;
        }
        fk->onDeleteCascade = cascade;
        fk->reserved = 0;
        fk->bidirectional = bidirectional && strcmp(bidirectional, "true") == 0 ? 1 : 0;
        **tail = fk;
        *tail = &fk->next;
        (void)constraints;
    }
    return TRUE;
}

/* Builds the definition of one table node and adds it to the registry.
 * FALSE when the table was abandoned (logged). */
static BOOL buildAndAddTable(const XmlTagInfo *table)
{
    const char *name = attribute(table, "name");
    if (!name) {
        LogError("\nTABLE tag missing\n");
        return FALSE;
    }
    const char *description = NULL;
    ColumnDefn **columns = NULL;
    INT32 columnCount = 0;
    ConstraintDefn *constraints = (ConstraintDefn *)calloc(1, sizeof *constraints);
    if (!constraints) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return FALSE;
    }
    ForeignKeyDefn **fkTail = &constraints->foreignKeys;
    BOOL ok = TRUE;
    INT32 position = 0;
    for (const XmlTagInfo *p = table->child; ok && p; p = p->next, position++) {
        if (strcmp(p->name, "description") == 0) {
            if (position != 0 || description) {
                LogError("\nDescription tag ambiguity \n");
                ok = FALSE;
            } else
                description = firstText(p);
        } else if (strcmp(p->name, "columns") == 0) {
            for (const XmlTagInfo *c = p->child; ok && c; c = c->next) {
                if (strcmp(c->name, "column") != 0)
                    continue;
                ColumnDefn *column = buildColumn(c);
                ColumnDefn **grown = column ? (ColumnDefn **)realloc(columns, sizeof *grown * (size_t)(columnCount + 1)) : NULL;
                if (!grown) {
                    if (column)
                        LogError("MEMORY_ALLOCATION_FAILURE\n");
                    FreeColumnDefn(column);
                    ok = FALSE;
                    break;
                }
                columns = grown;
                columns[columnCount++] = column;
            }
        } else if (strcmp(p->name, "primary-key") == 0) {
            for (const XmlTagInfo *k = p->child; ok && k; k = k->next) {
                if (strcmp(k->name, "primary-key-column") != 0)
                    continue;
                if (!textElementClosed(k)) {
                    ok = FALSE;
                    break;
                }
                char *copy = CopyText(firstText(k));
                char **grown = copy ? (char **)realloc(constraints->primaryKeyColumns,
                                                       sizeof *grown * (size_t)(constraints->primaryKeyCount + 1))
                                    : NULL;
                if (!grown) {
                    free(copy);
                    LogError("MEMORY_ALLOCATION_FAILURE\n");
                    ok = FALSE;
                    break;
                }
                constraints->primaryKeyColumns = grown;
                constraints->primaryKeyColumns[constraints->primaryKeyCount++] = copy;
            }
        } else if (strcmp(p->name, "foreign-keys") == 0) {
            for (const XmlTagInfo *f = p->child; ok && f; f = f->next)
                if (strcmp(f->name, "foreign-key") == 0)
                    ok = buildForeignKey(f, constraints, &fkTail);
        }
    }
    /* CreateTableDefn takes over the columns and constraints either way. */
    if (!ok) {
        TableDefn *dropped = CreateTableDefn(name, NULL, columns, columnCount, constraints);
        FreeUnregisteredTableDefn(dropped);
        return FALSE;
    }
    TableDefn *defn = CreateTableDefn(name, description, columns, columnCount, constraints);
    if (!defn)
        return FALSE;
    if (!AddTableDefn(defn)) {
        FreeUnregisteredTableDefn(defn);
        return FALSE;
    }
    return TRUE;
}

/* libxml2's own reports of a malformed file go to the log at DEBUG level;
 * the loader reports the failure itself. */
static void readerErrorToLog(void *arg, xmlErrorPtr error)
{
    (void)arg;
    if (error && error->message)
        LogDebug("XmlDataParser : %s", error->message);
}

/* Reads one dictionary file into the registry. */
static void XmlDataParser(const char *path)
{
    LogTrace("\n Inside XmlDataParser\n");
    xmlTextReaderPtr reader = xmlNewTextReaderFilename(path);
    if (!reader) {
        LogError("Unable to open %s\n", path);
        return;
    }
    xmlTextReaderSetStructuredErrorHandler(reader, readerErrorToLog, NULL);
    int rc;
    /* The root element first: its name is not examined. */
    while ((rc = xmlTextReaderRead(reader)) == 1 && xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT)
        ;
    if (rc == 1 && xmlTextReaderIsEmptyElement(reader)) {
        /* An empty dictionary: only what follows the root is left. */
        while ((rc = xmlTextReaderRead(reader)) == 1)
            ;
    } else if (rc == 1) {
        while ((rc = xmlTextReaderRead(reader)) == 1) {
            if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT || xmlTextReaderDepth(reader) != 1)
                continue;
            const xmlChar *name = xmlTextReaderConstName(reader);
            bool isTable = name && strcmp((const char *)name, "table") == 0;
            XmlTagInfo *tag = NULL;
            ReadResult r = readElement(reader, 0, &tag);
            if (r == READ_OK && isTable) {
                const char *tableName = attribute(tag, "name");
                LogTrace("@@@@Parsing Table Info : %s @@@@\n", tableName ? tableName : "");
                if (buildAndAddTable(tag))
                    LogTrace("\t@@@@ Loaded Table definition Successfully @@@@\n");
            }
            /* A description under the root, and any other element, is read
             * and dropped. */
            freeTags(tag);
            if (r == READ_FATAL) {
                rc = -1;
                break;
            }
        }
    }
    if (rc != 0)
        LogError("%s : failed to parse\n", path);
    xmlFreeTextReader(reader);
}

BOOL LoadDataDictFromXMLFile(const char *path)
{
    LogTrace("\nInside LoadDataDictFromXMLFile() \n\n");
    if (!path)
        return FALSE;
    XmlDataParser(path);
    return TRUE;
}

/* Reads the next white-space-separated name of the list file into `name`
 * (DICT_LIST_NAME_MAX bytes). FALSE at the end of the file. A name too long
 * for the buffer is skipped whole and reported. */
static BOOL nextListName(FILE *list, char *name)
{
    for (;;) {
        int ch;
        while ((ch = fgetc(list)) != EOF && isspace(ch))
            ;
        if (ch == EOF)
            return FALSE;
        size_t n = 0;
        BOOL tooLong = FALSE;
        while (ch != EOF && !isspace(ch)) {
            if (n + 1 < DICT_LIST_NAME_MAX)
                name[n++] = (char)ch;
            else
                tooLong = TRUE;
            ch = fgetc(list);
        }
        name[n] = 0;
        if (!tooLong)
            return TRUE;
        LogError("LoadAllDataDictFiles : file name %.40s... is longer than %d bytes; passed over\n",
                 name, DICT_LIST_NAME_MAX - 1);
    }
}

/* Loads every file of an open list, each path built as prefix + separator +
 * name. */
static void loadListed(FILE *list, const char *prefix, const char *separator)
{
    char name[DICT_LIST_NAME_MAX];
    while (nextListName(list, name)) {
        size_t n = strlen(prefix) + strlen(separator) + strlen(name) + 1;
        char *path = (char *)malloc(n);
        if (!path) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            return;
        }
        snprintf(path, n, "%s%s%s", prefix, separator, name);
        LogDebug("Opening %s\n", path);
        LoadDataDictFromXMLFile(path);
        free(path);
    }
}

BOOL LoadAllDataDictFiles(void)
{
    LogTrace("\t@@@@@ Inside LoadAllDataDictFiles() @@@@@\n");
    FILE *list = fopen(DICT_RELATIVE_DATA_DIR "\\" DICT_LIST_FILE_NAME, "r");
    if (list) {
        loadListed(list, DICT_RELATIVE_DATA_DIR, "\\");
        fclose(list);
        return TRUE;
    }
    if (!gv_cParloRoot) {
        LogError("Cannot open DataDictionary File.\n");
        return FALSE;
    }
    size_t n = strlen(gv_cParloRoot) + sizeof "/data/" + sizeof DICT_LIST_FILE_NAME;
    char *path = (char *)malloc(n);
    char *dataDir = (char *)malloc(n);
    if (!path || !dataDir) {
        free(path);
        free(dataDir);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return FALSE;
    }
    snprintf(path, n, "%s/data/%s", gv_cParloRoot, DICT_LIST_FILE_NAME);
    snprintf(dataDir, n, "%s/data", gv_cParloRoot);
    LogDebug("Opening %s\n", path);
    list = fopen(path, "r");
    free(path);
    if (!list) {
        free(dataDir);
        LogError("Cannot open DataDictionary File.\n");
        return FALSE;
    }
    loadListed(list, dataDir, "/");
    fclose(list);
    free(dataDir);
    return TRUE;
}

BOOL LoadDataDictFiles(const char *directory)
{
    LogTrace("\t@@@@@ Inside LoadDataDictFiles() @@@@@\n");
    if (!directory)
        return FALSE;
    size_t n = strlen(directory) + 1 + sizeof DICT_LIST_FILE_NAME;
    char *path = (char *)malloc(n);
    if (!path) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return FALSE;
    }
    snprintf(path, n, "%s\\%s", directory, DICT_LIST_FILE_NAME);
    LogDebug("Opening %s\n", path);
    FILE *list = fopen(path, "r");
    free(path);
    if (!list) {
        LogError("Cannot open DataDictionary File.\n");
        return FALSE;
    }
    loadListed(list, directory, "\\");
    fclose(list);
    return TRUE;
}
