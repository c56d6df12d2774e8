/* Test helpers for the record framework (see recordfixture.h). */
#include "support/records/recordfixture.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace vqt {

static char *dup(const std::string &s)
{
    char *p = (char *)malloc(s.size() + 1);
    memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

static BYTE *cellBuffer(const Cell &c, INT32 *size)
{
    switch (c.kind) {
    case Cell::Null: *size = 0; return nullptr;
    case Cell::I32: *size = 4; return CopyValueBuffer(&c.i32, 4);
    case Cell::I64: *size = 8; return CopyValueBuffer(&c.i64, 8);
    case Cell::F32: *size = 4; return CopyValueBuffer(&c.f32, 4);
    case Cell::F64: *size = 8; return CopyValueBuffer(&c.f64, 8);
    case Cell::Text:
    case Cell::Raw:
        *size = (INT32)c.bytes.size();
        return CopyValueBuffer(c.bytes.data(), (INT32)c.bytes.size());
    }
    return nullptr;
}

/* The text form of a default cell, as a dictionary file would spell it. */
static std::string defaultText(const Cell &c)
{
    char buf[64];
    switch (c.kind) {
    case Cell::I32: snprintf(buf, sizeof buf, "%d", (int)c.i32); return buf;
    case Cell::I64: snprintf(buf, sizeof buf, "%lld", (long long)c.i64); return buf;
    case Cell::F32: snprintf(buf, sizeof buf, "%.9g", (double)c.f32); return buf;
    case Cell::F64: snprintf(buf, sizeof buf, "%.17g", c.f64); return buf;
    default: return c.bytes;
    }
}

void DefineTable(const std::string &name, const std::vector<ColSpec> &cols,
                 const std::vector<std::string> &primaryKey, bool create)
{
    ColumnDefn **columns = (ColumnDefn **)calloc(cols.size() + 1, sizeof(ColumnDefn *));
    for (size_t i = 0; i < cols.size(); i++) {
        bool hasDefault = cols[i].defaultValue.kind != Cell::Null;
        std::string text = defaultText(cols[i].defaultValue);
        columns[i] = CreateColumnDefn(cols[i].name.c_str(), cols[i].type,
                                      hasDefault ? text.c_str() : nullptr, (INT32)text.size(), 0,
                                      cols[i].generator, nullptr, 0, 1, nullptr);
    }
    ConstraintDefn *constraints = (ConstraintDefn *)calloc(1, sizeof(ConstraintDefn));
    constraints->primaryKeyCount = (INT32)primaryKey.size();
    constraints->primaryKeyColumns = (char **)calloc(primaryKey.size() + 1, sizeof(char *));
    for (size_t i = 0; i < primaryKey.size(); i++)
        constraints->primaryKeyColumns[i] = dup(primaryKey[i]);
    AddTableDefn(CreateTableDefn(name.c_str(), nullptr, columns, (INT32)cols.size(), constraints));
    if (create)
        CreateTable(name.c_str());
}

RowObject *MakeRow(const std::vector<Cell> &cells)
{
    BYTE **values = (BYTE **)calloc(cells.size() + 1, sizeof(BYTE *));
    INT32 *sizes = (INT32 *)calloc(cells.size() + 1, sizeof(INT32));
    for (size_t i = 0; i < cells.size(); i++)
        values[i] = cellBuffer(cells[i], &sizes[i]);
    return CreateNewRowObject(values, sizes);
}

RowObject *AddRow(const std::string &table, const std::vector<Cell> &cells)
{
    RowObject *row = MakeRow(cells);
    if (!AddNewRow(table.c_str(), row)) {
        FreeRowObject(row, (INT32)cells.size());
        return nullptr;
    }
    return row;
}

void ClearTables()
{
    INT32 n = 0;
    TableData **tables = GetTableRegistry(&n);
    while (n > 0) {
        TableData *td = tables[0];
        RemoveTableDataFromRegistry(td);
        FreeTableData(td);
        tables = GetTableRegistry(&n);
    }
}

void ClearAll()
{
    ClearTables();
    FreeAllTableDefns();
}

std::vector<RowObject *> Rows(ResultData *result)
{
    std::vector<RowObject *> out;
    for (ResultEntry *e = result ? result->first : nullptr; e; e = e->next)
        out.push_back(e->row);
    return out;
}

INT32 IntAt(const RowObject *row, int column)
{
    return ReadInt32Value(row->values[column], row->sizes[column]);
}

} // namespace vqt
