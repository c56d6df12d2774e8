/* Acting on other processes: run a command line under a time limit in
 * minutes, map the installers' success codes, find a running process by its
 * executable name and terminate every process of a name. */
#ifndef VQ_AGENT_PROCESS_H
#define VQ_AGENT_PROCESS_H

#include <windows.h>

/* Result of execute when the time limit ran out (WAIT_TIMEOUT). */
#define VQ_EXECUTE_TIMED_OUT 258

/* Runs `commandLine` (CreateProcessA, no window of its own) with
 * `workingDirectory` as the current directory (NULL: the caller's), and waits
 * for it up to `timeLimitMinutes` minutes. Returns the process's exit code,
 * 258 when the limit ran out (the process is then terminated), 0 at once
 * without waiting when the limit is 0, or a Windows error code. `*remarks`
 * receives a new text describing the result (free()); `remarks` may be NULL.
 * `show` asks for SW_SHOWNORMAL. The current directory is changed for the
 * duration of the call and restored on every path. */
LONG execute(const char *workingDirectory, const char *commandLine, char **remarks,
             DWORD timeLimitMinutes, BOOL show);

/* execute, with the installers' success codes 1508, 1641 (restart started)
 * and 3010 (restart required) reported as 0. */
LONG ExecuteAndMapSuccess(const char *workingDirectory, const char *commandLine,
                          char **remarks, DWORD timeLimitMinutes, BOOL show);

/* Id of a running process, other than the calling one, whose executable name
 * matches `name` ignoring case over at most the first 15 characters; 0 when
 * there is none. */
DWORD FindProcessIdByName(const char *name);

/* Terminates every process whose executable name equals `name` ignoring
 * case. 1 when at least one was found (killed or not), else 0. */
int KillProcesses(const char *name);

#endif
