/* Registry access with the agent's conventions (see registry.h): one key
 * handle per operation, the Windows error code of the failing step as the
 * result, messages under the operation's own name. */
#include "agent/registry.h"
#include "agent/errortext.h"
#include "agent/lasterror.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

BOOL gv_isWow64Process = FALSE;

/* The value name that stands for a key's default value, and the value data
 * that stands for empty data. */
static const char kDefaultMark[] = "--";

/* A null key path would address the root key itself (RegOpenKeyEx and
 * RegCreateKeyEx both accept it); no caller means that, and for the writes
 * and deletions it would touch the root, so it is refused as a missing
 * argument. */
static BOOL missingPath(const char *keyPath)
{
    return keyPath == NULL;
}

LONG RegOpenKeyUtf8(HKEY root, const char *keyPath, REGSAM access, HKEY *key)
{
    if (!key)
        return ERROR_INVALID_DATA;
    *key = NULL;
    wchar_t *widePath = NULL;
    if (keyPath && !(widePath = Utf8ToWideText(keyPath)))
        return ERROR_INVALID_DATA;
    LONG rc = RegOpenKeyExW(root, widePath, 0, access, key);
    free(widePath);
    return rc;
}

/* Tries of the size query and read pair when the value grows in between. */
#define VQ_REGREAD_TRIES 4
/* Zero bytes after every value read, also one stored without terminator. */
#define VQ_REGREAD_SPARE_ZEROS 5

static BOOL isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

LONG RegQueryValueUtf8(HKEY key, const char *valueName, char **data, DWORD *size,
                       DWORD *type)
{
    if (!data || !size)
        return ERROR_INVALID_DATA;
    *data = NULL;
    *size = 0;
    wchar_t *wideName = NULL;
    if (valueName && !(wideName = Utf8ToWideText(valueName)))
        return ERROR_INVALID_DATA;
    LONG rc = ERROR_MORE_DATA;
    BYTE *raw = NULL;
    DWORD got = 0, stored = REG_NONE;
    for (int attempt = 0; attempt < VQ_REGREAD_TRIES && rc == ERROR_MORE_DATA; attempt++) {
        DWORD need = 0;
        rc = RegQueryValueExW(key, wideName, NULL, &stored, NULL, &need);
        if (rc != ERROR_SUCCESS)
            break;
        free(raw);
        raw = (BYTE *)calloc((size_t)need + VQ_REGREAD_SPARE_ZEROS, 1);
        if (!raw) {
            rc = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        got = need;
        rc = RegQueryValueExW(key, wideName, NULL, &stored, raw, &got);
    }
    free(wideName);
    if (rc != ERROR_SUCCESS) {
        free(raw);
        return rc;
    }
    if (type)
        *type = stored;
    if (!isStringType(stored)) {
        *data = (char *)raw;
        *size = got;
        return ERROR_SUCCESS;
    }
    /* An odd last byte of a string value is no character and is dropped. */
    size_t length = 0;
    char *text = WideToUtf8Counted((const wchar_t *)raw, got / sizeof(wchar_t),
                                   VQ_REGREAD_SPARE_ZEROS, &length);
    free(raw);
    if (!text)
        return ERROR_INVALID_DATA;
    *data = text;
    *size = (DWORD)length;
    return ERROR_SUCCESS;
}

DWORD ReadDwordRegistryData(HKEY root, const char *keyPath, const char *valueName,
                            DWORD *value)
{
    if (missingPath(keyPath) || !value)
        return ERROR_INVALID_DATA;
    HKEY key;
    LONG rc = RegOpenKeyUtf8(root, keyPath, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        if (rc == ERROR_FILE_NOT_FOUND)
            LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, (int)rc);
        else
            LogError("ReadDwordRegistryData: Error while opening registry key %s,and the errorcode is : %d \n",
                     keyPath, (int)rc);
        return (DWORD)rc;
    }
    /* The stored type is not examined: any value of at most four bytes is
     * taken; a longer one fails with ERROR_MORE_DATA. */
    DWORD data = 0;
    DWORD size = sizeof(data);
    wchar_t *wideName = NULL;
    if (valueName && !(wideName = Utf8ToWideText(valueName))) {
        RegCloseKey(key);
        return ERROR_INVALID_DATA;
    }
    rc = RegQueryValueExW(key, wideName, NULL, NULL, (BYTE *)&data, &size);
    free(wideName);
    RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, (int)rc);
        return (DWORD)rc;
    }
    if (rc != ERROR_SUCCESS) {
        LogError("ReadDwordRegistryData: Error while reading DWORD value of %s : %d \n", valueName,
                 (int)rc);
        return (DWORD)rc;
    }
    *value = data;
    return ERROR_SUCCESS;
}

