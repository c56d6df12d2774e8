/* Helpers of the registry tests (see registrytest.h). */
#include "registrytest.h"
#include "testutil.h"

#include "agent/registry.h"

#include <stdio.h>

namespace vqt {

RegTestKey::RegTestKey(const char *tag)
{
    static LONG counter = 0;
    char name[160];
    snprintf(name, sizeof(name), "Software\\VQTests\\%s-%lu-%ld", tag, GetCurrentProcessId(),
             InterlockedIncrement(&counter));
    path_ = name;
    RegDeleteTreeA2(HKEY_LOCAL_MACHINE, path_, KEY_WOW64_32KEY);
    RegDeleteTreeA2(HKEY_LOCAL_MACHINE, path_, KEY_WOW64_64KEY);
}

RegTestKey::~RegTestKey()
{
    gv_isWow64Process = FALSE;
    const REGSAM views[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
    for (REGSAM view : views) {
        RegDeleteTreeA2(HKEY_LOCAL_MACHINE, path_, view);
        /* The common parent goes only when no other test key is left in it. */
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "Software\\VQTests", view, 0);
    }
}

std::wstring RawValue::asWide() const
{
    return std::wstring((const wchar_t *)bytes.data(), bytes.size() / sizeof(wchar_t));
}

RawValue ReadRawValue(HKEY root, const std::string &path, const wchar_t *name, REGSAM view)
{
    RawValue v;
    HKEY key;
    std::wstring wpath(path.begin(), path.end());
    v.rc = RegOpenKeyExW(root, wpath.c_str(), 0, KEY_QUERY_VALUE | view, &key);
    if (v.rc != ERROR_SUCCESS)
        return v;
    DWORD size = 0;
    v.rc = RegQueryValueExW(key, name, NULL, &v.type, NULL, &size);
    if (v.rc == ERROR_SUCCESS) {
        v.bytes.resize(size);
        v.rc = RegQueryValueExW(key, name, NULL, &v.type, v.bytes.data(), &size);
        v.bytes.resize(size);
    }
    RegCloseKey(key);
    return v;
}

} // namespace vqt
