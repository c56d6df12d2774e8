/* What Office Click-to-Run recorded about the installation on this computer:
 * platform, products, culture, excluded applications and the languages
 * installed per product, read from HKEY_LOCAL_MACHINE. Also the driver's own
 * registry reads (64-bit view first on WOW64) and the list tokenizer. */
#ifndef VQ_DRIVER_CTRSTATE_H
#define VQ_DRIVER_CTRSTATE_H

#include <windows.h>
#include <map>
#include <string>
#include <vector>

#define VQ_CTR_CONFIGURATION_KEY "SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration"
#define VQ_CTR_RELEASEIDS_KEY    "SOFTWARE\\Microsoft\\Office\\ClickToRun\\ProductReleaseIDs"

/* First read size of ReadRegistryText and its step on ERROR_MORE_DATA. */
#define VQ_REGTEXT_INITIAL_SIZE 8192
#define VQ_REGTEXT_GROW_STEP    4096

/* Product key ("O365ProPlusRetail.16") to its installed languages, sorted
 * ordinally and free of duplicates. Keys compare case-sensitively. */
typedef std::map<std::string, std::vector<std::string>> InstalledLanguageMap;

struct ClickToRunState {
    std::string updatesEnabled;     /* empty when not recorded */
    std::string platform;           /* "x64", "x86" or what Office wrote */
    std::string productReleaseIds;  /* comma separated */
    std::string clientCulture;
    InstalledLanguageMap installedLanguages;
    std::string excludedApps;       /* comma separated, may be empty */
    /* Product ID to its own "<ID>.ExcludedApps" list, for the products
     * that have one (volume products keep theirs there). */
    std::map<std::string, std::string> productExcludedApps;
};

/* The excluded applications of one product: its own list when Click-to-Run
 * recorded one, else the shared list. */
const std::string &ExcludedAppsOf(const ClickToRunState &state, const std::string &productId);

/* 0, or the registry error code that ends the run. */
DWORD ReadClickToRunState(ClickToRunState *state);
DWORD ReadInstalledLanguages(InstalledLanguageMap *map);

/* Product key ("<ID>.16") of the active configuration to the culture
 * sub-keys stored under it ("de-de", "en-us"), without the language-neutral
 * "x-none". Used for products whose Original and Modifier lists name no
 * language. Adds only keys that `map` has no language for. */
void AddLanguagesFromCultureKeys(HKEY activeConfiguration, InstalledLanguageMap *map);

/* The languages recorded under key; an empty list for an absent key. */
const std::vector<std::string> &InstalledLanguagesOf(const InstalledLanguageMap &map,
                                                     const std::string &key);

/* Opens parent\path to read values and sub-keys: on WOW64 the 64-bit view first,
 * then the 32-bit view. 0 or the error code of the last attempt. */
DWORD OpenRegistryKeyForRead(HKEY parent, const char *path, HKEY *out);

/* Reads a value as narrow text into a zero-terminated buffer that grows from
 * 8192 bytes by 4096 while the registry reports more data. On success *out is
 * a new buffer the caller frees with free(); on failure *out is unchanged. */
DWORD ReadRegistryText(HKEY key, const char *name, char **out);

/* Every maximal run of characters not in the delimiter set, in order: no
 * empty pieces for leading, trailing or repeated delimiters. */
std::vector<std::string> SplitTokens(const std::string &text, const char *delimiters);

#endif
