/* Default data: the table-data documents named in defaultdata.txt are
 * loaded into the table store and every table they fill is saved, so that a
 * fresh database starts with its default rows. */
#include "records/persist/persist.h"
#include "records/base/reclimits.h"
#include "records/base/strutil.h"
#include "records/xml/xmlload.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Saves each of `count` table names; FALSE when a save failed. */
static BOOL saveBatch(char **names, int count)
{
    BOOL all = TRUE;
    for (int i = 0; i < count; i++)
        if (SaveTable(names[i]) != 1)
            all = FALSE;
    return all;
}

BOOL SaveDataInXML(const char *path)
{
    LogTrace("@@@@@ Inside SaveDataInXML @@@@@\n");
    if (!path)
        return FALSE;
    if (!ConstructTableDataFromXMLFile(path)) {
        LogError("Cannot create DO from %s.\n", path);
        return FALSE;
    }
    xmlDocPtr doc = xmlParseFile(path);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : NULL;
    if (!root) {
        LogError("Error: could not parse file : %s\n", path);
        if (doc)
            xmlFreeDoc(doc);
        return FALSE;
    }
    /* Distinct names in document order; a name is saved once, in the batch
     * where it first appears. */
    char *batch[PERSIST_SAVE_BATCH];
    int inBatch = 0;
    char **seen = NULL;
    int seenCount = 0;
    BOOL all = TRUE;
    for (xmlNodePtr n = root->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        const char *name = (const char *)n->name;
        BOOL known = FALSE;
        for (int i = 0; i < seenCount && !known; i++)
            known = CompareStringIgnoreCase(seen[i], name) == 0;
        if (known)
            continue;
        char **grown = (char **)realloc(seen, sizeof *seen * (size_t)(seenCount + 1));
        if (!grown) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            all = FALSE;
            break;
        }
        seen = grown;
        seen[seenCount++] = (char *)name;
        batch[inBatch++] = (char *)name;
        if (inBatch == PERSIST_SAVE_BATCH) {
            all = saveBatch(batch, inBatch) && all;
            inBatch = 0;
        }
    }
    if (inBatch > 0)
        all = saveBatch(batch, inBatch) && all;
    free(seen);
    xmlFreeDoc(doc);
    return all;
}

/* Stores every document named in the open list `f`, each found in the
 * folder of the list; 1 when all were stored. */
static int saveListedDocuments(FILE *f, BOOL local)
{
    int result = 1;
    char name[PERSIST_MAX_FILE_NAME];
    char format[16];
    snprintf(format, sizeof format, "%%%ds", PERSIST_MAX_FILE_NAME - 1);
    while (fscanf(f, format, name) == 1) {
        char *path = local ? FormatNewText("%s%s", PERSIST_LOCAL_DATA_DIR, name)
                           : FormatNewText("%s/data/%s", gv_cParloRoot, name);
        if (!path || !SaveDataInXML(path)) {
            LogError("SaveDefaultData : the default data of %s was not stored.\n", name);
            result = 0;
        }
        free(path);
    }
    return result;
}

int SaveDefaultData(void)
{
    LogTrace("\t@@@@@ Inside SaveDefaultData @@@@@\n");
    BOOL local = TRUE;
    FILE *f = fopen(PERSIST_DEFAULTDATA_PATH, "r");
    if (!f && gv_cParloRoot) {
        local = FALSE;
        char *path = FormatNewText("%s/data/%s", gv_cParloRoot, PERSIST_DEFAULTDATA_NAME);
        if (path) {
            LogDebug("Opening %s\n", path);
            f = fopen(path, "r");
        }
        free(path);
    }
    if (!f) {
        LogError("No default data to be prepopulated.\n");
        return 1;
    }
    int result = saveListedDocuments(f, local);
    fclose(f);
    return result;
}
