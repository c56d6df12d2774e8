/* Test helpers for the record framework: dictionary definitions built in
 * memory, rows made from cell lists, and clean-up of the registries. */
#ifndef VQ_TESTS_SUPPORT_RECORDS_RECORDFIXTURE_H
#define VQ_TESTS_SUPPORT_RECORDS_RECORDFIXTURE_H

#include "records/store/tablestore.h"

#include <string>
#include <vector>

namespace vqt {

/* One cell of a test row: NULL, an int32, int64, float, double, text or raw
 * bytes. */
struct Cell {
    enum Kind { Null, I32, I64, F32, F64, Text, Raw } kind = Null;
    INT32 i32 = 0;
    INT64 i64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::string bytes;
    static Cell null() { return Cell(); }
    static Cell i(INT32 v) { Cell c; c.kind = I32; c.i32 = v; return c; }
    static Cell ll(INT64 v) { Cell c; c.kind = I64; c.i64 = v; return c; }
    static Cell f(float v) { Cell c; c.kind = F32; c.f32 = v; return c; }
    static Cell d(double v) { Cell c; c.kind = F64; c.f64 = v; return c; }
    static Cell s(const std::string &v) { Cell c; c.kind = Text; c.bytes = v; return c; }
    static Cell raw(const std::string &v) { Cell c; c.kind = Raw; c.bytes = v; return c; }
};

struct ColSpec {
    std::string name;
    BYTE type;
    const char *generator;
    Cell defaultValue;      /* Null: no default */
    ColSpec(std::string n, BYTE t, const char *g = nullptr, Cell d = Cell())
        : name(std::move(n)), type(t), generator(g), defaultValue(std::move(d)) {}
};

/* Adds a definition with those columns and primary-key names to the
 * dictionary registry, and creates its table. */
void DefineTable(const std::string &name, const std::vector<ColSpec> &cols,
                 const std::vector<std::string> &primaryKey = {}, bool create = true);

/* A new row (flags "new") with a value buffer per cell. */
RowObject *MakeRow(const std::vector<Cell> &cells);

/* Builds and adds a row; returns it. */
RowObject *AddRow(const std::string &table, const std::vector<Cell> &cells);

/* Frees every TableData of the registry; the definitions stay. */
void ClearTables();

/* Frees every TableData and then every definition (tables point at theirs). */
void ClearAll();

/* The rows of a result in order. */
std::vector<RowObject *> Rows(ResultData *result);

/* The signed 32-bit cell of a row. */
INT32 IntAt(const RowObject *row, int column);

} // namespace vqt

#endif
