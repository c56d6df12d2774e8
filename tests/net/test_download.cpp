/* Plain downloads from the loopback servers: the result and the data for
 * each kind of answer, bodies that break off, stall or come compressed, the
 * time-out recovery with its range request, the destination file, and the
 * in-memory load of the temporary data file. */
#include "net/download.h"
#include "net/httpengine.h"
#include "net/tempfile.h"
#include "agent/agentparams.h"
#include "support/agentkey.h"
#include "support/scratchlog.h"
#include "support/testutil.h"
#include "support/netserver.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>

using vqt::PatternBytes;
using vqt::RequestsWith;
using vqt::UniqueToken;
using vqt::Wide;

namespace {

char *const kPoison = (char *)(INT_PTR)0x5a5a5a5a;

class Download : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(vqt::HttpPort(), 0) << "the loopback servers' ports are not in the environment";
        gv_agentParams.HTTPRequestTimeout = 60000;
        gv_agentParams.HTTPConnectionTimeout = 30000;
        ASSERT_LT(temp_.path().size(), sizeof(gv_agentParams.TempDirectory));
        strcpy(gv_agentParams.TempDirectory, temp_.path().c_str());
    }
    void TearDown() override { gv_agentParams.TempDirectory[0] = '\0'; }

    DWORD getData(const std::string &path, const std::string &token, char **out, BOOL gzip = TRUE)
    {
        std::wstring url = Wide(path + "?t=" + token);
        std::wstring server = Wide(vqt::kCaseHost);
        return InternetGetRequestEx(FALSE, "http", server.c_str(), (INTERNET_PORT)vqt::HttpPort(),
                                    NULL, NULL, NULL, NULL, url.c_str(), NULL, out, GET_DATA, TRUE, gzip);
    }
    DWORD download(const std::string &path, const std::string &destination)
    {
        std::wstring url = Wide(path + "?t=" + UniqueToken());
        std::wstring server = Wide(vqt::kCaseHost);
        std::wstring dest = Wide(destination);
        return InternetGetRequestEx(FALSE, "http", server.c_str(), (INTERNET_PORT)vqt::HttpPort(),
                                    NULL, NULL, NULL, NULL, url.c_str(), dest.c_str(), NULL,
                                    DOWNLOAD_FILE, TRUE, TRUE);
    }
    /* Files left in the temporary folder (inflated ones too). */
    int leftovers() const
    {
        WIN32_FIND_DATAA fd;
        HANDLE find = FindFirstFileA((temp_.path() + "\\*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE)
            return 0;
        int n = 0;
        do
            n += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
        while (FindNextFileA(find, &fd));
        FindClose(find);
        return n;
    }

    vqt::ScratchDir temp_{"nettemp"};
};

} // namespace

TEST_F(Download, GetDataResultForEachAnswer)
{
    struct DataCase {
        const char *path;
        DWORD result;
        const char *data;   /* NULL: out stays untouched */
    };
    const DataCase cases[] = {
        {"/case/ok", 0, "hello from the loopback server\n"},
        {"/case/empty", 0, ""},
        /* Text mode turns CR LF into LF. */
        {"/case/crlf", 0, "line one\nline two\n"},
        {"/case/gzip", 0, "compressed text, compressed text, compressed text, compressed text\n"},
        {"/case/notmodified", 90001, NULL},
        {"/case/partial", 206, NULL},
        {"/case/badrequest", 400, NULL},
        {"/case/notfound", 404, NULL},
        {"/case/proxyauth", 407, NULL},
        {"/case/servererror", 500, NULL},
        /* No Content-Length but a body: the file is not as long as 0. */
        {"/case/nolength", 707, NULL},
        /* Closed after 2000 of 5000 bytes: no error from WinHTTP, only the
         * length check sees it. */
        {"/case/short", 707, NULL},
        /* A gzip header over bytes that are not gzip: never delivered. */
        {"/case/badgzip", ERROR_INVALID_DATA, NULL},
        /* 80 KiB that inflate to 80 MiB, beyond the bound: never delivered. */
        {"/case/gzipbomb", ERROR_INVALID_DATA, NULL},
        /* A length beyond 32 bits is refused, not wrapped. */
        {"/case/huge", ERROR_FILE_TOO_LARGE, NULL},
    };
    for (const DataCase &c : cases) {
        char *out = kPoison;
        EXPECT_EQ(getData(c.path, UniqueToken(), &out), c.result) << c.path;
        if (c.data) {
            ASSERT_NE(out, kPoison) << c.path;
            ASSERT_NE(out, nullptr) << c.path;
            EXPECT_STREQ(out, c.data) << c.path;
            free(out);
        } else {
            EXPECT_EQ(out, kPoison) << c.path;
        }
        EXPECT_EQ(leftovers(), 0) << c.path;
    }
}

