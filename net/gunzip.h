/* Inflation of a gzip-encoded download in place, so that what the agent
 * delivers is the resource itself and never its compressed bytes. */
#ifndef VQ_NET_GUNZIP_H
#define VQ_NET_GUNZIP_H

#include <windows.h>

/* Replaces the gzip data in the file `path` by its inflated bytes (several
 * concatenated gzip members are inflated one after another), which may be at
 * most `maxBytes` long (the downloads pass VQ_NET_MAX_INFLATED_BYTES). 0 on
 * success; ERROR_INVALID_DATA when the file is not complete, valid gzip data
 * or inflates to more than `maxBytes` (the file is then left as it was and
 * no inflated bytes stay on the disk); a Windows error when a file cannot be
 * opened, written or replaced; ERROR_NOT_ENOUGH_MEMORY. */
DWORD InflateGzipFile(const wchar_t *path, DWORD maxBytes);

#endif
