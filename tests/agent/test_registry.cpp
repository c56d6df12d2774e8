/* Registry access against Wine's registry.
 * Reads: DWORD and string reads, missing keys and values with their codes
 * and log levels, and the 32-bit view the reads always use.
 * Writes: key creation and typed writes, the "--" marks, the byte rules of
 * each type, the multi-string escaping, the 64-bit view of the Ex forms and
 * the messages of each failure.
 * Deletion: values (narrow and wide) and key trees, the default value,
 * missing keys and values with their codes and messages, nested trees, and
 * the refusal of a path that names the root. */
#include "agent/registry.h"
#include "agent/log.h"
#include "support/registrytest.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

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

namespace {

const HKEY BAD_ROOT = (HKEY)(ULONG_PTR)0x1234;

std::wstring W(const wchar_t *s, size_t n) { return std::wstring(s, n); }

DWORD AsDword(const RawValue &v)
{
    DWORD d = 0;
    if (v.bytes.size() == 4)
        memcpy(&d, v.bytes.data(), 4);
    return d;
}

TEST(RegistryKeyCreate, CreatesWithParentsThenOpensExisting)
{
    RegTestKey k("ak");
    ScratchLog log;
    std::string deep = k.sub("A\\B\\C");
    EXPECT_EQ(0u, addRegistryKey(HKLM, deep.c_str()));
    EXPECT_TRUE(RegKeyExists(HKLM, deep));
    EXPECT_TRUE(log.has("[DEBUG]", "addRegistryKey: Inside addRegistryKey method ...... \n"));
    EXPECT_TRUE(log.has("[DEBUG]", "addRegistryKey:  Create registry key function successfull: 1 \n"));
    EXPECT_FALSE(log.has("[DEBUG]", "addRegistryKey:  Opened already existing key! \n"));

    EXPECT_EQ(0u, addRegistryKey(HKLM, deep.c_str()));
    EXPECT_TRUE(log.has("[DEBUG]", "addRegistryKey:  Opened already existing key! \n"));
}

TEST(RegistryKeyCreate, FailureLogsCodeAndSystemText)
{
    ScratchLog log;
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, addRegistryKey(BAD_ROOT, "Software\\X"));
    EXPECT_TRUE(log.has("[ERROR]", "addRegistryKey:  Create registry key \"Software\\X\" function failed: 6 \n"));
    EXPECT_TRUE(log.has("[ERROR]", "Error Code : 6 , Error Message : "));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, addRegistryKeyEx(BAD_ROOT, "Software\\Y"));
    EXPECT_TRUE(log.has("[ERROR]", "addRegistryKeyEx:  Create registry key \"Software\\Y\" function failed: 6 \n"));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, addRegistryKey(HKLM, NULL));
}

TEST(RegistryKeyCreate, ExFormFollowsTheWow64Flag)
{
    RegTestKey k("akv");
    ScratchLog log;
    std::string p32 = k.sub("In32"), p64 = k.sub("In64");
    gv_isWow64Process = FALSE;
    EXPECT_EQ(0u, addRegistryKeyEx(HKLM, p32.c_str()));
    gv_isWow64Process = TRUE;
    EXPECT_EQ(0u, addRegistryKeyEx(HKLM, p64.c_str()));
    EXPECT_TRUE(log.has("[DEBUG]", "addRegistryKeyEx: Inside addRegistryKey method ...... \n"));
    EXPECT_TRUE(log.has("[DEBUG]", "addRegistryKeyEx:  Create registry key function successfull: 1 \n"));

    EXPECT_TRUE(RegKeyExists(HKLM, p32, KEY_WOW64_32KEY));
    EXPECT_FALSE(RegKeyExists(HKLM, p32, KEY_WOW64_64KEY));
    EXPECT_TRUE(RegKeyExists(HKLM, p64, KEY_WOW64_64KEY));
    EXPECT_FALSE(RegKeyExists(HKLM, p64, KEY_WOW64_32KEY));
    /* The plain form keeps to the 32-bit view whatever the flag says. */
    std::string plain = k.sub("Plain");
    EXPECT_EQ(0u, addRegistryKey(HKLM, plain.c_str()));
    EXPECT_TRUE(RegKeyExists(HKLM, plain, KEY_WOW64_32KEY));
    EXPECT_FALSE(RegKeyExists(HKLM, plain, KEY_WOW64_64KEY));
}

