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

int LoadTextFile(const wchar_t *path, char **out)
{
    FILE *file = path ? _wfopen(path, L"r") : NULL;
    if (!file)
        return 0;
    /* One buffer of the file's size, filled in order: text mode can only
     * make the data shorter than the file. */
    long long size = -1;
    if (_fseeki64(file, 0, SEEK_END) == 0)
        size = _ftelli64(file);
    if (size < 0 || (unsigned long long)size >= (unsigned long long)SIZE_MAX || _fseeki64(file, 0, SEEK_SET) != 0) {
        fclose(file);
        return 0;
    }
    char *data = (char *)calloc((size_t)size + 1, 1);
    if (!data) {
        fclose(file);
        return 0;
    }
    size_t used = 0;
    while (used < (size_t)size) {
        size_t want = (size_t)size - used;
        if (want > VQ_NET_LOAD_CHUNK_BYTES)
            want = VQ_NET_LOAD_CHUNK_BYTES;
        size_t got = fread(data + used, 1, want, file);
        if (got == 0)
            break;
        used += got;
    }
    fclose(file);
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
