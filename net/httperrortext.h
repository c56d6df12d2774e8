/* The ERROR lines that describe WinHTTP's error codes, with the system's
 * message text for every other code. */
#ifndef VQ_NET_HTTPERRORTEXT_H
#define VQ_NET_HTTPERRORTEXT_H

#include <windows.h>

/* The whole ERROR line (line feed included) of a WinHTTP error code, or NULL
 * when the code is not one of the 74 WinHTTP codes the agent describes. */
const char *HttpErrorText(DWORD code);

/* Logs the text of `code` at ERROR level: a WinHTTP code's own line, any
 * other code through Message ("Error Code : %d , Error Message : %s \n"). */
void HttpGetLastError(DWORD code);

#endif
