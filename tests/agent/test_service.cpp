/* Notifying a service through the Service Control Manager: a stand-in
 * service (proc_service.exe) installed in Wine's service manager receives
 * the user-defined code; an unknown service is reported as failure. */
#include "agent/agentparams.h"
#include "agent/service.h"
#include "support/scratchlog.h"
#include "support/standinservice.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

const wchar_t *kService = vqt::kStandInServiceName;
using vqt::StandInService;

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

    EXPECT_EQ(vqt::WaitForMarker(marker, "147\n150\n"), "147\n150\n");
}

TEST(ServiceNotification, UnknownServiceOrNoNameFails)
{
    vqt::ScratchDir dir("svc");
    vqt::ScratchLog log(dir.path(), "s.log");
    EXPECT_EQ(SendServiceMsg(147, L"VqNoSuchServiceAnywhere"), 0);
    EXPECT_EQ(SendServiceMsg(147, NULL), 0);
    EXPECT_EQ(log.linesWith("[ERROR] SendServiceMsg : Failed to open the Service").size(), 2u);
}