TEST(RegistryWrite, StringsAreStoredAsUtf16FromUtf8)
{
    RegTestKey k("ws");
    ScratchLog log;
    std::string path = k.sub("New\\Sub");   /* missing parents are created */
    ASSERT_EQ(0u, writeValue(HKLM, path.c_str(), "Caf\xc3\xa9", "na\xc3\xafve", REG_SZ));
    RawValue v = ReadRawValue(HKLM, path, L"Caf\u00e9");
    ASSERT_EQ(0, v.rc);
    EXPECT_EQ((DWORD)REG_SZ, v.type);
    EXPECT_EQ(W(L"na\u00efve", 6), v.asWide());   /* 2 x 5 + 2 bytes */

    ASSERT_EQ(0u, writeValue(HKLM, path.c_str(), "Exp", "%TEMP%\\x", REG_EXPAND_SZ));
    v = ReadRawValue(HKLM, path, L"Exp");
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, v.type);
    EXPECT_EQ(W(L"%TEMP%\\x", 9), v.asWide());

    /* writeValue's REG_BINARY holds the UTF-16 bytes of the text. */
    ASSERT_EQ(0u, writeValue(HKLM, path.c_str(), "Bin", "AB", REG_BINARY));
    v = ReadRawValue(HKLM, path, L"Bin");
    EXPECT_EQ((DWORD)REG_BINARY, v.type);
    EXPECT_EQ(W(L"AB", 3), v.asWide());

    EXPECT_TRUE(log.has("[DEBUG]", "@@@@@@@@ Inside writeValue Method @@@@@@@@ \n"));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValue: Subkey : " + path + " \n"));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValue: Value Name: Exp \n"));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValue: Value Data: AB \n"));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValue:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: 12\n"));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValue:  Key found ...!: 0\n"));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValue:  After addRegistryKey method in writeValue method!!\n"));
    EXPECT_TRUE(log.has("[INFO]", "Message : "));
    EXPECT_TRUE(log.has("[DEBUG]", "@@@@@@@@ End Of writeValue Method @@@@@@@@ \n"));
    EXPECT_EQ(0, log.count("[ERROR]"));
}

TEST(RegistryWrite, DwordsAndTheDashMarks)
{
    RegTestKey k("wd");
    ScratchLog log;
    const char *p = k.path().c_str();
    ASSERT_EQ(0u, writeValue(HKLM, p, "Level", "42", REG_DWORD));
    EXPECT_EQ(42u, AsDword(ReadRawValue(HKLM, k.path(), L"Level")));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValue:  REG_DWORD -- sizeOfInputData: 4\n"));
    ASSERT_EQ(0u, writeValue(HKLM, p, "Max", "4294967295", REG_DWORD));
    EXPECT_EQ(0xFFFFFFFFu, AsDword(ReadRawValue(HKLM, k.path(), L"Max")));

    /* "--" data: empty data, so a DWORD of 0 and an empty string. */
    ASSERT_EQ(0u, writeValue(HKLM, p, "Zero", "--", REG_DWORD));
    RawValue v = ReadRawValue(HKLM, k.path(), L"Zero");
    EXPECT_EQ((DWORD)REG_DWORD, v.type);
    EXPECT_EQ(0u, AsDword(v));
    EXPECT_TRUE(log.has("[INFO]", "writeValue : going to add the value data as 0 value .\n"));
    ASSERT_EQ(0u, writeValue(HKLM, p, "Empty", "--", REG_SZ));
    v = ReadRawValue(HKLM, k.path(), L"Empty");
    EXPECT_EQ(2u, v.bytes.size());
    EXPECT_EQ(W(L"", 1), v.asWide());

    /* "--" name: the key's default value, and no value named "--". */
    ASSERT_EQ(0u, writeValue(HKLM, p, "--", "default!", REG_SZ));
    EXPECT_TRUE(log.has("[INFO]", "writeValue : going to add the (default) value .\n"));
    EXPECT_EQ(W(L"default!", 9), ReadRawValue(HKLM, k.path(), NULL).asWide());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRawValue(HKLM, k.path(), L"--").rc);
}

