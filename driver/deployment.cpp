/* One deployment run in its fixed order: agent parameters, logging start,
 * arguments, file checks, the Office application guard, extraction of the
 * deployment tool, the Click-to-Run state, the document edits, the setup
 * run, the check of the Click-to-Run state after a setup that ended with 0,
 * removal of the working folder and the exit code the agent reads. Every
 * exit after the logging start goes through the finishing steps, so
 * "Exit Code : " is the run's last line and the working folder is removed;
 * a preview ("-preview") goes from the arguments to the preview and
 * deletes nothing. */
#include "driver/deployment.h"
#include "driver/configdoc.h"
#include "driver/ctrstate.h"
#include "driver/installcheck.h"
#include "driver/officeguard.h"
#include "driver/preview.h"
#include "driver/setuprunner.h"
#include "agent/agentlog.h"
#include "agent/agentparams.h"
#include "agent/faststartup.h"
#include "agent/fileutil.h"
#include "agent/log.h"
#include "agent/process.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

RunContext gv_runContext;

BOOL ReadWorkingDirectory(std::string *dir, DWORD bufferChars)
{
    dir->clear();
    if (bufferChars == 0)
        return FALSE;
    std::vector<char> buf(bufferChars, '\0');
    DWORD n = GetCurrentDirectoryA(bufferChars, buf.data());
    /* 0 is a failure; a result of the buffer's size or more is the size
     * needed: the directory is left empty rather than holding a cut path. */
    if (n == 0 || n >= bufferChars)
        return FALSE;
    dir->assign(buf.data(), n);
    return TRUE;
}

void ParseArguments(int argc, char **argv, DWORD workDirBufferChars)
{
    RunContext &rc = gv_runContext;
    ReadWorkingDirectory(&rc.currentDirectory, workDirBufferChars);

    int i = 0;
    while (i < argc) {
        /* A switch without a value; as the value of an option before it
         * ("-xml -preview") it stays that option's value. */
        if (argv[i] && _stricmp(argv[i], "-preview") == 0) {
            LogInfo("Preview : nothing is changed on this computer.\n");
            rc.preview = true;
            i++;
            continue;
        }
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

LONG ExtractDeploymentTool(void)
{
    RunContext &rc = gv_runContext;
    /* Without a working directory the folder would be "\Office365" at the
     * root of the drive: nothing is deleted there. */
    if (rc.extractFolder.empty() || rc.currentDirectory.empty())
        return VQ_EXIT_INVALID_DATA;
    /* No file of an earlier run may remain; the tool creates the folder. */
    DeleteDirectoryTree(rc.extractFolder.c_str());
    std::string cmd = "\"" + rc.toolPath + "\" /extract:\"" + rc.extractFolder +
                      "\" /quiet /norestart";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    char *remarks = NULL;
    LONG r = ExecuteAndMapSuccess(NULL, line.data(), &remarks, 10, 0);
    free(remarks);
    return r;
}

/* Steps 9 to 16 of the run: from the Office application guard to the
 * setup run's result. */
static LONG deploy(void)
{
    RunContext &rc = gv_runContext;
    if (CloseOfficeApplications() != 0) {
        DisableFastStartup();
        return VQ_EXIT_APPS_RUNNING;
    }
    LONG r = ExtractDeploymentTool();
    if (r != 0 && r != 3010) {
        LogError("Failed to execute office deployment tool.\n");
        return r;
    }
    ClickToRunState state;
    DWORD s = ReadClickToRunState(&state);
    if (s != 0)
        return (LONG)s;
    /* A document that could not be rewritten must not reach setup: it may
     * remove the very products and languages the rewrite keeps. */
    if (RewriteConfigurationDocument(rc.configPath.c_str(), &state, rc.versionToInstall.c_str(),
                                     IsAlwaysKillAppsSet()) != 0)
        return VQ_EXIT_INVALID_DATA;
    r = ExecuteSetup(rc.extractFolder.c_str(), rc.configPath.c_str());
    /* Setup can end with 0 and still leave something behind. */
    if (r == 0)
        CheckInstalledState(rc.configPath.c_str());
    if (r != 0 && r != 3010)
        LogRunningOfficeApplications();
    return r == VQ_SETUP_APPS_IN_USE ? VQ_EXIT_APPS_RUNNING : r;
}

LONG RunDeployment(int argc, char **argv, DWORD workDirBufferChars)
{
    RunContext &rc = gv_runContext;
    rc = RunContext();

    /* No log is open yet: what this logs is dropped, and its result is not
     * examined (a run without some parameters still deploys). */
    InitializeAgentParameters();
    if (StartAgentLogging("vqprereqhandler.log") != 0)
        return VQ_EXIT_INVALID_DATA;

    ParseArguments(argc, argv, workDirBufferChars);
    LogInfo("Office 365 Installer v%.2f for Cloud users\n", 1.0);
    /* The parameters' own lines went nowhere; the servers' certificate
     * modes are worth a line in this log. */
    LogServerCertificateModes();
    /* Every path of the run, the folder it deletes included, lies in the
     * working directory: without it the run must not touch any file. */
    bool haveWorkDir = !rc.currentDirectory.empty();
    if (haveWorkDir)
        rc.extractFolder = rc.currentDirectory + "\\Office365";

    LONG exitCode;
    if (!haveWorkDir) {
        LogError("RunDeployment : unable to read the working directory; nothing is extracted or deleted.\n");
        exitCode = VQ_EXIT_INVALID_DATA;
    } else if (rc.preview) {
        /* The printed document keeps its bytes: no line end translation. */
        fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
        exitCode = PreviewDeployment(rc.configPath.c_str(), rc.toolPath.c_str(),
                                     rc.versionToInstall.c_str(), stdout, GetTickCount64());
    } else if (!FileExists(rc.toolPath.c_str())) {
        LogError("Office Deployment Tool file not found.\n");
        exitCode = VQ_EXIT_FILE_NOT_FOUND;
    } else if (!FileExists(rc.configPath.c_str())) {
        LogError("Configuration XML file not found.\n");
        exitCode = VQ_EXIT_FILE_NOT_FOUND;
    } else {
        exitCode = deploy();
    }

    if (haveWorkDir && !rc.preview)
        DeleteDirectoryTree(rc.extractFolder.c_str());
    LogInfo("Exit Code : %ld\n", (long)exitCode);
    StopAgentLogging();
    rc = RunContext();
    return exitCode;
}
