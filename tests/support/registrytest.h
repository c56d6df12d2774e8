/* Shared by the registry tests: a unique test key under
 * HKLM\Software\VQTests removed in both views afterwards, and raw reads of
 * stored values. Tests only. */
#ifndef VQ_TESTS_REGISTRYTEST_H
#define VQ_TESTS_REGISTRYTEST_H

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

struct RawValue {
    LONG rc = -1;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    std::wstring asWide() const;   /* bytes as UTF-16, terminators kept */
};

/* The stored value (wide name; NULL for the default value) in `view`. */
RawValue ReadRawValue(HKEY root, const std::string &path, const wchar_t *name,
                      REGSAM view = 0);

} // namespace vqt

#endif
