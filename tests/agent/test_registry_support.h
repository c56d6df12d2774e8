/* Shared by the registry tests: a unique test key under
 * HKLM\Software\VQTests removed in both views afterwards, a log writer
 * capture on a scratch file at level 4, and raw reads of stored values. */
#ifndef VQ_TESTS_REGISTRY_SUPPORT_H
#define VQ_TESTS_REGISTRY_SUPPORT_H

#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <windows.h>
#include <string>
#include <vector>

namespace vqt {

/* HKLM\Software\VQTests\<tag>-<pid>-<n>; nothing is created up front. The
 * destructor removes the key from the 32-bit and the 64-bit view and resets
 * the WOW64 flag the registry operations use. */
class RegTestKey {
public:
    explicit RegTestKey(const char *tag);
    ~RegTestKey();
    RegTestKey(const RegTestKey &) = delete;
    RegTestKey &operator=(const RegTestKey &) = delete;
    const std::string &path() const { return path_; }
    std::string sub(const std::string &rel) const { return path_ + "\\" + rel; }
    std::wstring wpath() const { return std::wstring(path_.begin(), path_.end()); }
private:
    std::string path_;
};

/* Opens the log writer on a fresh file at level 4 (TRACE) and closes it in
 * the destructor. */
class RegLogCapture : public ScratchLog {
public:
    RegLogCapture() : ScratchLog((BYTE)VQ_LOG_LEVEL_TRACE) {}
    /* Everything written so far, "\r\n" read as "\n". */
    std::string text() const { return plainText(); }
    /* True when some line reads "[TAG] message" (message with its "\n"). */
    bool has(const char *tag, const std::string &message) const;
    /* Number of lines with the tag. */
    int count(const char *tag) const;
};

struct RawValue {
    LONG rc = -1;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    std::wstring asWide() const;   /* bytes as UTF-16, terminators kept */
};

/* The stored value (wide name; NULL for the default value) in `view`. */
RawValue ReadRawValue(HKEY root, const std::string &path, const wchar_t *name,
                      REGSAM view = 0);

/* System text of `code` as FormatMessageA gives it (line breaks kept). */
std::string SystemText(DWORD code);

} // namespace vqt

#endif
