/* The download access logs under the installation directory
 * ("logs\downloadSuccessAccess.log", "logs\downloadFailureAccess.log"): one
 * record per resumable download, appended in one write. */
#ifndef VQ_NET_ACCESSLOG_H
#define VQ_NET_ACCESSLOG_H

#include <windows.h>

/* The text of one access-log record (see ResumeRequest::PrintHTTPAccessLog), a new text
 * (free()); `fileName` "" shows as "--". */
char *FormatAccessLogRecord(const char *startPrefix, const char *fileName, DWORD requestType,
                            DWORD contentLength, DWORD result, DWORD total, const char *endTime,
                            const wchar_t *server, int port, const wchar_t *url);

/* Appends `record` to the access log `path` with one write call, writing
 * the column header first when the file is new; "\n" is stored as "\r\n"
 * as the agent's text files have it. FALSE when the file cannot be had. */
BOOL AppendAccessLogRecord(const char *path, const char *record);

#endif