TEST_F(Download, GzipIsInflatedAndLoggedAsSuch)
{
    vqt::ScratchLog log;
    char *out = kPoison;
    ASSERT_EQ(getData("/case/gzip", UniqueToken(), &out), 0u);
    free(out);
    EXPECT_TRUE(log.has("InternetGetRequestEx : Response Header contains content-Encoding as gzip"));
    EXPECT_TRUE(log.has("InternetGetRequestEx : File Decompressed successfully."));
    EXPECT_FALSE(log.has("Zlib dependency removed"));
}

TEST_F(Download, ResetInTheBodyIsAnError)
{
    char *out = kPoison;
    DWORD result = getData("/case/reset", UniqueToken(), &out);
    EXPECT_NE(result, 0u);
    EXPECT_EQ(out, kPoison);
}

TEST_F(Download, TimeOutIsRecoveredWithARangeRequest)
{
    gv_agentParams.HTTPRequestTimeout = 1500;
    struct StallCase {
        const char *path;
        const char *range;       /* the Range of the second request */
        int secondStatusIsWhole; /* the server ignored the range */
    };
    const StallCase cases[] = {
        {"/case/stall", "bytes=1000-5000", 0},
        {"/case/stallfirst", "bytes=0-5000", 0},
        /* The server answers the range with 200 and the whole file: the
         * file starts over instead of growing to 6000 bytes. */
        {"/case/stallwhole", "bytes=1000-5000", 1},
    };
    for (const StallCase &c : cases) {
        std::string token = UniqueToken();
        char *out = kPoison;
        ASSERT_EQ(getData(c.path, token, &out), 0u) << c.path;
        ASSERT_NE(out, kPoison);
        EXPECT_EQ(std::string(out), PatternBytes(0, 5000)) << c.path;
        free(out);
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        ASSERT_EQ(seen.size(), 2u) << c.path;
        EXPECT_FALSE(seen[0].has("Range"));
        EXPECT_EQ(seen[0].header("Accept-Encoding"), "gzip");
        EXPECT_EQ(seen[1].header("Range"), c.range) << c.path;
        /* The range request does not ask for gzip. */
        EXPECT_FALSE(seen[1].has("Accept-Encoding"));
    }
}

TEST_F(Download, RecoveryNeverSplicesTwoEncodings)
{
    gv_agentParams.HTTPRequestTimeout = 1500;
    struct GzipStallCase {
        const char *path;
        DWORD result;
        const char *secondRange;   /* "" for none */
    };
    const GzipStallCase cases[] = {
        /* A gzip answer stalls; the recovery asks without gzip, so the
         * compressed bytes cannot be continued: the whole file is asked for
         * and comes as it is, with its own length. */
        {"/case/gzipstall", 0, ""},
        /* The server compresses the recovery's answer all the same: it
         * replaces the first one and is inflated. */
        {"/case/gzipstubborn", 0, ""},
        /* An identity answer stalls and the range comes gzip-encoded: not
         * appended, nothing delivered. */
        {"/case/gzipranged", ERROR_INVALID_DATA, "bytes=50000-200000"},
    };
    for (const GzipStallCase &c : cases) {
        std::string token = UniqueToken();
        char *out = kPoison;
        {
            vqt::Deadline deadline(60, std::string("a plain download of ") + c.path);
            EXPECT_EQ(getData(c.path, token, &out), c.result) << c.path;
        }
        if (c.result == 0) {
            ASSERT_NE(out, kPoison);
            EXPECT_TRUE(std::string(out) == vqt::NoiseBytes(200000)) << c.path;
            free(out);
        } else {
            EXPECT_EQ(out, kPoison) << c.path;
        }
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        ASSERT_EQ(seen.size(), 2u) << c.path;
        EXPECT_EQ(seen[1].header("Range"), c.secondRange) << c.path;
        EXPECT_FALSE(seen[1].has("Accept-Encoding")) << c.path;
        EXPECT_EQ(leftovers(), 0) << c.path;
    }
}

TEST_F(Download, RecoveryAfterARestartCountsFromTheRestart)
{
    /* Stalls after 3000 bytes; the range is answered with the whole file
     * (the file starts over), which stalls after 2000: bytes came since the
     * recovery, so it is recovered again, and the third answer is whole. */
    gv_agentParams.HTTPRequestTimeout = 1500;
    std::string token = UniqueToken();
    char *out = kPoison;
    {
        vqt::Deadline deadline(60, "a plain download that restarts and stalls again");
        ASSERT_EQ(getData("/case/stallrestart", token, &out), 0u);
    }
    ASSERT_NE(out, kPoison);
    EXPECT_EQ(std::string(out), PatternBytes(0, 5000));
    free(out);
    std::vector<vqt::SeenRequest> seen = RequestsWith(token);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].header("Range"), "bytes=3000-5000");
    EXPECT_EQ(seen[2].header("Range"), "bytes=2000-5000");
}

