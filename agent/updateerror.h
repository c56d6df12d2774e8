/* Texts for the exit codes of the agent's installers and update packages,
 * which the system message table does not know. */
#ifndef VQ_AGENT_UPDATEERROR_H
#define VQ_AGENT_UPDATEERROR_H

#include <windows.h>

/* Size of the buffer that holds the text of a code the table lacks. */
#define VQ_UPDATE_ERROR_TEXT_SIZE 4096

/* A new text for `code`: the table's text, or "Unknown Error. Code : %d"
 * for any other code. Always a heap text that the caller frees with free();
 * NULL only when out of memory. */
char *OfficeUpdateError(DWORD code);

#endif