TEST(RegistryWrite, NullArgumentsAreRefusedWith13)
{
    RegTestKey k("wn");
    ScratchLog log;
    EXPECT_EQ(13u, writeValue(HKLM, k.path().c_str(), NULL, "x", REG_SZ));
    EXPECT_EQ(13u, writeValue(HKLM, k.path().c_str(), "N", NULL, REG_SZ));
    EXPECT_TRUE(log.has("[INFO]", "writeValue : Valuename or Valuedata is Empty \n"));
    EXPECT_EQ(13u, writeValueEx(HKLM, k.path().c_str(), NULL, "x", REG_SZ));
    EXPECT_TRUE(log.has("[ERROR]", "writeValueEx : Valuename or Valuedata is Empty \n"));
    EXPECT_FALSE(log.has("[INFO]", "writeValueEx : Valuename or Valuedata is Empty \n"));
    /* A null key path would write into the root key itself. */
    EXPECT_EQ(13u, writeValue(HKLM, NULL, "N", "x", REG_SZ));
    EXPECT_EQ(13u, writeValueEx(HKLM, NULL, "N", "x", REG_SZ));
    EXPECT_FALSE(RegKeyExists(HKLM, k.path()));
}

TEST(RegistryWrite, FailuresCarryTheCodeOfTheFailingStep)
{
    RegTestKey k("wf");
    ScratchLog log;
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, writeValue(BAD_ROOT, "Software\\X", "N", "1", REG_DWORD));
    EXPECT_TRUE(log.has("[ERROR]", "writeValue:  WriteValue failure during key creation! 6 \n"));

    /* A value name beyond the registry's limit fails the set itself. */
    std::string longName(20000, 'n');
    DWORD rc = writeValue(HKLM, k.path().c_str(), longName.c_str(), "data", REG_SZ);
    EXPECT_NE(0u, rc);
    EXPECT_TRUE(log.has("[ERROR]", "writeValue:  Function WriteValue failure!:" + std::to_string(rc) + "\n"));
    EXPECT_TRUE(log.has("[ERROR]", "writeValue:    Subkey: " + k.path() + " \n"));
    EXPECT_TRUE(log.has("[ERROR]", "writeValue:    Valuedata: data \n"));
    EXPECT_TRUE(log.has("[ERROR]", "writeValue:    Datatype: 1 \n"));
    EXPECT_TRUE(log.has("[ERROR]", "Error Code : " + std::to_string(rc) + " , Error Message : "));
    EXPECT_FALSE(log.has("[DEBUG]", "@@@@@@@@ End Of writeValue Method @@@@@@@@ \n"));

    /* A type without a byte rule is refused before anything is created. */
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER,
              writeValue(HKLM, k.sub("T").c_str(), "N", "x", REG_RESOURCE_LIST));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER,
              writeValueEx(HKLM, k.sub("T").c_str(), "N", "x", REG_NONE));
    EXPECT_FALSE(RegKeyExists(HKLM, k.sub("T")));
}

