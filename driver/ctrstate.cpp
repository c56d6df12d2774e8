/* Reads the Click-to-Run state of the installed Office (see ctrstate.h). All
 * reads are under HKEY_LOCAL_MACHINE and change nothing; each key is closed
 * once its values are read. */
#include "driver/ctrstate.h"
#include "agent/log.h"
#include "agent/textconv.h"
#include "agent/registry.h"

#include <stdlib.h>
#include <string.h>
#include <algorithm>

DWORD OpenRegistryKeyForRead(HKEY parent, const char *path, HKEY *out)
{
    const REGSAM read = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
    LONG rc;
    if (gv_isWow64Process) {
        /* A 32-bit process on 64-bit Windows: Office may have written either
         * view, the 64-bit one is the installation's own. */
        rc = RegOpenKeyUtf8(parent, path, read | KEY_WOW64_64KEY, out);
        if (rc != ERROR_SUCCESS)
            rc = RegOpenKeyUtf8(parent, path, read | KEY_WOW64_32KEY, out);
    } else {
        rc = RegOpenKeyUtf8(parent, path, read, out);
    }
    if (rc != ERROR_SUCCESS) {
        LogError("Unable to open Reg Key -> %s. Error Code: %ld\n", path, (long)rc);
        return (DWORD)rc;
    }
    return ERROR_SUCCESS;
}

