/* CREATE TABLE of a dictionary table, the construction shared by every
 * dialect: one line per column with its default and NOT NULL / UNIQUE, the
 * primary key, and one FOREIGN KEY clause per run of foreign keys to the
 * same table. The dialect decides each column's type text and the end. */
#include "records/sql/sqlgen.h"
#include "records/base/coltypes.h"

#include "agent/log.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

static void logDefinition(const TableDefn *defn)
{
    LogTrace("Table Name : %s\n", defn->name ? defn->name : "");
    LogTrace("Description: %s\n", defn->description ? defn->description : "");
    LogTrace("---------------------------------------\n\n");
    for (INT32 i = 0; i < defn->columnCount; i++) {
        const ColumnDefn *c = defn->columns[i];
        if (!c)
            continue;
        LogTrace("Column Name : %s\n", c->name ? c->name : "");
        LogTrace("Column Type : %d\n", c->type);
        LogTrace("Unique Flag : %s\n", c->unique ? "TRUE" : "FALSE");
        LogTrace("Description : %s\n", c->description ? c->description : "");
    }
}

/* " DEFAULT ..." of the column, or nothing. Integer defaults print their 32-
 * or 64-bit value, text defaults are quoted, BOOLEAN uses the dialect's
 * literals; other types get no default. */
static void appendDefault(const SqlDialect *d, SqlText *out, const ColumnDefn *c)
{
    if (!c->defaultValue)
        return;
    switch (c->type) {
    case BRN_SQL_TINYINT: case BRN_SQL_SMALLINT: case BRN_SQL_INT:
    case BRN_SQL_UNSIGNED_TINYINT: case BRN_SQL_UNSIGNED_SMALLINT:
        SqlTextAppendF(out, " DEFAULT %d", (int)ReadInt32Value(c->defaultValue, c->defaultSize));
        break;
    case BRN_SQL_UNSIGNED_INT:
        SqlTextAppendF(out, " DEFAULT %u", (unsigned)ReadInt32Value(c->defaultValue, c->defaultSize));
        break;
    case BRN_SQL_BIGINT:
        SqlTextAppendF(out, " DEFAULT %lld", (long long)ReadInt64Value(c->defaultValue, c->defaultSize));
        break;
    case BRN_SQL_UNSIGNED_LONG_INT:
        SqlTextAppendF(out, " DEFAULT %llu",
                       (unsigned long long)ReadInt64Value(c->defaultValue, c->defaultSize));
        break;
    case BRN_SQL_CHAR: case BRN_SQL_VARCHAR:
        SqlTextAppend(out, " DEFAULT ");
        d->quote(out, (const char *)c->defaultValue);
        break;
    case BRN_SQL_BOOLEAN:
        SqlTextAppendF(out, " DEFAULT %s", c->defaultValue[0] == 1 ? d->boolTrue : d->boolFalse);
        break;
    default:
        break;
    }
}

static BOOL sameText(const char *a, const char *b)
{
    return a && b && strcasecmp(a, b) == 0;
}

char *SqlGenCreateTableQuery(const SqlDialect *d, const char *tableName)
{
    const TableDefn *defn = tableName ? GetTableDefn(tableName) : NULL;
    if (!defn || defn->columnCount <= 0 || !defn->columns) {
        LogError("No table definition with columns for table %s\n", tableName ? tableName : "(null)");
        return NULL;
    }
    logDefinition(defn);
    const ConstraintDefn *cons = defn->constraints;
    BOOL hasKey = cons && cons->primaryKeyCount > 0;
    BOOL hasForeign = cons && cons->foreignKeys;

    SqlText out;
    SqlTextInit(&out);
    SqlTextAppendF(&out, "CREATE TABLE %s(\n", defn->name);
    /* Columns the dialect has no type for are left out, so the separator
     * goes before every column but the first written. */
    BOOL first = TRUE;
    for (INT32 i = 0; i < defn->columnCount; i++) {
        const ColumnDefn *c = defn->columns[i];
        char buf[64];
        const char *type = c ? d->columnType(c, buf, sizeof buf) : NULL;
        if (!type)
            continue;
        if (!first)
            SqlTextAppend(&out, ",\n");
        first = FALSE;
        SqlTextAppendF(&out, "\t%s %s", c->name, type);
        appendDefault(d, &out, c);
        if (!c->nullable)
            SqlTextAppend(&out, " NOT NULL");
        if (c->unique)
            SqlTextAppend(&out, " UNIQUE");
    }
    if (hasKey) {
        SqlTextAppend(&out, ",\n\tPRIMARY KEY(");
        for (INT32 i = 0; i < cons->primaryKeyCount; i++)
            SqlTextAppendF(&out, "%s%s", i ? ", " : "", cons->primaryKeyColumns[i]);
        SqlTextAppend(&out, ")");
    }
    if (hasForeign) {
        const ForeignKeyDefn *fk = cons->foreignKeys;
        while (fk) {
            /* A run: consecutive keys to the same table, each naming another
             * referenced column than the run's first. */
            const ForeignKeyDefn *end = fk->next;
            while (end && sameText(end->referenceTable, fk->referenceTable)
                   && !sameText(end->referenceColumn, fk->referenceColumn))
                end = end->next;
            SqlTextAppend(&out, ",\n\tFOREIGN KEY(");
            for (const ForeignKeyDefn *k = fk; k != end; k = k->next) {
                LogTrace("Column Name : %s\n", k->localColumn ? k->localColumn : "");
                LogTrace("Ref Column  : %s\n", k->referenceColumn ? k->referenceColumn : "");
                LogTrace("Tablename : %s\n", k->referenceTable ? k->referenceTable : "");
                SqlTextAppendF(&out, "%s%s", k == fk ? "" : ",", k->localColumn);
            }
            SqlTextAppendF(&out, ") REFERENCES %s (", fk->referenceTable);
            for (const ForeignKeyDefn *k = fk; k != end; k = k->next)
                SqlTextAppendF(&out, "%s%s", k == fk ? "" : ",", k->referenceColumn);
            SqlTextAppend(&out, ") ON DELETE CASCADE");
            fk = end;
        }
    }
    SqlTextAppend(&out, d->createEnd);
    char *text = SqlTextDetach(&out);
    if (text)
        LogTrace("Create query is\n%s\n", text);
    return text;
}
