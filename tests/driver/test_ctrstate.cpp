/* The Click-to-Run state reader against Wine's registry: both WOW64 views,
 * the growing read buffer, the list tokenizer, the language map and every
 * value whose absence the reader has to survive or report. */
#include "driver/ctrstate.h"
#include "agent/registry.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

const char kRoot[] = "SOFTWARE\\Microsoft\\Office\\ClickToRun";
const char kConfig[] = VQ_CTR_CONFIGURATION_KEY;
const char kIds[] = VQ_CTR_RELEASEIDS_KEY;

typedef std::vector<std::string> Texts;

/* Starts and ends every test without Click-to-Run keys in either view and
 * with the WOW64 flag as the 64-bit prefix has it. */
class ClickToRunRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        removeKeys();
        savedWow64_ = gv_isWow64Process;
        gv_isWow64Process = TRUE;
    }
    void TearDown() override
    {
        gv_isWow64Process = savedWow64_;
        removeKeys();
        EXPECT_FALSE(vqt::RegKeyExists(HKEY_LOCAL_MACHINE, kRoot, KEY_WOW64_64KEY));
        EXPECT_FALSE(vqt::RegKeyExists(HKEY_LOCAL_MACHINE, kRoot, KEY_WOW64_32KEY));
    }
    static void removeKeys()
    {
        vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kRoot, KEY_WOW64_64KEY);
        vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kRoot, KEY_WOW64_32KEY);
    }
    static void set(const std::string &key, const char *name, const std::string &value,
                    REGSAM view = KEY_WOW64_64KEY)
    {
        ASSERT_EQ(vqt::RegSetSz(HKEY_LOCAL_MACHINE, key, name, value, view), ERROR_SUCCESS)
            << key << " " << name;
    }
    /* A computer with the values every read needs. */
    static void setTypicalConfiguration(REGSAM view = KEY_WOW64_64KEY)
    {
        set(kConfig, "UpdatesEnabled", "True", view);
        set(kConfig, "Platform", "x64", view);
        set(kConfig, "ProductReleaseIds", "O365ProPlusRetail,VisioProRetail", view);
        set(kConfig, "ClientCulture", "en-us", view);
        set(kConfig, "O365ProPlusRetail.ExcludedApps", "groove,lync", view);
    }
    static void setActiveConfiguration(const char *original, const char *modifier,
                                       REGSAM view = KEY_WOW64_64KEY)
    {
        set(kIds, "ActiveConfiguration", "culture", view);
        std::string sub = std::string(kIds) + "\\culture";
        if (original)
            set(sub, "Original", original, view);
        if (modifier)
            set(sub, "Modifier", modifier, view);
        if (!original && !modifier) {
            ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, sub, "Other", 1, view), 0);
        }
    }
    BOOL savedWow64_ = FALSE;
};

/* Reads one value of the Configuration key through the product's open. */
DWORD readConfigValue(const char *name, std::string *text)
{
    HKEY key;
    DWORD rc = OpenRegistryKeyForRead(HKEY_LOCAL_MACHINE, kConfig, &key);
    if (rc != 0)
        return rc;
    char *value = (char *)"unchanged";
    rc = ReadRegistryText(key, name, &value);
    RegCloseKey(key);
    *text = value;
    if (rc == 0)
        free(value);
    return rc;
}

} // namespace

