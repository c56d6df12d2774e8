/* Text utilities of the framework. Texts returned are new heap blocks that
 * the caller releases with free() (arrays with FreeStringArray). */
#ifndef VQ_RECORDS_BASE_STRUTIL_H
#define VQ_RECORDS_BASE_STRUTIL_H

#include <windows.h>

#define STRUTIL_OK         1
#define STRUTIL_NO_MEMORY 99

/* *out = new copy of `text` (NULL for NULL): 1, or 99 when out of memory. */
int CopyString(char **out, const char *text);

/* *out = new copy of the first n bytes of `text` and a terminating 0: 1, or
 * 99 with ERROR "Unable to allocate memory\n". */
int CopyNString(char **out, const char *text, size_t n);

/* Replaces *target by a new copy of `text`, freeing the old text only after
 * the copy succeeded. */
BOOL ReallocateAndSetString(char **target, const char *text);

/* Number of occurrences of `delimiter` in `text` (0 for NULL). */
int CountDelimiter(const char *text, char delimiter);

/* New text before / after the first `delimiter`; NULL when it does not
 * occur (or out of memory). */
char *GetStringBeforeDelimiter(const char *text, char delimiter);
char *GetStringAfterDelimiter(const char *text, char delimiter);

/* Splits at every `delimiter` into a null-terminated array of n + 1 new texts
 * (n = count of delimiters); *count receives n + 1 when not NULL. */
char **SplitString(const char *text, char delimiter, int *count);

/* Case-insensitive comparison that folds A-Z only (other bytes as they are,
 * taken as signed characters); NULL sorts before any text. */
int CompareStringIgnoreCase(const char *a, const char *b);

/* Byte comparison with signed characters; NULL sorts before any text. */
int CompareStringSigned(const char *a, const char *b);

/* Position of the first occurrence of `part` in `text`, or NULL. */
char *SubString(const char *text, const char *part);

/* TRUE when `part` occurs in `text`. */
BOOL FindSubString(const char *text, const char *part);

/* Index of `ch` among the first `length` bytes of `text`, or -1. */
int GetIndex(const char *text, int length, char ch);

/* TRUE when both texts are equal (both NULL counts as equal). */
BOOL IsStringMatched(const char *a, const char *b);

/* Frees every text of a null-terminated array and the array. */
void FreeStringArray(char **array);

/* Leading decimal integer of `text` (atoi rules; 0 for NULL). */
int ConvertToInteger(const char *text);

/* Whole text as a non-negative decimal number; -1 when it is not one (empty,
 * any non-digit, or beyond 2147483647). */
long ConvertDecimalStringToNumber(const char *text);

/* strtod of `text` (*end, when not NULL, as strtod sets it). Plain decimal
 * texts of at most 15 digits without an exponent, the form drivers deliver
 * most, are converted directly: the digits as an exact integer divided by an
 * exact power of ten, one correctly rounded operation, so the value is the
 * one strtod gives; every other text goes to strtod. */
double TextToDouble(const char *text, char **end);

/* Reverses `text` in place and returns it. */
char *ReverseString(char *text);

#endif
