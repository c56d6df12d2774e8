/* The temporary files of the plain and the bit-rate limited downloads and
 * the reading back of a downloaded text file. A download is written to a
 * temporary file first and reaches the destination, or memory, only when
 * whole. */
#include "net/tempfile.h"
#include "net/httpengine.h"
#include "net/netlimits.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

wchar_t *DownloadTempFileName(const wchar_t *destination, DWORD requestType, const char *caller)
{
    if (requestType == DOWNLOAD_FILE) {
        if (!destination)
            return NULL;
        DWORD error = CreateFolder(destination, FALSE);
        if (error != 0)
            LogError("%s : Failed to create the destination directory for the destination file %S \n",
                     caller, destination);
        size_t bytes = wcslen(destination) * 4 + 30;
        wchar_t *name = (wchar_t *)calloc(bytes, 1);
        if (name)
            swprintf(name, bytes / sizeof(wchar_t), L"%ls%d.tmp", destination, (int)GetCurrentThreadId());
        return name;
    }
    if (requestType == GET_DATA) {
        char *narrow = GetTempDataFileName();
        wchar_t *name = NULL;
        if (narrow)
            ChangeToWideStr(narrow, &name);
        free(narrow);
        return name;
    }
    return NULL;
}

/* The C library's text-mode read of a file, done on bytes already in
 * memory: CR LF becomes LF (a CR before anything else stays), and a Ctrl-Z
 * ends the data. `length` bytes at `data` become the returned count. */
static size_t textModeInPlace(char *data, size_t length)
{
    size_t to = 0;
    for (size_t from = 0; from < length; from++) {
        char c = data[from];
        if (c == '\x1a')
            break;
        if (c == '\r' && from + 1 < length && data[from + 1] == '\n')
            continue;
        data[to++] = c;
    }
    data[to] = '\0';
    return to;
}

int LoadTextFile(const wchar_t *path, char **out)
{
    if (!path)
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    /* One buffer of the file's size, read in one pass and turned into the
     * text-mode result in place: text mode can only make it shorter. */
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
        (unsigned long long)size.QuadPart >= (unsigned long long)SIZE_MAX ||
        (unsigned long long)size.QuadPart > 0xFFFFFFFFull) {
        CloseHandle(file);
        return 0;
    }
    char *data = (char *)malloc((size_t)size.QuadPart + 1);
    if (!data) {
        CloseHandle(file);
        return 0;
    }
    size_t used = 0;
    while (used < (size_t)size.QuadPart) {
        DWORD got = 0;
        if (!ReadFile(file, data + used, (DWORD)((size_t)size.QuadPart - used), &got, NULL) || got == 0)
            break;
        used += got;
    }
    CloseHandle(file);
    textModeInPlace(data, used);
    if (out)
        *out = data;
    else
        free(data);
    return 1;
}

int LoadDatafromFile(char **out)
{
    char *name = GetTempDataFileName();
    if (!name)
        return 0;
    LogDebug("LoadDatafromFile: tmpDataFilePath, %s\n", name);
    wchar_t *wideName = NULL;
    ChangeToWideStr(name, &wideName);
    free(name);
    int loaded = wideName ? LoadTextFile(wideName, out) : 0;
    free(wideName);
    return loaded;
}
