/* Resumable downloads against a loopback server that misbehaves: for each
 * fault the destination is whole or untouched, the result is 0 only for a
 * whole file, the partial file and its registry record agree, and a second
 * run against the healed server completes asking only for the missing
 * bytes. Also the bit-rate limited variant and a process killed halfway. */
#include "net/bitrate.h"
#include "net/httpengine.h"
#include "net/resumehandler.h"
#include "net/resumerequest.h"
#include "agent/agentparams.h"
#include "support/agentkey.h"
#include "support/testutil.h"
#include "support/netserver.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

using vqt::PatternBytes;
using vqt::RequestsWith;
using vqt::UniqueToken;
using vqt::Wide;

namespace {

char *const kPoison = (char *)(INT_PTR)0x5a5a5a5a;
const char kVersion[] = "Tue, 01 Dec 2026 10:00:00 GMT";   /* the r* cases' Last-Modified */
const DWORD kSeeded = 8000;                                 /* bytes of a seeded partial file */
const DWORD kServedSize = 20000;                            /* the r* cases' whole size */
const DWORD kAnyError = 0xFFFFFFFFu;                        /* a result that is not 0, whichever */

/* The state a run finds, written by the test before it. */
enum Seed {
    NONE, VALID, OTHER_VERSION, FILE_SHORTER, FILE_LONGER, SIZE_AS_TEXT, VERSION_AS_DWORD,
    IN_PROGRESS_10_MIN, IN_PROGRESS_2_H, BAD_REPOSITORY, BAD_DESTINATION
};

/* First byte of the ranged GETs among `seen` (-1 when there is none). */
long rangeStart(const std::vector<vqt::SeenRequest> &seen, size_t from)
{
    for (size_t i = from; i < seen.size(); i++) {
        std::string range = seen[i].header("Range");
        if (seen[i].method == "GET" && !range.empty())
            return atol(range.c_str() + range.find('=') + 1);
    }
    return -1;
}

class Resume : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(vqt::HttpPort(), 0) << "the loopback servers' ports are not in the environment";
        gv_agentParams.HTTPRequestTimeout = 1000;   /* the stalls outlast it */
        gv_agentParams.HTTPConnectionTimeout = 30000;
        gv_agentParams.DataTransferRate_KBps = 10;   /* blocks of 5000 bytes */
        strcpy(gv_agentParams.TempDirectory, dir_.path().c_str());
        install_ = dir_.path() + "\\agent\\";
        CreateDirectoryA(install_.c_str(), NULL);
        gv_agentParams.VQAgentInstallDir = _strdup(install_.c_str());
        /* Small saves, so that the faults meet saved and held bytes alike. */
        setDword("", "InterSaveByteLimit", 4096);
    }
    void TearDown() override
    {
        free(gv_agentParams.VQAgentInstallDir);
        gv_agentParams.VQAgentInstallDir = NULL;
        gv_agentParams.TempDirectory[0] = '\0';
        gv_agentParams.DataTransferRate_KBps = 1024;
        gv_agentParams.HTTPRequestTimeout = 60000;
    }

    static std::string key(const std::string &sub)
    {
        return std::string(VQ_FILEMETADATA_KEY) + (sub.empty() ? "" : "\\" + sub);
    }
    static void setDword(const std::string &sub, const char *name, DWORD value)
    {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key(sub).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k,
                                  NULL), 0);
        RegSetValueExA(k, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
        RegCloseKey(k);
    }
    static void setSz(const std::string &sub, const std::string &name, const std::string &text)
    {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key(sub).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k,
                                  NULL), 0);
        RegSetValueExA(k, name.c_str(), 0, REG_SZ, (const BYTE *)text.c_str(), (DWORD)text.size() + 1);
        RegCloseKey(k);
    }
    static bool getSz(const std::string &sub, const std::string &name, std::string *text)
    {
        char buffer[512] = {0};
        DWORD size = sizeof(buffer) - 1, type = 0;
        if (RegGetValueA(HKEY_LOCAL_MACHINE, key(sub).c_str(), name.c_str(), RRF_RT_ANY, &type, buffer, &size) != 0 ||
            type != REG_SZ)
            return false;
        *text = buffer;
        return true;
    }
    static bool getDword(const std::string &sub, const char *name, DWORD *value)
    {
        DWORD size = sizeof(*value);
        return RegGetValueA(HKEY_LOCAL_MACHINE, key(sub).c_str(), name, RRF_RT_REG_DWORD, NULL, value, &size) == 0;
    }
    std::string partialPath(const std::string &id) const { return install_ + "DownloadRepository\\" + id; }

    /* A partial file of the URL with the given sizes, version and flag. */
    void seed(const std::string &url, Seed kind)
    {
        const std::string id = "123";
        DWORD onDisk = kind == FILE_SHORTER ? 5000 : kind == FILE_LONGER ? 9000 : kSeeded;
        CreateDirectoryA((install_ + "DownloadRepository").c_str(), NULL);
        ASSERT_TRUE(vqt::WriteWholeFile(partialPath(id), PatternBytes(0, onDisk)));
        setSz("", url, id);
        if (kind == SIZE_AS_TEXT)
            setSz(id, "PartialFileSize", std::to_string(kSeeded));
        else
            setDword(id, "PartialFileSize", kSeeded);
        setDword(id, "TotalFileSize", kServedSize);
        if (kind == VERSION_AS_DWORD)
            setDword(id, "LastModifiedTime", 7);
        else
            setSz(id, "LastModifiedTime", kind == OTHER_VERSION ? "Mon, 30 Nov 2026 10:00:00 GMT" : kVersion);
        LONGLONG ago = kind == IN_PROGRESS_10_MIN ? 10 * 60000LL : 2 * 3600000LL;
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        LONGLONG now = ((((LONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime) - 116444736000000000LL) / 10000;
        setSz(id, "LastRetryTime", std::to_string(now - ago));
        if (kind == IN_PROGRESS_10_MIN || kind == IN_PROGRESS_2_H)
            setDword(id, "downloadInProgress", 1);
    }

    /* The URL's record: its id and recorded size agree with the partial file
     * on disk. The size the next run may resume from (0 without a record). */
    DWORD checkRecord(const std::string &url)
    {
        std::string id;
        DWORD recorded = 0;
        if (!getSz("", url, &id) || !getDword(id, "PartialFileSize", &recorded))
            return 0;
        std::string data;
        vqt::ReadWholeFile(partialPath(id), &data);
        EXPECT_EQ(data.size(), recorded) << url;
        EXPECT_TRUE(data == PatternBytes(0, data.size())) << url;
        return recorded;
    }

    DWORD run(DWORD type, const std::string &url, const std::string &dest, char **out, bool bitrate = false)
    {
        std::wstring u = Wide(url), d = Wide(dest);
        const wchar_t *destination = type == DOWNLOAD_FILE ? d.c_str() : NULL;
        if (bitrate)
            return InternetGetRequestByBitrate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(), NULL, NULL,
                                               NULL, NULL, u.c_str(), destination, out, type, TRUE);
        return ResumeGetRequestEx(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)vqt::HttpPort(), NULL, NULL, NULL,
                                  NULL, u.c_str(), destination, out, type, TRUE);
    }

    vqt::AgentKeyScope scope_;
    vqt::ScratchDir dir_{"netresume"};
    std::string install_;
};

