/* Value deletion (narrow and wide) and key tree deletion against Wine's
 * registry: the default value, missing keys and values with their codes and
 * messages, nested trees, and the refusal of a path that names the root. */
#include "agent/log.h"
#include "support/registrytest.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include "agent/registry.h"

#include <gtest/gtest.h>

using namespace vqt;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;

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
