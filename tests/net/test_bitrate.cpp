/* Bit-rate limited downloads from the loopback server: the block ranges,
 * the cycle of at least 600 ms and the HEAD answer's length. */
#include "net/bitrate.h"
#include "net/httpengine.h"
#include "agent/agentparams.h"
#include "support/testutil.h"
#include "support/netserver.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>

using vqt::RequestsWith;
using vqt::UniqueToken;
using vqt::Wide;

namespace {

char *const kPoison = (char *)(INT_PTR)0x5a5a5a5a;

class Bitrate : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(vqt::HttpPort(), 0) << "the loopback servers' ports are not in the environment";
        gv_agentParams.HTTPRequestTimeout = 60000;
        gv_agentParams.HTTPConnectionTimeout = 30000;
        gv_agentParams.DataTransferRate_KBps = 10;   /* blocks of 5000 bytes */
        strcpy(gv_agentParams.TempDirectory, temp_.path().c_str());
    }
    void TearDown() override
    {
        gv_agentParams.TempDirectory[0] = '\0';
        gv_agentParams.DataTransferRate_KBps = 1024;
    }
    DWORD get(const std::string &path, const std::string &token, char **out)
    {
        std::wstring url = Wide(path + "?t=" + token);
        return InternetGetRequestByBitrate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(), NULL,
                                           NULL, NULL, NULL, url.c_str(), NULL, out, GET_DATA, TRUE);
    }
    vqt::ScratchDir temp_{"netrate"};
};

} // namespace

TEST_F(Bitrate, FetchesBlocksWithPauses)
{
    std::string token = UniqueToken();
    char *out = kPoison;
    DWORD started = GetTickCount();
    ASSERT_EQ(get("/bytes/12000", token, &out), 0u);
    DWORD elapsed = GetTickCount() - started;
    ASSERT_NE(out, kPoison);
    EXPECT_EQ(std::string(out), vqt::PatternBytes(0, 12000));
    free(out);
    std::vector<vqt::SeenRequest> seen = RequestsWith(token);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].method, "HEAD");
    const char *ranges[] = {"bytes=0-4999", "bytes=5000-9999", "bytes=10000-12000"};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(seen[i + 1].header("Range"), ranges[i]);
        EXPECT_FALSE(seen[i + 1].has("Accept-Encoding"));
    }
    /* Two full cycles of at least 600 ms before the last block (the tick
     * count is coarse, hence the margin). */
    EXPECT_GE(elapsed, 1150u);
}

TEST_F(Bitrate, HeadAnswers)
{
    struct HeadCase {
        const char *path;
        DWORD result;
        const char *data;
        size_t requests;
    };
    const HeadCase cases[] = {
        /* Length 0: nothing is requested and the empty file is delivered. */
        {"/case/empty", 0, "", 1},
        /* Without Content-Length the HEAD answer is an error here. */
        {"/case/nolength", ERROR_WINHTTP_HEADER_NOT_FOUND, NULL, 1},
        {"/case/notfound", 404, NULL, 1},
        {"/case/notmodified", 90001, NULL, 1},
        {"/case/huge", ERROR_FILE_TOO_LARGE, NULL, 1},
    };
    for (const HeadCase &c : cases) {
        std::string token = UniqueToken();
        char *out = kPoison;
        EXPECT_EQ(get(c.path, token, &out), c.result) << c.path;
        if (c.data) {
            ASSERT_NE(out, kPoison);
            EXPECT_STREQ(out, c.data);
            free(out);
        } else {
            EXPECT_EQ(out, kPoison) << c.path;
        }
        EXPECT_EQ(RequestsWith(token).size(), c.requests) << c.path;
    }
}

TEST_F(Bitrate, RangesAnsweredWholeAndCutShortEndTheTransfer)
{
    /* Every block's range is answered with 200 and the file from byte 0,
     * cut after 3000 bytes: each block brings bytes, none brings the file
     * past byte 3000. Three such blocks after the first end it, and the
     * destination is not touched. */
    vqt::ScratchDir dir("netrate");
    std::string dest = dir.file("d.bin");
    for (DWORD type : {(DWORD)GET_DATA, (DWORD)DOWNLOAD_FILE}) {
        ASSERT_TRUE(vqt::WriteWholeFile(dest, "old contents"));
        std::string token = UniqueToken();
        std::wstring url = Wide("/case/rblock200?t=" + token);
        std::wstring d = Wide(dest);
        char *out = kPoison;
        DWORD result;
        {
            vqt::Deadline deadline(60, "a bit-rate download of blocks answered with 200");
            result = InternetGetRequestByBitrate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(),
                                                 NULL, NULL, NULL, NULL, url.c_str(),
                                                 type == DOWNLOAD_FILE ? d.c_str() : NULL, &out, type, TRUE);
        }
        EXPECT_EQ(result, 707u) << type;
        EXPECT_EQ(out, kPoison);
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        ASSERT_EQ(seen.size(), 5u) << type;
        for (size_t i = 1; i < seen.size(); i++)
            EXPECT_EQ(seen[i].header("Range"), i == 1 ? "bytes=0-4999" : "bytes=3000-7999") << i;
        EXPECT_EQ(vqt::ReadWholeFile(dest), "old contents");
    }
}