struct FaultCase {
    const char *name;      /* the server's case */
    DWORD type;
    Seed seed;
    DWORD first;           /* result of the first run */
    long firstFrom;        /* first ranged byte asked in the first run; -2: not checked */
    bool again;            /* a second run against the healed server completes */
};

} // namespace

TEST_F(Resume, FaultMatrix)
{
    const DWORD size = 20000;
    const FaultCase cases[] = {
        {"rclose0", DOWNLOAD_FILE, NONE, 707, 0, true},
        {"rclose1", DOWNLOAD_FILE, NONE, 707, 0, true},
        {"rhalf", DOWNLOAD_FILE, NONE, 707, 0, true},
        {"rallbutlast", DOWNLOAD_FILE, NONE, 707, 0, true},
        /* Each stall is recovered from what arrived; stalls that bring
         * nothing end it. GET_DATA takes the short receive time-out. */
        {"rstall", GET_DATA, NONE, 0, 0, false},
        {"rstallnone", GET_DATA, NONE, kAnyError, 0, true},
        {"rrefuse", DOWNLOAD_FILE, VALID, 416, kSeeded, true},
        {"rignore", DOWNLOAD_FILE, VALID, 0, kSeeded, false},
        {"rshift", DOWNLOAD_FILE, VALID, ERROR_INVALID_DATA, kSeeded, true},
        {"rshiftzero", DOWNLOAD_FILE, VALID, 0, kSeeded, false},
        {"rok", DOWNLOAD_FILE, VALID, 0, kSeeded, false},
        {"rok", DOWNLOAD_FILE, OTHER_VERSION, 0, 0, false},
        {"rok", DOWNLOAD_FILE, FILE_SHORTER, 0, 0, false},
        {"rok", DOWNLOAD_FILE, FILE_LONGER, 0, 0, false},
        {"rok", DOWNLOAD_FILE, SIZE_AS_TEXT, 0, 0, false},
        {"rok", DOWNLOAD_FILE, VERSION_AS_DWORD, 0, 0, false},
        {"rok", DOWNLOAD_FILE, IN_PROGRESS_10_MIN, 0, 0, false},
        {"rok", DOWNLOAD_FILE, IN_PROGRESS_2_H, 0, 0, false},
        {"rok", DOWNLOAD_FILE, BAD_REPOSITORY, ERROR_PATH_NOT_FOUND, -2, true},
        {"rok", DOWNLOAD_FILE, BAD_DESTINATION, ERROR_ACCESS_DENIED, 0, true},
        {"huge", DOWNLOAD_FILE, NONE, ERROR_FILE_TOO_LARGE, -1, false},
        {"nolength", DOWNLOAD_FILE, NONE, ERROR_WINHTTP_HEADER_NOT_FOUND, -1, false},
    };
    int row = 0;
    for (const FaultCase &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(c.seed));
        std::string token = UniqueToken();
        std::string url = std::string("/case/") + c.name + "?t=" + token;
        std::string dest = dir_.file("dest" + std::to_string(row++) + ".bin");
        ASSERT_TRUE(vqt::WriteWholeFile(dest, "old contents"));
        if (c.seed == BAD_REPOSITORY) {
            ASSERT_TRUE(vqt::WriteWholeFile(install_ + "blocker", "a file where a folder should be"));
            setSz("", "IntermediateRepositoryName", "blocker\\sub\\");
        } else if (c.seed != NONE && c.seed != BAD_DESTINATION) {
            seed(url, c.seed);
        }
        std::string firstDest = c.seed == BAD_DESTINATION ? dir_.path() : dest;

        char *out = kPoison;
        DWORD first = run(c.type, url, firstDest, &out);
        if (c.first == kAnyError) {
            EXPECT_NE(first, 0u);
        } else {
            EXPECT_EQ(first, c.first);
        }
        std::vector<vqt::SeenRequest> seen = RequestsWith(token);
        if (c.firstFrom != -2) {
            EXPECT_EQ(rangeStart(seen, 0), c.firstFrom);
        }
        if (c.type == GET_DATA && c.first == 0) {
            ASSERT_NE(out, kPoison);
            EXPECT_TRUE(std::string(out) == PatternBytes(0, size));
            free(out);
        } else {
            EXPECT_EQ(out, kPoison);
        }
        if (c.type == DOWNLOAD_FILE) {
            EXPECT_TRUE(vqt::ReadWholeFile(dest) == (c.first == 0 ? PatternBytes(0, size) : "old contents"));
        }
        if (c.seed == IN_PROGRESS_10_MIN) {
            /* The other run's record and file are left alone. */
            std::string id;
            EXPECT_TRUE(getSz("", url, &id) && id == "123");
            EXPECT_EQ(vqt::ReadWholeFile(partialPath("123")).size(), kSeeded);
        } else if (c.first == 0) {
            std::string id;
            EXPECT_FALSE(getSz("", url, &id)) << "the record of a delivered file is removed";
            EXPECT_FALSE(vqt::FileExistsA(partialPath("123")));
        }
        DWORD resumable = checkRecord(url);

        long refetched = -1;
        if (c.again) {
            if (c.seed == BAD_REPOSITORY)
                setSz("", "IntermediateRepositoryName", "DownloadRepository\\");
            ASSERT_TRUE(vqt::HealToken(token));
            out = kPoison;
            EXPECT_EQ(run(c.type, url, dest, &out), 0u);
            long from = rangeStart(RequestsWith(token), seen.size());
            /* Only the missing bytes are asked for (none when the file is whole). */
            EXPECT_EQ(from, resumable == size ? -1L : (long)resumable);
            refetched = from < 0 ? 0 : (long)size - from;
            if (c.type == GET_DATA) {
                ASSERT_NE(out, kPoison);
                EXPECT_TRUE(std::string(out) == PatternBytes(0, size));
                free(out);
            } else {
                EXPECT_TRUE(vqt::ReadWholeFile(dest) == PatternBytes(0, size));
            }
        }
        if (c.seed != NONE && c.seed != BAD_REPOSITORY && c.seed != BAD_DESTINATION)
            vqt::RemoveTree(install_ + "DownloadRepository");
        printf("fault matrix | %-11s | seed %2d | result %5lu | destination %s | second run re-fetches %ld\n",
               c.name, (int)c.seed, (unsigned long)first, c.first == 0 ? "whole" : "untouched", refetched);
    }
    /* Eight first runs ended with bytes missing; each is counted in the
     * registry twice and in the error log. */
    DWORD failures = 0, tracked = 0, trackedSize = sizeof(tracked);
    EXPECT_TRUE(getDword("", "DownloadFailureCount", &failures));
    EXPECT_EQ(failures, 8u);
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, VQ_RESUME_DETAILS_KEY, "RESUME_DOWNLOAD_FAILURE_COUNT",
                           RRF_RT_REG_DWORD, NULL, &tracked, &trackedSize), 0);
    EXPECT_EQ(tracked, 8u);
    std::string errors = vqt::ReadWholeFile(install_ + "logs\\vqerror.log");
    EXPECT_NE(errors.find("\tResume Download failed with error code : 416 and total failed count value = "),
              std::string::npos);
}