TEST(SplitTokens, GivesTheRunsBetweenDelimitersAndNoEmptyPieces)
{
    struct Case { const char *text, *delims; Texts expected; } cases[] = {
        {"a|b|c", "|", {"a", "b", "c"}},
        {"|a||b|", "|", {"a", "b"}},
        {"||||", "|", {}},
        {"", ",", {}},
        {"abc", ",", {"abc"}},
        {"a||b", "||", {"a", "b"}},          /* "||" is the set {'|'} */
        {"x,y|z", ",|", {"x", "y", "z"}},
        {",,O365ProPlusRetail,,VisioProRetail,O365ProPlusRetail,", ",",
         {"O365ProPlusRetail", "VisioProRetail", "O365ProPlusRetail"}},
        {"P.16_aa-aa__bb-bb_x", "_", {"P.16", "aa-aa", "bb-bb", "x"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SplitTokens(c.text, c.delims), c.expected) << '"' << c.text << '"';
}

TEST_F(ClickToRunRegistry, Wow64OpenPrefersThe64BitViewAndFallsBackTo32Bit)
{
    std::string text;
    set(kConfig, "Platform", "only32", KEY_WOW64_32KEY);
    EXPECT_EQ(readConfigValue("Platform", &text), 0u);
    EXPECT_EQ(text, "only32");

    set(kConfig, "Platform", "from64", KEY_WOW64_64KEY);
    EXPECT_EQ(readConfigValue("Platform", &text), 0u);
    EXPECT_EQ(text, "from64");

    /* Without the flag the process's own (32-bit) view is opened. */
    gv_isWow64Process = FALSE;
    EXPECT_EQ(readConfigValue("Platform", &text), 0u);
    EXPECT_EQ(text, "only32");
}

TEST_F(ClickToRunRegistry, OpenOfAMissingKeyReportsThePathAndCode)
{
    vqt::ScratchLog log;
    HKEY key = NULL;
    EXPECT_EQ(OpenRegistryKeyForRead(HKEY_LOCAL_MACHINE, kConfig, &key), 2u);
    gv_isWow64Process = FALSE;
    EXPECT_EQ(OpenRegistryKeyForRead(HKEY_LOCAL_MACHINE, kConfig, &key), 2u);
    std::string line = std::string("Unable to open Reg Key -> ") + kConfig + ". Error Code: 2";
    EXPECT_EQ(log.messages("ERROR"), Texts({line, line}));
}

TEST_F(ClickToRunRegistry, ReadRegistryTextReadsLongValuesWholeAndAlwaysTerminates)
{
    std::string text;
    /* Longer than the first buffer and than one growth step. */
    std::string longText;
    for (int i = 0; longText.size() < 8192 + 4096 + 100; i++)
        longText += "O365ProPlusRetail" + std::to_string(i) + ",";
    set(kConfig, "Long", longText);
    EXPECT_EQ(readConfigValue("Long", &text), 0u);
    EXPECT_EQ(text, longText);

    /* Exactly the first buffer's size, stored without a terminating zero. */
    std::string full(8192, 'q');
    ASSERT_EQ(vqt::RegSetRaw(HKEY_LOCAL_MACHINE, kConfig, "Full", REG_SZ, full.data(),
                             (DWORD)full.size(), KEY_WOW64_64KEY), 0);
    EXPECT_EQ(readConfigValue("Full", &text), 0u);
    EXPECT_EQ(text, full);

    /* A short text without its terminator, and an empty value. */
    ASSERT_EQ(vqt::RegSetRaw(HKEY_LOCAL_MACHINE, kConfig, "Short", REG_SZ, "x64", 3,
                             KEY_WOW64_64KEY), 0);
    EXPECT_EQ(readConfigValue("Short", &text), 0u);
    EXPECT_EQ(text, "x64");
    ASSERT_EQ(vqt::RegSetRaw(HKEY_LOCAL_MACHINE, kConfig, "Empty", REG_SZ, "", 0,
                             KEY_WOW64_64KEY), 0);
    EXPECT_EQ(readConfigValue("Empty", &text), 0u);
    EXPECT_EQ(text, "");

    /* A failed read leaves the out text alone. */
    EXPECT_EQ(readConfigValue("Absent", &text), 2u);
    EXPECT_EQ(text, "unchanged");
}

TEST_F(ClickToRunRegistry, TypicalComputerFillsEveryField)
{
    setTypicalConfiguration();
    setActiveConfiguration("O365ProPlusRetail.16_en-us_x-none|VisioProRetail.16_en-us_x-none",
                           "O365ProPlusRetail.16_de-de_x-none,VisioProRetail.16_de-de_x-none");
    vqt::ScratchLog log;
    ClickToRunState s;
    EXPECT_EQ(ReadClickToRunState(&s), 0u);
    EXPECT_EQ(s.updatesEnabled, "True");
    EXPECT_EQ(s.platform, "x64");
    EXPECT_EQ(s.productReleaseIds, "O365ProPlusRetail,VisioProRetail");
    EXPECT_EQ(s.clientCulture, "en-us");
    EXPECT_EQ(s.excludedApps, "groove,lync");
    InstalledLanguageMap expected = {
        {"O365ProPlusRetail.16", {"de-de", "en-us"}},
        {"VisioProRetail.16", {"de-de", "en-us"}},
    };
    EXPECT_EQ(s.installedLanguages, expected);
    EXPECT_EQ(log.messages("ERROR"), Texts());
    EXPECT_EQ(log.messages("INFO"), Texts({"UpdatesEnabled : True"}));
    EXPECT_EQ(log.messages("DEBUG"),
              Texts({"Original : O365ProPlusRetail.16_en-us_x-none|VisioProRetail.16_en-us_x-none",
                     "Modifier : O365ProPlusRetail.16_de-de_x-none,VisioProRetail.16_de-de_x-none",
                     "parsing token O365ProPlusRetail.16_en-us_x-none",
                     "parsing token VisioProRetail.16_en-us_x-none",
                     "parsing token O365ProPlusRetail.16_de-de_x-none",
                     "parsing token VisioProRetail.16_de-de_x-none"}));
}

TEST_F(ClickToRunRegistry, KeysOnlyInThe32BitViewAreReadOn64BitWindows)
{
    setTypicalConfiguration(KEY_WOW64_32KEY);
    setActiveConfiguration("O365ProPlusRetail.16_fr-fr_x-none", NULL, KEY_WOW64_32KEY);
    ClickToRunState s;
    EXPECT_EQ(ReadClickToRunState(&s), 0u);
    EXPECT_EQ(s.productReleaseIds, "O365ProPlusRetail,VisioProRetail");
    EXPECT_EQ(s.installedLanguages,
              InstalledLanguageMap({{"O365ProPlusRetail.16", {"fr-fr"}}}));
}

TEST_F(ClickToRunRegistry, LanguageTokensMergeSortedWithoutDuplicatesAndKeysKeepTheirCase)
{
    setTypicalConfiguration();
    setActiveConfiguration(
        "|P.16_zz-zz_aa-aa_cc||P.16_cc|p.16_mm-mm_x||",
        "||P.16_bb-bb_aa-aa_dd-dd_cc,,Q.16_en-us_x||Q.16_en-us_de-de_x|");
    ClickToRunState s;
    EXPECT_EQ(ReadClickToRunState(&s), 0u);
    InstalledLanguageMap expected = {
        {"P.16", {"aa-aa", "bb-bb", "dd-dd", "zz-zz"}},
        {"Q.16", {"de-de", "en-us"}},
        {"p.16", {"mm-mm"}},
    };
    EXPECT_EQ(s.installedLanguages, expected);
    EXPECT_EQ(InstalledLanguagesOf(s.installedLanguages, "R.16"), Texts());
    EXPECT_EQ(InstalledLanguagesOf(s.installedLanguages, "q.16"), Texts());
}

TEST_F(ClickToRunRegistry, MissingConfigurationKeyOrRequiredValueEndsTheRead)
{
    struct Case { const char *missing; DWORD code; const char *line; } cases[] = {
        {NULL, 2, "Unable to open Reg Key -> SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration. Error Code: 2"},
        {"ProductReleaseIds", 2, "Failed to read ProductReleaseIds from the registry. Error Code : 2"},
        {"ClientCulture", 2, "Failed to read ClientCulture from the registry. Error Code : 2"},
    };
    for (const Case &c : cases) {
        removeKeys();
        if (c.missing) {
            setTypicalConfiguration();
            setActiveConfiguration("O365ProPlusRetail.16_en-us_x", NULL);
            HKEY key;
            ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfig, 0,
                                    KEY_SET_VALUE | KEY_WOW64_64KEY, &key), 0);
            ASSERT_EQ(RegDeleteValueA(key, c.missing), 0);
            RegCloseKey(key);
        }
        vqt::ScratchLog log;
        ClickToRunState s;
        EXPECT_EQ(ReadClickToRunState(&s), c.code) << (c.missing ? c.missing : "key");
        EXPECT_EQ(log.messages("ERROR"), Texts({c.line}));
        EXPECT_TRUE(s.installedLanguages.empty());
    }
}