TEST(RegistryWriteEx, TypesOfTheExtendedForm)
{
    RegTestKey k("wx");
    ScratchLog log;
    const char *p = k.path().c_str();
    ASSERT_EQ(0u, writeValueEx(HKLM, p, "D", "4000000000", REG_DWORD));
    EXPECT_EQ(4000000000u, AsDword(ReadRawValue(HKLM, k.path(), L"D")));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValueEx:  REG_DWORD -- sizeOfInputData: 4\n"));

    ASSERT_EQ(0u, writeValueEx(HKLM, p, "Q", "12345678901234", REG_QWORD));
    RawValue v = ReadRawValue(HKLM, k.path(), L"Q");
    EXPECT_EQ((DWORD)REG_QWORD, v.type);
    ASSERT_EQ(8u, v.bytes.size());
    ULONGLONG q = 0;
    memcpy(&q, v.bytes.data(), 8);
    EXPECT_EQ(12345678901234ULL, q);
    EXPECT_TRUE(log.has("[DEBUG]", "writeValueEx:  REG_QWORD -- sizeOfInputData: 8\n"));
    ASSERT_EQ(0u, writeValueEx(HKLM, p, "Q0", "--", REG_QWORD));
    v = ReadRawValue(HKLM, k.path(), L"Q0");
    ASSERT_EQ(8u, v.bytes.size());
    memcpy(&q, v.bytes.data(), 8);
    EXPECT_EQ(0ULL, q);

    /* writeValueEx's REG_BINARY holds the narrow bytes and their zero. */
    ASSERT_EQ(0u, writeValueEx(HKLM, p, "B", "AB\xc3\xa9", REG_BINARY));
    v = ReadRawValue(HKLM, k.path(), L"B");
    EXPECT_EQ((DWORD)REG_BINARY, v.type);
    EXPECT_EQ(std::string("AB\xc3\xa9", 5), std::string(v.bytes.begin(), v.bytes.end()));
    EXPECT_TRUE(log.has("[DEBUG]", "writeValueEx:  Data type is REG_BINARY: 5\n"));

    ASSERT_EQ(0u, writeValueEx(HKLM, p, "--", "dflt", REG_SZ));
    EXPECT_TRUE(log.has("[INFO]", "writeValueEx : going to add the (default) value .\n"));
    EXPECT_EQ(W(L"dflt", 5), ReadRawValue(HKLM, k.path(), NULL).asWide());
    EXPECT_TRUE(log.has("[DEBUG]", "writeValueEx:  After addRegistryKey method in writeValue method!!\n"));
    EXPECT_TRUE(log.has("[DEBUG]", "@@@@@@@@ End Of writeValueEx Method @@@@@@@@ \n"));
    EXPECT_TRUE(log.has("[DEBUG]", "addRegistryKeyEx: Inside addRegistryKey method ...... \n"));
}

/* Each case: text, expected stored list (with every zero). */
struct MultiCase {
    const char *text;
    std::wstring stored;
};

TEST(RegistryWriteEx, MultiStringEscaping)
{
    RegTestKey k("wm");
    ScratchLog log;
    const MultiCase cases[] = {
        {"a;b^;c", W(L"a\0b;c\0\0", 7)},
        {"x^^y;z", W(L"x^y\0z\0\0", 7)},
        {"one", W(L"one\0\0", 5)},
        {"", W(L"\0\0", 2)},
        {"--", W(L"\0\0", 2)},
        {"a;;b", W(L"a\0\0b\0\0", 6)},
        {"^a^b", W(L"ab\0\0", 4)},
        /* A caret at the end has nothing to escape: it stays a caret, and
         * nothing beyond the text is read. */
        {"tail^", W(L"tail^\0\0", 7)},
        {"^", W(L"^\0\0", 3)},
        {"a;^", W(L"a\0^\0\0", 5)},
        {"\xc3\xa9;\xe2\x82\xac", W(L"\u00e9\0\u20ac\0\0", 5)},
    };
    int i = 0;
    for (const MultiCase &c : cases) {
        std::string name = "M" + std::to_string(i++);
        ASSERT_EQ(0u, writeValueEx(HKLM, k.path().c_str(), name.c_str(), c.text, REG_MULTI_SZ))
            << c.text;
        std::wstring wname(name.begin(), name.end());
        RawValue v = ReadRawValue(HKLM, k.path(), wname.c_str());
        EXPECT_EQ((DWORD)REG_MULTI_SZ, v.type) << c.text;
        EXPECT_EQ(c.stored, v.asWide()) << c.text;
        EXPECT_TRUE(log.has("[DEBUG]", "writeValueEx:  Data type is REG_MULTI_SZ: " +
                                           std::to_string(c.stored.size() * 2) + "\n"))
            << c.text;
    }
    /* writeValue shares the rule (its length rule was left open). */
    ASSERT_EQ(0u, writeValue(HKLM, k.path().c_str(), "Plain", "p;q^;r", REG_MULTI_SZ));
    EXPECT_EQ(W(L"p\0q;r\0\0", 7), ReadRawValue(HKLM, k.path(), L"Plain").asWide());
}

