/* File and folder helpers: existence tests, folder creation with all
 * parents, guarded removal of a directory tree, small append-to-file
 * writers. Narrow paths are UTF-8 and go to the "A" functions unchanged. */
#include "agent/fileutil.h"
#include "agent/textformat.h"
#include "agent/errortext.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <shlobj.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The end of both forms of the existence test: the search handle gives the
 * result, and the search is closed. */
static DWORD finishFileSearch(HANDLE search)
{
    DWORD result = 0;
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    } else {
        LogError("CheckFileExists -> Invalid File Handle. %d \n", (int)GetLastError());
        result = ERROR_FILE_NOT_FOUND;
    }
    LogDebug("@@@@@@@@ End Of CheckFileExists Method @@@@@@@@ \n");
    return result;
}

DWORD CheckFileExists(const char *path)
{
    LogDebug("@@@@@@@@ Inside CheckFileExists Method @@@@@@@@ \n");
    if (!path) {
        LogDebug("@@@@@@@@ End Of CheckFileExists Method @@@@@@@@ \n");
        return ERROR_INVALID_DATA;
    }
    LogDebug("FileName to search -> %s \n", path);
    WIN32_FIND_DATAA found;
    return finishFileSearch(FindFirstFileA(path, &found));
}

DWORD CheckFileExists(const wchar_t *path)
{
    LogDebug("@@@@@@@@ Inside CheckFileExists Method @@@@@@@@ \n");
    if (!path) {
        LogDebug("@@@@@@@@ End Of CheckFileExists Method @@@@@@@@ \n");
        return ERROR_INVALID_DATA;
    }
    LogDebug("FileName to search -> %S \n", path);
    WIN32_FIND_DATAW found;
    return finishFileSearch(FindFirstFileW(path, &found));
}

BOOL FileExists(const char *path)
{
    return CheckFileExists(path) == 0;
}

/* Length of the folder part of a path: everything up to and including the
 * last separator, 0 when there is none. */
static size_t folderPartLength(const char *path)
{
    const char *back = strrchr(path, '\\');
    const char *fwd = strrchr(path, '/');
    const char *last = back > fwd ? back : fwd;
    return last ? (size_t)(last - path) + 1 : 0;
}

DWORD CreateFolder(const wchar_t *filePath, BOOL unused)
{
    (void)unused;
    LogDebug("CreateFolder : CreateFolder function called with %S\n", filePath ? filePath : L"(null)");
    char *path = NULL;
    if (filePath)
        ChangeWideToUtf8Str(filePath, &path);
    if (!path) {
        LogError("CreateFolder : The directory to create is NULL . \n");
        return ERROR_INVALID_DATA;
    }
    size_t len = strlen(path);
    if (len > 0 && len < 4) {
        LogInfo("CreateFolder : The Drive letter Given.hence it cannot be created \n");
        free(path);
        return 0;
    }
    /* The folder is the path without its last component. The cut is made at
     * the last separator: cutting at the first place where the last
     * component's text occurs would pick an earlier folder of the same name
     * (C:\a\data\a). A path with no separator is taken whole. */
    size_t folderLen = folderPartLength(path);
    if (folderLen > 3) {
        path[folderLen] = '\0';
    } else if (folderLen > 0) {
        LogInfo("CreateFolder : The Drive letter Given.hence it cannot be created \n");
        free(path);
        return 0;
    }
    LogInfo("CreateFolder : The Directory to create is %s \n", path);
    wchar_t *folder = NULL;
    DWORD result;
    if (!ChangeUtf8ToWideStr(path, &folder)) {
        result = ERROR_INVALID_DATA;
    } else if (wcslen(folder) >= MAX_PATH) {
        /* SHCreateDirectoryExW takes no longer paths; Windows refuses them
         * with this code, while Wine cuts them and makes a wrong folder. */
        result = ERROR_FILENAME_EXCED_RANGE;
    } else {
        result = (DWORD)SHCreateDirectoryExW(NULL, folder, NULL);
        if (result == ERROR_ALREADY_EXISTS)
            result = 0;
    }
    LogDebug("CreateFolder function returns Error code %d \n", (int)result);
    if (result != 0)
        LogErrorMessage(result);
    free(folder);
    free(path);
    return result;
}