TEST_F(ClickToRunRegistry, OptionalValuesMissingAreLoggedAndTheReadGoesOn)
{
    set(kConfig, "ProductReleaseIds", "O365BusinessRetail");
    set(kConfig, "ClientCulture", "nl-nl");
    {
        vqt::ScratchLog log;
        ClickToRunState s;
        EXPECT_EQ(ReadClickToRunState(&s), 0u);
        EXPECT_EQ(s.updatesEnabled, "");
        EXPECT_EQ(s.platform, "x64");
        EXPECT_EQ(s.excludedApps, "");
        EXPECT_TRUE(s.installedLanguages.empty());
        EXPECT_EQ(log.messages("INFO"),
                  Texts({"UpdatesEnabled : FALSE", "Proceeding with retrieved ClientCulture."}));
        EXPECT_EQ(log.messages("ERROR"),
                  Texts({"Failed to read Platform from registry. Error Code : 2. So assiging system's architecture.",
                         "Unable to open Reg Key -> SOFTWARE\\Microsoft\\Office\\ClickToRun\\ProductReleaseIDs. Error Code: 2",
                         "Failed to get installed languages from the registry. Error Code : 2",
                         "Failed to read ExcludedApps from the registry. Error Code : 2. So proceeding without adding them."}));
    }

    /* On 32-bit Windows the platform falls back to x86; an empty
     * UpdatesEnabled shows as FALSE; the Business exclusions are the
     * fallback of the ProPlus ones. */
    gv_isWow64Process = FALSE;
    set(kConfig, "ProductReleaseIds", "O365BusinessRetail", KEY_WOW64_32KEY);
    set(kConfig, "ClientCulture", "nl-nl", KEY_WOW64_32KEY);
    set(kConfig, "UpdatesEnabled", "", KEY_WOW64_32KEY);
    set(kConfig, "O365BusinessRetail.ExcludedApps", "teams", KEY_WOW64_32KEY);
    {
        vqt::ScratchLog log;
        ClickToRunState s;
        EXPECT_EQ(ReadClickToRunState(&s), 0u);
        EXPECT_EQ(s.platform, "x86");
        EXPECT_EQ(s.excludedApps, "teams");
        EXPECT_EQ(log.messages("INFO").front(), "UpdatesEnabled : FALSE");
    }
}