TEST(RegistryWriteEx, WritesThe64BitViewWhenTheFlagIsSet)
{
    RegTestKey k("wv");
    ScratchLog log;
    gv_isWow64Process = TRUE;
    ASSERT_EQ(0u, writeValueEx(HKLM, k.path().c_str(), "HiberbootEnabled", "0", REG_DWORD));
    RawValue v64 = ReadRawValue(HKLM, k.path(), L"HiberbootEnabled", KEY_WOW64_64KEY);
    EXPECT_EQ(0, v64.rc);
    EXPECT_EQ((DWORD)REG_DWORD, v64.type);
    EXPECT_FALSE(RegKeyExists(HKLM, k.path(), KEY_WOW64_32KEY));
    EXPECT_TRUE(log.has("[DEBUG]", "addRegistryKeyEx:  Create registry key function successfull: 1 \n"));

    /* writeValue keeps to the 32-bit view whatever the flag says. */
    ASSERT_EQ(0u, writeValue(HKLM, k.path().c_str(), "vqDisabledFastStartup", "1", REG_DWORD));
    EXPECT_EQ(0, ReadRawValue(HKLM, k.path(), L"vqDisabledFastStartup", KEY_WOW64_32KEY).rc);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              ReadRawValue(HKLM, k.path(), L"vqDisabledFastStartup", KEY_WOW64_64KEY).rc);

    gv_isWow64Process = FALSE;
    ASSERT_EQ(0u, writeValueEx(HKLM, k.path().c_str(), "Plain32", "7", REG_DWORD));
    EXPECT_EQ(7u, AsDword(ReadRawValue(HKLM, k.path(), L"Plain32", KEY_WOW64_32KEY)));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRawValue(HKLM, k.path(), L"Plain32", KEY_WOW64_64KEY).rc);
}

} // namespace

