/* Uploads to the loopback server: what is posted (the bytes the server
 * received, the headers), the answer read into memory, and the refusals. */
#include "net/upload.h"
#include "net/httpengine.h"
#include "agent/agentparams.h"
#include "support/testutil.h"
#include "support/netserver.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

using vqt::RequestsWith;
using vqt::UniqueToken;
using vqt::Wide;

namespace {

char *const kPoison = (char *)(INT_PTR)0x5a5a5a5a;

std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class Upload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(vqt::HttpPort(), 0) << "the loopback servers' ports are not in the environment";
        gv_agentParams.HTTPRequestTimeout = 60000;
        gv_agentParams.HTTPConnectionTimeout = 30000;
    }
    vqt::ScratchDir dir_{"netup"};
};

} // namespace

TEST_F(Upload, PostsDataAndReadsTheAnswer)
{
    const std::string zeroInside("abc\0defghij", 11);
    struct SendCase {
        DWORD type;
        const char *path;
        const char *data;
        DWORD length;
        DWORD result;
        std::string body;      /* what the server received */
        std::string answer;    /* "" with result != 0: out untouched */
    };
    const std::string ok = "hello from the loopback server\n";
    const SendCase cases[] = {
        {SEND_DATA, "/case/ok", "name=value", 0, 0, "name=value", ok},
        {SEND_REQUEST, "/case/ok", "request", 0, 0, "request", ok},
        /* An explicit length goes past a zero byte; 0 means the text length. */
        {SEND_MULTIPART_DATA, "/case/ok", zeroInside.data(), 10, 0, zeroInside.substr(0, 10), ok},
        {SEND_MULTIPART_DATA, "/case/ok", zeroInside.data(), 0, 0, "abc", ok},
        /* An answer of 3000 bytes comes whole, whatever the reads. */
        {SEND_DATA, "/bytes/3000", "x", 0, 0, "x", vqt::PatternBytes(0, 3000)},
        /* ... also when the server sends it in two pieces with a pause. */
        {SEND_DATA, "/case/twopieces", "x", 0, 0, "x", vqt::PatternBytes(0, 3000)},
        {SEND_DATA, "/case/servererror", "x", 0, 500, "x", ""},
        {SEND_DATA, "/case/notfound", "x", 0, 404, "x", ""},
    };
    for (const SendCase &c : cases) {
        std::string token = UniqueToken();
        std::wstring url = Wide(std::string(c.path) + "?t=" + token);
        char *out = kPoison;
        EXPECT_EQ(InternetSendRequestEx(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(), NULL,
                                        NULL, NULL, NULL, url.c_str(), c.data, &out, c.type, TRUE, c.length),
                  c.result)
            << c.path << " " << c.type;
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].method, "POST");
        EXPECT_EQ(seen[0].header("@body"), hex(c.body)) << c.type;
        EXPECT_EQ(seen[0].header("User-Agent"), "VelquinAgent");
        EXPECT_EQ(seen[0].header("Content-Type"), c.type == SEND_MULTIPART_DATA ? "multipart/form-data" : "");
        if (c.result == 0) {
            ASSERT_NE(out, kPoison);
            EXPECT_EQ(std::string(out), c.answer);
            free(out);
        } else {
            EXPECT_EQ(out, kPoison);
        }
    }
    char *out = kPoison;
    EXPECT_EQ(InternetSendRequestEx(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(), NULL, NULL,
                                    NULL, NULL, L"/case/ok", NULL, &out, SEND_DATA, TRUE, 0),
              (DWORD)ERROR_INVALID_DATA);
    EXPECT_EQ(out, kPoison);
}

TEST_F(Upload, PostsAFileInBlocks)
{
    struct FileCase {
        std::string content;
        DWORD block;
        DWORD result;
    };
    const FileCase cases[] = {
        {"0123456789", 4, 0},                          /* 4, 4 and 2 bytes */
        {vqt::PatternBytes(0, 100000), 65536, 0},
        {"", 4, ERROR_INVALID_DATA},                   /* empty file: nothing posted */
        {"abc", 0, ERROR_INVALID_DATA},                /* no block size */
    };
    for (const FileCase &c : cases) {
        std::string path = dir_.file("up.bin");
        ASSERT_TRUE(vqt::WriteWholeFile(path, c.content));
        std::string token = UniqueToken();
        std::wstring url = Wide("/case/ok?t=" + token);
        char *out = kPoison;
        EXPECT_EQ(InternetSendRequestByBitRate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(),
                                               NULL, NULL, NULL, NULL, url.c_str(), path.c_str(), &out,
                                               UPLOAD_FILE, FALSE, c.block),
                  c.result)
            << c.content.size();
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        if (c.result != 0) {
            EXPECT_TRUE(seen.empty());
            EXPECT_EQ(out, kPoison);
            continue;
        }
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].header("@body"), hex(c.content));
        EXPECT_EQ(seen[0].header("Content-type"),
                  "multipart/form-data; filesize=\"" + std::to_string(c.content.size()) + "\"");
        EXPECT_EQ(seen[0].header("Connection"), "Keep-Alive");
        ASSERT_NE(out, kPoison);
        EXPECT_STREQ(out, "hello from the loopback server\n");
        free(out);
    }
    char *out = kPoison;
    EXPECT_EQ(InternetSendRequestByBitRate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(), NULL,
                                           NULL, NULL, NULL, L"/case/ok", NULL, &out, UPLOAD_FILE, TRUE, 4),
              (DWORD)ERROR_INVALID_DATA);
    EXPECT_EQ(out, kPoison);
}

TEST_F(Upload, FileOfFourGiBOrMoreIsRefused)
{
    /* Sparse files: their low 32 bits are 0 and 10. Cut to them, the
     * upload would post nothing or 10 bytes and report the file as sent. */
    for (ULONGLONG size : {0x100000000ull, 0x10000000Aull}) {
        std::string path = dir_.file("big.bin");
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = (LONGLONG)size;
        BOOL sized = SetFilePointerEx(f, end, NULL, FILE_BEGIN) && SetEndOfFile(f);
        CloseHandle(f);
        ASSERT_TRUE(sized) << GetLastError();
        std::string token = UniqueToken();
        std::wstring url = Wide("/case/ok?t=" + token);
        char *out = kPoison;
        EXPECT_EQ(InternetSendRequestByBitRate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(), NULL,
                                               NULL, NULL, NULL, url.c_str(), path.c_str(), &out, UPLOAD_FILE,
                                               TRUE, 65536),
                  (DWORD)ERROR_FILE_TOO_LARGE)
            << size;
        EXPECT_EQ(out, kPoison);
        EXPECT_TRUE(RequestsWith(token).empty()) << size;
        DeleteFileA(path.c_str());
    }
}