DWORD ReadRegSZ(HKEY root, const char *keyPath, const char *valueName, char **value)
{
    if (!value)
        return ERROR_INVALID_DATA;
    *value = NULL;
    if (missingPath(keyPath))
        return ERROR_INVALID_DATA;
    HKEY key;
    LONG rc = RegOpenKeyUtf8(root, keyPath, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        LogError("ReadRegSZ: Error while opening registry key %s ,and the error is  %d \n", keyPath,
                 (int)rc);
        return (DWORD)rc;
    }
    /* The wide query and one conversion to UTF-8: the narrow query would
     * hand back the ANSI code page's bytes, which the rest of the agent
     * would take for UTF-8. A missing value is an ordinary answer for the
     * callers: no message. */
    char *text = NULL;
    DWORD size = 0;
    rc = RegQueryValueUtf8(key, valueName, &text, &size, NULL);
    RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return (DWORD)rc;
    if (rc != ERROR_SUCCESS) {
        LogError("ReadRegSZ: Error while reading DWORD value! %d \n", (int)rc);
        return (DWORD)rc;
    }
    *value = text;
    return ERROR_SUCCESS;
}

DWORD ReadRegSZEx(HKEY root, const wchar_t *keyPath, const char *valueName, wchar_t **value)
{
    if (!value)
        return ERROR_INVALID_DATA;
    *value = NULL;
    if (!keyPath)
        return ERROR_INVALID_DATA;
    HKEY key;
    LONG rc = RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        LogError("ReadRegSZEx: Error while opening registry key : %ls \n", keyPath);
        return (DWORD)rc;
    }
    /* A null name reads the default value, as the narrow form does. */
    wchar_t *wideName = NULL;
    if (valueName && !ChangeUtf8ToWideStr(valueName, &wideName)) {
        RegCloseKey(key);
        return ERROR_INVALID_DATA;
    }
    DWORD size = 0;
    rc = RegQueryValueExW(key, wideName, NULL, NULL, NULL, &size);
    if (rc != ERROR_SUCCESS) {
        RegCloseKey(key);
        free(wideName);
        return (DWORD)rc;
    }
    /* As in ReadRegSZ: five spare zero bytes hold a wide terminator even for
     * an odd stored size. */
    wchar_t *buf = (wchar_t *)calloc((size_t)size + 5, 1);
    if (!buf) {
        RegCloseKey(key);
        free(wideName);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD got = size;
    rc = RegQueryValueExW(key, wideName, NULL, NULL, (BYTE *)buf, &got);
    RegCloseKey(key);
    free(wideName);
    if (rc != ERROR_SUCCESS) {
        LogError("ReadRegSZEx: Error while reading DWORD value! %d \n", (int)rc);
        free(buf);
        return (DWORD)rc;
    }
    *value = buf;
    return ERROR_SUCCESS;
}

/* Creates (or opens) the key and closes it again; `who` names the operation
 * in the messages, `view` is 0 or KEY_WOW64_64KEY. */
static DWORD createKey(const char *who, HKEY root, const char *keyPath, REGSAM view)
{
    LogDebug("%s: Inside addRegistryKey method ...... \n", who);
    if (missingPath(keyPath))
        return ERROR_INVALID_DATA;
    wchar_t *widePath = Utf8ToWideText(keyPath);
    if (!widePath)
        return ERROR_INVALID_DATA;
    HKEY key;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExW(root, widePath, 0, NULL, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | view, NULL, &key, &disposition);
    free(widePath);
    if (rc != ERROR_SUCCESS) {
        LogError("%s:  Create registry key \"%s\" function failed: %d \n", who, keyPath, (int)rc);
        LogErrorMessage((DWORD)rc);
        return (DWORD)rc;
    }
    if (disposition == REG_OPENED_EXISTING_KEY)
        LogDebug("%s:  Opened already existing key! \n", who);
    else
        LogDebug("%s:  Create registry key function successfull: %d \n", who, (int)disposition);
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

DWORD addRegistryKey(HKEY root, const char *keyPath)
{
    return createKey("addRegistryKey", root, keyPath, 0);
}

DWORD addRegistryKeyEx(HKEY root, const char *keyPath)
{
    return createKey("addRegistryKeyEx", root, keyPath, gv_isWow64Process ? KEY_WOW64_64KEY : 0);
}

/* Decimal digits from the left, each added to ten times the running total:
 * no sign and no check of the characters, as the agent has always stored
 * its 64-bit counters. */
static ULONGLONG qwordFromDigits(const char *text)
{
    ULONGLONG total = 0;
    for (const char *p = text; *p; ++p)
        total = total * 10 + (ULONGLONG)(*p - '0');
    return total;
}

/* The REG_MULTI_SZ form of `text`: ';' ends a string, '^' takes the next
 * character literally, two zero characters close the list. A caret at the
 * very end has nothing to escape and is kept as a caret. Returns a new
 * buffer and its byte length, NULL when out of memory. */
static wchar_t *multiStringFromText(const wchar_t *text, DWORD *byteLength)
{
    size_t n = wcslen(text);
    wchar_t *list = (wchar_t *)calloc(n + 2, sizeof(wchar_t));
    if (!list)
        return NULL;
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        wchar_t c = text[i];
        if (c == L'^' && i + 1 < n)
            list[out++] = text[++i];
        else if (c == L';')
            list[out++] = L'\0';
        else
            list[out++] = c;
    }
    list[out] = L'\0';
    list[out + 1] = L'\0';
    *byteLength = (DWORD)(2 * out + 4);
    return list;
}

