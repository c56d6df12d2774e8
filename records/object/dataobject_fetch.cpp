/* Filling data objects from the databases: the rows of a result set, of a
 * select-query model or of a table by an SQL condition, and the rows of one
 * or several personalities (the dominant table's rows, then each
 * constituent table's rows linked through its named foreign key to rows
 * already in the data object). */
#include "records/object/dataobject.h"
#include "records/db/connpool.h"
#include "records/db/dialects.h"
#include "records/persist/persistconn.h"
#include "records/object/personality.h"
#include "records/sql/sqltext.h"
#include "records/base/strutil.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>

RowUnit *CreateRowUnitFromResultSet(const ResultSet *set, const ResultRow *row, const char *tableName)
{
    const QueryGenerator *g = GetTableQueryGenerator(tableName);
    RowObject *r = g ? ConvertResultSetToRow(set, row, g->name, tableName) : NULL;
    if (!r)
        return NULL;
    RowUnit *u = CreateRowUnit(tableName, NULL, NULL);
    if (u) {
        free(u->values);
        free(u->sizes);
        u->values = r->values;
        u->sizes = r->sizes;
        u->state = ROW_FLAG_STORED;
        free(r);
    } else {
        FreeRowObject(r, GetTableDefn(tableName) ? GetTableDefn(tableName)->columnCount : 0);
    }
    return u;
}

/* Adds the rows of a set as stored row units of the table; the number
 * added, or -1 when a row does not convert. */
static INT32 addRowsFromSet(DataObject *d, const ResultSet *set, const char *tableName)
{
    INT32 added = 0;
    for (const ResultRow *r = set->firstRow; r; r = r->next) {
        RowUnit *u = CreateRowUnitFromResultSet(set, r, tableName);
        if (!u)
            return -1;
        if (AddStoredRowUnit(d, u))
            added++;
        else
            FreeRowUnit(u);
    }
    return added;
}

RowCollection *CreateRowCollectionFromResultSet(DataObject *d, const ResultSet *set, const char *tableName)
{
    RowCollection *c = set ? CreateRowCollection(d, tableName) : NULL;
    return c && addRowsFromSet(d, set, tableName) >= 0 ? c : NULL;
}

DataObject *CreateDataObjectFromResultSet(const ResultSet *set, const char *tableName)
{
    DataObject *d = set ? CreateDataObject() : NULL;
    if (d && !CreateRowCollectionFromResultSet(d, set, tableName)) {
        FreeDataObject(d);
        return NULL;
    }
    return d;
}

INT32 AddRowUnitsFromQuery(DataObject *d, const char *tableName, const char *query)
{
    if (!d || !query || !CreateRowCollection(d, tableName))
        return -1;
    const char *connectionName = NULL;
    DBConnection *c = TakeTableConnection(tableName, &connectionName);
    if (!c)
        return -1;
    ResultSet *set = ExecuteQuery(c, query);
    ReleaseConnectionHandle(connectionName);
    if (!set) {
        LogError("Error in executing select query \n");
        LogError("QUERY : %s\n", query);
        return -1;
    }
    INT32 added = addRowsFromSet(d, set, tableName);
    FreeResultSet(set);
    return added;
}

DataObject *GetDataObject(SelectQuery *query)
{
    const char *table = !query ? NULL : query->joins ? query->joins->baseTable
                                      : query->tables ? query->tables->tableName : NULL;
    if (!table) {
        LogError("GetDataObject : the select query names no table.\n");
        return NULL;
    }
    char *text = GenerateSelectQuery(query);
    DataObject *d = text ? CreateDataObject() : NULL;
    if (d && AddRowUnitsFromQuery(d, table, text) < 0) {
        FreeDataObject(d);
        d = NULL;
    }
    free(text);
    return d;
}

/* "select * from T" with " where %s" when a condition is given. */
static char *selectText(const char *tableName, const char *whereClause)
{
    return whereClause && *whereClause ? FormatNewText("select * from %s where %s", tableName, whereClause)
                                       : FormatNewText("select * from %s", tableName);
}

DataObject *GetDataObjectByCriteria(const char *tableName, const char *whereClause)
{
    DataObject *d = CreateDataObject();
    char *query = tableName ? selectText(tableName, whereClause) : NULL;
    if (!d || !query || AddRowUnitsFromQuery(d, tableName, query) < 0) {
        free(query);
        FreeDataObject(d);
        return NULL;
    }
    free(query);
    return d;
}

/* Appends "col = value" for a value of `col`'s type to a condition, the
 * value written as the dialect writes it in every statement (one BOOLEAN
 * form, exact reals, checked numbers); FALSE for a NULL value (a NULL key
 * links to nothing) or a value that cannot be written. */
static BOOL appendEquals(SqlText *t, const SqlDialect *dialect, const char *column, const ColumnDefn *col,
                         const BYTE *value, INT32 size)
{
    if (!value)
        return FALSE;
    if (t->length > 0)
        SqlTextAppend(t, " AND ");
    SqlTextAppendF(t, "%s = ", column);
    return SqlGenAppendValue(dialect, t, col, value, size);
}

/* Adds the rows of `child` linked to each row unit of `parentTable`
 * through the foreign key named `fkName`. FALSE when a query fails. */
