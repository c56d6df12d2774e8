/* The personality file and the personality list: elements read in document
 * order, checked against the data dictionary as a whole before anything is
 * kept, index tables created, personalities appended to
 * gv_personalityDefnVect; lookups and the DEBUG print. */
#include "records/object/personality.h"
#include "records/base/strutil.h"

#include "agent/log.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <stdlib.h>
#include <string.h>

PersonalityList *gv_personalityDefnVect;

BOOL InitPersonality(void)
{
    if (gv_personalityDefnVect)
        return TRUE;
    gv_personalityDefnVect = (PersonalityList *)calloc(1, sizeof *gv_personalityDefnVect);
    if (!gv_personalityDefnVect) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return FALSE;
    }
    return TRUE;
}

static void freePersonality(PersonalityDefn *p)
{
    if (!p)
        return;
    for (INT32 i = 0; i < p->constituentCount; i++) {
        free(p->constituents[i]->tableName);
        free(p->constituents[i]->fkName);
        free(p->constituents[i]);
    }
    free(p->constituents);
    free(p->name);
    free(p->dominantTable);
    free(p->description);
    free(p);
}

void FreePersonalities(void)
{
    if (!gv_personalityDefnVect)
        return;
    for (INT32 i = 0; i < gv_personalityDefnVect->count; i++)
        freePersonality(gv_personalityDefnVect->items[i]);
    free(gv_personalityDefnVect->items);
    free(gv_personalityDefnVect);
    gv_personalityDefnVect = NULL;
}

const ForeignKeyDefn *FindLinkingForeignKey(const char *fkName, const char *a, const char *b,
                                            const char **owner)
{
    const char *pair[2][2] = {{a, b}, {b, a}};
    for (int k = 0; k < 2 && fkName; k++) {
        TableDefn *d = GetTableDefn(pair[k][0]);
        for (const ForeignKeyDefn *fk = d && d->constraints ? d->constraints->foreignKeys : NULL; fk;
             fk = fk->next) {
            if (fk->name && CompareStringIgnoreCase(fk->name, fkName) == 0
                && CompareStringIgnoreCase(fk->referenceTable, pair[k][1]) == 0) {
                if (owner)
                    *owner = d->name;
                return fk;
            }
        }
    }
    return NULL;
}

/* An attribute of an element as a new text (xmlFree it), or NULL. */
static char *attr(xmlNodePtr n, const char *name)
{
    return (char *)xmlGetProp(n, (const xmlChar *)name);
}

/* A new copy of an attribute (malloc'd), or NULL when it is missing. */
static char *copyAttr(xmlNodePtr n, const char *name)
{
    char *v = attr(n, name);
    char *copy = NULL;
    if (v)
        CopyString(&copy, v);
    xmlFree(v);
    return copy;
}

/* Collects every element below `n`, in document order. */
static BOOL traverseNodes(xmlNodePtr n, xmlNodePtr **list, INT32 *count)
{
    for (xmlNodePtr c = n->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        xmlNodePtr *grown = (xmlNodePtr *)realloc(*list, sizeof **list * (size_t)(*count + 1));
        if (!grown)
            return FALSE;
        *list = grown;
        (*list)[(*count)++] = c;
        if (!traverseNodes(c, list, count))
            return FALSE;
    }
    return TRUE;
}

static BOOL appendConstituent(PersonalityDefn *p, ConstituentTable *c)
{
    ConstituentTable **grown =
        (ConstituentTable **)realloc(p->constituents, sizeof *grown * (size_t)(p->constituentCount + 1));
    if (!grown)
        return FALSE;
    p->constituents = grown;
    p->constituents[p->constituentCount++] = c;
    return TRUE;
}

/* Builds a personality from a PersonalityConfiguration element. 0 with an
 * ERROR line when it is incomplete or its table is unknown, 99 when out of
 * memory. */
static int createPersonality(xmlNodePtr n, PersonalityDefn **out)
{
    PersonalityDefn *p = (PersonalityDefn *)calloc(1, sizeof *p);
    if (!p)
        return 99;
    p->name = copyAttr(n, "personalityname");
    p->dominantTable = copyAttr(n, "dominanttableid");
    p->description = copyAttr(n, "description");
    int result = 1;
    if (!p->name || !p->dominantTable) {
        LogError("CreatePersonalityFromXMLFile : a PersonalityConfiguration lacks personalityname or "
                 "dominanttableid.\n");
        result = 0;
    } else if (!GetTableDefn(p->dominantTable)) {
        LogError("CreatePersonalityFromXMLFile : personality %s names the unknown dominant table %s.\n",
                 p->name, p->dominantTable);
        result = 0;
    } else if (GetPersonalityDefnQuiet(p->name)) {
        LogError("CreatePersonalityFromXMLFile : personality %s is defined twice.\n", p->name);
        result = 0;
    }
    if (result != 1) {
        freePersonality(p);
        return result;
    }
    *out = p;
    return 1;
}

