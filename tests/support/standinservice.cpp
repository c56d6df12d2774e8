/* The stand-in agent service for tests (see standinservice.h). */
#include "standinservice.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace vqt {

const wchar_t kStandInServiceName[] = L"VqProcTestService";

StandInService::StandInService(const std::string &marker)
{
    manager_ = OpenSCManagerW(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    EXPECT_NE(manager_, nullptr) << GetLastError();
    if (!manager_)
        return;
    removeLeftover();
    std::string cmd = "\"" + BinDir() + "\\proc_service.exe\" VqProcTestService \"" + marker + "\"";
    std::wstring wcmd(cmd.begin(), cmd.end());
    service_ = CreateServiceW(manager_, kStandInServiceName, kStandInServiceName, SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                              wcmd.c_str(), NULL, NULL, NULL, NULL, NULL);
    EXPECT_NE(service_, nullptr) << GetLastError();
    if (!service_)
        return;
    EXPECT_TRUE(StartServiceW(service_, 0, NULL)) << GetLastError();
    SERVICE_STATUS st;
    for (int i = 0; i < 100; i++) {
        if (QueryServiceStatus(service_, &st) && st.dwCurrentState == SERVICE_RUNNING) {
            running_ = true;
            break;
        }
        Sleep(100);
    }
}

StandInService::~StandInService()
{
    if (service_) {
        SERVICE_STATUS st;
        ControlService(service_, SERVICE_CONTROL_STOP, &st);
        for (int i = 0; i < 50 && QueryServiceStatus(service_, &st) && st.dwCurrentState != SERVICE_STOPPED; i++)
            Sleep(100);
        DeleteService(service_);
        CloseServiceHandle(service_);
    }
    if (manager_)
        CloseServiceHandle(manager_);
}

void StandInService::removeLeftover()
{
    SC_HANDLE old = OpenServiceW(manager_, kStandInServiceName, SERVICE_ALL_ACCESS);
    if (old) {
        SERVICE_STATUS st;
        ControlService(old, SERVICE_CONTROL_STOP, &st);
        DeleteService(old);
        CloseServiceHandle(old);
    }
}

std::string WaitForMarker(const std::string &marker, const std::string &expected, DWORD timeoutMs)
{
    std::string got;
    for (DWORD waited = 0; (got = ReadWholeFile(marker)) != expected && waited < timeoutMs; waited += 100)
        Sleep(100);
    return got;
}

} // namespace vqt
