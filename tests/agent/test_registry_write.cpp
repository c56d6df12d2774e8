/* Key creation and typed writes against Wine's registry: the "--" marks,
 * the byte rules of each type, the multi-string escaping, the 64-bit view
 * of the Ex forms and the messages of each failure. */
#include "agent/log.h"
#include "support/registrytest.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include "agent/registry.h"

#include <gtest/gtest.h>
#include <string.h>

using namespace vqt;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
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
