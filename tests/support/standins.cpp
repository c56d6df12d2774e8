/* Helpers for the stand-in deployment tool, setup.exe and foreign warning
 * window (see standins.h). */
#include "standins.h"
#include "testutil.h"
#include "agent/log.h"

#include <stdlib.h>
#include <string>
#include <vector>

namespace vqt {

std::string SetupSettingsText(const SetupBehaviour &b)
{
    std::string s = "[setup]\r\n";
    s += "ExitCode=" + std::to_string(b.exitCode) + "\r\n";
    s += "SleepMs=" + std::to_string(b.sleepMs) + "\r\n";
    s += "Warning=" + std::string(b.showWarning ? "1" : "0") + "\r\n";
    if (!b.title.empty())
        s += "Title=\"" + b.title + "\"\r\n";
    /* Quoted, so that leading and trailing blanks survive the reading. */
    s += "ButtonText=\"" + b.buttonText + "\"\r\n";
    s += "ClickedExitCode=" + std::to_string(b.clickedExitCode) + "\r\n";
    s += "WarningLimitMs=" + std::to_string(b.warningLimitMs) + "\r\n";
    if (!b.spawn.empty())
        s += "Spawn=\"" + b.spawn + "\"\r\n";
    const ResultingState &st = b.state;
    s += "[state]\r\nWrite=" + std::string(st.write ? "1" : "0") + "\r\n";
    s += "RemoveConfiguration=" + std::string(st.removeConfiguration ? "1" : "0") + "\r\n";
    const std::pair<const char *, const std::string *> values[] = {
        {"ProductReleaseIds", &st.productReleaseIds}, {"ClientCulture", &st.clientCulture},
        {"ExcludedApps", &st.excludedApps},           {"Original", &st.original},
        {"Modifier", &st.modifier}};
    for (const auto &v : values)
        if (*v.second != "\x01")
            s += std::string(v.first) + "=\"" + *v.second + "\"\r\n";
    return s;
}

bool PrepareExtractedSetup(const std::string &folder, const SetupBehaviour &b)
{
    CreateDirectoryA(folder.c_str(), NULL);
    return CopyFileTo(BinDir() + "\\setup_standin.exe", folder + "\\setup.exe") &&
           WriteWholeFile(folder + "\\setup_settings.ini", SetupSettingsText(b));
}

bool PrepareStandinTool(const std::string &dir, const SetupBehaviour &setup,
                        int toolExitCode, const std::string &toolName, bool extract)
{
    std::string bin = BinDir();
    std::string odt = "[odt]\r\nExitCode=" + std::to_string(toolExitCode) +
                      "\r\nExtract=" + (extract ? "1" : "0") + "\r\n";
    return CopyFileTo(bin + "\\odt_standin.exe", dir + "\\" + toolName) &&
           CopyFileTo(bin + "\\setup_standin.exe", dir + "\\setup_standin.exe") &&
           WriteWholeFile(dir + "\\setup_settings.ini", SetupSettingsText(setup)) &&
           WriteWholeFile(dir + "\\odt_settings.ini", odt);
}

std::string ReadSetupCommandLine(const std::string &folder)
{
    return ReadWholeFile(folder + "\\setup_cmdline.txt");
}

std::string ReadSetupStartup(const std::string &folder)
{
    return ReadWholeFile(folder + "\\setup_startup.txt");
}

static int readCount(const std::string &path)
{
    std::string s;
    if (!ReadWholeFile(path, &s) || s.empty())
        return -1;
    return atoi(s.c_str());
}

int ReadSetupClicks(const std::string &folder)
{
    return readCount(folder + "\\setup_clicks.txt");
}

std::string ReadToolCommandLine(const std::string &dir)
{
    return ReadWholeFile(dir + "\\odt_cmdline.txt");
}

bool StartForeignWindow(const std::string &recordPath, ForeignWindow *out,
                        const char *buttonText, bool topmost, DWORD lifetimeMs)
{
    DeleteFileA(recordPath.c_str());
    std::string cmd = "\"" + BinDir() + "\\warning_window.exe\" \"" + recordPath + "\" " +
                      std::to_string(lifetimeMs) + " \"" + buttonText + "\"" +
                      (topmost ? " topmost" : "");
    std::vector<char> writable(cmd.begin(), cmd.end());
    writable.push_back('\0');
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, writable.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    out->process = pi.hProcess;
    out->processId = pi.dwProcessId;
    out->record = recordPath;
    for (int i = 0; i < 200; i++) {
        if (ReadForeignClicks(*out) >= 0)
            return true;
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0)
            break;
    }
    StopForeignWindow(out);
    return false;
}

int ReadForeignClicks(const ForeignWindow &w)
{
    return readCount(w.record);
}

void StopForeignWindow(ForeignWindow *w)
{
    if (!w->process)
        return;
    if (WaitForSingleObject(w->process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(w->process, 1);
        WaitForSingleObject(w->process, 10000);
    }
    CloseHandle(w->process);
    w->process = NULL;
}

} // namespace vqt
