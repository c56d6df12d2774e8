/* The preview in this process, on computers set up in the registry: what it
 * prints (the rewritten document, then the summary) and that the document,
 * its folder and the temporary folder are as they were. No Office
 * application runs here; the whole runs with one running are in
 * test_main.cpp. */
#include "driver/preview.h"
#include "support/clicktorun.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

typedef std::vector<std::string> Texts;

const std::string kSample = VQ_DRIVER_TEST_DATA "/typical.xml";

/* The names in the temporary folder that a preview copy would have. */
Texts previewCopies()
{
    Texts names;
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(folder) + "vqpreview.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

} // namespace

TEST(Preview, PrintsTheRewriteAndItsSummaryAndChangesNothing)
{
    vqt::ClickToRunKeys multi;
    multi.productReleaseIds = "VisioProRetail,ProjectProRetail,O365ProPlusRetail";
    multi.clientCulture = "de-de";
    multi.excludedApps = "teams";
    multi.original = "O365ProPlusRetail.16_de-de_x-none|ProjectProRetail.16_fr-fr_x-none";
    multi.modifier = "ProjectProRetail.16_it-it_x-none";
    struct Case {
        const char *name;
        const vqt::ClickToRunKeys *keys;   /* NULL: no Click-to-Run */
        Texts printed;                     /* pieces of the output, in order */
    } cases[] = {
        {"multi-product computer", &multi,
         {"config.xml as a run would save it ====\n"
          "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Configuration>\n",
          "<Product ID=\"O365ProPlusRetail\">", "<Product ID=\"ProjectProRetail\">",
          "<Product ID=\"VisioProRetail\">",
          "Products after the rewrite:\n"
          "  O365ProPlusRetail : languages de-de; excluded teams\n"
          "  ProjectProRetail : languages fr-fr, it-it; excluded teams\n"
          "  VisioProRetail : languages de-de; excluded teams\n",
          "Products removed      : (none)\nFORCEAPPSHUTDOWN      : TRUE -> FALSE\n"
          "Office applications   : none running\n"}},
        {"no Click-to-Run", NULL,
         {"==== Preview of ",
          "Click-to-Run          : cannot be read (Error Code 2): a run would end with 2 after "
          "extracting the tool\n",
          "OfficeClientEdition   : \"32\" -> \"32\"\n",
          "Products in the document:\n  O365ProPlusRetail : languages en-us; excluded (none)\n"
          "Products removed"}},
    };
    vqt::ClickToRunComputer computer;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(computer.install(c.keys));
        vqt::ScratchDir work("preview");
        std::string sample = vqt::ReadWholeFile(kSample);
        ASSERT_TRUE(vqt::WriteWholeFile(work.file("config.xml"), sample));
        ASSERT_TRUE(vqt::WriteWholeFile(work.file("odt.exe"), "MZ"));
        std::string written = vqt::FileTimes(work.file("config.xml"));
        std::string folder = vqt::FileTimes(work.path());
        Texts copies = previewCopies();
        Sleep(20);

        vqt::ScratchDir outDir("previewout");
        FILE *out = fopen(outDir.file("out.txt").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        vqt::ScratchLog log;
        LONG code = PreviewDeployment(work.file("config.xml").c_str(), work.file("odt.exe").c_str(),
                                      "16.0.1", out, 1);
        fclose(out);
        std::string printed = vqt::ReadWholeFile(outDir.file("out.txt"));

        EXPECT_EQ(code, 0);
        size_t at = 0;
        for (const std::string &piece : c.printed) {
            size_t found = printed.find(piece, at);
            EXPECT_NE(found, std::string::npos) << piece << "\nin:\n" << printed;
            if (found != std::string::npos)
                at = found + piece.size();
        }
        EXPECT_EQ(printed.find("<Configuration") != std::string::npos, c.keys != NULL);
        EXPECT_EQ(vqt::ReadWholeFile(work.file("config.xml")), sample);
        EXPECT_EQ(vqt::FileTimes(work.file("config.xml")), written);
        EXPECT_EQ(vqt::FileTimes(work.path()), folder);
        EXPECT_FALSE(vqt::DirExistsA(work.file("Office365")));
        EXPECT_EQ(previewCopies(), copies) << "the copy is removed";
        EXPECT_TRUE(log.has("[INFO]", "PreviewDeployment : the rewritten document and its summary "
                                      "were printed; nothing was changed.\n"));
    }
}
