/* File and folder helpers: existence tests, folder creation with parents,
 * guarded removal of a directory tree, small append-to-file writers. */
#ifndef VQ_AGENT_FILEUTIL_H
#define VQ_AGENT_FILEUTIL_H

#include <windows.h>

/* 0 when the path is found, 2 when not; the wide form gives 13 for NULL. */
DWORD CheckFileExists(const char *path);
DWORD CheckFileExists(const wchar_t *path);
BOOL FileExists(const char *path);

/* Creates the folder of a file path with all missing parents; 0 or a
 * Windows error code. `unused` has no effect. */
DWORD CreateFolder(const wchar_t *filePath, BOOL unused);

BOOL GetFileSizeByName(const char *path, ULONGLONG *size);

/* Removes a directory with everything in it: 1 when all was removed, else 0.
 * Refuses paths with a parent reference ("\.." or "/.."). */
int DeleteDirectoryTree(const char *path);

DWORD AppendLineCreatingFile(const char *path, const char *text);
void AppendFormattedToFile(const char *path, const char *format, ...)
    __attribute__((format(gnu_printf, 2, 3)));
void WriteIfNewFile(const char *path, const char *text);

/* Writes all `size` bytes to an open file handle, looping over short
 * writes: TRUE, or FALSE (GetLastError tells) when a write fails or writes
 * nothing. */
BOOL WriteWholeBuffer(HANDLE file, const void *data, DWORD size);

#endif