TEST_F(ClickToRunRegistry, MissingLanguageValuesLeaveTheMapEmptyWithTheirLines)
{
    const std::string active = std::string(kIds) + "\\culture";
    struct Case {
        const char *what;
        Texts errors;
    } cases[] = {
        {"ActiveConfiguration",
         {"Failed to read ActiveConfiguration from the registry. Error Code : 2",
          "Failed to get installed languages from the registry. Error Code : 2"}},
        {"sub-key",
         {"Unable to open Reg Key -> culture. Error Code: 2",
          "Failed to get installed languages from the registry. Error Code : 2"}},
        {"Original and Modifier", {}},
    };
    for (const Case &c : cases) {
        removeKeys();
        setTypicalConfiguration();
        std::string what = c.what;
        if (what == "ActiveConfiguration") {
            ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, kIds, "Other", 1, KEY_WOW64_64KEY), 0);
        } else if (what == "sub-key")
            set(kIds, "ActiveConfiguration", "culture");
        else
            setActiveConfiguration(NULL, NULL);
        vqt::ScratchLog log;
        ClickToRunState s;
        EXPECT_EQ(ReadClickToRunState(&s), 0u) << what;
        EXPECT_TRUE(s.installedLanguages.empty()) << what;
        EXPECT_EQ(log.messages("ERROR"), c.errors) << what;
        Texts info = log.messages("INFO");
        EXPECT_EQ(info.size(), c.errors.empty() ? 1u : 2u) << what;
        EXPECT_EQ(log.messages("DEBUG"), Texts()) << what;
    }

    /* Modifier alone contributes its tokens. */
    removeKeys();
    setTypicalConfiguration();
    setActiveConfiguration(NULL, "X.16_ja-jp_x");
    ClickToRunState s;
    EXPECT_EQ(ReadClickToRunState(&s), 0u);
    EXPECT_EQ(s.installedLanguages, InstalledLanguageMap({{"X.16", {"ja-jp"}}}));
}

/* A volume product keeps its own exclusions; a product whose Original and
 * Modifier lists name no language takes the culture sub-keys stored under
 * it (without "x-none"), while a product the lists cover keeps theirs. */
TEST_F(ClickToRunRegistry, OwnExclusionsAndLanguagesFromCultureKeys)
{
    setTypicalConfiguration();
    set(kConfig, "ProductReleaseIds", "O365ProPlusRetail,ProPlus2021Volume,VisioProRetail");
    set(kConfig, "ProPlus2021Volume.ExcludedApps", "access,teams");
    setActiveConfiguration("O365ProPlusRetail.16_en-us_x-none", NULL);
    const std::string active = std::string(kIds) + "\\culture";
    for (const char *culture : {"de-de", "x-none", "fr-fr"})
        ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, active + "\\ProPlus2021Volume.16\\" + culture,
                                   "Count", 1, KEY_WOW64_64KEY), 0);
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, active + "\\O365ProPlusRetail.16\\it-it",
                               "Count", 1, KEY_WOW64_64KEY), 0);
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, active + "\\VisioProRetail.16\\x-none",
                               "Count", 1, KEY_WOW64_64KEY), 0);

    ClickToRunState s;
    ASSERT_EQ(ReadClickToRunState(&s), 0u);
    EXPECT_EQ(ExcludedAppsOf(s, "ProPlus2021Volume"), "access,teams");
    EXPECT_EQ(ExcludedAppsOf(s, "O365ProPlusRetail"), "groove,lync");
    EXPECT_EQ(ExcludedAppsOf(s, "VisioProRetail"), "groove,lync");   /* the shared list */
    EXPECT_EQ(InstalledLanguagesOf(s.installedLanguages, "ProPlus2021Volume.16"),
              Texts({"de-de", "fr-fr"}));
    EXPECT_EQ(InstalledLanguagesOf(s.installedLanguages, "O365ProPlusRetail.16"),
              Texts({"en-us"}));
    EXPECT_EQ(InstalledLanguagesOf(s.installedLanguages, "VisioProRetail.16"), Texts());
}
