/* One deployment run in its fixed order: logging start, arguments, file
 * checks, the setup run, removal of the working folder and the exit code the
 * agent reads. Every exit after the logging start goes through the finishing
 * steps, so "Exit Code : " is the run's last line. */
#include "driver/deployment.h"
#include "driver/setuprunner.h"
#include "agent/agentlog.h"
#include "agent/fileutil.h"
#include "agent/log.h"

#include <string.h>

RunContext gv_runContext;

void ParseArguments(int argc, char **argv)
{
    RunContext &rc = gv_runContext;
    char dir[1024];
    memset(dir, 0, sizeof(dir));
    DWORD n = GetCurrentDirectoryA(sizeof(dir), dir);
    /* A working directory longer than the buffer leaves it empty rather
     * than holding a cut path. */
    if (n >= sizeof(dir))
        dir[0] = '\0';
    rc.currentDirectory = dir;

    int i = 0;
    while (i < argc) {
        if (i + 1 < argc && argv[i] && argv[i + 1]) {
            const char *value = argv[i + 1];
            if (_stricmp(argv[i], "-xml") == 0) {
                LogInfo("XML File Name : %s\n", value);
                rc.configPath = rc.currentDirectory + "\\" + value;
                i += 2;
                continue;
            }
            if (_stricmp(argv[i], "-odt") == 0) {
                LogInfo("Office Deployment Tool File Name : %s\n", value);
                rc.toolPath = rc.currentDirectory + "\\" + value;
                i += 2;
                continue;
            }
            if (_stricmp(argv[i], "-version") == 0) {
                LogInfo("Version to install : %s\n", value);
                rc.versionToInstall = value;
                i += 2;
                continue;
            }
        }
        i++;
    }
}

LONG RunDeployment(int argc, char **argv)
{
    RunContext &rc = gv_runContext;
    rc = RunContext();

    if (StartAgentLogging("vqprereqhandler.log") != 0)
        return VQ_EXIT_INVALID_DATA;

    ParseArguments(argc, argv);
    LogInfo("Office 365 Installer v%.2f for Cloud users\n", 1.0);
    rc.extractFolder = rc.currentDirectory + "\\Office365";

    LONG exitCode = 0;
    if (!FileExists(rc.toolPath.c_str())) {
        LogError("Office Deployment Tool file not found.\n");
        exitCode = VQ_EXIT_FILE_NOT_FOUND;
    } else if (!FileExists(rc.configPath.c_str())) {
        LogError("Configuration XML file not found.\n");
        exitCode = VQ_EXIT_FILE_NOT_FOUND;
    } else {
        LONG r = ExecuteSetup(rc.extractFolder.c_str(), rc.configPath.c_str());
        exitCode = r == VQ_SETUP_APPS_IN_USE ? VQ_EXIT_APPS_RUNNING : r;
    }

    DeleteDirectoryTree(rc.extractFolder.c_str());
    LogInfo("Exit Code : %ld\n", (long)exitCode);
    StopAgentLogging();
    rc = RunContext();
    return exitCode;
}
