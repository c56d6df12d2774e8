/* UTF-8 / UTF-16 conversions: round trips, invalid input, NULL arguments. */
#include "agent/textconv.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

TEST(TextConv, RoundTripKeepsEveryCharacter)
{
    /* ASCII, Latin-1, Cyrillic, CJK and a character outside the BMP. */
    const char *utf8 = "a\xC3\xA4\xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80";
    wchar_t *wide = NULL;
    ASSERT_TRUE(ChangeUtf8ToWideStr(utf8, &wide));
    EXPECT_STREQ(L"a\u00E4\u0416\u65E5\U0001F600", wide);
    char *back = NULL;
    ASSERT_TRUE(ChangeWideToUtf8Str(wide, &back));
    EXPECT_STREQ(utf8, back);
    free(wide);
    free(back);

    char *same = NULL;
    ASSERT_TRUE(ChangeAnsiToUTF8Str(utf8, &same));
    EXPECT_STREQ(utf8, same);
    free(same);
}

TEST(TextConv, InvalidUtf8IsReplacedNotTruncated)
{
    /* A stray continuation byte and a cut-off sequence between ASCII. */
    char *out = NULL;
    ASSERT_TRUE(ChangeAnsiToUTF8Str("ab\x80" "cd\xE6\x97", &out));
    EXPECT_STREQ("ab\xEF\xBF\xBD" "cd\xEF\xBF\xBD", out);
    free(out);
}

TEST(TextConv, LongTextRoundTrips)
{
    std::string big(1 << 20, 'x');
    big.replace(1000, 2, "\xC3\xA4");
    wchar_t *wide = NULL;
    ASSERT_TRUE(ChangeToWideStr(big.c_str(), &wide));
    EXPECT_EQ(big.size() - 1, wcslen(wide));
    char *back = NULL;
    ASSERT_TRUE(ChangeWideToUtf8Str(wide, &back));
    EXPECT_EQ(big, std::string(back));
    free(wide);
    free(back);
}

TEST(TextConv, NullArgumentsGiveFalseAndTheErrorLines)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(log.opened());
    wchar_t *wide = (wchar_t *)1;
    char *narrow = (char *)1;
    EXPECT_FALSE(ChangeToWideStr(NULL, &wide));
    EXPECT_EQ(NULL, wide);
    EXPECT_FALSE(ChangeUtf8ToWideStr(NULL, &wide));
    EXPECT_FALSE(ChangeAnsiToUTF8Str(NULL, &narrow));
    EXPECT_EQ(NULL, narrow);
    EXPECT_FALSE(ChangeWideToUtf8Str(NULL, &narrow));
    EXPECT_FALSE(ChangeToWideStr("x", NULL));
    EXPECT_FALSE(ChangeWideToUtf8Str(L"x", NULL));
    EXPECT_TRUE(log.has("[ERROR] ChangeToWideStr: AnsiString is empty! \n"));
    EXPECT_TRUE(log.has("[ERROR] ChangeUtf8ToWideStr: utf8 is empty! \n"));
    EXPECT_TRUE(log.has("[ERROR] ChangeAnsiToUTF8Str: ansiString is empty! \n"));
}
