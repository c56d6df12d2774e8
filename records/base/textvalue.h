/* Text-to-value conversion: a literal text (a criteria literal, a
 * dictionary default, a value an ODBC driver delivered as text) turned into
 * a new value buffer of a column type (coltypes.h). */
#ifndef VQ_RECORDS_BASE_TEXTVALUE_H
#define VQ_RECORDS_BASE_TEXTVALUE_H

#include <windows.h>

/* Converts a literal text into a new value buffer of the given type and sets
 * *size to its recorded size; NULL when the type has no conversion (19 with
 * another text than TRUE or FALSE, codes above 22) or when out of memory.
 * For the types that copy bytes (0, 12, 13, 20, 21) *size bytes are asked
 * for, but never more than the text holds. */
BYTE *ConvertTextToValue(const char *text, INT32 *size, BYTE type);

/* A date-time record as a value buffer of BRN_DATETIME_SIZE bytes: the
 * buffer holds the record itself, and its parts belong to the buffer from
 * here on. Takes `dateTime` in every case: NULL (the record and its parts
 * freed) when out of memory, and for a NULL record. */
BYTE *DateTimeValueBuffer(struct BrnDateTime *dateTime);

#endif
