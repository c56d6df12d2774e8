/* Column lookups of tables and views for the table store. */
#include "records/store/storecolumns.h"

int StoreCompareNames(const char *a, const char *b)
{
    for (;; a++, b++) {
        int ca = (unsigned char)*a, cb = (unsigned char)*b;
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
}

INT32 StoreColumnCount(const TableDefn *tableDefn, const CustomViewDefn *viewDefn)
{
    if (tableDefn)
        return tableDefn->columns ? tableDefn->columnCount : 0;
    if (viewDefn)
        return viewDefn->columns ? viewDefn->columnCount : 0;
    return 0;
}

const char *StoreColumnName(const TableDefn *tableDefn, const CustomViewDefn *viewDefn,
                            INT32 index)
{
    if (index < 0 || index >= StoreColumnCount(tableDefn, viewDefn))
        return NULL;
    if (tableDefn)
        return tableDefn->columns[index] ? tableDefn->columns[index]->name : NULL;
    return viewDefn->columns[index] ? viewDefn->columns[index]->name : NULL;
}

BYTE StoreColumnType(const TableDefn *tableDefn, const CustomViewDefn *viewDefn, INT32 index)
{
    if (index < 0 || index >= StoreColumnCount(tableDefn, viewDefn))
        return 0;
    if (tableDefn)
        return tableDefn->columns[index] ? tableDefn->columns[index]->type : 0;
    ViewColumnDefn *vc = viewDefn->columns[index];
    return vc && vc->columnDefn ? vc->columnDefn->type : 0;
}

INT32 StoreColumnIndex(const TableDefn *tableDefn, const CustomViewDefn *viewDefn,
                       const char *name)
{
    if (!name)
        return -1;
    INT32 n = StoreColumnCount(tableDefn, viewDefn);
    for (INT32 i = 0; i < n; i++) {
        const char *c = StoreColumnName(tableDefn, viewDefn, i);
        if (c && StoreCompareNames(c, name) == 0)
            return i;
    }
    return -1;
}
