/* Writes the Click-to-Run registry keys of an installed Office for
 * whole-run tests, in the 64-bit view as Office on 64-bit Windows has them,
 * and removes them from both views. Tests only. */
#ifndef VQ_TESTS_CLICKTORUN_H
#define VQ_TESTS_CLICKTORUN_H

#include <windows.h>
#include <string>

namespace vqt {

struct ClickToRunKeys {
    std::string platform = "x64";
    std::string productReleaseIds = "O365ProPlusRetail,VisioProRetail";
    std::string clientCulture = "en-us";
    std::string excludedApps = "groove,lync";
    /* "ActiveConfiguration" sub-key values; empty: not written. */
    std::string original = "O365ProPlusRetail.16_en-us_x-none|VisioProRetail.16_en-us_x-none";
    std::string modifier = "O365ProPlusRetail.16_de-de_x-none,VisioProRetail.16_de-de_x-none";
};

bool WriteClickToRunKeys(const ClickToRunKeys &keys, REGSAM view = KEY_WOW64_64KEY);
void DeleteClickToRunKeys();

} // namespace vqt

#endif