static BOOL addLinkedRows(DataObject *d, const char *child, const char *parentTable, const char *fkName)
{
    const char *owner = NULL;
    const ForeignKeyDefn *first = FindLinkingForeignKey(fkName, child, parentTable, &owner);
    if (!first)
        return TRUE;
    BOOL childHoldsKey = CompareStringIgnoreCase(owner, child) == 0;
    const SqlDialect *dialect = GetTableDialect(child);
    for (RowUnit *u = GetFirstRowUnit(d, parentTable); u; u = u->next) {
        SqlText where;
        SqlTextInit(&where);
        BOOL linked = TRUE;
        /* The pairs of a named foreign key follow each other. */
        for (const ForeignKeyDefn *fk = first; linked && fk && fk->name
                                                && CompareStringIgnoreCase(fk->name, fkName) == 0;
             fk = fk->next) {
            const char *parentColumn = childHoldsKey ? fk->referenceColumn : fk->localColumn;
            const char *childColumn = childHoldsKey ? fk->localColumn : fk->referenceColumn;
            INT32 size = 0;
            BYTE *value = GetColumnValueFromDO(u, parentColumn, &size);
            ColumnDefn *col = GetColumnDefnEntry(u->tableName, parentColumn);
            linked = col && appendEquals(&where, dialect, childColumn, col, value, size);
        }
        char *condition = SqlTextDetach(&where);
        char *query = linked && condition ? selectText(child, condition) : NULL;
        INT32 added = query ? AddRowUnitsFromQuery(d, child, query) : 0;
        free(query);
        free(condition);
        if (added < 0)
            return FALSE;
    }
    return TRUE;
}

BOOL DeepRetrieveDO(DataObject *d, const char *personality)
{
    PersonalityDefn *p = GetPersonalityDefn(personality);
    if (!p || !d || !CreateRowCollection(d, p->dominantTable))
        return FALSE;
    for (INT32 i = 0; i < p->constituentCount; i++)
        if (!CreateRowCollection(d, p->constituents[i]->tableName))
            return FALSE;
    for (INT32 i = 0; i < p->constituentCount; i++) {
        const ConstituentTable *c = p->constituents[i];
        /* Linked to the dominant table or to an earlier constituent. */
        const char *parent = p->dominantTable;
        for (INT32 k = -1; k < i; k++) {
            const char *candidate = k < 0 ? p->dominantTable : p->constituents[k]->tableName;
            if (FindLinkingForeignKey(c->fkName, c->tableName, candidate, NULL)) {
                parent = candidate;
                break;
            }
        }
        if (!addLinkedRows(d, c->tableName, parent, c->fkName))
            return FALSE;
    }
    return TRUE;
}

DataObject *GetDOFromPersonalityByCriteria(const char *personality, const char *whereClause)
{
    PersonalityDefn *p = GetPersonalityDefn(personality);
    DataObject *d = p ? GetDataObjectByCriteria(p->dominantTable, whereClause) : NULL;
    if (d && !DeepRetrieveDO(d, personality)) {
        FreeDataObject(d);
        return NULL;
    }
    return d;
}

DataObject *GetDOFromPersonality(const char *personality)
{
    return GetDOFromPersonalityByCriteria(personality, NULL);
}

DataObject *GetDOFromPersonalityByRowUnit(const char *personality, const RowUnit *u)
{
    PersonalityDefn *p = GetPersonalityDefn(personality);
    if (!p || !u)
        return NULL;
    /* The key is read from the unit's values in the dominant table's column
     * order: a unit of another table has other columns (or fewer). */
    if (CompareStringIgnoreCase(u->tableName, p->dominantTable) != 0) {
        LogError("GetDOFromPersonalityByRowUnit : the row unit belongs to %s, not to the dominant table %s.\n",
                 u->tableName, p->dominantTable);
        return NULL;
    }
    char *where = ConstructPKValueString(p->dominantTable, u->values, u->sizes);
    if (!where) {
        LogError("GetDOFromPersonalityByRowUnit : the row unit has no complete key of %s.\n", p->dominantTable);
        return NULL;
    }
    DataObject *d = GetDOFromPersonalityByCriteria(personality, where);
    free(where);
    return d;
}

/* One personality's data object, fetched one of the three ways. */
typedef DataObject *(*PersonalityFetchFn)(const char *personality, const void *arg);

static DataObject *fetchAll(const char *personality, const void *)
{
    return GetDOFromPersonality(personality);
}

static DataObject *fetchByCriteria(const char *personality, const void *arg)
{
    return GetDOFromPersonalityByCriteria(personality, (const char *)arg);
}

static DataObject *fetchByRowUnit(const char *personality, const void *arg)
{
    return GetDOFromPersonalityByRowUnit(personality, (const RowUnit *)arg);
}

/* The data objects of every personality, merged into the first one. */
static DataObject *mergePersonalities(const char *const *personalities, INT32 count, PersonalityFetchFn fetch,
                                      const void *arg)
{
    if (!personalities || count <= 0) {
        LogError("GetDOFromPersonalities : no personality given.\n");
        return NULL;
    }
    DataObject *all = NULL;
    for (INT32 i = 0; i < count; i++) {
        DataObject *one = fetch(personalities[i], arg);
        if (!one) {
            FreeDataObject(all);
            return NULL;
        }
        if (!all) {
            all = one;
            continue;
        }
        INT32 added = MergeDataObject(all, one);
        FreeDataObject(one);
        if (added < 0) {
            FreeDataObject(all);
            return NULL;
        }
    }
    return all;
}

DataObject *GetDOFromPersonalities(const char *const *personalities, INT32 count)
{
    return mergePersonalities(personalities, count, fetchAll, NULL);
}

DataObject *GetDOFromPersonalitiesByCriteria(const char *const *personalities, INT32 count,
                                             const char *whereClause)
{
    return mergePersonalities(personalities, count, fetchByCriteria, whereClause);
}

DataObject *GetDOFromPersonalitiesByRowUnit(const char *const *personalities, INT32 count,
                                            const RowUnit *rowUnit)
{
    return mergePersonalities(personalities, count, fetchByRowUnit, rowUnit);
}