TEST_F(Download, ServerThatAlwaysStallsEndsWithTheTimeOut)
{
    gv_agentParams.HTTPRequestTimeout = 1500;
    /* It answers every range request with the whole file and stalls at the
     * same place: each recovery brings bytes but never takes the file past
     * byte 1000, so three recoveries are made, then the time-out is the
     * result. */
    std::string token = UniqueToken();
    char *out = kPoison;
    {
        vqt::Deadline deadline(90, "a plain download from a server that always stalls");
        EXPECT_EQ(getData("/case/stallalways", token, &out), (DWORD)ERROR_WINHTTP_TIMEOUT);
    }
    EXPECT_EQ(out, kPoison);
    EXPECT_EQ(RequestsWith(token).size(), 4u);
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(Download, DownloadFileReplacesTheDestinationOnlyWhenWhole)
{
    vqt::ScratchDir dir("netdest");
    std::string dest = dir.file("sub\\file.bin");
    /* The destination's folder is made; a large body arrives whole. */
    const size_t size = 24u << 20;
    ASSERT_EQ(download("/bytes/" + std::to_string(size), dest), 0u);
    std::string got = vqt::ReadWholeFile(dest);
    ASSERT_EQ(got.size(), size);
    EXPECT_TRUE(got == PatternBytes(0, size));

    /* A broken transfer leaves the old destination as it was, and no
     * temporary file beside it. */
    ASSERT_TRUE(vqt::WriteWholeFile(dest, "old contents"));
    EXPECT_EQ(download("/case/short", dest), 707u);
    EXPECT_EQ(download("/case/notfound", dest), 404u);
    EXPECT_EQ(download("/case/gzipbomb", dest), (DWORD)ERROR_INVALID_DATA);
    EXPECT_EQ(vqt::ReadWholeFile(dest), "old contents");
    std::string tmp = dest + std::to_string(GetCurrentThreadId()) + ".tmp";
    EXPECT_FALSE(vqt::FileExistsA(tmp));
}

TEST_F(Download, DownloaderSendsOnlyFilesToTheResumableMode)
{
    vqt::AgentKeyScope scope;
    ASSERT_EQ(vqt::WriteAgentKey(temp_.path(), {vqt::Dword("Settings", "DownloadMode", 1)}), 0);
    vqt::ScratchDir dir("netdest");
    std::string install = dir.path() + "\\";
    gv_agentParams.VQAgentInstallDir = (char *)install.c_str();
    std::wstring server = Wide(vqt::kCaseHost);
    struct ModeCase {
        const char *path;
        DWORD type;
        DWORD result;
    };
    const ModeCase cases[] = {
        /* A file goes through the resumable download, whose partial file
         * lives under the installation directory. */
        {"/case/ok", DOWNLOAD_FILE, 0},
        /* Data files and GET_DATA always take the plain download. */
        {"/case/ok.xml", DOWNLOAD_FILE, 0},
        {"/case/ok.json", DOWNLOAD_FILE, 0},
        {"/case/ok", GET_DATA, 0},
    };
    for (const ModeCase &c : cases) {
        std::wstring url = Wide(std::string(c.path) + "?t=" + UniqueToken());
        std::wstring dest = Wide(dir.file("d.bin"));
        char *out = NULL;
        EXPECT_EQ(InternetGetDownloader(FALSE, "http", server.c_str(), (INTERNET_PORT)vqt::HttpPort(),
                                        NULL, NULL, NULL, NULL, url.c_str(),
                                        c.type == DOWNLOAD_FILE ? dest.c_str() : NULL, &out, c.type,
                                        TRUE, TRUE),
                  c.result)
            << c.path << " " << c.type;
        free(out);
    }
    gv_agentParams.VQAgentInstallDir = NULL;
    /* Only the resumable download writes an access-log record. */
    std::string log = vqt::ReadWholeFile(install + "logs\\downloadSuccessAccess.log");
    size_t at = log.find("DownloadFile");
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("DownloadFile", at + 1), std::string::npos) << log;
}

TEST_F(Download, LoadDatafromFileReadsThisThreadsFile)
{
    char *out = kPoison;
    EXPECT_EQ(LoadDatafromFile(&out), 0);
    EXPECT_EQ(out, kPoison);
    std::string name = temp_.path() + "\\vq" + std::to_string(GetCurrentThreadId()) + ".tmp";
    std::string text;
    for (int i = 0; i < 3000; i++)
        text += "line " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(vqt::WriteWholeFile(name, text));
    ASSERT_EQ(LoadDatafromFile(&out), 1);
    std::string expected;
    for (int i = 0; i < 3000; i++)
        expected += "line " + std::to_string(i) + "\n";
    EXPECT_EQ(std::string(out), expected);
    free(out);
    DeleteFileA(name.c_str());
}
