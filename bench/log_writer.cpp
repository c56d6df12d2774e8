/* Log writer throughput: 100000 lines through LogInfo at level 3 against a
 * bare fprintf-and-fflush loop writing lines of the same bytes (same
 * prefix layout and message) in the same run. Prints both rates and their
 * ratio. Usage: log_writer.exe [lines] [folder] */
#include "agent/log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static double seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f)
{
    return (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
}

int main(int argc, char **argv)
{
    int lines = argc > 1 ? atoi(argv[1]) : 100000;
    char dir[MAX_PATH];
    if (argc > 2) {
        snprintf(dir, sizeof(dir), "%s", argv[2]);
    } else {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof(tmp), tmp);
        snprintf(dir, sizeof(dir), "%svqbench-log-%lu", tmp, GetCurrentProcessId());
    }
    CreateDirectoryA(dir, NULL);
    char writerPath[MAX_PATH], barePath[MAX_PATH];
    snprintf(writerPath, sizeof(writerPath), "%s/writer.log", dir);
    snprintf(barePath, sizeof(barePath), "%s/bare.log", dir);
    DeleteFileA(writerPath);
    DeleteFileA(barePath);

    const char *msg = "execute : Process created successfully for %s\n";
    const char *arg = "\"C:\\Work\\Office365\\setup.exe\" /configure \"C:\\Work\\config.xml\"";
    LARGE_INTEGER f, t0, t1, t2, t3;
    QueryPerformanceFrequency(&f);

    SetLogDefaults();
    SetLogParams("writer.log", dir, 3);
    if (!OpenLogFileAppend()) {
        fprintf(stderr, "cannot open %s\n", writerPath);
        return 1;
    }
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < lines; i++)
        LogInfo(msg, arg);
    QueryPerformanceCounter(&t1);
    CloseLogFile();
    FreeLogSettings();

    FILE *bare = fopen(barePath, "a+");
    if (!bare) {
        fprintf(stderr, "cannot open %s\n", barePath);
        return 1;
    }
    int tid = (int)GetCurrentThreadId();
    QueryPerformanceCounter(&t2);
    for (int i = 0; i < lines; i++) {
        fprintf(bare, "[ 2026-12-09 10:11:12:131 ] [ %d ] [INFO] ", tid);
        fprintf(bare, msg, arg);
        fflush(bare);
    }
    QueryPerformanceCounter(&t3);
    fclose(bare);

    double w = seconds(t0, t1, f), b = seconds(t2, t3, f);
    printf("lines: %d\n", lines);
    printf("log writer: %.3f s, %.0f lines/s\n", w, lines / w);
    printf("bare loop:  %.3f s, %.0f lines/s\n", b, lines / b);
    printf("ratio (writer time / bare time): %.2f\n", w / b);
    DeleteFileA(writerPath);
    DeleteFileA(barePath);
    RemoveDirectoryA(dir);
    return 0;
}
