/* The database tests' schema and rows: a parent table with a two-column key
 * and a table with one column of every type code, a primary key and a
 * two-column foreign key to the parent; three rows (all values, all NULLs,
 * plain values) and the statement sequence each dialect runs on its engine.
 * Header-only, so that every database test builds the same statements. */
#ifndef VQ_TESTS_SUPPORT_RECORDS_SQLSCHEMA_H
#define VQ_TESTS_SUPPORT_RECORDS_SQLSCHEMA_H

#include "records/base/coltypes.h"
#include "records/base/datetime.h"
#include "records/sql/sqlgen.h"
#include "records/dict/tabledefn.h"

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace vqt {

struct ColumnSpec {
    const char *name;
    BYTE type;
    INT32 maxSize;
};

inline char *Dup(const char *s)
{
    size_t n = strlen(s) + 1;
    char *p = (char *)malloc(n);
    memcpy(p, s, n);
    return p;
}

/* Adds a definition (all columns nullable) to the dictionary registry. */
inline void Define(const char *name, const std::vector<ColumnSpec> &cols,
                   const std::vector<const char *> &key,
                   const std::vector<std::vector<const char *>> &foreignKeys = {})
{
    TableDefn *d = (TableDefn *)calloc(1, sizeof *d);
    d->name = Dup(name);
    d->columnCount = (INT32)cols.size();
    d->columns = (ColumnDefn **)calloc(cols.size(), sizeof(ColumnDefn *));
    for (size_t i = 0; i < cols.size(); i++) {
        ColumnDefn *c = (ColumnDefn *)calloc(1, sizeof *c);
        c->name = Dup(cols[i].name);
        c->type = cols[i].type;
        c->maxSize = cols[i].maxSize;
        c->nullable = 1;
        d->columns[i] = c;
    }
    d->constraints = (ConstraintDefn *)calloc(1, sizeof(ConstraintDefn));
    d->constraints->primaryKeyCount = (INT32)key.size();
    d->constraints->primaryKeyColumns = (char **)calloc(key.size() + 1, sizeof(char *));
    for (size_t i = 0; i < key.size(); i++)
        d->constraints->primaryKeyColumns[i] = Dup(key[i]);
    ForeignKeyDefn **tail = &d->constraints->foreignKeys;
    for (const auto &f : foreignKeys) {
        ForeignKeyDefn *k = (ForeignKeyDefn *)calloc(1, sizeof *k);
        k->localColumn = Dup(f[0]);
        k->referenceColumn = Dup(f[1]);
        k->referenceTable = Dup(f[2]);
        *tail = k;
        tail = &k->next;
    }
    AddTableDefn(d);
}

/* Column indexes of "vqall". */
enum {
    C_ID, C_TINY, C_UTINY, C_SMALL, C_USMALL, C_INT, C_UINT, C_BIG, C_UBIG, C_FLOAT, C_DOUBLE,
    C_REAL, C_DEC, C_NUM, C_CHAR, C_VARCHAR, C_DATE, C_TIME, C_DATETIME, C_BOOL, C_BLOB,
    C_CLOB, C_TEXT, C_FK1, C_FK2, C_COUNT
};

inline void DefineTestSchema()
{
    Define("vqparent", {{"p1", 5, 0}, {"p2", 15, 20}, {"pname", 15, 40}}, {"p1", "p2"});
    Define("vqall",
           {{"id", 5, 0}, {"c_tiny", 1, 0}, {"c_utiny", 2, 0}, {"c_small", 3, 0},
            {"c_usmall", 4, 0}, {"c_int", 5, 0}, {"c_uint", 6, 0}, {"c_big", 7, 0},
            {"c_ubig", 8, 0}, {"c_float", 9, 0}, {"c_double", 10, 0}, {"c_real", 11, 0},
            {"c_dec", 12, 0}, {"c_num", 13, 0}, {"c_char", 14, 10}, {"c_varchar", 15, 40},
            {"c_date", 16, 0}, {"c_time", 17, 0}, {"c_datetime", 18, 0}, {"c_bool", 19, 0},
            {"c_blob", 20, 0}, {"c_clob", 21, 0}, {"c_text", 22, 0}, {"fk1", 5, 0},
            {"fk2", 15, 20}},
           {"id"}, {{"fk1", "p1", "vqparent"}, {"fk2", "p2", "vqparent"}});
    Define("vqblob", {{"id", 5, 0}, {"data", 20, 0}}, {"id"});
}

struct Value {
    BYTE *bytes;
    INT32 size;
};

inline Value Bytes(const void *p, size_t n, INT32 size)
{
    BYTE *b = (BYTE *)calloc(1, n + 1);
    memcpy(b, p, n);
    return {b, size};
}
inline Value I32(INT32 v) { return Bytes(&v, 4, 4); }
inline Value U32(UINT32 v) { return Bytes(&v, 4, 4); }
inline Value I64(INT64 v) { return Bytes(&v, 8, 8); }
inline Value F32(float v) { return Bytes(&v, 4, 4); }
inline Value F64(double v) { return Bytes(&v, 8, 8); }
inline Value Text(const char *s) { return Bytes(s, strlen(s), (INT32)strlen(s)); }
inline Value Bool(int v) { BYTE b = (BYTE)v; return Bytes(&b, 1, 1); }
inline Value Null() { return {nullptr, 0}; }
inline Value Date(int y, int m, int d)
{
    BrnDate x = {(WORD)y, (BYTE)m, (BYTE)d};
    return Bytes(&x, sizeof x, BRN_DATE_SIZE);
}
inline Value Time(int h, int m, int s)
{
    BrnTime x = {(BYTE)h, (BYTE)m, (BYTE)s};
    return Bytes(&x, sizeof x, BRN_TIME_SIZE);
}
inline Value DateTime(int y, int mo, int d, int h, int mi, int s)
{
    BrnDateTime x = {};
    x.date = (BrnDate *)calloc(1, sizeof(BrnDate) + 1);
    *x.date = {(WORD)y, (BYTE)mo, (BYTE)d};
    x.time = (BrnTime *)calloc(1, sizeof(BrnTime) + 1);
    *x.time = {(BYTE)h, (BYTE)mi, (BYTE)s};
    return Bytes(&x, sizeof x, BRN_DATETIME_SIZE);
}

inline RowObject *Row(const std::vector<Value> &vs)
{
    RowObject *r = (RowObject *)calloc(1, sizeof *r);
    r->values = (BYTE **)calloc(vs.size(), sizeof(BYTE *));
    r->sizes = (INT32 *)calloc(vs.size(), sizeof(INT32));
    for (size_t i = 0; i < vs.size(); i++) {
        r->values[i] = vs[i].bytes;
        r->sizes[i] = vs[i].size;
    }
    r->flags = 2;
    return r;
}

/* Row 1: a value in every column, quotes and a backslash in the texts,
 * integers beyond 32 bits. Row 2: NULL everywhere but the keys. Row 3:
 * plain values, BOOLEAN false. */
inline RowObject *FullRow()
{
    return Row({I32(1), I32(-7), U32(200), I32(-300), U32(60000), I32(-2000000000), U32(4000000000u),
                I64(9000000000123LL), I64(1234567890123456789LL), F32(1.5f), F64(2.25), F32(0.75f),
                Text("12.5"), Text("7.25"), Text("it's"), Text("back\\slash 'q'"), Date(2024, 2, 29),
                Time(13, 14, 15), DateTime(2024, 2, 29, 13, 14, 15), Bool(1), Text("abc"),
                Text("clob text"), Text("a long text"), I32(1), Text("k'1")});
}
inline RowObject *NullRow()
{
    std::vector<Value> v(C_COUNT, Null());
    v[C_ID] = I32(2);
    v[C_FK1] = I32(2);
    v[C_FK2] = Text("k2");
    return Row(v);
}
inline RowObject *PlainRow()
{
    return Row({I32(3), I32(1), U32(1), I32(1), U32(1), I32(5), U32(1), I64(1), I64(1), F32(1), F64(1),
                F32(1), Text("1"), Text("1"), Text("x"), Text("three"), Null(), Null(), Null(), Bool(0),
                Null(), Null(), Null(), I32(2), Text("k2")});
}

/* Frees a row made above (the date-time parts of a vqall row too). */
inline void FreeRow(RowObject *r, INT32 columns)
{
    if (!r)
        return;
    for (INT32 i = 0; i < columns; i++) {
        bool dateColumn = columns == C_COUNT && i >= C_DATE && i <= C_DATETIME;
        if (dateColumn && r->values[i] && r->sizes[i] == BRN_DATETIME_SIZE) {
            BrnDateTime *dt = (BrnDateTime *)r->values[i];
            free(dt->date);
            free(dt->time);
        }
        free(r->values[i]);
    }
    free(r->values);
    free(r->sizes);
    free(r);
}

/* Replaces one cell of a row. */
inline void SetCell(RowObject *r, int column, Value v)
{
    free(r->values[column]);
    r->values[column] = v.bytes;
    r->sizes[column] = v.size;
}

/* Parent names with their summed c_int and row count, per parent, where
 * (c_int >= 0 or c_int > -2000000001) and c_varchar is not 'zzz', grouped,
 * COUNT(id) > 0, sorted by name descending, at most 10 rows. Criteria texts
 * are quoted by the caller in the dialects that take values as they are. */
inline SelectQuery *JoinQuery(const SqlDialect *d)
{
    SelectQuery *q = CreateSelectQuery();
    AddSelectColumn(q, NULL, "p", "pname", NULL, SQL_AGG_NONE, 15);
    AddSelectColumn(q, NULL, "a", "c_int", "total", SQL_AGG_SUM, 5);
    AddSelectColumn(q, NULL, NULL, NULL, "n", SQL_AGG_COUNT, 5);
    SqlJoin *j = AddSelectJoin(q, "vqall", "a", "vqparent", "p", SQL_JOIN_INNER);
    AddJoinColumnPair(q, j, NULL, NULL, "fk1", NULL, NULL, "p1");
    AddJoinColumnPair(q, j, NULL, NULL, "fk2", NULL, NULL, "p2");
    INT32 zero = 0, low = -2000000001;
    const char *text = d->criteriaValues == SQL_CRIT_AS_IS ? "'zzz'" : "zzz";
    SqlCriteriaNode *ge = CreateCriteriaCompare(q, NULL, "a", "c_int", 5, SQL_OP_GE, &zero, 4);
    SqlCriteriaNode *gt = CreateCriteriaCompare(q, NULL, "a", "c_int", 5, SQL_OP_GT, &low, 4);
    SqlCriteriaNode *ne = CreateCriteriaCompare(q, NULL, "a", "c_varchar", 15, SQL_OP_NE, text,
                                                (INT32)strlen(text));
    q->criteria = CreateCriteriaJoin(q, SQL_OP_AND, CreateCriteriaJoin(q, SQL_OP_OR, ge, gt), ne);
    AddGroupByColumn(q, "p", "pname", NULL);
    SetHaving(q, NULL, NULL, "id", SQL_AGG_COUNT, SQL_OP_GT, 5, &zero, 4);
    AddSortColumn(q, NULL, NULL, "pname");
    q->sortAscending = 0;
    q->rowLimit = 10;
    return q;
}

/* All rows of vqall by id, or `limit` rows after `offset`. `columns` lists
 * the select columns (none: "*"). */
inline SelectQuery *OrderedQuery(INT32 limit, INT32 offset, const std::vector<const char *> &columns = {})
{
    SelectQuery *q = CreateSelectQuery();
    for (const char *c : columns)
        AddSelectColumn(q, NULL, NULL, c, NULL, SQL_AGG_NONE, 5);
    AddSelectTable(q, "vqall", NULL);
    AddSortColumn(q, NULL, NULL, "id");
    q->rowLimit = limit;
    q->rowOffset = offset;
    return q;
}

inline std::string Take(char *text)
{
    std::string s = text ? text : "<null>";
    free(text);
    return s;
}

/* The Firebird run: create both tables, insert the three rows, update row 3
 * (a quoted text and BOOLEAN true), the join query, one row after the first,
 * every row, delete row 3, every row again. Firebird's blobs are left out of the
 * selects, since isql shows blob identifiers rather than their bytes. */
inline std::vector<std::string> FirebirdStatements()
{
    const SqlDialect *d = &g_firebirdDialect;
    std::vector<std::string> out;
    out.push_back(Take(SqlGenCreateTableQuery(d, "vqparent")));
    out.push_back(Take(SqlGenCreateTableQuery(d, "vqall")));
    RowObject *p1 = Row({I32(1), Text("k'1"), Text("parent one")});
    RowObject *p2 = Row({I32(2), Text("k2"), Text("parent two")});
    out.push_back(Take(SqlGenInsertQuery(d, "vqparent", p1)) + "\n");
    out.push_back(Take(SqlGenInsertQuery(d, "vqparent", p2)) + "\n");
    RowObject *full = FullRow(), *nulls = NullRow(), *plain = PlainRow();
    out.push_back(Take(SqlGenInsertQuery(d, "vqall", full)) + "\n");
    out.push_back(Take(SqlGenInsertQuery(d, "vqall", nulls)) + "\n");
    out.push_back(Take(SqlGenInsertQuery(d, "vqall", plain)) + "\n");
    SetCell(plain, C_VARCHAR, Text("upd'ated"));
    SetCell(plain, C_BOOL, Bool(1));
    out.push_back(Take(SqlGenUpdateQuery(d, "vqall", plain)) + ";\n");
    SelectQuery *join = JoinQuery(d);
    out.push_back(Take(SqlGenSelectQuery(d, join)) + ";\n");
    std::vector<const char *> cols = {"id", "c_tiny", "c_utiny", "c_small", "c_usmall", "c_int",
                                      "c_uint", "c_big", "c_ubig", "c_float", "c_double", "c_real",
                                      "c_dec", "c_num", "c_char", "c_varchar", "c_date", "c_time",
                                      "c_datetime", "c_bool", "fk1", "fk2"};
    SelectQuery *second = OrderedQuery(1, 1, cols);
    out.push_back(Take(SqlGenSelectQuery(d, second)) + ";\n");
    SelectQuery *all = OrderedQuery(0, 0, cols);
    out.push_back(Take(SqlGenSelectQuery(d, all)) + ";\n");
    out.push_back(Take(SqlGenDeleteQuery(d, "vqall", plain)) + ";\n");
    out.push_back(Take(SqlGenSelectQuery(d, all)) + ";\n");
    FreeSelectQuery(join);
    FreeSelectQuery(second);
    FreeSelectQuery(all);
    FreeRow(p1, 3);
    FreeRow(p2, 3);
    FreeRow(full, C_COUNT);
    FreeRow(nulls, C_COUNT);
    FreeRow(plain, C_COUNT);
    return out;
}

} // namespace vqt

#endif
