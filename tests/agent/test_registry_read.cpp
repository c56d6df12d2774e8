/* Registry reads against Wine's registry: DWORD and string reads, missing
 * keys and values with their codes and log levels, and the 32-bit view the
 * reads always use. */
#include "agent/log.h"
#include "support/registrytest.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include "agent/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

using namespace vqt;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;

TEST(RegistryRead, DwordValuesOfAnyTypeUpToFourBytes)
{
    RegTestKey k("rd");
    ASSERT_EQ(ERROR_SUCCESS, RegSetDword(HKLM, k.path(), "Level", 4));
    const BYTE raw[4] = {0x78, 0x56, 0x34, 0x12};
    ASSERT_EQ(ERROR_SUCCESS, RegSetRaw(HKLM, k.path(), "Raw", REG_BINARY, raw, 4));
    ScratchLog log;

    DWORD v = 0;
    EXPECT_EQ(0u, ReadDwordRegistryData(HKLM, k.path().c_str(), "Level", &v));
    EXPECT_EQ(4u, v);
    /* The stored type is not examined. */
    EXPECT_EQ(0u, ReadDwordRegistryData(HKLM, k.path().c_str(), "Raw", &v));
    EXPECT_EQ(0x12345678u, v);
    EXPECT_EQ(0, log.count("[ERROR]"));
}

TEST(RegistryRead, DwordMissingValueOrKeyIsDebugOnly)
{
    RegTestKey k("rd");
    ASSERT_EQ(ERROR_SUCCESS, RegSetDword(HKLM, k.path(), "Present", 1));
    ScratchLog log;

    DWORD v = 77;
    EXPECT_EQ(2u, ReadDwordRegistryData(HKLM, k.path().c_str(), "Absent", &v));
    EXPECT_TRUE(log.has("[DEBUG]", "ReadDwordRegistryData:  value  Absent Not found: 2 \n"));
    EXPECT_EQ(2u, ReadDwordRegistryData(HKLM, k.sub("NoKey").c_str(), "Other", &v));
    EXPECT_TRUE(log.has("[DEBUG]", "ReadDwordRegistryData:  value  Other Not found: 2 \n"));
    EXPECT_EQ(77u, v);
    EXPECT_EQ(0, log.count("[ERROR]"));
    /* A read never creates the key it looked for. */
    EXPECT_FALSE(RegKeyExists(HKLM, k.sub("NoKey")));
}

TEST(RegistryRead, DwordFailuresOtherThanMissingAreErrors)
{
    RegTestKey k("rd");
    const ULONGLONG big = 5;
    ASSERT_EQ(ERROR_SUCCESS, RegSetRaw(HKLM, k.path(), "Big", REG_QWORD, &big, 8));
    ScratchLog log;

    DWORD v = 77;
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, ReadDwordRegistryData(HKLM, k.path().c_str(), "Big", &v));
    EXPECT_TRUE(log.has("[ERROR]", "ReadDwordRegistryData: Error while reading DWORD value of Big : 234 \n"));
    EXPECT_EQ(77u, v);

    /* An invalid root fails the open with ERROR_INVALID_HANDLE. */
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE,
              ReadDwordRegistryData((HKEY)(ULONG_PTR)0x1234, "Software", "X", &v));
    EXPECT_TRUE(log.has("[ERROR]", "ReadDwordRegistryData: Error while opening registry key Software,and the errorcode is : 6 \n"));

    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, ReadDwordRegistryData(HKLM, k.path().c_str(), "Big", NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, ReadDwordRegistryData(HKLM, NULL, "Big", &v));
}

