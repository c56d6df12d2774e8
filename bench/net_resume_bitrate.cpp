/* Benchmark of the resumable download, the bit-rate limit and file uploads
 * against the loopback test server: a 64 MiB resumable DOWNLOAD_FILE
 * against the plain one in the same run, the throughput achieved at 64, 256
 * and 1024 KB/s against the designed one (rate x 500 bytes per cycle of at
 * least 600 ms), and an upload of 64 MiB in 1 MiB blocks against a bare
 * WinHTTP POST loop of the same file in the same run. The resumable
 * download keeps its records under the agent key's FileMetaData, which is
 * removed again when the run made it. Needs the servers: tests/fixtures/httpserver.py
 * start DIR, then tests/fixtures/httpserver.py run DIR -- ./run bench
 * net_resume_bitrate. */
#include "benchclock.h"
#include "net/bitrate.h"
#include "net/blockrate.h"
#include "net/download.h"
#include "net/httpengine.h"
#include "net/resumehandler.h"
#include "net/resumerequest.h"
#include "net/upload.h"
#include "agent/agentparams.h"
#include "agent/fileutil.h"

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include <winhttp.h>

/* The yardstick: one POST of the file in blocks with WinHttpWriteData. */
static bool barePost(int port, const char *path, DWORD size, DWORD block)
{
    HINTERNET s = WinHttpOpen(L"VelquinAgent", WINHTTP_ACCESS_TYPE_NO_PROXY, NULL, NULL, 0);
    HINTERNET c = s ? WinHttpConnect(s, L"127.0.0.1", (INTERNET_PORT)port, 0) : NULL;
    HINTERNET r = c ? WinHttpOpenRequest(c, L"POST", L"/case/ok", NULL, NULL, NULL, 0) : NULL;
    FILE *f = fopen(path, "rb");
    std::vector<char> buffer(block);
    bool ok = r && f && WinHttpSendRequest(r, NULL, 0, NULL, 0, size, 0);
    for (DWORD left = size; ok && left > 0;) {
        size_t got = fread(buffer.data(), 1, left < block ? left : block, f);
        DWORD written = 0;
        ok = got > 0 && WinHttpWriteData(r, buffer.data(), (DWORD)got, &written);
        left -= (DWORD)got;
    }
    ok = ok && WinHttpReceiveResponse(r, NULL);
    if (f)
        fclose(f);
    if (r)
        WinHttpCloseHandle(r);
    if (c)
        WinHttpCloseHandle(c);
    if (s)
        WinHttpCloseHandle(s);
    return ok;
}

