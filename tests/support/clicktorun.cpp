/* Click-to-Run registry keys for the tests (see clicktorun.h). */
#include "clicktorun.h"
#include "testutil.h"

#include "agent/registry.h"

namespace vqt {

static const char kRoot[] = "SOFTWARE\\Microsoft\\Office\\ClickToRun";

bool WriteClickToRunKeys(const ClickToRunKeys &k, REGSAM view)
{
    std::string config = std::string(kRoot) + "\\Configuration";
    std::string ids = std::string(kRoot) + "\\ProductReleaseIDs";
    bool ok = RegSetSz(HKEY_LOCAL_MACHINE, config, "UpdatesEnabled", "True", view) == 0 &&
              RegSetSz(HKEY_LOCAL_MACHINE, config, "Platform", k.platform, view) == 0 &&
              RegSetSz(HKEY_LOCAL_MACHINE, config, "ProductReleaseIds", k.productReleaseIds, view) == 0 &&
              RegSetSz(HKEY_LOCAL_MACHINE, config, "ClientCulture", k.clientCulture, view) == 0;
    if (ok && !k.excludedApps.empty())
        ok = RegSetSz(HKEY_LOCAL_MACHINE, config, "O365ProPlusRetail.ExcludedApps", k.excludedApps,
                      view) == 0;
    if (ok && (!k.original.empty() || !k.modifier.empty())) {
        ok = RegSetSz(HKEY_LOCAL_MACHINE, ids, "ActiveConfiguration", "20161", view) == 0;
        if (ok && !k.original.empty())
            ok = RegSetSz(HKEY_LOCAL_MACHINE, ids + "\\20161", "Original", k.original, view) == 0;
        if (ok && !k.modifier.empty())
            ok = RegSetSz(HKEY_LOCAL_MACHINE, ids + "\\20161", "Modifier", k.modifier, view) == 0;
    }
    return ok;
}

void DeleteClickToRunKeys()
{
    RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kRoot, KEY_WOW64_64KEY);
    RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kRoot, KEY_WOW64_32KEY);
}

ClickToRunComputer::ClickToRunComputer() : savedWow64_(gv_isWow64Process)
{
    gv_isWow64Process = TRUE;
    DeleteClickToRunKeys();
}

ClickToRunComputer::~ClickToRunComputer()
{
    gv_isWow64Process = savedWow64_;
    DeleteClickToRunKeys();
}

bool ClickToRunComputer::install(const ClickToRunKeys *keys)
{
    DeleteClickToRunKeys();
    return !keys || WriteClickToRunKeys(*keys);
}

} // namespace vqt
