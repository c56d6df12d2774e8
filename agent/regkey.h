/* A registry key that stays open across calls and can take part in a
 * registry transaction (the resumable downloads' bookkeeping). The
 * transacted key functions are looked up in Advapi32.dll at run time, so the
 * program still starts on systems without them. */
#ifndef VQ_AGENT_REGKEY_H
#define VQ_AGENT_REGKEY_H

#include <windows.h>

/* A transaction the key takes part in. A zero handle means no transaction
 * could be had: with `fallback` set the key then works without one,
 * otherwise every open and create fails with ERROR_INVALID_FUNCTION. */
struct RegTransaction {
    HANDLE handle;
    BOOL fallback;
};

struct RegKey {
    HKEY key;                     /* NULL while closed */
    REGSAM view;                  /* KEY_WOW64_32KEY / KEY_WOW64_64KEY bits of the last open */
    RegTransaction *transaction;  /* NULL: plain registry calls; not owned */
};

/* A closed key, taking part in `transaction` (may be NULL). */
void RegKeyInit(RegKey *k, RegTransaction *transaction);

/* Opens `path` under `root`. On success the key held before is closed and
 * the new one kept; on failure the object is unchanged. With a non-zero
 * transaction handle and no RegOpenKeyTransactedA the result is
 * ERROR_INVALID_FUNCTION (1). */
LONG RegKeyOpen(RegKey *k, HKEY root, const char *path, REGSAM access);

/* As RegKeyOpen through RegCreateKeyEx / RegCreateKeyTransactedA.
 * `*disposition` (may be NULL) receives what the call reported, also when it
 * failed. */
LONG RegKeyCreate(RegKey *k, HKEY root, const char *path, char *className, DWORD options,
                  REGSAM access, LPSECURITY_ATTRIBUTES security, DWORD *disposition);

/* Closes the held key (if any) and clears the handle and view bits. */
void RegKeyClose(RegKey *k);

/* The stored type must be REG_DWORD, else ERROR_INVALID_DATA (13). */
LONG RegKeyQueryDword(RegKey *k, const char *name, DWORD *value);

/* Reads a REG_SZ or REG_EXPAND_SZ value into `buffer` of `*count` chars.
 * Other types, and data that does not end with a zero, give 13; an empty
 * value gives an empty text. On success `*count` is the stored size; on
 * ERROR_MORE_DATA it is the size needed. */
LONG RegKeyQueryString(RegKey *k, const char *name, char *buffer, DWORD *count);

/* Writes `text` with its terminating zero as a value of `type`; a null text
 * gives 13. */
LONG RegKeySetString(RegKey *k, const char *name, const char *text, DWORD type);

#endif