/* Adds a ConstituentTable element to `p` after checking its table and its
 * foreign key against the tables already in `p`. */
static int addConstituent(xmlNodePtr n, PersonalityDefn *p)
{
    ConstituentTable *c = (ConstituentTable *)calloc(1, sizeof *c);
    if (!c)
        return 99;
    char *index = attr(n, "tableindex");
    char *mandatory = attr(n, "mandatory");
    c->tableIndex = index ? ConvertToInteger(index) : 0;
    c->mandatory = mandatory && CompareStringIgnoreCase(mandatory, "false") == 0 ? 0 : 1;
    xmlFree(index);
    xmlFree(mandatory);
    c->tableName = copyAttr(n, "tableid");
    c->fkName = copyAttr(n, "fkconstraint_id");
    int result = 1;
    if (!c->tableName) {
        LogError("CreatePersonalityFromXMLFile : a ConstituentTable of %s has no tableid.\n", p->name);
        result = 0;
    } else if (CompareStringIgnoreCase(c->tableName, p->dominantTable) == 0) {
        result = 2;     /* the dominant table is not a constituent */
    } else if (!GetTableDefn(c->tableName)) {
        LogError("CreatePersonalityFromXMLFile : personality %s names the unknown table %s.\n", p->name,
                 c->tableName);
        result = 0;
    } else {
        BOOL linked = c->fkName && FindLinkingForeignKey(c->fkName, c->tableName, p->dominantTable, NULL);
        for (INT32 i = 0; c->fkName && !linked && i < p->constituentCount; i++)
            linked = FindLinkingForeignKey(c->fkName, c->tableName, p->constituents[i]->tableName, NULL) != NULL;
        if (!linked) {
            LogError("CreatePersonalityFromXMLFile : foreign key %s of personality %s does not link %s to "
                     "a table of the personality.\n",
                     c->fkName ? c->fkName : "(none)", p->name, c->tableName);
            result = 0;
        }
    }
    if (result == 1 && !appendConstituent(p, c))
        result = 99;
    if (result != 1) {
        free(c->tableName);
        free(c->fkName);
        free(c);
    }
    return result == 2 ? 1 : result;
}

/* The index tables of the DominantTableConfig elements with
 * isindexed="true"; FALSE when one cannot be created. */
static BOOL createIndexTables(xmlNodePtr *nodes, INT32 count)
{
    BOOL all = TRUE;
    for (INT32 i = 0; i < count; i++) {
        if (strcmp((const char *)nodes[i]->name, "DominantTableConfig") != 0)
            continue;
        char *indexed = attr(nodes[i], "isindexed");
        char *table = attr(nodes[i], "DOMINANTTABLEID");
        if (indexed && strcmp(indexed, "true") == 0 && !CreateIndexTable(table))
            all = FALSE;
        xmlFree(indexed);
        xmlFree(table);
    }
    return all;
}

