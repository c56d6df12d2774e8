/* The key object (see regkey.h): an open key kept across calls, opened or
 * created inside a registry transaction when one is attached. */
#include "agent/regkey.h"
#include "agent/registry.h"

#include <stdlib.h>
#include <string.h>

typedef LONG(WINAPI *RegOpenKeyTransactedAFn)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY, HANDLE, PVOID);
typedef LONG(WINAPI *RegCreateKeyTransactedAFn)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                                                const LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD,
                                                HANDLE, PVOID);

static const REGSAM kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

/* The transacted functions exist from Windows Vista on; looked up on each
 * use, which costs little next to the registry call itself. */
static FARPROC advapiFunction(const char *name)
{
    HMODULE module = GetModuleHandleA("Advapi32.dll");
    if (!module)
        module = LoadLibraryA("Advapi32.dll");
    return module ? GetProcAddress(module, name) : NULL;
}

/* How an open or create is to be done for the key's transaction. */
enum KeyRoute { ROUTE_PLAIN, ROUTE_TRANSACTED, ROUTE_REFUSED };

static KeyRoute routeFor(const RegKey *k)
{
    if (!k->transaction)
        return ROUTE_PLAIN;
    if (k->transaction->handle)
        return ROUTE_TRANSACTED;
    return k->transaction->fallback ? ROUTE_PLAIN : ROUTE_REFUSED;
}

/* Keeps `opened` as the key's handle, closing the one held before. */
static void keepKey(RegKey *k, HKEY opened, REGSAM access)
{
    if (k->key)
        RegCloseKey(k->key);
    k->key = opened;
    k->view = access & kViewBits;
}

void RegKeyInit(RegKey *k, RegTransaction *transaction)
{
    if (!k)
        return;
    k->key = NULL;
    k->view = 0;
    k->transaction = transaction;
}

LONG RegKeyOpen(RegKey *k, HKEY root, const char *path, REGSAM access)
{
    if (!k)
        return ERROR_INVALID_DATA;
    HKEY opened = NULL;
    LONG rc;
    switch (routeFor(k)) {
    case ROUTE_TRANSACTED: {
        RegOpenKeyTransactedAFn fn =
            (RegOpenKeyTransactedAFn)(void *)advapiFunction("RegOpenKeyTransactedA");
        if (!fn)
            return ERROR_INVALID_FUNCTION;
        rc = fn(root, path, 0, access, &opened, k->transaction->handle, NULL);
        break;
    }
    case ROUTE_PLAIN:
        rc = RegOpenKeyExA(root, path, 0, access, &opened);
        break;
    default:
        return ERROR_INVALID_FUNCTION;
    }
    if (rc == ERROR_SUCCESS)
        keepKey(k, opened, access);
    return rc;
}

LONG RegKeyCreate(RegKey *k, HKEY root, const char *path, char *className, DWORD options,
                  REGSAM access, LPSECURITY_ATTRIBUTES security, DWORD *disposition)
{
    if (!k)
        return ERROR_INVALID_DATA;
    HKEY created = NULL;
    DWORD disp = 0;
    LONG rc;
    switch (routeFor(k)) {
    case ROUTE_TRANSACTED: {
        RegCreateKeyTransactedAFn fn =
            (RegCreateKeyTransactedAFn)(void *)advapiFunction("RegCreateKeyTransactedA");
        if (!fn)
            return ERROR_INVALID_FUNCTION;
        rc = fn(root, path, 0, className, options, access, security, &created, &disp,
                k->transaction->handle, NULL);
        break;
    }
    case ROUTE_PLAIN:
        rc = RegCreateKeyExA(root, path, 0, className, options, access, security, &created,
                             &disp);
        break;
    default:
        return ERROR_INVALID_FUNCTION;
    }
    if (disposition)
        *disposition = disp;
    if (rc == ERROR_SUCCESS)
        keepKey(k, created, access);
    return rc;
}

void RegKeyClose(RegKey *k)
{
    if (!k)
        return;
    if (k->key)
        RegCloseKey(k->key);
    k->key = NULL;
    k->view = 0;
}

LONG RegKeyQueryDword(RegKey *k, const char *name, DWORD *value)
{
    if (!k || !value)
        return ERROR_INVALID_DATA;
    if (!k->key)
        return ERROR_INVALID_HANDLE;
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    LONG rc = RegQueryValueExA(k->key, name, NULL, &type, (BYTE *)&data, &size);
    /* The type is known also when the data did not fit. */
    if ((rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && type != REG_DWORD)
        return ERROR_INVALID_DATA;
    if (rc != ERROR_SUCCESS)
        return rc;
    if (size != sizeof(data))
        return ERROR_INVALID_DATA;
    *value = data;
    return ERROR_SUCCESS;
}

LONG RegKeyQueryString(RegKey *k, const char *name, char *buffer, DWORD *count)
{
    if (!k || !buffer || !count)
        return ERROR_INVALID_DATA;
    if (!k->key)
        return ERROR_INVALID_HANDLE;
    /* Read wide and handed out as UTF-8, like every narrow text of the
     * agent; *count is in bytes of that UTF-8 text. */
    char *text = NULL;
    DWORD size = 0, type = REG_NONE;
    LONG rc = RegQueryValueUtf8(k->key, name, &text, &size, &type);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        free(text);
        return ERROR_INVALID_DATA;
    }
    /* A text stored without its terminator gets one, as the registry's own
     * query does when there is room: the size counts it. */
    DWORD need = size;
    if (size > 0 && text[size - 1] != '\0')
        need = size + 1;
    if (need > *count) {
        *count = need;
        free(text);
        return ERROR_MORE_DATA;
    }
    if (need == 0) {
        if (*count > 0)
            buffer[0] = '\0';
    } else {
        memcpy(buffer, text, need);   /* the read ends in spare zero bytes */
    }
    *count = need;
    free(text);
    return ERROR_SUCCESS;
}

LONG RegKeySetString(RegKey *k, const char *name, const char *text, DWORD type)
{
    if (!k || !text)
        return ERROR_INVALID_DATA;
    if (!k->key)
        return ERROR_INVALID_HANDLE;
    return RegSetValueExA(k->key, name, 0, type, (const BYTE *)text, (DWORD)strlen(text) + 1);
}
