/* Conversions for network-management values: object identifiers and IPv4
 * addresses in dotted text, the textual date-and-time form, 64-bit counters,
 * hexadecimal texts and small number-to-text helpers. Texts returned are new
 * heap blocks released with free(). */
#ifndef VQ_RECORDS_BASE_NETCONV_H
#define VQ_RECORDS_BASE_NETCONV_H

#include <windows.h>

/* Longest object identifier accepted, in sub-identifiers. */
#define OID_MAX_LENGTH 128

/* An object identifier: `length` sub-identifiers in an owned array. */
struct Oid {
    DWORD *ids;
    DWORD length;
};

/* A date and time as network management writes it: with or without a
 * time-zone part (direction '+' or '-', hours and minutes from UTC). */
struct NetDateTime {
    WORD year;
    BYTE month;
    BYTE day;
    BYTE hour;
    BYTE minute;
    BYTE second;
    BYTE deciSecond;
    BOOL hasZone;
    char direction;
    BYTE zoneHours;
    BYTE zoneMinutes;
};

/* A 64-bit counter as two 32-bit halves. */
struct Counter64 {
    DWORD high;
    DWORD low;
};

/* --- object identifiers --- */

/* Conversions and copies that fill an Oid give it a new array without freeing
 * what it held (it may be uninitialised); SetNOid and ReallocateAndSetOID
 * replace the array and free the old one. On failure *oid is unchanged. */

/* Dotted text into *oid. An object identifier is 1
 * to OID_MAX_LENGTH decimal sub-identifiers of at most 4294967295 joined by
 * single dots, with one optional leading dot; an IP address exactly four
 * numbers of 0..255 (no leading zeros, which would read as octal elsewhere)
 * and no leading dot. A bad text logs ERROR
 * "Incorrect format of OID\n" or "Incorrect format of IpAddress\n". */
BOOL ConvertToOidOrIpFromString(const char *text, Oid *oid, BOOL isIpAddress);

/* Reads the next sub-identifier at *cursor (digits, then a dot or the end),
 * moving the cursor past it. FALSE at the end or for a malformed one. */
BOOL GetNextSubId(const char **cursor, DWORD *subId);

/* "1.3.6.1" forms: of a record, and of a bare array. */
char *ConvertToStringFromOID(const Oid *oid);
char *ConvertToStringFromOid(const DWORD *ids, DWORD length);

/* "a.b.c.d" of an identifier of exactly four sub-identifiers of 0..255. */
char *ConvertToIpAddressFromOid(const Oid *oid);

/* Lexicographic order of the sub-identifiers; a prefix sorts first. -1/0/1. */
int CompareOid(const Oid *a, const Oid *b);

/* *target = a copy of `source` (new array). */
BOOL CopyOid(Oid *target, const Oid *source);
DWORD GetOidLength(const Oid *oid);

/* Sets *oid to the first n of `ids` (new array; the old one is freed). */
BOOL SetNOid(Oid *oid, const DWORD *ids, DWORD n);

/* Parses an object-identifier text into *oid / into a new record. */
BOOL CopyStringToOid(Oid *oid, const char *text);
Oid *CopyStringToOID(const char *text);

/* Replaces *target's sub-identifiers by a copy of `source`'s, freeing the old
 * ones only after the copy succeeded. */
BOOL ReallocateAndSetOID(Oid *target, const Oid *source);

/* Logs the sub-identifiers at DEBUG, each as "%lu\t". */
void PrintOid(const Oid *oid);

/* Frees the array (the record stays, empty) / the array and the record. */
void ClearOid(Oid *oid);
void FreeOid(Oid *oid);

BOOL IsValidOid(const char *text);
BOOL IsValidIPAddress(const char *text);

/* --- date and time --- */

/* "%d-%d-%d,%d:%d:%d.%d", with a zone part "%d-%d-%d,%d:%d:%d.%d,%c%d:%d"
 * (a direction other than '-' is written as '+', never as a NUL that would
 * cut the text). */
char *ConvertToStringFromDateTime(const NetDateTime *dateTime);

/* Reads the long form (with zone); FALSE for anything else or a field out
 * of range. */
BOOL ConvertToDateTimeFromString(const char *text, NetDateTime *dateTime);

/* --- Counter64 --- */

void ConvertToCounter64FromULongLong(ULONGLONG value, Counter64 *counter);
ULONGLONG ConvertToULongLongFromCounter64(const Counter64 *counter);

/* Big-endian bytes into a counter: a leading byte (the sign octet) is dropped
 * when there are 9, the last four form the low half and the ones before them
 * the high half. 1 to 9 bytes; FALSE for none or more than 9. */
BOOL ConvertToCounter64(const BYTE *bytes, int length, Counter64 *counter);

/* The counter as "%lld". */
char *ConvertToStringFromCounter64(const Counter64 *counter);

/* --- hexadecimal and numbers --- */

/* Value of one hexadecimal digit, -1 for any other character. */
int GetHexValue(char digit);

/* A hexadecimal text (optional "0x"/"0X", then at least one digit) as a
 * number; -1 for anything else or a value above 0x7FFFFFFFFFFFFFFF. */
LONGLONG ConvertToDecimalFromHexa(const char *hex);

/* Bytes as upper-case hexadecimal pairs ("0A1F"). */
char *ConvertToHexValue(const BYTE *bytes, int length);

/* The bytes of a text of hexadecimal pairs (NUL-terminated, byte count in
 * *length); NULL for an odd count or a non-hex digit. */
char *ConvertToStringFromHex(const char *hex, int *length);

/* "TRUE" or "FALSE". */
char *ToString(BOOL value);
char *ConvertToStringFromInteger(int value);
char *ConvertToStringFromUnsignedInteger(unsigned int value);

/* Each sub-identifier of `oid` as one character (an octet string carried in
 * an identifier), NUL-terminated, count in *length; NULL when one exceeds
 * 255. */
char *ConvertToCharArray(const Oid *oid, int *length);

/* Logs `length` bytes at DEBUG as hexadecimal pairs, 16 to a line. */
void PrintStream(const BYTE *bytes, int length);

#endif
