/* A running copy of proc_sleeper.exe under a chosen name (see procstandin.h). */
#include "procstandin.h"
#include "testutil.h"

#include <gtest/gtest.h>
#include <vector>

namespace vqt {

StandInProcess::StandInProcess(const ScratchDir &dir, const std::string &name,
                               const std::string &args)
{
    path_ = dir.file(name);
    if (!FileExistsA(path_)) {
        EXPECT_TRUE(CopyFileTo(BinDir() + "\\proc_sleeper.exe", path_));
    }
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    ZeroMemory(&pi_, sizeof(pi_));
    std::string cmd = "\"" + path_ + "\" " + args;
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    EXPECT_TRUE(CreateProcessA(NULL, buf.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi_))
        << cmd << " " << GetLastError();
    /* The snapshot shows the process once it has been created, but let it
     * reach its main loop so that it is a plain running process. */
    WaitForInputIdle(pi_.hProcess, 200);
}

StandInProcess::~StandInProcess()
{
    if (pi_.hProcess) {
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
}

bool StandInProcess::ended(DWORD ms) const
{
    return WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0;
}

DWORD StandInProcess::exitCode() const
{
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

} // namespace vqt
