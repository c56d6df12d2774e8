/* The preview of a deployment (see preview.h). It reads what a run reads
 * (the document, the Click-to-Run state, the running Office applications,
 * the agent's "alwaysKillApps") and passes the rewrite through the editor of
 * a real run, on a copy of the document in the temporary folder, so that
 * what it prints is what a run would save. The copy is its own file and is
 * removed again; the document and the working directory are not touched. */
#include "driver/preview.h"
#include "driver/configdoc.h"
#include "driver/ctrstate.h"
#include "driver/docrequest.h"
#include "driver/officeguard.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <stdlib.h>
#include <string>
#include <vector>

#define VQ_EXIT_FILE_NOT_FOUND 2
#define VQ_EXIT_INVALID_DATA   13

/* Attempts at a free name for the copy. */
#define VQ_PREVIEW_COPY_ATTEMPTS 100

/* A file's bytes into *bytes; FALSE when it cannot be read. */
static BOOL readBytes(const std::wstring &path, std::string *bytes)
{
    bytes->clear();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    char chunk[65536];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ReadFile(h, chunk, sizeof(chunk), &got, NULL)) && got > 0)
        bytes->append(chunk, got);
    CloseHandle(h);
    return ok;
}

/* Writes `bytes` into a new file of the temporary folder; its UTF-8 path
 * into *copyPath and its wide path into *wideCopy, or 0 with a Windows error
 * code returned. */
static DWORD writeCopy(const std::string &bytes, std::string *copyPath, std::wstring *wideCopy)
{
    wchar_t folder[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH)
        return n == 0 ? GetLastError() : ERROR_BUFFER_OVERFLOW;
    DWORD error = ERROR_FILE_EXISTS;
    for (int i = 0; i < VQ_PREVIEW_COPY_ATTEMPTS; i++) {
        std::wstring path = std::wstring(folder) + L"vqpreview." +
                            std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(i) +
                            L".xml";
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
                return error;
            continue;
        }
        BOOL ok = bytes.empty() || WriteWholeBuffer(h, bytes.data(), (DWORD)bytes.size());
        error = ok ? 0 : GetLastError();
        CloseHandle(h);
        char *utf8 = NULL;
        if (ok && !ChangeWideToUtf8Str(path.c_str(), &utf8))
            error = ERROR_INVALID_NAME;
        if (error != 0) {
            DeleteFileW(path.c_str());
            return error ? error : ERROR_WRITE_FAULT;
        }
        *copyPath = utf8;
        free(utf8);
        *wideCopy = path;
        return 0;
    }
    return error;
}

static std::string valueText(const DocumentValue &v)
{
    return v.present ? "\"" + v.text + "\"" : std::string("(not set)");
}

static void printProducts(FILE *out, const char *title, const std::vector<RequestedProduct> &products)
{
    fprintf(out, "%s\n", title);
    if (products.empty())
        fprintf(out, "  (none)\n");
    for (const RequestedProduct &p : products)
        fprintf(out, "  %s : languages %s; excluded %s\n", p.id.c_str(),
                ListText(p.languages, ", ").c_str(), ListText(p.excludedApps, ", ").c_str());
}

/* The summary after the rewritten document. `after` is NULL when there is
 * no rewrite (the Click-to-Run state could not be read). */