/* The two write flavours: writeValue and writeValueEx share their steps and
 * differ in the names in their messages, the level of the empty-argument
 * refusal, the key view and the byte rules of some types. */
struct WriteFlavour {
    const char *who;       /* "writeValue" or "writeValueEx" */
    BOOL extended;         /* writeValueEx */
};

/* The bytes to store for `type`. Exactly one of the result buffers is set;
 * the caller frees it. Returns 0, or an error code. */
static DWORD buildValueBytes(const WriteFlavour *fl, DWORD type, const char *narrowData,
                             const wchar_t *wideData, DWORD *dwordOut, ULONGLONG *qwordOut,
                             wchar_t **listOut, const BYTE **bytes, DWORD *length)
{
    switch (type) {
    case REG_DWORD:
        /* writeValue reads the converted text, writeValueEx the narrow one;
         * both as unsigned decimal, so "4294967295" is stored whole. */
        *dwordOut = fl->extended ? (DWORD)strtoul(narrowData, NULL, 10)
                                 : (DWORD)wcstoul(wideData, NULL, 10);
        *bytes = (const BYTE *)dwordOut;
        *length = sizeof(DWORD);
        LogDebug("%s:  REG_DWORD -- sizeOfInputData: %d\n", fl->who, (int)*length);
        return ERROR_SUCCESS;
    case REG_QWORD:
        *qwordOut = qwordFromDigits(narrowData);
        *bytes = (const BYTE *)qwordOut;
        *length = sizeof(ULONGLONG);
        LogDebug("%s:  REG_QWORD -- sizeOfInputData: %d\n", fl->who, (int)*length);
        return ERROR_SUCCESS;
    case REG_BINARY:
        if (fl->extended) {
            /* The narrow bytes with their terminating zero. */
            *bytes = (const BYTE *)narrowData;
            *length = (DWORD)strlen(narrowData) + 1;
            LogDebug("%s:  Data type is REG_BINARY: %d\n", fl->who, (int)*length);
            return ERROR_SUCCESS;
        }
        /* writeValue stores the UTF-16 bytes of the text, as for strings. */
        /* fall through */
    case REG_SZ:
    case REG_EXPAND_SZ:
        *bytes = (const BYTE *)wideData;
        *length = (DWORD)(2 * wcslen(wideData) + 2);
        LogDebug("%s:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: %d\n", fl->who,
                 (int)*length);
        return ERROR_SUCCESS;
    case REG_MULTI_SZ:
        *listOut = multiStringFromText(wideData, length);
        if (!*listOut)
            return ERROR_NOT_ENOUGH_MEMORY;
        *bytes = (const BYTE *)*listOut;
        LogDebug("%s:  Data type is REG_MULTI_SZ: %d\n", fl->who, (int)*length);
        return ERROR_SUCCESS;
    default:
        /* No byte rule for this type: refused rather than stored as
         * something the reader would misread. */
        LogError("%s:  Unsupported data type: %d \n", fl->who, (int)type);
        return ERROR_INVALID_PARAMETER;
    }
}