TEST_F(Resume, BitrateBlocksIntoThePartialFile)
{
    HKEY settings;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, VQ_SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &settings, NULL),
              0);
    DWORD one = 1;
    RegSetValueExA(settings, "DownloadMode", 0, REG_DWORD, (const BYTE *)&one, sizeof(one));
    RegCloseKey(settings);
    struct BitrateCase {
        const char *name;
        Seed seed;
        DWORD result;
        std::vector<std::string> ranges;
        size_t size;
    };
    const BitrateCase cases[] = {
        /* Every block comes short: the next one asks from what arrived. */
        {"rshortblocks", NONE, 0, {"bytes=0-4999", "bytes=3000-7999", "bytes=6000-10999", "bytes=9000-12000"}, 12000},
        {"rok", VALID, 0, {"bytes=8000-12999", "bytes=13000-17999", "bytes=18000-20000"}, 20000},
        {"empty", NONE, 0, {}, 0},
        {"nolength", NONE, ERROR_WINHTTP_HEADER_NOT_FOUND, {}, 0},
    };
    for (const BitrateCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string token = UniqueToken();
        std::string url = std::string("/case/") + c.name + "?t=" + token;
        std::string dest = dir_.file(std::string(c.name) + ".bin");
        if (c.seed != NONE)
            seed(url, c.seed);
        char *out = kPoison;
        EXPECT_EQ(run(DOWNLOAD_FILE, url, dest, &out, true), c.result);
        std::vector<std::string> ranges;
        for (const vqt::SeenRequest &r : RequestsWith(token))
            if (r.has("Range"))
                ranges.push_back(r.header("Range"));
        EXPECT_EQ(ranges, c.ranges);
        EXPECT_EQ(vqt::FileExistsA(dest), c.result == 0);
        if (c.result == 0) {
            EXPECT_TRUE(vqt::ReadWholeFile(dest) == PatternBytes(0, c.size));
        }
    }
}