TEST(RegistryRead, NarrowStringReadsAndTerminatesAnyValue)
{
    RegTestKey k("rs");
    ASSERT_EQ(ERROR_SUCCESS, RegSetSz(HKLM, k.path(), "Dir", "C:\\Agent\\"));
    /* Stored without its terminator: the spare bytes terminate it. */
    ASSERT_EQ(ERROR_SUCCESS, RegSetRaw(HKLM, k.path(), "Bare", REG_SZ, "abc", 3));
    ASSERT_EQ(ERROR_SUCCESS, RegSetSz(HKLM, k.path(), NULL, "default text"));
    ScratchLog log;

    char *s = (char *)"garbage";
    ASSERT_EQ(0u, ReadRegSZ(HKLM, k.path().c_str(), "Dir", &s));
    ASSERT_NE(nullptr, s);
    EXPECT_STREQ("C:\\Agent\\", s);
    free(s);
    ASSERT_EQ(0u, ReadRegSZ(HKLM, k.path().c_str(), "Bare", &s));
    EXPECT_STREQ("abc", s);
    free(s);
    ASSERT_EQ(0u, ReadRegSZ(HKLM, k.path().c_str(), NULL, &s));
    EXPECT_STREQ("default text", s);
    free(s);
    EXPECT_EQ(0, log.count("[ERROR]"));
}

TEST(RegistryRead, NarrowStringMissingValueIsSilentMissingKeyIsError)
{
    RegTestKey k("rs");
    ASSERT_EQ(ERROR_SUCCESS, RegSetSz(HKLM, k.path(), "Dir", "x"));
    ScratchLog log;
    size_t before = log.plainText().size();

    char *s = (char *)"garbage";
    EXPECT_EQ(2u, ReadRegSZ(HKLM, k.path().c_str(), "Absent", &s));
    EXPECT_EQ(nullptr, s);
    EXPECT_EQ(before, log.plainText().size()) << log.plainText();

    s = (char *)"garbage";
    std::string missing = k.sub("Gone");
    EXPECT_EQ(2u, ReadRegSZ(HKLM, missing.c_str(), "Dir", &s));
    EXPECT_EQ(nullptr, s);
    EXPECT_TRUE(log.has("[ERROR]", "ReadRegSZ: Error while opening registry key " + missing +
                                       " ,and the error is  2 \n"));
    EXPECT_FALSE(RegKeyExists(HKLM, missing));

    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, ReadRegSZ(HKLM, k.path().c_str(), "Dir", NULL));
    s = (char *)"garbage";
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, ReadRegSZ(HKLM, NULL, "Dir", &s));
    EXPECT_EQ(nullptr, s);
}

TEST(RegistryRead, WideStringWithUtf8NameAndOddStoredSize)
{
    RegTestKey k("rw");
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKLM, k.wpath().c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &key, NULL));
    const wchar_t domain[] = L"corp.\u00e9xample";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Dom\u00e4ne", 0, REG_SZ, (const BYTE *)domain,
                                            sizeof(domain)));
    /* Three bytes: one whole character and half of the next. */
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Odd", 0, REG_SZ, (const BYTE *)L"ab", 3));
    RegCloseKey(key);
    ScratchLog log;

    wchar_t *w = (wchar_t *)L"garbage";
    ASSERT_EQ(0u, ReadRegSZEx(HKLM, k.wpath().c_str(), "Dom\xc3\xa4ne", &w));
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(std::wstring(domain), std::wstring(w));
    free(w);
    ASSERT_EQ(0u, ReadRegSZEx(HKLM, k.wpath().c_str(), "Odd", &w));
    /* 'a', then the low byte of 'b' completed by a spare zero byte, then a
     * terminator from the spare bytes. */
    EXPECT_EQ(std::wstring(L"ab"), std::wstring(w));
    free(w);

    w = (wchar_t *)L"garbage";
    EXPECT_EQ(2u, ReadRegSZEx(HKLM, k.wpath().c_str(), "Absent", &w));
    EXPECT_EQ(nullptr, w);
    EXPECT_EQ(0, log.count("[ERROR]"));

    std::wstring missing = k.wpath() + L"\\Gone";
    EXPECT_EQ(2u, ReadRegSZEx(HKLM, missing.c_str(), "LocalDomainName", &w));
    EXPECT_EQ(nullptr, w);
    EXPECT_TRUE(log.has("[ERROR]", "ReadRegSZEx: Error while opening registry key : " + k.path() +
                                       "\\Gone \n"));
}

