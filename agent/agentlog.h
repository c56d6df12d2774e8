/* The agent's logging start and stop: the log in the agent's install
 * directory ("logs" folder) at the level of "VQAgentLogLevel". */
#ifndef VQ_AGENT_AGENTLOG_H
#define VQ_AGENT_AGENTLOG_H

#include <windows.h>

#include "agent/agentkeys.h"
#include "agent/logrotate.h"

/* Rotates, then opens the log. Returns the error of reading the install
 * directory, else 0 (also when the file itself could not be opened). */
DWORD StartAgentLogging(const char *fileName);

/* Configures and opens the writer: 0, or 13 when it cannot. */
DWORD InitAgentLogger(const char *fileName, const char *directory, int openMode);

DWORD StopAgentLogging(void);

/* The settings of the last start, NULL before it. */
const LoggerSettings *GetLoggerSettings(void);

#endif