static DWORD writeValueCommon(const WriteFlavour *fl, HKEY root, const char *keyPath,
                              const char *valueName, const char *valueData, DWORD type)
{
    LogDebug("@@@@@@@@ Inside %s Method @@@@@@@@ \n", fl->who);
    if (!valueName || !valueData) {
        if (fl->extended)
            LogError("%s : Valuename or Valuedata is Empty \n", fl->who);
        else
            LogInfo("%s : Valuename or Valuedata is Empty \n", fl->who);
        return ERROR_INVALID_DATA;
    }
    if (missingPath(keyPath))
        return ERROR_INVALID_DATA;
    LogDebug("%s: Subkey : %s \n", fl->who, keyPath);
    LogDebug("%s: Value Name: %s \n", fl->who, valueName);
    LogDebug("%s: Value Data: %s \n", fl->who, valueData);

    wchar_t *wideName = NULL;
    wchar_t *wideData = NULL;
    if (!ChangeUtf8ToWideStr(valueName, &wideName) ||
        !ChangeUtf8ToWideStr(valueData, &wideData)) {
        free(wideName);
        free(wideData);
        return ERROR_INVALID_DATA;
    }
    BOOL isDefault = strcmp(valueName, kDefaultMark) == 0;
    if (isDefault)
        LogInfo("%s : going to add the (default) value .\n", fl->who);
    const char *narrowData = valueData;
    if (strcmp(valueData, kDefaultMark) == 0) {
        LogInfo("%s : going to add the value data as 0 value .\n", fl->who);
        narrowData = "";
        wideData[0] = L'\0';
    }

    DWORD dwordData = 0;
    ULONGLONG qwordData = 0;
    wchar_t *list = NULL;
    const BYTE *bytes = NULL;
    DWORD length = 0;
    DWORD rc = buildValueBytes(fl, type, narrowData, wideData, &dwordData, &qwordData, &list,
                               &bytes, &length);
    if (rc != ERROR_SUCCESS)
        goto done;

    rc = createKey(fl->extended ? "addRegistryKeyEx" : "addRegistryKey", root, keyPath,
                   fl->extended && gv_isWow64Process ? KEY_WOW64_64KEY : 0);
    if (rc != ERROR_SUCCESS) {
        LogError("%s:  WriteValue failure during key creation! %d \n", fl->who, (int)rc);
        goto done;
    }

    {
        REGSAM access = KEY_ALL_ACCESS;
        if (fl->extended && gv_isWow64Process)
            access |= KEY_WOW64_64KEY;
        HKEY key;
        LONG orc = RegOpenKeyUtf8(root, keyPath, access, &key);
        if (orc != ERROR_SUCCESS) {
            rc = (DWORD)orc;
            LogError("%s:  Key open failure! %d \n", fl->who, (int)rc);
            LogErrorMessage(rc);
            goto done;
        }
        LogDebug("%s:  Key found ...!: %d\n", fl->who, (int)orc);
        LogDebug("%s:  After addRegistryKey method in writeValue method!!\n", fl->who);

        rc = (DWORD)RegSetValueExW(key, isDefault ? NULL : wideName, 0, type, bytes, length);
        if (rc != ERROR_SUCCESS) {
            LogError("%s:  Function WriteValue failure!:%d\n", fl->who, (int)rc);
            LogError("%s:    Subkey: %s \n", fl->who, keyPath);
            LogError("%s:    Valuename: %ls \n", fl->who, wideName);
            LogError("%s:    Valuedata: %ls \n", fl->who, wideData);
            LogError("%s:    Datatype: %d \n", fl->who, (int)type);
            LogErrorMessage(rc);
            RegCloseKey(key);
            goto done;
        }
        LogErrorMessage(ERROR_SUCCESS);
        RegCloseKey(key);
        LogDebug("@@@@@@@@ End Of %s Method @@@@@@@@ \n", fl->who);
    }

done:
    free(list);
    free(wideName);
    free(wideData);
    return rc;
}

DWORD writeValue(HKEY root, const char *keyPath, const char *valueName, const char *valueData,
                 DWORD type)
{
    static const WriteFlavour fl = {"writeValue", FALSE};
    return writeValueCommon(&fl, root, keyPath, valueName, valueData, type);
}

DWORD writeValueEx(HKEY root, const char *keyPath, const char *valueName,
                   const char *valueData, DWORD type)
{
    static const WriteFlavour fl = {"writeValueEx", TRUE};
    return writeValueCommon(&fl, root, keyPath, valueName, valueData, type);
}

/* The registry functions return their code without setting the thread's
 * last error, so it is set here for the " Error Message" line to describe
 * the failure that is being reported. */
static void logRegistryFailureText(LONG rc)
{
    SetLastError((DWORD)rc);
    LogLastErrorMessage();
}