int CreatePersonalityFromXMLFile(const char *path)
{
    if (!InitPersonality())
        return 99;
    xmlDocPtr doc = path ? xmlParseFile(path) : NULL;
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : NULL;
    if (!root) {
        LogError("Could not parse file %s\n", path ? path : "(null)");
        if (doc)
            xmlFreeDoc(doc);
        return 0;
    }
    xmlNodePtr *nodes = NULL;
    INT32 count = 0;
    int result = traverseNodes(root, &nodes, &count) ? 1 : 99;

    /* Every personality of the file is built and checked before any is
     * kept, so that a faulty file leaves the list as it was. */
    PersonalityDefn **made = NULL;
    INT32 madeCount = 0;
    PersonalityDefn *current = NULL;
    for (INT32 i = 0; result == 1 && i < count; i++) {
        const char *name = (const char *)nodes[i]->name;
        if (strcmp(name, "PersonalityConfiguration") == 0) {
            PersonalityDefn *p = NULL;
            result = createPersonality(nodes[i], &p);
            if (result == 1) {
                for (INT32 k = 0; k < madeCount; k++)
                    if (CompareStringIgnoreCase(made[k]->name, p->name) == 0) {
                        LogError("CreatePersonalityFromXMLFile : personality %s is defined twice.\n", p->name);
                        result = 0;
                    }
                PersonalityDefn **grown =
                    result == 1 ? (PersonalityDefn **)realloc(made, sizeof *made * (size_t)(madeCount + 1)) : NULL;
                if (result == 1 && !grown)
                    result = 99;
                if (result != 1) {
                    freePersonality(p);
                    break;
                }
                made = grown;
                made[madeCount++] = current = p;
            }
        } else if (strcmp(name, "ConstituentTable") == 0) {
            if (!current) {
                LogError("CreatePersonalityFromXMLFile : a ConstituentTable precedes every "
                         "PersonalityConfiguration.\n");
                result = 0;
            } else {
                result = addConstituent(nodes[i], current);
            }
        } else if (strcmp(name, "DominantTableConfig") == 0) {
            current = NULL;
            char *table = attr(nodes[i], "DOMINANTTABLEID");
            if (!table || !GetTableDefn(table)) {
                LogError("CreatePersonalityFromXMLFile : DominantTableConfig names the unknown table %s.\n",
                         table ? table : "(none)");
                result = 0;
            }
            xmlFree(table);
        }
    }
    if (result == 1 && !createIndexTables(nodes, count))
        result = 0;
    if (result == 1) {
        PersonalityList *l = gv_personalityDefnVect;
        PersonalityDefn **grown =
            (PersonalityDefn **)realloc(l->items, sizeof *grown * (size_t)(l->count + madeCount + 1));
        if (!grown) {
            result = 99;
        } else {
            l->items = grown;
            for (INT32 i = 0; i < madeCount; i++)
                l->items[l->count++] = made[i];
            madeCount = 0;
        }
    }
    if (result == 99)
        LogError("MEMORY_ALLOCATION_FAILURE\n");
    for (INT32 i = 0; i < madeCount; i++)
        freePersonality(made[i]);
    free(made);
    free(nodes);
    xmlFreeDoc(doc);
    return result;
}

PersonalityDefn *GetPersonalityDefnQuiet(const char *name)
{
    for (INT32 i = 0; name && gv_personalityDefnVect && i < gv_personalityDefnVect->count; i++)
        if (CompareStringIgnoreCase(gv_personalityDefnVect->items[i]->name, name) == 0)
            return gv_personalityDefnVect->items[i];
    return NULL;
}

PersonalityDefn *GetPersonalityDefn(const char *name)
{
    if (!name) {
        LogError("Cannot get personality.  Personality name is NULL\n");
        return NULL;
    }
    PersonalityDefn *p = GetPersonalityDefnQuiet(name);
    if (!p)
        LogError("Personality %s not found in gv_personalityDefnVect\n", name);
    return p;
}

void PrintPersonalityDefn(const char *name)
{
    PersonalityDefn *p = GetPersonalityDefn(name);
    if (!p)
        return;
    LogDebug("Personality Name : %s\n", p->name);
    LogDebug("Dominant Table   : %s\n", p->dominantTable);
    LogDebug("Description      : %s\n", p->description ? p->description : "");
    for (INT32 i = 0; i < p->constituentCount; i++)
        LogDebug("Constituent %d : %s (foreign key %s, %s)\n", (int)p->constituents[i]->tableIndex,
                 p->constituents[i]->tableName, p->constituents[i]->fkName,
                 p->constituents[i]->mandatory ? "mandatory" : "optional");
}

ConstituentTable **GetConstituentTables(const char *name, INT32 *count)
{
    PersonalityDefn *p = GetPersonalityDefn(name);
    *count = p ? p->constituentCount : 0;
    return p ? p->constituents : NULL;
}

const char **GetDominantTables(INT32 *count)
{
    *count = 0;
    INT32 n = gv_personalityDefnVect ? gv_personalityDefnVect->count : 0;
    const char **names = (const char **)calloc((size_t)n + 1, sizeof *names);
    if (!names)
        return NULL;
    for (INT32 i = 0; i < n; i++) {
        const char *t = gv_personalityDefnVect->items[i]->dominantTable;
        BOOL seen = FALSE;
        for (INT32 k = 0; k < *count && !seen; k++)
            seen = CompareStringIgnoreCase(names[k], t) == 0;
        if (!seen)
            names[(*count)++] = t;
    }
    return names;
}
