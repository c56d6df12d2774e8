/* Reference texts of a table-data load. Every occurrence of one reference
 * text within a load yields the same identifier; a new text asks the
 * sequence generator for one, first for the column it names, then along the
 * foreign keys of that column to the column it refers to, and when no
 * generator answers, the key part read as a number stands in. A failed
 * generation is never taken for an identifier. */
#include "records/xml/xmlautoid.h"
#include "records/store/storecolumns.h"
#include "records/store/tablestore.h"
#include "records/base/strutil.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>

/* Foreign-key steps the resolution follows at most: a cycle of foreign keys
 * whose generators all fail must end. */
#define AUTOID_MAX_FK_STEPS 64

BOOL PutAutoID(HashMap *map, const char *key, DWORD id)
{
    HashEntry *e = FindHashEntry(map, key);
    if (e && e->value) {
        *(DWORD *)e->value = id;
        return TRUE;
    }
    DWORD *copy = (DWORD *)malloc(sizeof *copy);
    if (!copy)
        return FALSE;
    *copy = id;
    if (!InsertIntoHashMap(map, key, copy)) {
        free(copy);
        return FALSE;
    }
    return TRUE;
}

BOOL GetAutoID(const HashMap *map, const char *key, DWORD *id)
{
    const DWORD *v = (const DWORD *)GetFromHashMap(map, key);
    if (!v)
        return FALSE;
    *id = *v;
    return TRUE;
}

/* The column of that name (A-Z folded) of a table's definition, or NULL. */
static ColumnDefn *columnOf(const char *tableName, const char *columnName)
{
    TableDefn *defn = tableName ? GetTableDefn(tableName) : NULL;
    INT32 i = defn ? StoreColumnIndex(defn, NULL, columnName) : -1;
    return i >= 0 ? defn->columns[i] : NULL;
}

/* The foreign key of table.column, without the lookup's messages for a
 * table that has none. */
static const ForeignKeyDefn *foreignKeyOf(const char *tableName, const char *columnName)
{
    TableDefn *defn = GetTableDefn(tableName);
    if (!defn || !defn->constraints || !defn->constraints->foreignKeys)
        return NULL;
    return GetForeignKeyByLocalColumn(defn, columnName);
}

static DWORD generate(const char *tableName, const char *columnName)
{
    return GenerateStoreIdentifier(tableName, columnOf(tableName, columnName));
}

static BOOL putKey(HashMap *map, const char *table, const char *column, const char *key, DWORD id)
{
    char *text = FormatNewText("%s:%s:%s", table, column, key);
    BOOL ok = text && PutAutoID(map, text, id);
    free(text);
    return ok;
}

BOOL ResolveAutoID(HashMap *map, const char *tableName, const ColumnDefn *column,
                   const char *text, DWORD *id)
{
    int count = 0;
    char **f = SplitString(text, ':', &count);
    if (!f)
        return FALSE;
    const char *f2 = count > 2 ? f[2] : NULL;
    BOOL ok = TRUE;
    if (GetAutoID(map, text, id)) {
        ok = !f2 || putKey(map, tableName, column->name, f2, *id);
        FreeStringArray(f);
        return ok;
    }
    DWORD got = STORE_NO_IDENTIFIER;
    if (column->generatorName)
        got = GenerateStoreIdentifier(tableName, (ColumnDefn *)column);
    if (got == STORE_NO_IDENTIFIER) {
        if (count < 2 || !f[0][0] || !f[1][0]) {
            LogError("Unable to get Column details for AutoID generation \n");
            FreeStringArray(f);
            return FALSE;
        }
        got = generate(f[0], f[1]);
        int steps = 0;
        const char *t = f[0], *c = f[1];
        while (got == STORE_NO_IDENTIFIER && steps < AUTOID_MAX_FK_STEPS) {
            const ForeignKeyDefn *fk = foreignKeyOf(t, c);
            if (!fk)
                break;
            t = fk->referenceTable;
            c = fk->referenceColumn;
            steps++;
            got = generate(t, c);
        }
        if (got != STORE_NO_IDENTIFIER && steps > 0 && f2) {
            /* The same steps again: the referenced columns share the key's
             * identifier, and one already known for the key wins. */
            t = f[0];
            c = f[1];
            for (int i = 0; ok && i < steps; i++) {
                const ForeignKeyDefn *fk = foreignKeyOf(t, c);
                if (!fk)
                    break;
                t = fk->referenceTable;
                c = fk->referenceColumn;
                char *key = FormatNewText("%s:%s:%s", t, c, f2);
                if (!key) {
                    ok = FALSE;
                    break;
                }
                DWORD known;
                BOOL found = GetAutoID(map, key, &known);
                if (found)
                    got = known;
                else
                    ok = PutAutoID(map, key, got);
                free(key);
                if (found)
                    break;
            }
        }
        if (got == STORE_NO_IDENTIFIER && f2)
            got = (DWORD)ConvertToInteger(f2);
    }
    *id = got;
    if (ok && f2)
        ok = putKey(map, tableName, column->name, f2, got);
    if (ok)
        ok = PutAutoID(map, text, got);
    FreeStringArray(f);
    return ok;
}