BOOL GetFileSizeByName(const char *path, ULONGLONG *size)
{
    if (!path || !size)
        return FALSE;
    *size = 0;
    HANDLE file = CreateFileA(path, READ_CONTROL, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    LARGE_INTEGER value;
    BOOL ok = GetFileSizeEx(file, &value);
    if (ok)
        *size = (ULONGLONG)value.QuadPart;
    CloseHandle(file);
    return ok;
}

/* "a" + "\\" + "b" in a new buffer; NULL when out of memory. */
static char *joinPath(const char *dir, const char *name)
{
    size_t a = strlen(dir), b = strlen(name);
    char *joined = (char *)malloc(a + 1 + b + 1);
    if (joined) {
        memcpy(joined, dir, a);
        joined[a] = '\\';
        memcpy(joined + a + 1, name, b + 1);
    }
    return joined;
}

static int isDotEntry(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

/* A junction or directory symbolic link: removing it must remove only the
 * link, never walk into the folder it points at (which may lie anywhere,
 * outside the tree). */
static int isLinkedFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

/* Removes the contents of `dir` and then `dir` itself. The entries come from
 * the folder's own listing, so no child path can step outside the tree. */
static int deleteTreeWalk(const char *dir)
{
    char *pattern = joinPath(dir, "*");
    if (!pattern)
        return 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    free(pattern);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int result = 1;
    do {
        if (isDotEntry(entry.cFileName))
            continue;
        char *child = joinPath(dir, entry.cFileName);
        if (!child) {
            result = 0;
            continue;
        }
        if (isLinkedFolder(entry.dwFileAttributes)) {
            if (!RemoveDirectoryA(child))
                result = 0;
        } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!deleteTreeWalk(child))
                result = 0;
        } else if (!DeleteFileA(child)) {
            result = 0;
        }
        free(child);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    if (!RemoveDirectoryA(dir))
        return 0;
    return result;
}

/* A parent reference anywhere: "\.." or "/..", or ".." at the start. */
static int hasParentReference(const char *path)
{
    if (strstr(path, "\\..") || strstr(path, "/.."))
        return 1;
    return path[0] == '.' && path[1] == '.' &&
           (path[2] == '\0' || path[2] == '\\' || path[2] == '/');
}

int DeleteDirectoryTree(const char *path)
{
    if (!path || strlen(path) < 5)
        return 0;
    if (hasParentReference(path)) {
        LogInfo("Path contains \\.. or /.. So wont proceed with delete directory.\n");
        return 0;
    }
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && isLinkedFolder(attributes))
        return RemoveDirectoryA(path) ? 1 : 0;
    return deleteTreeWalk(path);
}

DWORD AppendLineCreatingFile(const char *path, const char *text)
{
    if (!path || !text)
        return ERROR_INVALID_DATA;
    DWORD result = 0;
    if (CheckFileExists(path) != 0) {
        wchar_t *widePath = NULL;
        if (ChangeUtf8ToWideStr(path, &widePath)) {
            CreateFolder(widePath, FALSE);
            free(widePath);
        }
        SetLastError(0);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        result = GetLastError();
        LogErrorMessage(result);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    FILE *out = fopen(path, "a+");
    if (!out) {
        /* Nothing was written: never report that as success. */
        if (result == 0) {
            result = GetLastError();
            if (result == 0)
                result = ERROR_OPEN_FAILED;
        }
        return result;
    }
    /* The caller's text is data, not a format: a '%' in it is written as is. */
    fputs(text, out);
    fputs("\n", out);
    fclose(out);
    return result;
}

void AppendFormattedToFile(const char *path, const char *format, ...)
{
    if (!path || !format)
        return;
    FILE *out = fopen(path, "a");
    if (!out)
        return;
    va_list ap;
    va_start(ap, format);
    char *buffer = FormatNewTextV(format, ap);
    va_end(ap);
    if (buffer) {
        fwrite(buffer, 1, strlen(buffer), out);
        free(buffer);
    }
    fclose(out);
}

void WriteIfNewFile(const char *path, const char *text)
{
    if (!path || !text)
        return;
    if (FileExists(path))
        return;
    FILE *out = fopen(path, "a");
    if (!out)
        return;
    fputs(text, out);
    fclose(out);
}

BOOL WriteWholeBuffer(HANDLE file, const void *data, DWORD size)
{
    const BYTE *next = (const BYTE *)data;
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, next, size, &written, NULL) || written == 0)
            return FALSE;
        next += written;
        size -= written;
    }
    return TRUE;
}
