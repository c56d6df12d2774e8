/* The temporary files of the downloads and the reading back of a
 * downloaded text file into memory. */
#ifndef VQ_NET_TEMPFILE_H
#define VQ_NET_TEMPFILE_H

#include <windows.h>

/* The temporary file of a download: destination + thread id + ".tmp" next to
 * the destination (whose folder is made first) for DOWNLOAD_FILE, this
 * thread's data file for GET_DATA, NULL otherwise. A new text (free()). */
wchar_t *DownloadTempFileName(const wchar_t *destination, DWORD requestType, const char *caller);

/* Reads this thread's temporary data file (text mode: CR LF becomes LF)
 * into a new text *out. 1 on success, 0 when the file cannot be opened or
 * memory runs out (*out untouched). */
int LoadDatafromFile(char **out);

/* Reads the file `path` into a new text *out as the C library's text mode
 * reads it (CR LF becomes LF, a Ctrl-Z ends the text), in one pass: 1, or 0
 * when it cannot be opened or memory runs out (*out untouched). */
int LoadTextFile(const wchar_t *path, char **out);

#endif