static void printSummary(FILE *out, const char *configPath, const char *toolPath,
                         const DocumentRequest &before, const DocumentRequest *after,
                         DWORD stateResult, const ClickToRunState &state,
                         const OfficeApplicationPlan &plan)
{
    fprintf(out, "==== Preview of %s: nothing on this computer was changed ====\n", configPath);
    if (stateResult != 0) {
        fprintf(out, "Click-to-Run          : cannot be read (Error Code %lu): a run would end "
                     "with %lu after extracting the tool\n",
                (unsigned long)stateResult, (unsigned long)stateResult);
    } else {
        fprintf(out, "Click-to-Run          : Platform %s, ClientCulture %s, Products %s\n",
                state.platform.c_str(), state.clientCulture.c_str(),
                ListText(SplitTokens(state.productReleaseIds, ","), ", ").c_str());
    }
    const DocumentRequest &will = after ? *after : before;
    fprintf(out, "OfficeClientEdition   : %s -> %s\n", valueText(before.edition).c_str(),
            valueText(will.edition).c_str());
    fprintf(out, "Version               : %s -> %s\n", valueText(before.version).c_str(),
            valueText(will.version).c_str());
    fprintf(out, "TargetVersion         : %s -> %s\n", valueText(before.targetVersion).c_str(),
            valueText(will.targetVersion).c_str());
    printProducts(out, "Products in the document:", before.products);
    if (after)
        printProducts(out, "Products after the rewrite:", after->products);
    fprintf(out, "Products removed      : %s\n", ListText(ProductsLeftRemoved(will), ", ").c_str());
    fprintf(out, "FORCEAPPSHUTDOWN      : %s -> %s\n", ListText(before.forceAppShutdown, ", ").c_str(),
            ListText(will.forceAppShutdown, ", ").c_str());
    if (plan.running.empty())
        fprintf(out, "Office applications   : none running\n");
    else if (plan.closeThem)
        fprintf(out, "Office applications   : %s running: a run would close them (%s)\n",
                ListText(plan.running, ", ").c_str(),
                plan.alwaysKillApps ? "alwaysKillApps is set" : "Windows started less than 15 minutes ago");
    else
        fprintf(out, "Office applications   : %s running: a run would leave them running and end "
                     "with 20001 before extracting the tool\n",
                ListText(plan.running, ", ").c_str());
    if (!*toolPath)
        fprintf(out, "Deployment tool       : not given (\"-odt\"): a run would end with 2\n");
    else if (!FileExists(toolPath))
        fprintf(out, "Deployment tool       : %s not found: a run would end with 2\n", toolPath);
    else
        fprintf(out, "Deployment tool       : %s\n", toolPath);
}

LONG PreviewDeployment(const char *configPath, const char *toolPath, const char *version,
                       FILE *out, ULONGLONG ticksSinceBoot)
{
    const char *config = configPath;
    if (!FileExists(config)) {
        LogError("Configuration XML file not found.\n");
        return VQ_EXIT_FILE_NOT_FOUND;
    }
    DocumentRequest before;
    if (ReadDocumentRequest(config, &before) != 0) {
        LogError("Unable to open configuration XML file.\n");
        return VQ_EXIT_INVALID_DATA;
    }
    OfficeApplicationPlan plan = PlanOfficeApplications(ticksSinceBoot);
    ClickToRunState state;
    DWORD stateResult = ReadClickToRunState(&state);

    LONG result = 0;
    DocumentRequest after;
    bool rewritten = false;
    if (stateResult == 0) {
        wchar_t *wide = Utf8ToWideText(config);
        std::string original, rewrittenBytes, copy;
        std::wstring wideCopy;
        DWORD e = wide && readBytes(wide, &original) ? writeCopy(original, &copy, &wideCopy)
                                                     : GetLastError();
        free(wide);
        if (copy.empty()) {
            LogError("PreviewDeployment : unable to copy %s into the temporary folder. Error Code : %lu\n",
                     config, (unsigned long)(e ? e : ERROR_INVALID_NAME));
            return VQ_EXIT_INVALID_DATA;
        }
        LogInfo("PreviewDeployment : rewriting the copy %s\n", copy.c_str());
        if (RewriteConfigurationDocument(copy.c_str(), &state, version,
                                         IsAlwaysKillAppsSet()) != 0 ||
            !readBytes(wideCopy, &rewrittenBytes) || ReadDocumentRequest(copy.c_str(), &after) != 0) {
            result = VQ_EXIT_INVALID_DATA;
        } else {
            rewritten = true;
        }
        if (!DeleteFileW(wideCopy.c_str()))
            LogError("PreviewDeployment : unable to remove the copy %s. Error Code : %lu\n",
                     copy.c_str(), GetLastError());
        if (result != 0)
            return result;
        /* The agent's parameters print the computer's addresses before
         * this: the line marks where the document starts. */
        fprintf(out, "==== %s as a run would save it ====\n", config);
        fwrite(rewrittenBytes.data(), 1, rewrittenBytes.size(), out);
        if (!rewrittenBytes.empty() && rewrittenBytes[rewrittenBytes.size() - 1] != '\n')
            fputc('\n', out);
    }
    printSummary(out, configPath, toolPath, before, rewritten ? &after : NULL, stateResult, state, plan);
    fflush(out);
    LogInfo("PreviewDeployment : the rewritten document and its summary were printed; nothing was changed.\n");
    return result;
}
