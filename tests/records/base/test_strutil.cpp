/* Text utilities: splitting and delimiter texts at their edges, the two
 * comparisons (signed bytes, A-Z folding only) and the number readers. */
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "records/base/strutil.h"

namespace {

std::vector<std::string> split(const char *text, char d, int *count)
{
    std::vector<std::string> out;
    char **parts = SplitString(text, d, count);
    if (!parts)
        return out;
    for (char **p = parts; *p; p++)
        out.push_back(*p);
    FreeStringArray(parts);
    return out;
}

TEST(TextUtil, SplitGivesCountPlusOneParts)
{
    int n = -1;
    EXPECT_EQ((std::vector<std::string>{"a", "", "b", ""}), split("a,,b,", ',', &n));
    EXPECT_EQ(4, n);
    EXPECT_EQ((std::vector<std::string>{"abc"}), split("abc", ',', &n));
    EXPECT_EQ(1, n);
    EXPECT_EQ((std::vector<std::string>{""}), split("", ',', &n));
    EXPECT_EQ(1, n);
    EXPECT_EQ(nullptr, SplitString(NULL, ',', &n));
    EXPECT_EQ(0, n);
    EXPECT_EQ(3, CountDelimiter("a,,b,", ','));
}

TEST(TextUtil, TextsAroundTheFirstDelimiter)
{
    char *before = GetStringBeforeDelimiter("key=val=ue", '=');
    char *after = GetStringAfterDelimiter("key=val=ue", '=');
    EXPECT_STREQ("key", before);
    EXPECT_STREQ("val=ue", after);
    free(before);
    free(after);
    before = GetStringBeforeDelimiter("=x", '=');
    after = GetStringAfterDelimiter("x=", '=');
    EXPECT_STREQ("", before);
    EXPECT_STREQ("", after);
    free(before);
    free(after);
    EXPECT_EQ(nullptr, GetStringBeforeDelimiter("none", '='));
    EXPECT_EQ(nullptr, GetStringAfterDelimiter("none", '='));
}

TEST(TextUtil, Copies)
{
    char *out = NULL;
    EXPECT_EQ(1, CopyNString(&out, "abcdef", 3));
    EXPECT_STREQ("abc", out);
    free(out);
    EXPECT_EQ(1, CopyString(&out, "xyz"));
    EXPECT_STREQ("xyz", out);
    EXPECT_TRUE(ReallocateAndSetString(&out, "replaced"));
    EXPECT_STREQ("replaced", out);
    EXPECT_TRUE(ReallocateAndSetString(&out, NULL));
    EXPECT_EQ(nullptr, out);
}

TEST(TextUtil, ComparisonsUseSignedBytesAndFoldAZOnly)
{
    EXPECT_EQ(0, CompareStringIgnoreCase("TableName", "tABLEnAME"));
    EXPECT_LT(CompareStringIgnoreCase("abc", "ABD"), 0);
    EXPECT_GT(CompareStringIgnoreCase("abcd", "ABC"), 0);
    /* Only A-Z fold: the Latin-1 pair \xC9/\xE9 stays different, and '[' does
     * not meet '{'. */
    EXPECT_NE(0, CompareStringIgnoreCase("\xc9", "\xe9"));
    EXPECT_NE(0, CompareStringIgnoreCase("[", "{"));
    /* Signed: a byte above 127 sorts before ASCII. */
    EXPECT_LT(CompareStringSigned("\x80", "a"), 0);
    EXPECT_LT(CompareStringIgnoreCase("\x80", "a"), 0);
    EXPECT_LT(CompareStringSigned("B", "a"), 0);
    EXPECT_LT(CompareStringSigned(NULL, ""), 0);
    EXPECT_EQ(0, CompareStringSigned(NULL, NULL));
}

TEST(TextUtil, SearchHelpers)
{
    const char *text = "hello world";
    EXPECT_EQ(text + 6, SubString(text, "world"));
    EXPECT_EQ(nullptr, SubString(text, "World"));
    EXPECT_TRUE(FindSubString(text, "lo w"));
    EXPECT_FALSE(FindSubString(NULL, "x"));
    EXPECT_EQ(4, GetIndex(text, 11, 'o'));
    EXPECT_EQ(-1, GetIndex(text, 4, 'o')) << "must stop at the given length";
    EXPECT_TRUE(IsStringMatched("a", "a"));
    EXPECT_FALSE(IsStringMatched("a", "A"));
    EXPECT_FALSE(IsStringMatched("a", NULL));
}

TEST(TextUtil, NumberReaders)
{
    EXPECT_EQ(123, ConvertDecimalStringToNumber("123"));
    EXPECT_EQ(0, ConvertDecimalStringToNumber("0"));
    EXPECT_EQ(2147483647L, ConvertDecimalStringToNumber("2147483647"));
    for (const char *bad : {"", "12a", "-5", "+5", " 1", "2147483648", "99999999999999999999"})
        EXPECT_EQ(-1, ConvertDecimalStringToNumber(bad)) << bad;
    EXPECT_EQ(-1, ConvertDecimalStringToNumber(NULL));
    EXPECT_EQ(-42, ConvertToInteger("-42abc"));
    EXPECT_EQ(0, ConvertToInteger(NULL));
}

/* The shortcut must give strtod's value to the last bit and stop where
 * strtod stops; texts it does not take go to strtod itself. */
TEST(TextUtil, TextToDoubleMatchesStrtodBitForBit)
{
    std::vector<std::string> texts = {"0", "-0", "0.1", "0.3", "1.5", "-2.75", "49.500000", "123456789012345",
                                      "0.000000000000001", "9007199254740.993", "1234567890123456", "1e10",
                                      "1.5E-3", "+7.", ".25", "12abc", "", "-", ".", " 3.5", "0x1A", "inf"};
    unsigned seed = 12345;
    for (int i = 0; i < 20000; i++) {
        seed = seed * 1103515245u + 12345u;
        unsigned digits = seed >> 8;
        int point = (int)(seed % 11);
        std::string t = std::to_string(digits % 1000000000u) + std::to_string((seed >> 3) % 1000000u);
        if (point < (int)t.size())
            t.insert(t.size() - point, ".");
        texts.push_back((seed & 1) ? "-" + t : t);
    }
    for (const std::string &t : texts) {
        char *ourEnd = nullptr, *theirEnd = nullptr;
        double ours = TextToDouble(t.c_str(), &ourEnd);
        double theirs = strtod(t.c_str(), &theirEnd);
        ASSERT_EQ(0, memcmp(&ours, &theirs, sizeof ours)) << t << ": " << ours << " vs " << theirs;
        ASSERT_EQ(theirEnd - t.c_str(), ourEnd - t.c_str()) << t;
    }
}

TEST(TextUtil, ReverseInPlace)
{
    char odd[] = "abcde", even[] = "ab", empty[] = "";
    EXPECT_STREQ("edcba", ReverseString(odd));
    EXPECT_STREQ("ba", ReverseString(even));
    EXPECT_STREQ("", ReverseString(empty));
}

} // namespace
