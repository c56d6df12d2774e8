/* Text building of the SQL generators: a growing statement text, the value
 * of a cell as SQL text, and the quoting of text literals per dialect. */
#ifndef VQ_RECORDS_SQL_SQLTEXT_H
#define VQ_RECORDS_SQL_SQLTEXT_H

#include <windows.h>

/* A growing text: starts at 512 bytes and grows by 512 (or by what one
 * append needs). After a failed append `failed` stays set and every later
 * append is ignored, so a generator checks once at the end. */
typedef struct SqlText {
    char *text;
    size_t length;
    size_t capacity;
    BOOL failed;
} SqlText;

void SqlTextInit(SqlText *t);
void SqlTextFree(SqlText *t);
void SqlTextAppend(SqlText *t, const char *piece);
void SqlTextAppendN(SqlText *t, const char *piece, size_t n);
void SqlTextAppendF(SqlText *t, const char *format, ...) __attribute__((format(gnu_printf, 2, 3)));
/* Hands the text over to the caller (free() it) and empties `t`; NULL when an
 * append failed. */
char *SqlTextDetach(SqlText *t);

/* Appends `value` as a quoted SQL literal of the dialect: 'text' with every
 * quote doubled; MySQL also doubles backslashes, which it reads as escapes. */
typedef void (*SqlQuoteFn)(SqlText *t, const char *value);
void SqliteQuoteLiteral(SqlText *t, const char *value);
void PgsqlQuoteLiteral(SqlText *t, const char *value);
void MysqlQuoteLiteral(SqlText *t, const char *value);
void FirebirdQuoteLiteral(SqlText *t, const char *value);

/* The cell's value as SQL text, a new text that the caller frees, by type
 * code: 1, 3, 5 signed; 2, 4, 6 unsigned; 7 and 8 as 64-bit decimal numbers;
 * 9 and 11 with 9 and 10 with 17 significant digits (each float and double
 * comes back exactly; infinities and NaN are refused with an ERROR line);
 * 12 and 13 the text itself when it is a number literal (IsSqlNumberLiteral),
 * else refused with an ERROR line; 14, 15 and 20 to 22 the text itself
 * without quotes; 16 its date "%04d-%02d-%02d", 17 its time
 * "%02d:%02d:%02d", 18 both (00:00:00 when it holds no time), refused when
 * the part is missing; 19 "'t'" for 1, "'f'" otherwise. A NULL cell gives
 * "NULL". NULL for type 0, an unknown code, a refused value or no memory. */
char *ConvertValueToText(const BYTE *value, INT32 size, BYTE type);

/* The same text appended to `t`; FALSE (nothing appended) where
 * ConvertValueToText gives NULL. */
BOOL SqlTextAppendValue(SqlText *t, const BYTE *value, INT32 size, BYTE type);

/* TRUE when the `length` bytes of `text` are a number literal: an optional
 * sign, digits with at most one point (at least one digit), and optionally
 * an exponent ("e" or "E", an optional sign, digits). */
BOOL IsSqlNumberLiteral(const char *text, size_t length);

#endif
