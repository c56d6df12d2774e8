/* The check of the Click-to-Run state after setup (see installcheck.h). The
 * state is read with the same reader as before the rewrite, which opens its
 * keys afresh. Identifiers compare without regard to case, as Office treats
 * them; a language of the "Match..." kind (MatchOS, MatchInstalled) names no
 * language of its own and is not checked. */
#include "driver/installcheck.h"
#include "driver/docrequest.h"
#include "agent/log.h"

#include <string.h>

std::vector<std::string> LanguagesShownFor(const ClickToRunState &state, const std::string &id)
{
    const std::vector<std::string> &recorded =
        InstalledLanguagesOf(state.installedLanguages, id + ".16");
    if (!recorded.empty())
        return recorded;
    return std::vector<std::string>(1, state.clientCulture);
}

static bool containsIgnoringCase(const std::vector<std::string> &list, const std::string &item)
{
    for (const std::string &s : list)
        if (_stricmp(s.c_str(), item.c_str()) == 0)
            return true;
    return false;
}

void CheckInstalledState(const char *configPath)
{
    DocumentRequest request;
    if (ReadDocumentRequest(configPath, &request) != 0) {
        LogError("CheckInstalledState : unable to read the configuration document %s.\n", configPath);
        return;
    }
    ClickToRunState now;
    DWORD rc = ReadClickToRunState(&now);
    if (rc != 0) {
        LogError("CheckInstalledState : unable to read the Click-to-Run state after setup. Error Code : %lu\n",
                 (unsigned long)rc);
        return;
    }
    std::vector<std::string> installed = SplitTokens(now.productReleaseIds, ",");
    LogInfo("CheckInstalledState : installed now : Platform %s, ClientCulture %s, Products %s\n",
            now.platform.c_str(), now.clientCulture.c_str(), ListText(installed, ",").c_str());
    for (const std::string &id : installed)
        LogInfo("CheckInstalledState : Product %s : Languages %s, ExcludedApps %s\n", id.c_str(),
                ListText(LanguagesShownFor(now, id), ",").c_str(),
                ListText(SplitTokens(ExcludedAppsOf(now, id), ","), ",").c_str());

    int missing = 0;
    for (const RequestedProduct &asked : request.products) {
        const std::string *found = NULL;
        for (const std::string &id : installed)
            if (_stricmp(id.c_str(), asked.id.c_str()) == 0)
                found = &id;
        if (!found) {
            LogError("CheckInstalledState : Product %s is not installed.\n", asked.id.c_str());
            missing++;
            continue;
        }
        std::vector<std::string> languages = LanguagesShownFor(now, *found);
        for (const std::string &language : asked.languages) {
            if (_strnicmp(language.c_str(), "Match", 5) == 0 || containsIgnoringCase(languages, language))
                continue;
            LogError("CheckInstalledState : Language %s of Product %s is not installed.\n",
                     language.c_str(), asked.id.c_str());
            missing++;
        }
        std::vector<std::string> excluded = SplitTokens(ExcludedAppsOf(now, *found), ",");
        for (const std::string &app : asked.excludedApps) {
            if (containsIgnoringCase(excluded, app))
                continue;
            LogError("CheckInstalledState : ExcludeApp %s of Product %s is not applied.\n",
                     app.c_str(), asked.id.c_str());
            missing++;
        }
    }
    for (const std::string &id : ProductsLeftRemoved(request)) {
        if (!containsIgnoringCase(installed, id))
            continue;
        LogError("CheckInstalledState : Product %s was removed by the document and is still installed.\n",
                 id.c_str());
        missing++;
    }
    if (missing == 0)
        LogInfo("CheckInstalledState : Click-to-Run holds what the document asked for.\n");
}