namespace {


TEST(RegistryDeleteValue, NarrowDeletesNamedAndDefaultValues)
{
    RegTestKey k("dv");
    ASSERT_EQ(0, RegSetSz(HKLM, k.path(), "Name", "x"));
    ASSERT_EQ(0, RegSetSz(HKLM, k.path(), NULL, "default"));
    ASSERT_EQ(0, RegSetSz(HKLM, k.path(), "Keep", "y"));
    ScratchLog log;

    EXPECT_EQ(0u, deleteValue(HKLM, k.path().c_str(), "Name"));
    EXPECT_TRUE(log.has("[DEBUG]", "deleteValue: Inside function deleteValue ..... \n"));
    EXPECT_TRUE(log.has("[INFO]", "deleteValue:  Key found ...!: 0\n"));
    EXPECT_TRUE(log.has("[INFO]", "deleteValue:  Delete value Name success! \n"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRawValue(HKLM, k.path(), L"Name").rc);

    EXPECT_EQ(0u, deleteValue(HKLM, k.path().c_str(), "--"));
    EXPECT_TRUE(log.has("[INFO]", "deleteValue : going to delete the (default) value .\n"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRawValue(HKLM, k.path(), NULL).rc);
    EXPECT_EQ(0, ReadRawValue(HKLM, k.path(), L"Keep").rc);
    EXPECT_EQ(0, log.count("[ERROR]"));
}

TEST(RegistryDeleteValue, MissingKeyAndValueReportTheirOwnText)
{
    RegTestKey k("dm");
    ASSERT_EQ(0, RegSetSz(HKLM, k.path(), "Keep", "y"));
    ScratchLog log;
    /* The " Error Message" line must describe the registry's code, not
     * whatever the thread did last. */
    SetLastError(ERROR_ACCESS_DENIED);
    std::string missing = k.sub("Gone");
    EXPECT_EQ(2u, deleteValue(HKLM, missing.c_str(), "Keep"));
    EXPECT_TRUE(log.has("[ERROR]", "deleteValue:  " + missing + " Key not found!: 2  \n"));
    EXPECT_TRUE(log.has("[ERROR]", " Error Message: " + SystemText(ERROR_FILE_NOT_FOUND)));
    EXPECT_FALSE(log.has("[ERROR]", " Error Message: " + SystemText(ERROR_ACCESS_DENIED)));

    EXPECT_EQ(2u, deleteValue(HKLM, k.path().c_str(), "Absent"));
    EXPECT_TRUE(log.has("[ERROR]", "deleteValue:  Delete value Absent failure! \n"));
    EXPECT_EQ(4, log.count("[ERROR]"));   /* two lines per failure */
    EXPECT_EQ(0, ReadRawValue(HKLM, k.path(), L"Keep").rc);
}

TEST(RegistryDeleteValue, WideFormMirrorsTheNarrowOne)
{
    RegTestKey k("dw");
    HKEY key;
    ASSERT_EQ(0, RegCreateKeyExW(HKLM, k.wpath().c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                                 NULL));
    ASSERT_EQ(0, RegSetValueExW(key, L"Gr\u00fc\u00dfe", 0, REG_SZ, (const BYTE *)L"x", 4));
    ASSERT_EQ(0, RegSetValueExW(key, NULL, 0, REG_SZ, (const BYTE *)L"d", 4));
    RegCloseKey(key);
    ScratchLog log;

    EXPECT_EQ(0u, deleteValue(HKLM, k.wpath().c_str(), L"Gr\u00fc\u00dfe"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRawValue(HKLM, k.path(), L"Gr\u00fc\u00dfe").rc);
    EXPECT_EQ(0u, deleteValue(HKLM, k.wpath().c_str(), L"--"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRawValue(HKLM, k.path(), NULL).rc);
    EXPECT_TRUE(log.has("[DEBUG]", "deleteValue: Inside function deleteValue ..... subkey : " +
                                       k.path() + ", Valuename : -- \n"));
    EXPECT_TRUE(log.has("[INFO]", "deleteValue : going to delete the (default) value .\n"));
    EXPECT_TRUE(log.has("[INFO]", "deleteValue:  Delete value -- success! \n"));

    std::wstring missing = k.wpath() + L"\\Gone";
    EXPECT_EQ(2u, deleteValue(HKLM, missing.c_str(), L"x"));
    EXPECT_TRUE(log.has("[ERROR]", "deleteValue:  " + k.path() + "\\Gone Key not found!: 2  \n"));
    EXPECT_EQ(2u, deleteValue(HKLM, k.wpath().c_str(), L"Absent"));
    EXPECT_TRUE(log.has("[ERROR]", "deleteValue:  Delete value Absent failure! \n"));
}

TEST(RegistryDeleteValue, NullArgumentsAreRefused)
{
    RegTestKey k("dn");
    ASSERT_EQ(0, RegSetSz(HKLM, k.path(), NULL, "default"));
    EXPECT_EQ(13u, deleteValue(HKLM, k.path().c_str(), (const char *)NULL));
    EXPECT_EQ(13u, deleteValue(HKLM, (const char *)NULL, "x"));
    EXPECT_EQ(13u, deleteValue(HKLM, k.wpath().c_str(), (const wchar_t *)NULL));
    EXPECT_EQ(13u, deleteValue(HKLM, (const wchar_t *)NULL, L"x"));
    /* A null name does not stand for the default value: "--" does. */
    EXPECT_EQ(0, ReadRawValue(HKLM, k.path(), NULL).rc);
}

/* Builds root\A (values) with A\B\C, A\B\D and A\E, plus a sibling Keep. */
void BuildTree(const RegTestKey &k)
{
    ASSERT_EQ(0, RegSetSz(HKLM, k.sub("A"), "v", "1"));
    ASSERT_EQ(0, RegSetSz(HKLM, k.sub("A\\B\\C"), "v", "1"));
    ASSERT_EQ(0, RegSetDword(HKLM, k.sub("A\\B\\D"), "d", 2));
    ASSERT_EQ(0, RegSetSz(HKLM, k.sub("A\\B\\C\\Deep\\Deeper"), "v", "1"));
    ASSERT_EQ(0, RegSetSz(HKLM, k.sub("A\\E"), "v", "1"));
    ASSERT_EQ(0, RegSetSz(HKLM, k.sub("Keep"), "v", "1"));
}

typedef int (*TreeDeleter)(HKEY, const char *);

class RegistryDeleteTree : public ::testing::TestWithParam<TreeDeleter> {};

TEST_P(RegistryDeleteTree, RemovesNestedTreesAndLeavesSiblings)
{
    RegTestKey k("dt");
    BuildTree(k);
    TreeDeleter del = GetParam();
    EXPECT_EQ(1, del(HKLM, k.sub("A").c_str()));
    EXPECT_FALSE(RegKeyExists(HKLM, k.sub("A")));
    EXPECT_TRUE(RegKeyExists(HKLM, k.sub("Keep")));
    /* A leaf key. */
    EXPECT_EQ(1, del(HKLM, k.sub("Keep").c_str()));
    EXPECT_FALSE(RegKeyExists(HKLM, k.sub("Keep")));
}

TEST_P(RegistryDeleteTree, MissingKeyGivesZero)
{
    RegTestKey k("dt");
    ASSERT_EQ(0, RegSetSz(HKLM, k.path(), "v", "1"));
    TreeDeleter del = GetParam();
    EXPECT_EQ(0, del(HKLM, k.sub("NoSuch").c_str()));
    EXPECT_EQ(0, del(HKLM, k.sub("NoSuch\\Deeper").c_str()));
    EXPECT_TRUE(RegKeyExists(HKLM, k.path()));
}

TEST_P(RegistryDeleteTree, PathNamingTheRootIsRefused)
{
    RegTestKey k("dt");
    BuildTree(k);
    /* The test key stands in for the root, so a fault could cost only it. */
    HKEY root;
    ASSERT_EQ(0, RegOpenKeyExA(HKLM, k.path().c_str(), 0, KEY_ALL_ACCESS, &root));
    ScratchLog log;
    TreeDeleter del = GetParam();
    EXPECT_EQ(0, del(root, NULL));
    EXPECT_EQ(0, del(root, ""));
    RegCloseKey(root);
    EXPECT_TRUE(RegKeyExists(HKLM, k.sub("A\\B\\C\\Deep\\Deeper")));
    EXPECT_TRUE(RegKeyExists(HKLM, k.sub("Keep")));
    EXPECT_EQ(2, log.count("[ERROR]"));
}

TEST_P(RegistryDeleteTree, UsesThe32BitView)
{
    RegTestKey k("dt");
    ASSERT_EQ(0, RegSetSz(HKLM, k.sub("X\\Y"), "v", "1", KEY_WOW64_64KEY));
    gv_isWow64Process = TRUE;
    EXPECT_EQ(0, GetParam()(HKLM, k.sub("X").c_str()));
    EXPECT_TRUE(RegKeyExists(HKLM, k.sub("X\\Y"), KEY_WOW64_64KEY));
}

INSTANTIATE_TEST_SUITE_P(BothForms, RegistryDeleteTree,
                         ::testing::Values(&DeleteRegistryKeyTree, &DeleteRegistryKeyTreeEx),
                         [](const ::testing::TestParamInfo<TreeDeleter> &info) {
                             return info.param == &DeleteRegistryKeyTree ? "Recursive"
                                                                         : "FirstLevelWalk";
                         });

} // namespace
