/* Helpers shared by the test programs (see testutil.h). */
#include "testutil.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace vqt {

std::string BinDir()
{
    char buf[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(NULL, buf, sizeof(buf));
    std::string p(buf, n);
    size_t cut = p.find_last_of("\\/");
    return cut == std::string::npos ? std::string(".") : p.substr(0, cut);
}

ScratchDir::ScratchDir(const char *tag)
{
    static LONG counter = 0;
    char tmp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof(tmp), tmp);
    std::string base(tmp, n);
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    base += "\\vqtests";
    CreateDirectoryA(base.c_str(), NULL);
    char name[128];
    snprintf(name, sizeof(name), "\\%s-%lu-%ld-%lu", tag, GetCurrentProcessId(),
             InterlockedIncrement(&counter), GetTickCount());
    path_ = base + name;
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), NULL);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

bool FileExistsA(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExistsA(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FileTimes(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d))
        return "(none)";
    return std::to_string(d.ftCreationTime.dwLowDateTime) + "/" +
           std::to_string(d.ftLastWriteTime.dwHighDateTime) + ":" +
           std::to_string(d.ftLastWriteTime.dwLowDateTime) + " attrs " +
           std::to_string(d.dwFileAttributes);
}

bool ReadWholeFile(const std::string &path, std::string *out)
{
    out->clear();
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        out->append(buf, n);
    fclose(f);
    return true;
}

std::string ReadWholeFile(const std::string &path)
{
    std::string s;
    ReadWholeFile(path, &s);
    return s;
}

bool WriteWholeFile(const std::string &path, const std::string &data)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

bool CopyFileTo(const std::string &from, const std::string &to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

void RemoveTree(const std::string &path)
{
    if (path.size() < 4)
        return;
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(path.c_str()))
            RemoveDirectoryA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
                continue;
            RemoveTree(path + "\\" + fd.cFileName);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        std::string line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = nl + 1;
    }
    return lines;
}

/* Starts cmdline; with `output` set its standard output goes to that file
 * handle (inherited), its other handles stay the test's. */
static DWORD startAndWait(const std::string &cmdline, const char *cwd, DWORD timeoutMs,
                          DWORD *exitCode, HANDLE output)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = output;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    std::vector<char> cmd(cmdline.begin(), cmdline.end());
    cmd.push_back('\0');
    if (!CreateProcessA(NULL, cmd.data(), NULL, NULL, output ? TRUE : FALSE, 0, NULL, cwd, &si,
                        &pi))
        return GetLastError();
    DWORD rc = 0;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, WAIT_TIMEOUT);
        WaitForSingleObject(pi.hProcess, 10000);
        rc = WAIT_TIMEOUT;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(pi.hProcess, &code) && rc == 0)
        rc = GetLastError();
    if (exitCode)
        *exitCode = code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return rc;
}

DWORD RunProgram(const std::string &cmdline, const char *cwd, DWORD timeoutMs,
                 DWORD *exitCode)
{
    return startAndWait(cmdline, cwd, timeoutMs, exitCode, NULL);
}

DWORD RunProgramWithOutput(const std::string &cmdline, const char *cwd, DWORD timeoutMs,
                           DWORD *exitCode, std::string *output)
{
    output->clear();
    char folder[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, "vqo", 0, name))
        return GetLastError();
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        DeleteFileA(name);
        return e;
    }
    DWORD rc = startAndWait(cmdline, cwd, timeoutMs, exitCode, file);
    CloseHandle(file);
    ReadWholeFile(name, output);
    DeleteFileA(name);
    return rc;
}

static LONG openForWrite(HKEY root, const std::string &path, REGSAM view, HKEY *key)
{
    return RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL,
                           key, NULL);
}

LONG RegSetRaw(HKEY root, const std::string &path, const char *name, DWORD type,
               const void *data, DWORD size, REGSAM view)
{
    HKEY key;
    LONG rc = openForWrite(root, path, view, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return rc;
}

LONG RegSetSz(HKEY root, const std::string &path, const char *name,
              const std::string &value, REGSAM view)
{
    return RegSetRaw(root, path, name, REG_SZ, value.c_str(), (DWORD)value.size() + 1, view);
}

LONG RegSetDword(HKEY root, const std::string &path, const char *name, DWORD value,
                 REGSAM view)
{
    return RegSetRaw(root, path, name, REG_DWORD, &value, sizeof(value), view);
}

LONG RegDeleteTreeA2(HKEY root, const std::string &path, REGSAM view)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegDeleteTreeA(key, NULL);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS)
        rc = RegDeleteKeyExA(root, path.c_str(), view, 0);
    return rc;
}

bool RegKeyExists(HKEY root, const std::string &path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string TakeText(char *text)
{
    std::string s = text ? text : "<null>";
    free(text);
    return s;
}

std::string SystemText(DWORD code)
{
    char *buf = NULL;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             NULL, code, 0, (LPSTR)&buf, 0, NULL);
    std::string text(buf ? buf : "", n);
    LocalFree(buf);
    return text;
}

std::string SystemLineText(DWORD code)
{
    wchar_t *w = NULL;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                   NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPWSTR)&w, 0, NULL);
    std::string s;
    for (const wchar_t *p = w; p && *p; p++)
        s += (char)*p;
    if (w)
        LocalFree(w);
    return s;
}

} // namespace vqt