TEST(RegistryRead, ReadsUseThe32BitViewOnly)
{
    RegTestKey k("rv");
    ASSERT_EQ(ERROR_SUCCESS, RegSetSz(HKLM, k.path(), "Only64", "x", KEY_WOW64_64KEY));
    ASSERT_EQ(ERROR_SUCCESS, RegSetDword(HKLM, k.path(), "D64", 9, KEY_WOW64_64KEY));
    /* HKLM\Software is redirected for this 32-bit program. */
    ASSERT_FALSE(RegKeyExists(HKLM, k.path(), KEY_WOW64_32KEY));
    ScratchLog log;
    gv_isWow64Process = TRUE;   /* the reads ignore the flag */

    char *s = NULL;
    EXPECT_EQ(2u, ReadRegSZ(HKLM, k.path().c_str(), "Only64", &s));
    EXPECT_EQ(nullptr, s);
    DWORD v = 0;
    EXPECT_EQ(2u, ReadDwordRegistryData(HKLM, k.path().c_str(), "D64", &v));
}

} // namespace

namespace {

/* Non-ASCII text written through the agent's writes comes back as the same
 * UTF-8 bytes from every read, in the view it was written to; the narrow
 * query would give code-page bytes ("M\xFCller" under code page 1252). */
TEST(RegistryRead, NonAsciiTextRoundTripsAsUtf8InBothViews)
{
    RegTestKey k("utf8");
    struct Case { const char *name; const char *text; } cases[] = {
        {"Customer", "M\xC3\xBCller"},                      /* Müller */
        {"InstallDir", "C:\\Agent \xC3\x84\\"},             /* C:\Agent Ä\ */
        {"Wide", "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"}, /* CJK, and a pair */
        {"N\xC3\xA4me", "v\xC3\xA4lue"},                    /* the name too */
    };
    for (BOOL wow64 : {FALSE, TRUE}) {
        gv_isWow64Process = wow64;
        REGSAM view = wow64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (wow64 ? " 64-bit view" : " 32-bit view"));
            ASSERT_EQ(0u, writeValueEx(HKLM, k.path().c_str(), c.name, c.text, REG_SZ));
            HKEY key;
            ASSERT_EQ(0, RegOpenKeyUtf8(HKLM, k.path().c_str(), KEY_QUERY_VALUE | view, &key));
            char *data = (char *)0x1;
            DWORD size = 0xDEAD, type = REG_NONE;
            ASSERT_EQ(0, RegQueryValueUtf8(key, c.name, &data, &size, &type));
            RegCloseKey(key);
            EXPECT_STREQ(data, c.text);
            EXPECT_EQ(size, strlen(c.text) + 1);   /* the stored terminator counts */
            EXPECT_EQ(type, (DWORD)REG_SZ);
            free(data);
            if (!wow64) {
                /* ReadRegSZ reads the 32-bit view. */
                char *text = (char *)0x1;
                ASSERT_EQ(0u, ReadRegSZ(HKLM, k.path().c_str(), c.name, &text));
                EXPECT_STREQ(text, c.text);
                free(text);
            }
        }
    }
    gv_isWow64Process = FALSE;

    /* A list keeps its zero characters; other types come back as bytes. */
    ASSERT_EQ(0u, writeValue(HKLM, k.path().c_str(), "List", "\xC3\xA4;\xC3\xB6", REG_MULTI_SZ));
    const BYTE raw[3] = {0xC3, 0x00, 0xFF};
    ASSERT_EQ(ERROR_SUCCESS, RegSetRaw(HKLM, k.path(), "Bin", REG_BINARY, raw, 3));
    HKEY key;
    ASSERT_EQ(0, RegOpenKeyUtf8(HKLM, k.path().c_str(), KEY_QUERY_VALUE, &key));
    char *data = NULL;
    DWORD size = 0;
    ASSERT_EQ(0, RegQueryValueUtf8(key, "List", &data, &size, NULL));
    EXPECT_EQ(std::string(data, size), std::string("\xC3\xA4\0\xC3\xB6\0\0", 7));
    free(data);
    ASSERT_EQ(0, RegQueryValueUtf8(key, "Bin", &data, &size, NULL));
    EXPECT_EQ(std::string(data, size), std::string((const char *)raw, 3));
    free(data);
    data = (char *)0x1;
    size = 77;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueUtf8(key, "Absent", &data, &size, NULL));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    RegCloseKey(key);
}

} // namespace