DWORD deleteValue(HKEY root, const char *keyPath, const char *valueName)
{
    LogDebug("deleteValue: Inside function deleteValue ..... \n");
    /* A null name would delete the default value, which callers name "--". */
    if (missingPath(keyPath) || !valueName)
        return ERROR_INVALID_DATA;
    wchar_t *name = NULL;
    if (_stricmp(valueName, kDefaultMark) == 0)
        LogInfo("deleteValue : going to delete the (default) value .\n");
    else if (!(name = Utf8ToWideText(valueName)))
        return ERROR_INVALID_DATA;
    HKEY key;
    LONG rc = RegOpenKeyUtf8(root, keyPath, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS) {
        LogError("deleteValue:  %s Key not found!: %d  \n", keyPath, (int)rc);
        logRegistryFailureText(rc);
        free(name);
        return (DWORD)rc;
    }
    LogInfo("deleteValue:  Key found ...!: %d\n", (int)rc);
    rc = RegDeleteValueW(key, name);
    free(name);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        LogError("deleteValue:  Delete value %s failure! \n", valueName);
        logRegistryFailureText(rc);
        return (DWORD)rc;
    }
    LogInfo("deleteValue:  Delete value %s success! \n", valueName);
    return ERROR_SUCCESS;
}

DWORD deleteValue(HKEY root, const wchar_t *keyPath, const wchar_t *valueName)
{
    LogDebug("deleteValue: Inside function deleteValue ..... subkey : %ls, Valuename : %ls \n",
             keyPath, valueName);
    if (!keyPath || !valueName)
        return ERROR_INVALID_DATA;
    const wchar_t *name = valueName;
    if (_wcsicmp(valueName, L"--") == 0) {
        LogInfo("deleteValue : going to delete the (default) value .\n");
        name = NULL;
    }
    HKEY key;
    LONG rc = RegOpenKeyExW(root, keyPath, 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS) {
        LogError("deleteValue:  %ls Key not found!: %d  \n", keyPath, (int)rc);
        logRegistryFailureText(rc);
        return (DWORD)rc;
    }
    LogInfo("deleteValue:  Key found ...!: %d\n", (int)rc);
    rc = RegDeleteValueW(key, name);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        LogError("deleteValue:  Delete value %ls failure! \n", valueName);
        logRegistryFailureText(rc);
        return (DWORD)rc;
    }
    LogInfo("deleteValue:  Delete value %ls success! \n", valueName);
    return ERROR_SUCCESS;
}

/* An empty (or null) path makes RegOpenKeyEx open the root itself, and the
 * tree deletion would then empty the whole root: refused. */
static BOOL unsafeTreePath(const char *who, const char *keyPath)
{
    if (keyPath && *keyPath)
        return FALSE;
    LogError("%s: refusing to delete a tree without a key path \n", who);
    return TRUE;
}

/* Subkey names are at most 255 characters; the buffer takes 260. */
#define VQ_SUBKEY_NAME_CHARS 260

/* Name of the first subkey of `key` into `name`; FALSE when there is none
 * (or it cannot be read, which ends the walk the same way). */
static BOOL firstSubkey(HKEY key, char *name)
{
    DWORD len = VQ_SUBKEY_NAME_CHARS + 1;
    return RegEnumKeyExA(key, 0, name, &len, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
}

static int deleteTree(HKEY root, const char *keyPath)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return RegDeleteKeyA(root, keyPath) == ERROR_SUCCESS ? 1 : 0;
    char name[VQ_SUBKEY_NAME_CHARS + 1];
    /* Always index 0: each deletion moves the next subkey to the front. */
    while (firstSubkey(key, name)) {
        if (!deleteTree(key, name)) {
            RegCloseKey(key);
            return 0;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, keyPath) == ERROR_SUCCESS ? 1 : 0;
}

int DeleteRegistryKeyTree(HKEY root, const char *keyPath)
{
    if (unsafeTreePath("DeleteRegistryKeyTree", keyPath))
        return 0;
    return deleteTree(root, keyPath);
}

int DeleteRegistryKeyTreeEx(HKEY root, const char *keyPath)
{
    if (unsafeTreePath("DeleteRegistryKeyTreeEx", keyPath))
        return 0;
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return RegDeleteKeyA(root, keyPath) == ERROR_SUCCESS ? 1 : 0;
    char name[VQ_SUBKEY_NAME_CHARS + 1];
    while (firstSubkey(key, name)) {
        HKEY child;
        if (RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS) {
            char grandchild[VQ_SUBKEY_NAME_CHARS + 1];
            while (firstSubkey(child, grandchild)) {
                if (!deleteTree(child, grandchild))
                    break;   /* the child's own deletion below then fails */
            }
            RegCloseKey(child);
        }
        if (RegDeleteKeyA(key, name) != ERROR_SUCCESS) {
            RegCloseKey(key);
            return 0;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, keyPath) == ERROR_SUCCESS ? 1 : 0;
}
