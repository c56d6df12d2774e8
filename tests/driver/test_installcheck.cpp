/* The check after setup against Click-to-Run keys written here and a
 * document as the rewrite leaves it: the ERROR lines name exactly what the
 * state does not show. The whole runs (test_main.cpp) drive it through a
 * setup stand-in; these cases go through the comparison's rules. */
#include "driver/installcheck.h"
#include "support/clicktorun.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

typedef std::vector<std::string> Texts;

const char kConfigKey[] = "SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";

/* A document whose Add holds `products` (Product elements as text). */
std::string documentWith(const std::string &products, const std::string &rest = "")
{
    return "<Configuration><Add OfficeClientEdition=\"64\">" + products + "</Add>" + rest +
           "</Configuration>";
}

Texts checkErrors(const vqt::ScratchLog &log)
{
    Texts out;
    for (const std::string &m : log.messages("ERROR"))
        if (m.rfind("CheckInstalledState", 0) == 0)
            out.push_back(m);
    return out;
}

} // namespace

TEST(InstallCheck, ComparesWhatTheDocumentAskedWithTheStateNow)
{
    vqt::ClickToRunKeys keys;
    keys.productReleaseIds = "O365ProPlusRetail,VisioProRetail";
    keys.clientCulture = "en-us";
    keys.excludedApps = "Groove";
    keys.original = "O365ProPlusRetail.16_en-us_x-none";
    keys.modifier = "";
    const std::string pro = "<Product ID=\"o365proplusretail\"><Language ID=\"EN-US\"/>"
                            "<ExcludeApp ID=\"groove\"/></Product>";
    struct Case {
        const char *name;
        std::string document;
        std::string visioExclusions;   /* "VisioProRetail.ExcludedApps"; "" = none */
        Texts errors;
    } cases[] = {
        {"identifiers in another case; a product without languages has the culture",
         documentWith(pro + "<Product ID=\"VisioProRetail\"><Language ID=\"en-us\"/></Product>"), "",
         {}},
        {"the culture does not stand for another language",
         documentWith("<Product ID=\"VisioProRetail\"><Language ID=\"de-de\"/></Product>"), "",
         {"CheckInstalledState : Language de-de of Product VisioProRetail is not installed."}},
        {"a Match language names none of its own",
         documentWith("<Product ID=\"O365ProPlusRetail\"><Language ID=\"MatchOS\"/></Product>"), "",
         {}},
        {"a product's own exclusions",
         documentWith("<Product ID=\"VisioProRetail\"><Language ID=\"en-us\"/>"
                      "<ExcludeApp ID=\"teams\"/><ExcludeApp ID=\"groove\"/></Product>"),
         "teams",
         {"CheckInstalledState : ExcludeApp groove of Product VisioProRetail is not applied."}},
        {"a product missing and one removed but still there",
         documentWith(pro + "<Product ID=\"ProjectProRetail\"><Language ID=\"en-us\"/></Product>",
                      "<Remove><Product ID=\"VisioProRetail\"/><Product ID=\"O365ProPlusRetail\"/>"
                      "<Product ID=\"AccessRetail\"/></Remove>"),
         "",
         {"CheckInstalledState : Product ProjectProRetail is not installed.",
          "CheckInstalledState : Product VisioProRetail was removed by the document and is still installed."}},
    };
    vqt::ClickToRunComputer computer;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(computer.install(&keys));
        if (!c.visioExclusions.empty()) {
            ASSERT_EQ(vqt::RegSetSz(HKEY_LOCAL_MACHINE, kConfigKey, "VisioProRetail.ExcludedApps",
                                    c.visioExclusions, KEY_WOW64_64KEY), 0);
        }
        vqt::ScratchDir dir("check");
        ASSERT_TRUE(vqt::WriteWholeFile(dir.file("config.xml"), c.document));
        vqt::ScratchLog log;
        CheckInstalledState(dir.file("config.xml").c_str());
        EXPECT_EQ(checkErrors(log), c.errors);
        EXPECT_EQ(log.has("[INFO]", "CheckInstalledState : Click-to-Run holds what the document "
                                    "asked for.\n"),
                  c.errors.empty());
    }
}