DWORD ReadRegistryText(HKEY key, const char *name, char **out)
{
    /* The wide query, converted to UTF-8 once: the narrow one would give
     * the ANSI code page's bytes. */
    wchar_t *wideName = NULL;
    if (name && !(wideName = Utf8ToWideText(name)))
        return ERROR_INVALID_DATA;
    DWORD requested = VQ_REGTEXT_INITIAL_SIZE;
    for (;;) {
        /* One spare zero character beyond what the registry may fill: data
         * stored without a terminating zero, or exactly filling the buffer,
         * still ends inside the buffer. */
        wchar_t *buf = (wchar_t *)calloc((size_t)requested / sizeof(wchar_t) + 1,
                                         sizeof(wchar_t));
        if (!buf) {
            free(wideName);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        DWORD size = requested;
        LONG rc = RegQueryValueExW(key, wideName, NULL, NULL, (BYTE *)buf, &size);
        if (rc == ERROR_SUCCESS) {
            free(wideName);
            char *text = NULL;
            BOOL ok = ChangeWideToUtf8Str(buf, &text);
            free(buf);
            if (!ok)
                return ERROR_INVALID_DATA;
            *out = text;
            return ERROR_SUCCESS;
        }
        free(buf);
        if (rc != ERROR_MORE_DATA) {
            free(wideName);
            return (DWORD)rc;
        }
        /* The size reported back is not trusted: the value may change
         * between the queries, so the request grows in fixed steps. */
        if (requested > 0xFFFFFFFFu - VQ_REGTEXT_GROW_STEP - 2) {
            free(wideName);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        requested += VQ_REGTEXT_GROW_STEP;
    }
}

std::vector<std::string> SplitTokens(const std::string &text, const char *delimiters)
{
    std::vector<std::string> pieces;
    size_t start = std::string::npos;
    for (size_t i = 0; i <= text.size(); i++) {
        /* strchr also finds the set's terminating zero, so a zero byte in
         * the text is tested apart and kept in its piece. */
        bool delim = i == text.size() ||
                     (text[i] != '\0' && strchr(delimiters, text[i]) != NULL);
        if (delim) {
            if (start != std::string::npos)
                pieces.push_back(text.substr(start, i - start));
            start = std::string::npos;
        } else if (start == std::string::npos) {
            start = i;
        }
    }
    return pieces;
}

const std::vector<std::string> &InstalledLanguagesOf(const InstalledLanguageMap &map,
                                                     const std::string &key)
{
    static const std::vector<std::string> none;
    InstalledLanguageMap::const_iterator it = map.find(key);
    return it == map.end() ? none : it->second;
}

/* Reads name under key into text; 0 or the read's error code (text is then
 * left as it was). */
static DWORD readText(HKEY key, const char *name, std::string *text)
{
    char *value = NULL;
    DWORD rc = ReadRegistryText(key, name, &value);
    if (rc == ERROR_SUCCESS) {
        *text = value;
        free(value);
    }
    return rc;
}

/* A token "<key>_<language>..._<last>" adds its languages to the key's list;
 * the last part is not a language. Fewer than three parts add nothing. */
static void addLanguageToken(InstalledLanguageMap *map, const std::string &token)
{
    LogDebug("parsing token %s\n", token.c_str());
    std::vector<std::string> parts = SplitTokens(token, "_");
    if (parts.size() < 3)
        return;
    std::vector<std::string> &list = (*map)[parts[0]];
    list.insert(list.end(), parts.begin() + 1, parts.end() - 1);
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

DWORD ReadInstalledLanguages(InstalledLanguageMap *map)
{
    HKEY ids;
    DWORD rc = OpenRegistryKeyForRead(HKEY_LOCAL_MACHINE, VQ_CTR_RELEASEIDS_KEY, &ids);
    if (rc != ERROR_SUCCESS)
        return rc;

    std::string active;
    rc = readText(ids, "ActiveConfiguration", &active);
    if (rc != ERROR_SUCCESS) {
        LogError("Failed to read ActiveConfiguration from the registry. Error Code : %ld\n",
                 (long)rc);
        RegCloseKey(ids);
        return rc;
    }

    HKEY config;
    rc = OpenRegistryKeyForRead(ids, active.c_str(), &config);
    RegCloseKey(ids);
    if (rc != ERROR_SUCCESS)
        return rc;

    std::vector<std::string> tokens;
    std::string text;
    if (readText(config, "Original", &text) == ERROR_SUCCESS) {
        LogDebug("Original : %s\n", text.c_str());
        std::vector<std::string> pieces = SplitTokens(text, "|");
        tokens.insert(tokens.end(), pieces.begin(), pieces.end());
    }
    if (readText(config, "Modifier", &text) == ERROR_SUCCESS) {
        LogDebug("Modifier : %s\n", text.c_str());
        for (const std::string &group : SplitTokens(text, "||")) {
            std::vector<std::string> pieces = SplitTokens(group, ",");
            tokens.insert(tokens.end(), pieces.begin(), pieces.end());
        }
    }
    for (const std::string &token : tokens)
        addLanguageToken(map, token);
    AddLanguagesFromCultureKeys(config, map);
    RegCloseKey(config);
    return ERROR_SUCCESS;
}

/* Sub-key names are at most 255 characters. */
#define VQ_CTR_SUBKEY_CHARS 256

/* The names of the direct sub-keys of key, as UTF-8. */
static std::vector<std::string> subkeyNames(HKEY key)
{
    std::vector<std::string> names;
    wchar_t name[VQ_CTR_SUBKEY_CHARS + 1];
    for (DWORD i = 0;; i++) {
        DWORD len = VQ_CTR_SUBKEY_CHARS;
        LONG rc = RegEnumKeyExW(key, i, name, &len, NULL, NULL, NULL, NULL);
        if (rc == ERROR_MORE_DATA)
            continue;   /* longer than any key name: not ours */
        if (rc != ERROR_SUCCESS)
            break;
        char *utf8 = NULL;
        if (ChangeWideToUtf8Str(name, &utf8)) {
            names.push_back(utf8);
            free(utf8);
        }
    }
    return names;
}

void AddLanguagesFromCultureKeys(HKEY activeConfiguration, InstalledLanguageMap *map)
{
    for (const std::string &product : subkeyNames(activeConfiguration)) {
        if (!InstalledLanguagesOf(*map, product).empty())
            continue;
        HKEY key;
        if (RegOpenKeyUtf8(activeConfiguration, product.c_str(), KEY_ENUMERATE_SUB_KEYS, &key) !=
            ERROR_SUCCESS)
            continue;
        std::vector<std::string> cultures;
        for (const std::string &culture : subkeyNames(key))
            if (_stricmp(culture.c_str(), "x-none") != 0)
                cultures.push_back(culture);
        RegCloseKey(key);
        if (cultures.empty())
            continue;
        std::sort(cultures.begin(), cultures.end());
        cultures.erase(std::unique(cultures.begin(), cultures.end()), cultures.end());
        LogDebug("Languages of %s from its culture keys : %d\n", product.c_str(),
                 (int)cultures.size());
        (*map)[product] = cultures;
    }
}

const std::string &ExcludedAppsOf(const ClickToRunState &state, const std::string &productId)
{
    std::map<std::string, std::string>::const_iterator it =
        state.productExcludedApps.find(productId);
    return it == state.productExcludedApps.end() ? state.excludedApps : it->second;
}

/* Each product's own "<ID>.ExcludedApps" value, where Click-to-Run has one. */
static void readProductExclusions(HKEY key, ClickToRunState *state)
{
    for (const std::string &id : SplitTokens(state->productReleaseIds, ",")) {
        std::string list;
        if (readText(key, (id + ".ExcludedApps").c_str(), &list) == ERROR_SUCCESS)
            state->productExcludedApps[id] = list;
    }
}

DWORD ReadClickToRunState(ClickToRunState *state)
{
    HKEY key;
    DWORD rc = OpenRegistryKeyForRead(HKEY_LOCAL_MACHINE, VQ_CTR_CONFIGURATION_KEY, &key);
    if (rc != ERROR_SUCCESS)
        return rc;

    readText(key, "UpdatesEnabled", &state->updatesEnabled);
    LogInfo("UpdatesEnabled : %s\n",
            state->updatesEnabled.empty() ? "FALSE" : state->updatesEnabled.c_str());

    rc = readText(key, "Platform", &state->platform);
    if (rc != ERROR_SUCCESS) {
        LogError("Failed to read Platform from registry. Error Code : %ld. So assiging system's architecture.\n",
                 (long)rc);
        state->platform = gv_isWow64Process ? "x64" : "x86";
    }

    rc = readText(key, "ProductReleaseIds", &state->productReleaseIds);
    if (rc != ERROR_SUCCESS) {
        LogError("Failed to read ProductReleaseIds from the registry. Error Code : %ld\n",
                 (long)rc);
        RegCloseKey(key);
        return rc;
    }

    rc = readText(key, "ClientCulture", &state->clientCulture);
    if (rc != ERROR_SUCCESS) {
        LogError("Failed to read ClientCulture from the registry. Error Code : %ld\n", (long)rc);
        RegCloseKey(key);
        return rc;
    }

    rc = ReadInstalledLanguages(&state->installedLanguages);
    if (rc != ERROR_SUCCESS) {
        LogError("Failed to get installed languages from the registry. Error Code : %ld\n",
                 (long)rc);
        LogInfo("Proceeding with retrieved ClientCulture.\n");
    }

    rc = readText(key, "O365ProPlusRetail.ExcludedApps", &state->excludedApps);
    if (rc != ERROR_SUCCESS)
        rc = readText(key, "O365BusinessRetail.ExcludedApps", &state->excludedApps);
    if (rc != ERROR_SUCCESS) {
        LogError("Failed to read ExcludedApps from the registry. Error Code : %ld. So proceeding without adding them.\n",
                 (long)rc);
        state->excludedApps.clear();
    }
    readProductExclusions(key, state);
    RegCloseKey(key);
    return ERROR_SUCCESS;
}