int main()
{
    char text[32] = {0};
    if (!GetEnvironmentVariableA("VQ_NET_HTTP_PORT", text, sizeof(text))) {
        fprintf(stderr, "net_resume_bitrate: VQ_NET_HTTP_PORT is not set; start the loopback servers "
                        "(tests/fixtures/httpserver.py) and run through its \"run\" command\n");
        return 2;
    }
    int port = atoi(text);
    gv_agentParams.HTTPRequestTimeout = 60000;
    gv_agentParams.HTTPConnectionTimeout = 30000;
    GetEnvironmentVariableA("TEMP", gv_agentParams.TempDirectory, sizeof(gv_agentParams.TempDirectory));

    /* Resumable against plain: the best of three rounds each, the same
     * 64 MiB resource and destination folder. */
    {
        std::string dir = std::string(gv_agentParams.TempDirectory) + "\\vq_bench_resume\\";
        CreateDirectoryA(dir.c_str(), NULL);
        gv_agentParams.VQAgentInstallDir = _strdup(dir.c_str());
        HKEY probe;
        bool hadRecords = RegOpenKeyExA(HKEY_LOCAL_MACHINE, VQ_FILEMETADATA_KEY, 0, KEY_READ, &probe) == 0;
        if (hadRecords)
            RegCloseKey(probe);
        std::wstring dest = std::wstring(dir.begin(), dir.end()) + L"bench.bin";
        const std::wstring url = L"/bytes/" + std::to_wstring(64ull << 20);
        double plain = -1, resumable = -1;
        for (int round = 0; round < 3; round++) {
            double t0 = BenchNowSeconds();
            DWORD rc = InternetGetRequestEx(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)port, NULL, NULL, NULL, NULL,
                                            url.c_str(), dest.c_str(), NULL, DOWNLOAD_FILE, TRUE, FALSE);
            double t = BenchNowSeconds() - t0;
            if (rc != 0) {
                fprintf(stderr, "net_resume_bitrate: plain download failed with %lu\n", (unsigned long)rc);
                return 1;
            }
            if (plain < 0 || t < plain)
                plain = t;
            t0 = BenchNowSeconds();
            rc = ResumeGetRequestEx(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)port, NULL, NULL, NULL, NULL,
                                    url.c_str(), dest.c_str(), NULL, DOWNLOAD_FILE, TRUE);
            t = BenchNowSeconds() - t0;
            if (rc != 0) {
                fprintf(stderr, "net_resume_bitrate: resumable download failed with %lu\n", (unsigned long)rc);
                return 1;
            }
            if (resumable < 0 || t < resumable)
                resumable = t;
        }
        DeleteFileW(dest.c_str());
        DeleteDirectoryTree(dir.c_str());
        if (!hadRecords)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, VQ_FILEMETADATA_KEY);
        free(gv_agentParams.VQAgentInstallDir);
        gv_agentParams.VQAgentInstallDir = NULL;
        printf("plain download, 64 MiB              : %8.1f MiB/s (%.3f s)\n", 64 / plain, plain);
        printf("resumable download, 64 MiB          : %8.1f MiB/s (%.3f s)  ratio %.2f (target >= 0.8)\n",
               64 / resumable, resumable, plain / resumable);
    }

    /* Bit-rate: n full blocks take n - 1 cycles of 600 ms plus the last
     * block, which is followed by no pause. */
    const int blocks = 6;
    for (DWORD rate : {64u, 256u, 1024u}) {
        gv_agentParams.DataTransferRate_KBps = rate;
        DWORD block = BitrateBlockSize(rate);
        std::wstring url = L"/bytes/" + std::to_wstring((unsigned long long)block * blocks);
        char *out = NULL;
        double t0 = BenchNowSeconds();
        DWORD rc = InternetGetRequestByBitrate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)port, NULL, NULL,
                                               NULL, NULL, url.c_str(), NULL, &out, GET_DATA, TRUE);
        double t = BenchNowSeconds() - t0;
        free(out);
        if (rc != 0) {
            fprintf(stderr, "net_resume_bitrate: bit-rate download at %lu KB/s failed with %lu\n", (unsigned long)rate,
                    (unsigned long)rc);
            return 1;
        }
        double designed = block / 0.6;                       /* bytes per second */
        double perCycle = (double)block * (blocks - 1) / t;  /* the cycles that end in a pause */
        printf("bit-rate %4lu KB/s: %d blocks of %u bytes in %.3f s; designed %.0f B/s, achieved over "
               "the paused cycles %.0f B/s, ratio %.3f (target within 5%%)\n",
               (unsigned long)rate, blocks, (unsigned)block, t, designed, perCycle, perCycle / designed);
    }

    /* Upload of 64 MiB in 1 MiB blocks. */
    const DWORD size = 64u << 20, block = 1u << 20;
    std::string path = std::string(gv_agentParams.TempDirectory) + "\\vq_bench_upload.bin";
    FILE *f = fopen(path.c_str(), "wb");
    std::vector<char> chunk(block);
    for (DWORD i = 0; i < block; i++)
        chunk[i] = (char)(33 + i % 89);
    for (DWORD done = 0; f && done < size; done += block)
        fwrite(chunk.data(), 1, block, f);
    if (f)
        fclose(f);
    double bare = -1, product = -1;
    for (int round = 0; round < 3; round++) {
        double t0 = BenchNowSeconds();
        if (!barePost(port, path.c_str(), size, block))
            break;
        double t = BenchNowSeconds() - t0;
        if (bare < 0 || t < bare)
            bare = t;
        char *out = NULL;
        t0 = BenchNowSeconds();
        DWORD rc = InternetSendRequestByBitRate(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)port, NULL, NULL,
                                                NULL, NULL, L"/case/ok", path.c_str(), &out, UPLOAD_FILE,
                                                TRUE, block);
        t = BenchNowSeconds() - t0;
        free(out);
        if (rc != 0)
            break;
        if (product < 0 || t < product)
            product = t;
    }
    DeleteFileA(path.c_str());
    if (bare < 0 || product < 0) {
        fprintf(stderr, "net_resume_bitrate: an upload failed\n");
        return 1;
    }
    printf("bare WinHTTP POST loop, 64 MiB      : %8.1f MiB/s (%.3f s)\n", 64 / bare, bare);
    printf("UPLOAD_FILE, 64 MiB in 1 MiB blocks : %8.1f MiB/s (%.3f s)  ratio %.2f (target >= 0.7)\n",
           64 / product, product, bare / product);
    return 0;
}