TEST_F(Resume, BitrateBlocksAnsweredWholeAndCutShortEnd)
{
    /* Each block's range gets 200 and the file from byte 0, cut after 3000
     * bytes: the partial file starts again every time and never gets past
     * byte 3000; three such blocks after the first end the download. */
    HKEY settings;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, VQ_SETTINGS_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &settings, NULL),
              0);
    DWORD one = 1;
    RegSetValueExA(settings, "DownloadMode", 0, REG_DWORD, (const BYTE *)&one, sizeof(one));
    RegCloseKey(settings);
    std::string token = UniqueToken();
    std::string url = "/case/rblock200?t=" + token;
    std::string dest = dir_.file("block200.bin");
    ASSERT_TRUE(vqt::WriteWholeFile(dest, "old contents"));
    DWORD result;
    {
        vqt::Deadline deadline(60, "a resumable bit-rate download of blocks answered with 200");
        result = run(DOWNLOAD_FILE, url, dest, NULL, true);
    }
    EXPECT_EQ(result, 707u);
    std::vector<std::string> ranges;
    for (const vqt::SeenRequest &r : RequestsWith(token))
        if (r.has("Range"))
            ranges.push_back(r.header("Range"));
    EXPECT_EQ(ranges, std::vector<std::string>({"bytes=0-4999", "bytes=3000-7999", "bytes=3000-7999",
                                                "bytes=3000-7999"}));
    EXPECT_EQ(vqt::ReadWholeFile(dest), "old contents");
    /* What is kept for the next run is what the file really holds. */
    EXPECT_EQ(checkRecord(url), 3000u);
}

