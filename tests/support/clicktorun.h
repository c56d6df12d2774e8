/* Writes the Click-to-Run registry keys of an installed Office for the
 * tests, in the 64-bit view as Office on 64-bit Windows has them, and
 * removes them from both views; for the tests that read them in their own
 * process, the computer as the program sees it there. Tests only. */
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

/* While it lives, the agent's WOW64 flag is TRUE, as the 32-bit program has
 * it in the 64-bit prefix, and Click-to-Run is only what install() wrote.
 * When it goes, also after a failed check ended the test early, the flag is
 * put back and the keys are removed from both views. */
class ClickToRunComputer {
public:
    ClickToRunComputer();
    ~ClickToRunComputer();
    ClickToRunComputer(const ClickToRunComputer &) = delete;
    ClickToRunComputer &operator=(const ClickToRunComputer &) = delete;
    /* Replaces the keys with `keys`; NULL: no Click-to-Run at all. */
    bool install(const ClickToRunKeys *keys);

private:
    BOOL savedWow64_;
};

} // namespace vqt

#endif
