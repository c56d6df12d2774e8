/* Cost of one rotation pass over a 2000000-byte log with four backups
 * present, against a plain copy of the same file made in the same run.
 * Prints both times (median of several rounds) and their ratio.
 *   log_rotation.exe [rounds]   (default 15) */
#include "benchclock.h"
#include "agent/logrotate.h"

#include <windows.h>
#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

static const char *kName = "vqprereqhandler.log";
static const DWORD kLogSize = 2000000;

static bool writeFile(const std::string &path, const std::vector<char> &data)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, data.data(), (DWORD)data.size(), &written, NULL);
    /* A log that reaches its limit was written over many minutes and is long
     * on disk when the pass runs. Without this the pass would also pay for
     * the file system writing back what was written a moment ago (ext4 does
     * so when a file with delayed blocks is truncated or deleted), which the
     * plain copy of the same cached file does not. */
    ok = ok && FlushFileBuffers(h);
    CloseHandle(h);
    return ok && written == data.size();
}

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 15;
    if (rounds < 1)
        rounds = 1;
    char tmp[MAX_PATH];
    GetTempPathA(sizeof(tmp), tmp);
    char dirBuf[MAX_PATH];
    snprintf(dirBuf, sizeof(dirBuf), "%svq-bench-rotation-%lu", tmp, GetCurrentProcessId());
    std::string dir = dirBuf;
    CreateDirectoryA(dir.c_str(), NULL);
    std::string current = dir + "\\" + kName;
    std::string plainCopy = dir + "\\plain-copy.bin";

    /* Log-like content: lines of text, not a run of one byte. */
    std::vector<char> log(kLogSize);
    const char line[] = "[ 2026-12-07 18:13:32:045 ] [ 4711 ] [INFO] execute : Exit code for the application : 0 \n";
    for (DWORD i = 0; i < kLogSize; i++)
        log[i] = line[i % (sizeof(line) - 1)];

    std::vector<double> rotation, copy;
    for (int r = 0; r < rounds; r++) {
        /* The same state every round: the full log and four full backups. */
        if (!writeFile(current, log)) {
            fprintf(stderr, "cannot write %s\n", current.c_str());
            return 1;
        }
        for (int k = 1; k <= 4; k++) {
            char *b = MakeBackupFileName(dir.c_str(), kName, k);
            writeFile(b, log);
            free(b);
        }
        DeleteFileA(plainCopy.c_str());

        double t0 = BenchNowMs();
        if (!CopyFileA(current.c_str(), plainCopy.c_str(), FALSE)) {
            fprintf(stderr, "plain copy failed: %lu\n", GetLastError());
            return 1;
        }
        double t1 = BenchNowMs();
        RotateLoggerForEverRunningProcess(dir.c_str(), kName, 5, (int)kLogSize);
        double t2 = BenchNowMs();
        copy.push_back(t1 - t0);
        rotation.push_back(t2 - t1);

        /* The pass must really have rotated. */
        WIN32_FILE_ATTRIBUTE_DATA a;
        if (!GetFileAttributesExA(current.c_str(), GetFileExInfoStandard, &a) || a.nFileSizeLow != 0) {
            fprintf(stderr, "the log was not rotated\n");
            return 1;
        }
    }

    double c = median(copy), p = median(rotation);
    printf("log_rotation: %d rounds, log %lu bytes, 4 backups present\n", rounds, (unsigned long)kLogSize);
    printf("plain copy      : %8.3f ms (median)\n", c);
    printf("rotation pass   : %8.3f ms (median)\n", p);
    printf("ratio           : %8.2fx (target within 1.50x)\n", c > 0 ? p / c : 0.0);

    DeleteFileA(plainCopy.c_str());
    DeleteFileA(current.c_str());
    for (int k = 1; k <= 5; k++) {
        char *b = MakeBackupFileName(dir.c_str(), kName, k);
        DeleteFileA(b);
        free(b);
    }
    RemoveDirectoryA(dir.c_str());
    return 0;
}
