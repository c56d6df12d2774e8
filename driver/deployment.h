/* One deployment run: arguments, run order and exit codes. */
#ifndef VQ_DRIVER_DEPLOYMENT_H
#define VQ_DRIVER_DEPLOYMENT_H

#include <windows.h>
#include <string>

#define VQ_EXIT_FILE_NOT_FOUND  2
#define VQ_EXIT_INVALID_DATA    13
#define VQ_EXIT_APPS_RUNNING    20001
#define VQ_SETUP_APPS_IN_USE    17006

/* The run's process-wide values. */
struct RunContext {
    std::string currentDirectory;
    std::string configPath;
    std::string toolPath;
    std::string versionToInstall;
    std::string extractFolder;
    bool preview = false;   /* "-preview": show what a run would do, do nothing */
};

extern RunContext gv_runContext;

/* Characters of the buffer the working directory is read into. */
#define VQ_WORKDIR_BUFFER_CHARS 1024

/* The process's working directory into *dir; FALSE, with *dir empty, when
 * it cannot be read or does not fit `bufferChars` characters (terminator
 * included). */
BOOL ReadWorkingDirectory(std::string *dir, DWORD bufferChars = VQ_WORKDIR_BUFFER_CHARS);

/* Reads the working directory, the "-xml", "-odt" and "-version" arguments
 * and the "-preview" switch (an argument of its own, without a value) into
 * gv_runContext. */
void ParseArguments(int argc, char **argv, DWORD workDirBufferChars = VQ_WORKDIR_BUFFER_CHARS);

/* Extracts the tool into gv_runContext.extractFolder after removing what an
 * earlier run left there; 13 without touching anything when there is no
 * extraction folder. */
LONG ExtractDeploymentTool(void);

/* The whole run; its exit code. A working directory that cannot be read
 * ends the run with 13 before anything is extracted or deleted. With
 * "-preview" the run only previews (preview.h): the document goes to
 * standard output rewritten, and nothing is extracted, run or deleted. */
LONG RunDeployment(int argc, char **argv, DWORD workDirBufferChars = VQ_WORKDIR_BUFFER_CHARS);

#endif
