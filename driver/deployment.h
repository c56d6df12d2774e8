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
};

extern RunContext gv_runContext;

void ParseArguments(int argc, char **argv);
LONG ExtractDeploymentTool(void);
LONG RunDeployment(int argc, char **argv);

#endif
