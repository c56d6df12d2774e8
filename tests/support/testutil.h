/* Helpers shared by the test programs: scratch folders, whole-file reads and
 * writes, running a program of the build, registry set-up and the system's
 * error texts. Tests only. */
#ifndef VQ_TESTS_TESTUTIL_H
#define VQ_TESTS_TESTUTIL_H

#include <windows.h>
#include <string>
#include <vector>

namespace vqt {

/* Folder of the running test program (the build's bin folder, where the
 * product, the stand-in programs and vqlibxml2.dll are). No trailing '\'. */
std::string BinDir();

/* A new empty folder under %TEMP%\vqtests, unique per call; removed with
 * everything in it when the object goes. */
class ScratchDir {
public:
    explicit ScratchDir(const char *tag = "t");
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "\\" + name; }
private:
    std::string path_;
};

bool FileExistsA(const std::string &path);
bool DirExistsA(const std::string &path);
/* A file's or folder's creation and last write time and its attributes as
 * one text, "(none)" when it cannot be read: equal texts, untouched. */
std::string FileTimes(const std::string &path);
bool ReadWholeFile(const std::string &path, std::string *out);
std::string ReadWholeFile(const std::string &path);   /* "" when unreadable */
bool WriteWholeFile(const std::string &path, const std::string &data);
bool CopyFileTo(const std::string &from, const std::string &to);
/* Removes a folder tree without the product's code (for clean-up). */
void RemoveTree(const std::string &path);
std::vector<std::string> SplitLines(const std::string &text);

/* Runs a command line with `cwd` as working directory (NULL: inherit) and
 * waits up to timeoutMs. Returns 0 and the exit code, or a Windows error
 * (WAIT_TIMEOUT when it had to be killed). */
DWORD RunProgram(const std::string &cmdline, const char *cwd, DWORD timeoutMs,
                 DWORD *exitCode);
/* The same, with the program's standard output collected into *output. */
DWORD RunProgramWithOutput(const std::string &cmdline, const char *cwd, DWORD timeoutMs,
                           DWORD *exitCode, std::string *output);

/* Registry set-up under HKEY_LOCAL_MACHINE etc. `view` is 0, KEY_WOW64_32KEY
 * or KEY_WOW64_64KEY. */
LONG RegSetSz(HKEY root, const std::string &path, const char *name,
              const std::string &value, REGSAM view = 0);
LONG RegSetDword(HKEY root, const std::string &path, const char *name,
                 DWORD value, REGSAM view = 0);
LONG RegSetRaw(HKEY root, const std::string &path, const char *name, DWORD type,
               const void *data, DWORD size, REGSAM view = 0);
LONG RegDeleteTreeA2(HKEY root, const std::string &path, REGSAM view = 0);
bool RegKeyExists(HKEY root, const std::string &path, REGSAM view = 0);

/* A text the code under test handed over, as a string ("<null>" for NULL);
 * the text is freed. */
std::string TakeText(char *text);

/* System text of `code` as FormatMessageA gives it (line breaks kept). */
std::string SystemText(DWORD code);

/* The system's one-line text of `code` (FormatMessageW with the maximum
 * width mask, so a line break becomes a space); for the ASCII texts of the
 * codes the tests use. */
std::string SystemLineText(DWORD code);

} // namespace vqt

#endif
