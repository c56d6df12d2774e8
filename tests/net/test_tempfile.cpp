/* The load of a downloaded text file into memory: the same text as the C
 * library's text-mode read, for every kind of line end, a Ctrl-Z and the
 * edges of the library's own read buffer. */
#include "net/tempfile.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>

namespace {

/* What fopen "r" and fread make of the file. */
std::string textModeRead(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return "<unreadable>";
    std::string text;
    char block[777];
    size_t got;
    while ((got = fread(block, 1, sizeof(block), f)) > 0)
        text.append(block, got);
    fclose(f);
    return text;
}

} // namespace

TEST(TempFile, LoadTextFileReadsAsTextModeDoes)
{
    std::string crAtBufferEdges;
    for (int i = 0; i < 3; i++)
        crAtBufferEdges += std::string(4095, 'a') + "\r\n" + std::string(4094, 'b') + "\r";
    const std::string cases[] = {
        "",
        "plain text without a line end",
        "line one\r\nline two\r\n",
        "lone CR\rin the middle and at the end\r",
        "CR CR LF\r\r\n and LF CR\n\r and LF LF\n\n",
        "before a Ctrl-Z\r\n\x1a after it\r\n",
        "\x1a",
        crAtBufferEdges,
        std::string(100000, 'x') + "\r\n" + std::string(3, 'y'),
    };
    vqt::ScratchDir dir("nettext");
    std::string path = dir.file("data.tmp");
    std::wstring wide(path.begin(), path.end());
    int row = 0;
    for (const std::string &bytes : cases) {
        ASSERT_TRUE(vqt::WriteWholeFile(path, bytes));
        char *out = NULL;
        ASSERT_EQ(LoadTextFile(wide.c_str(), &out), 1) << row;
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(std::string(out) == textModeRead(path)) << "row " << row;
        free(out);
        row++;
    }
    char *out = (char *)0x1;
    EXPECT_EQ(LoadTextFile(L"Z:\\no\\such\\file.tmp", &out), 0);
    EXPECT_EQ(out, (char *)0x1);
}
