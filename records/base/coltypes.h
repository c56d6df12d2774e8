/* Column type codes of the record framework and the value buffers that hold
 * one cell of each type in memory. A value buffer is its own heap block, one
 * byte longer than its recorded size, with that byte 0, so text values are
 * always terminated; a NULL cell is a missing buffer. */
#ifndef VQ_RECORDS_BASE_COLTYPES_H
#define VQ_RECORDS_BASE_COLTYPES_H

#include <windows.h>

#define BRN_SQL_NOT_SUPPORTED_TYPE    0
#define BRN_SQL_TINYINT               1   /* 32-bit signed buffer */
#define BRN_SQL_UNSIGNED_TINYINT      2   /* 32-bit buffer */
#define BRN_SQL_SMALLINT              3   /* 32-bit signed buffer */
#define BRN_SQL_UNSIGNED_SMALLINT     4   /* 32-bit buffer */
#define BRN_SQL_INT                   5   /* 32-bit signed buffer */
#define BRN_SQL_UNSIGNED_INT          6   /* 32-bit unsigned buffer */
#define BRN_SQL_BIGINT                7   /* 64-bit signed buffer */
#define BRN_SQL_UNSIGNED_LONG_INT     8   /* 64-bit buffer */
#define BRN_SQL_FLOAT                 9   /* 32-bit float */
#define BRN_SQL_DOUBLE               10   /* 64-bit float */
#define BRN_SQL_REAL                 11   /* 32-bit float */
#define BRN_SQL_DECIMAL              12   /* text */
#define BRN_SQL_NUMERIC              13   /* text */
#define BRN_SQL_CHAR                 14   /* NUL-terminated text */
#define BRN_SQL_VARCHAR              15   /* NUL-terminated text */
#define BRN_SQL_DATE                 16   /* BrnDate (4) or date-only BrnDateTime (11) */
#define BRN_SQL_TIME                 17   /* BrnTime (3) or time-only BrnDateTime (11) */
#define BRN_SQL_DATETIME             18   /* BrnDateTime (11) */
#define BRN_SQL_BOOLEAN              19   /* one byte, 1 or 0 */
#define BRN_SQL_BLOB                 20   /* bytes */
#define BRN_SQL_CLOB                 21   /* bytes */
#define BRN_SQL_TEXT                 22   /* NUL-terminated text */
#define BRN_SQL_LAST_TYPE            22

/* TRUE for the codes whose cells are NUL-terminated texts (14, 15, 22). */
BOOL IsTextColumnType(BYTE type);

/* A new zeroed value buffer of `size` bytes plus the terminating spare byte;
 * NULL when out of memory or when size is negative. */
BYTE *AllocValueBuffer(INT32 size);

/* A new value buffer holding a copy of `size` bytes of `data` (data may be
 * NULL only when size is 0). NULL when out of memory. */
BYTE *CopyValueBuffer(const void *data, INT32 size);

/* Reads a cell as a signed 32-bit integer: the first min(size, 4) bytes,
 * little-endian, the rest zero, so a buffer shorter than four bytes is never
 * read past its end. */
INT32 ReadInt32Value(const BYTE *value, INT32 size);

/* The same for 64-bit cells: the first min(size, 8) bytes. */
INT64 ReadInt64Value(const BYTE *value, INT32 size);

/* The same for a 32-bit float cell: the first min(size, 4) bytes. */
float ReadFloatValue(const BYTE *value, INT32 size);

/* The same for a 64-bit float cell: the first min(size, 8) bytes. */
double ReadDoubleValue(const BYTE *value, INT32 size);

#endif
