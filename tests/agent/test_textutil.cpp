/* Find-and-replace without case, lower-casing, character replacement and
 * the last component of paths and URLs. */
#include "agent/textutil.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

static std::string replace(const char *input, const char *oldText, const char *newText)
{
    return vqt::TakeText(FindAndReplaceWithNoCase(input, oldText, newText));
}

TEST(FindAndReplace, ReplacesEveryCaseKeepsTheRest)
{
    EXPECT_EQ("client-data/acme/domains/example.local",
              replace("client-data/acme/domains/CORP", "corp", "example.local"));
    EXPECT_EQ("x-y-x-Y", replace("AbC-y-abc-Y", "abc", "x"));
    EXPECT_EQ("[v][v]", replace("%ID%%id%", "%id%", "[v]"));
    EXPECT_EQ("nothing here", replace("nothing here", "zz", "q"));
    /* Non-ASCII bytes are copied as they are and never folded. */
    EXPECT_EQ("\xC3\x84-new-\xC3\xA4", replace("\xC3\x84-OLD-\xC3\xA4", "old", "new"));
    EXPECT_EQ("\xC3\x84", replace("\xC3\x84", "\xC3\xA4", "ab"));
}

TEST(FindAndReplace, NewTextContainingOldEnds)
{
    /* The search goes on after the inserted text, never inside it. */
    EXPECT_EQ("corp.CORP/corp.CORP", replace("corp/Corp", "corp", "corp.CORP"));
    EXPECT_EQ("aaaa", replace("aa", "a" "a", "aaaa"));
    /* Overlapping candidates: left to right, without overlap. */
    EXPECT_EQ("Xa", replace("aaa", "aa", "X"));
}

TEST(FindAndReplace, RefusedArgumentsGiveACopy)
{
    EXPECT_EQ("abc", replace("abc", "b", "x"));          /* old text of one character */
    EXPECT_EQ("abc", replace("abc", "", "x"));
    EXPECT_EQ("abc", replace("abc", NULL, "x"));
    EXPECT_EQ("a", replace("a", "aa", "x"));             /* input shorter than 2 */
    EXPECT_EQ("<null>", replace(NULL, "ab", "x"));
    EXPECT_EQ("xAbx", replace("xAbx", "ab", "AB"));      /* same ignoring case */
    EXPECT_EQ("xabx", replace("xabx", "ab", NULL));
}

TEST(FindAndReplace, LongInputAndRemoval)
{
    std::string input;
    for (int i = 0; i < 20000; i++)
        input += "Ab-";
    std::string out = replace(input.c_str(), "ab", "");
    EXPECT_EQ(std::string(20000, '-'), out);
}

TEST(TextUtil, ToLowerUtf8)
{
    EXPECT_EQ("abc xyz 09", vqt::TakeText(ToLowerUtf8("ABC xYz 09")));
    /* Ä Ö Ж become ä ö ж. */
    EXPECT_EQ("\xC3\xA4\xC3\xB6\xD0\xB6", vqt::TakeText(ToLowerUtf8("\xC3\x84\xC3\x96\xD0\x96")));
    EXPECT_EQ("a\xEF\xBF\xBD" "b", vqt::TakeText(ToLowerUtf8("A\xFF" "B")));
    EXPECT_EQ("", vqt::TakeText(ToLowerUtf8("")));
    EXPECT_EQ("<null>", vqt::TakeText(ToLowerUtf8(NULL)));
}

TEST(TextUtil, ReplaceCharInCopy)
{
    const char *path = "a\\b\\c";
    EXPECT_EQ("a/b/c", vqt::TakeText(ReplaceCharInCopy(path, '\\', '/')));
    EXPECT_STREQ("a\\b\\c", path);
    EXPECT_EQ("", vqt::TakeText(ReplaceCharInCopy("", 'a', 'b')));
    EXPECT_EQ("<null>", vqt::TakeText(ReplaceCharInCopy(NULL, 'a', 'b')));
}

TEST(TextUtil, LastComponents)
{
    EXPECT_EQ("setup.exe", vqt::TakeText(GetLastFileName("C:\\odt\\Office365\\setup.exe")));
    EXPECT_EQ("setup.exe", vqt::TakeText(GetLastFileName("setup.exe")));
    EXPECT_EQ("", vqt::TakeText(GetLastFileName("C:\\odt\\")));
    EXPECT_EQ("<null>", vqt::TakeText(GetLastFileName(NULL)));
    EXPECT_EQ("file.cab", vqt::TakeText(GetLastUrlFileName("https://host/a/b/file.cab")));
    EXPECT_EQ("", vqt::TakeText(GetLastUrlFileName("https://host/a/")));
    EXPECT_EQ("plain", vqt::TakeText(GetLastUrlFileName("plain")));
    EXPECT_EQ("<null>", vqt::TakeText(GetLastUrlFileName(NULL)));
}
