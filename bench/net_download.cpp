/* Benchmark of the plain download against the loopback test server: a
 * 64 MiB DOWNLOAD_FILE and an 8 MiB GET_DATA through InternetGetRequestEx,
 * each against a bare WinHTTP read loop that writes the same bytes to a
 * file in the same run, and the GET_DATA time of 8 MiB against 1 MiB.
 * Needs the servers: tests/fixtures/httpserver.py start DIR, then
 * tests/fixtures/httpserver.py run DIR -- ./run bench net_download. */
#include "benchclock.h"
#include "net/download.h"
#include "net/httpengine.h"
#include "net/tempfile.h"
#include "agent/agentparams.h"

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <winhttp.h>

static const int kRounds = 3;

/* The yardstick: one GET read with QueryDataAvailable / ReadData and
 * written to a file as it comes. */
static bool bareDownload(int port, const std::wstring &path, const std::string &file)
{
    HINTERNET s = WinHttpOpen(L"VelquinAgent", WINHTTP_ACCESS_TYPE_NO_PROXY, NULL, NULL, 0);
    HINTERNET c = s ? WinHttpConnect(s, L"127.0.0.1", (INTERNET_PORT)port, 0) : NULL;
    HINTERNET r = c ? WinHttpOpenRequest(c, L"GET", path.c_str(), NULL, NULL, NULL, 0) : NULL;
    bool ok = r && WinHttpSendRequest(r, NULL, 0, NULL, 0, 0, 0) && WinHttpReceiveResponse(r, NULL);
    HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ok = ok && out != INVALID_HANDLE_VALUE;
    char *buffer = NULL;
    DWORD bufferSize = 0;
    while (ok) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(r, &available)) {
            ok = false;
            break;
        }
        if (available == 0)
            break;
        if (available > bufferSize) {
            buffer = (char *)realloc(buffer, available);
            bufferSize = available;
        }
        DWORD got = 0, written = 0;
        ok = WinHttpReadData(r, buffer, available, &got) && WriteFile(out, buffer, got, &written, NULL);
    }
    free(buffer);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    DeleteFileA(file.c_str());
    if (r)
        WinHttpCloseHandle(r);
    if (c)
        WinHttpCloseHandle(c);
    if (s)
        WinHttpCloseHandle(s);
    return ok;
}

static bool productDownload(int port, const std::wstring &path, DWORD type, const std::wstring &dest)
{
    char *out = NULL;
    DWORD rc = InternetGetRequestEx(FALSE, "http", L"127.0.0.1", (INTERNET_PORT)port, NULL, NULL, NULL,
                                    NULL, path.c_str(), type == DOWNLOAD_FILE ? dest.c_str() : NULL,
                                    &out, type, TRUE, TRUE);
    free(out);
    if (type == DOWNLOAD_FILE)
        DeleteFileW(dest.c_str());
    return rc == 0;
}

/* Best time of the rounds, or a negative value on failure. */
template <typename F>
static double best(F run)
{
    double fastest = -1;
    for (int i = 0; i < kRounds; i++) {
        double t0 = BenchNowSeconds();
        if (!run())
            return -1;
        double t = BenchNowSeconds() - t0;
        if (fastest < 0 || t < fastest)
            fastest = t;
    }
    return fastest;
}

int main()
{
    char text[32] = {0};
    if (!GetEnvironmentVariableA("VQ_NET_HTTP_PORT", text, sizeof(text))) {
        fprintf(stderr, "net_download: VQ_NET_HTTP_PORT is not set; start the loopback servers "
                        "(tests/fixtures/httpserver.py) and run through its \"run\" command\n");
        return 2;
    }
    int port = atoi(text);
    gv_agentParams.HTTPRequestTimeout = 60000;
    gv_agentParams.HTTPConnectionTimeout = 30000;
    GetEnvironmentVariableA("TEMP", gv_agentParams.TempDirectory, sizeof(gv_agentParams.TempDirectory));
    std::string bareFile = std::string(gv_agentParams.TempDirectory) + "\\vq_bench_bare.bin";
    std::wstring dest = std::wstring(L"C:\\vq_bench\\download.bin");
    CreateDirectoryW(L"C:\\vq_bench", NULL);

    std::wstring big = L"/bytes/" + std::to_wstring(64u << 20);
    std::wstring eight = L"/bytes/" + std::to_wstring(8u << 20);
    std::wstring one = L"/bytes/" + std::to_wstring(1u << 20);

    double bare64 = best([&] { return bareDownload(port, big, bareFile); });
    double file64 = best([&] { return productDownload(port, big, DOWNLOAD_FILE, dest); });
    double bare8 = best([&] { return bareDownload(port, eight, bareFile); });
    double data8 = best([&] { return productDownload(port, eight, GET_DATA, dest); });
    double data1 = best([&] { return productDownload(port, one, GET_DATA, dest); });
    /* The in-memory load of GET_DATA alone, on the same 8 MiB in this
     * thread's temporary data file: the share of GET_DATA that is not the
     * transfer. */
    double load8 = -1;
    char *dataName = GetTempDataFileName();
    HANDLE dataFile = dataName ? CreateFileA(dataName, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, NULL)
                               : INVALID_HANDLE_VALUE;
    if (dataFile != INVALID_HANDLE_VALUE) {
        std::string pattern(8u << 20, '\0');
        for (size_t i = 0; i < pattern.size(); i++)
            pattern[i] = (char)(33 + i % 89);
        DWORD written = 0;
        BOOL ok = WriteFile(dataFile, pattern.data(), (DWORD)pattern.size(), &written, NULL);
        CloseHandle(dataFile);
        /* More rounds than the transfers: a load is short and the host's
         * noise large. */
        for (int round = 0; ok && round < 4; round++) {
            double t = best([&] {
                char *data = NULL;
                int loaded = LoadDatafromFile(&data);
                free(data);
                return loaded == 1;
            });
            if (t >= 0 && (load8 < 0 || t < load8))
                load8 = t;
        }
        DeleteFileA(dataName);
    }
    free(dataName);
    RemoveDirectoryW(L"C:\\vq_bench");
    if (bare64 < 0 || file64 < 0 || bare8 < 0 || data8 < 0 || data1 < 0) {
        fprintf(stderr, "net_download: a transfer failed\n");
        return 1;
    }
    printf("bare WinHTTP loop, 64 MiB to a file : %8.1f MiB/s (%.3f s)\n", 64 / bare64, bare64);
    printf("DOWNLOAD_FILE, 64 MiB                : %8.1f MiB/s (%.3f s)  ratio %.2f (target >= 0.5)\n",
           64 / file64, file64, bare64 / file64);
    printf("bare WinHTTP loop, 8 MiB to a file  : %8.1f MiB/s (%.3f s)\n", 8 / bare8, bare8);
    printf("GET_DATA, 8 MiB                      : %8.1f MiB/s (%.3f s)  ratio %.2f (target >= 0.7)\n",
           8 / data8, data8, bare8 / data8);
    printf("GET_DATA, 1 MiB                      : %8.1f MiB/s (%.3f s)\n", 1 / data1, data1);
    printf("GET_DATA time 8 MiB / 1 MiB          : %8.2f (target <= 10)\n", data8 / data1);
    if (load8 >= 0)
        printf("its in-memory load of 8 MiB alone    : %8.1f MiB/s (%.3f s)  %.0f%% of GET_DATA\n", 8 / load8,
               load8, 100 * load8 / data8);
    return 0;
}