TEST_F(Resume, ProcessKilledHalfwayIsResumed)
{
    std::string token = UniqueToken();
    std::string url = "/case/rslow?t=" + token;
    std::string dest = dir_.file("killed.bin");
    setDword("", "InterSaveByteLimit", 65536);
    char cmd[2048];
    snprintf(cmd, sizeof(cmd), "\"%s\\download_standin.exe\" %d \"%s\" \"%s\" \"%s\"", vqt::BinDir().c_str(),
             vqt::HttpPort(), url.c_str(), dest.c_str(), install_.substr(0, install_.size() - 1).c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    /* Killed once a quarter of the file is recorded. */
    std::string id;
    DWORD recorded = 0;
    for (int i = 0; i < 600 && recorded < (1u << 20); i++) {
        Sleep(50);
        if (getSz("", url, &id))
            getDword(id, "PartialFileSize", &recorded);
    }
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_GE(recorded, 1u << 20);
    ASSERT_FALSE(vqt::FileExistsA(dest));
    size_t before = RequestsWith(token).size();
    /* The killed run's flag is fresh: the recovery is measured from the
     * record, which must agree with the file. */
    DWORD resumable = checkRecord(url);
    DWORD flag = 0;
    if (getDword(id, "downloadInProgress", &flag))
        setSz(id, "LastRetryTime", "0");   /* as if the killed run were hours ago */
    ASSERT_TRUE(vqt::HealToken(token));
    EXPECT_EQ(run(DOWNLOAD_FILE, url, dest, NULL), 0u);
    EXPECT_TRUE(vqt::ReadWholeFile(dest) == PatternBytes(0, 4194304));
    long from = rangeStart(RequestsWith(token), before);
    printf("killed halfway: %lu bytes recorded, the second run asks from %ld\n", (unsigned long)resumable, from);
    /* A flagged record older than 90 minutes is cleaned and starts at 0. */
    EXPECT_EQ(from, flag == 0 ? (long)resumable : 0L);
}

TEST_F(Resume, ChangedFileStartsAgainFromByteZero)
{
    /* The first run keeps 10000 bytes; then the file changes (other bytes)
     * without a Last-Modified, or keeping its Last-Modified with another
     * size. Neither may be resumed: old and new bytes would be spliced. */
    struct ChangeCase {
        const char *name;
        size_t newSize;
    };
    const ChangeCase cases[] = {{"rnolm", 20000}, {"rresized", 25000}};
    for (const ChangeCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string token = UniqueToken();
        std::string url = std::string("/case/") + c.name + "?t=" + token;
        std::string dest = dir_.file(std::string(c.name) + ".bin");
        EXPECT_EQ(run(DOWNLOAD_FILE, url, dest, NULL), 707u);
        EXPECT_EQ(checkRecord(url), 10000u);
        size_t before = RequestsWith(token).size();
        ASSERT_TRUE(vqt::HealToken(token));
        EXPECT_EQ(run(DOWNLOAD_FILE, url, dest, NULL), 0u);
        EXPECT_EQ(rangeStart(RequestsWith(token), before), 0L);
        EXPECT_TRUE(vqt::ReadWholeFile(dest) == PatternBytes(7, c.newSize));
    }
}

TEST_F(Resume, AccessLogNamesTheFileOfTheUrl)
{
    /* The URL's last component, right-aligned in 30 characters, also when
     * the first request failed before the download's state was read. */
    const std::string column = "\t" + std::string(21, ' ') + "setup.cab\t";
    EXPECT_EQ(run(DOWNLOAD_FILE, "/case/notfound/setup.cab", dir_.file("s.cab"), NULL), 404u);
    std::string failures = vqt::ReadWholeFile(install_ + "logs\\downloadFailureAccess.log");
    EXPECT_NE(failures.find(column), std::string::npos) << failures;
    ResumeRequest r(FALSE, "http", L"127.0.0.1", 80, NULL, NULL, NULL, NULL, L"/files/setup.cab", NULL,
                    DOWNLOAD_FILE, TRUE, "test");
    r.PrintHTTPAccessLog(5);
    failures = vqt::ReadWholeFile(install_ + "logs\\downloadFailureAccess.log");
    size_t first = failures.find(column);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(failures.find(column, first + 1), std::string::npos) << failures;
    EXPECT_EQ(failures.find("--\t"), std::string::npos) << failures;
}

TEST_F(Resume, IdsFormedWithinOneSecondDiffer)
{
    /* Two downloads of one thread in the same second: each its own file. */
    DownloadResumeHandler a, b;
    a.Initialize(NULL, kVersion, L"/case/a");
    b.Initialize(NULL, kVersion, L"/case/b");
    ASSERT_TRUE(IsValidResumeId(a.id) && IsValidResumeId(b.id));
    EXPECT_STRNE(a.id, b.id);
    ASSERT_TRUE(a.partialFile && b.partialFile);
    EXPECT_NE(std::wstring(a.partialFile), std::wstring(b.partialFile));
}
