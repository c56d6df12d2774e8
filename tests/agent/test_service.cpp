/* Notifying a service through the Service Control Manager: a stand-in
 * service (proc_service.exe) installed in Wine's service manager receives
 * the user-defined code; an unknown service is reported as failure. */
#include "agent/agentparams.h"
#include "agent/service.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

const wchar_t *kService = L"VqProcTestService";

/* Installs and starts the stand-in service; stops and deletes it when the
 * object goes. */
class StandInService {
public:
    explicit StandInService(const std::string &marker)
    {
        manager_ = OpenSCManagerW(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        EXPECT_NE(manager_, nullptr) << GetLastError();
        if (!manager_)
            return;
        removeLeftover();
        std::string cmd = "\"" + vqt::BinDir() + "\\proc_service.exe\" VqProcTestService \"" + marker + "\"";
        std::wstring wcmd(cmd.begin(), cmd.end());
        service_ = CreateServiceW(manager_, kService, kService, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                  SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, wcmd.c_str(), NULL, NULL, NULL,
                                  NULL, NULL);
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
    ~StandInService()
    {
        if (service_) {
            SERVICE_STATUS st;
            ControlService(service_, SERVICE_CONTROL_STOP, &st);
            for (int i = 0; i < 50 && QueryServiceStatus(service_, &st) &&
                            st.dwCurrentState != SERVICE_STOPPED; i++)
                Sleep(100);
            DeleteService(service_);
            CloseServiceHandle(service_);
        }
        if (manager_)
            CloseServiceHandle(manager_);
    }
    bool running() const { return running_; }
private:
    void removeLeftover()
    {
        SC_HANDLE old = OpenServiceW(manager_, kService, SERVICE_ALL_ACCESS);
        if (old) {
            SERVICE_STATUS st;
            ControlService(old, SERVICE_CONTROL_STOP, &st);
            DeleteService(old);
            CloseServiceHandle(old);
        }
    }
    SC_HANDLE manager_ = NULL;
    SC_HANDLE service_ = NULL;
    bool running_ = false;
};

} // namespace

TEST(ServiceNotification, ServiceReceivesTheUserDefinedCode)
{
    vqt::ScratchDir dir("svc");
    vqt::ScratchLog log(dir.path(), "s.log");
    std::string marker = dir.file("controls.txt");
    StandInService service(marker);
    ASSERT_TRUE(service.running());

    EXPECT_EQ(SendServiceMsg(VQ_SERVICE_CONTROL_RESOURCE_ID, kService), 1);
    EXPECT_EQ(log.linesWith("SendServiceMsg : Service VqProcTestService Opened successfully").size(), 1u);
    EXPECT_EQ(log.linesWith("SendServiceMsg : Notification is succeeded").size(), 1u);

    /* The agent's own service is the one named by its parameters. */
    char *savedName = gv_agentParams.AgentServiceName;
    gv_agentParams.AgentServiceName = _strdup("VqProcTestService");
    NotifyAgentService(150);
    free(gv_agentParams.AgentServiceName);
    gv_agentParams.AgentServiceName = savedName;

    std::string got;
    for (int i = 0; i < 50 && (got = vqt::ReadWholeFile(marker)) != "147\n150\n"; i++)
        Sleep(100);
    EXPECT_EQ(got, "147\n150\n");
}

TEST(ServiceNotification, UnknownServiceOrNoNameFails)
{
    vqt::ScratchDir dir("svc");
    vqt::ScratchLog log(dir.path(), "s.log");
    EXPECT_EQ(SendServiceMsg(147, L"VqNoSuchServiceAnywhere"), 0);
    EXPECT_EQ(SendServiceMsg(147, NULL), 0);
    EXPECT_EQ(log.linesWith("[ERROR] SendServiceMsg : Failed to open the Service").size(), 2u);
}
