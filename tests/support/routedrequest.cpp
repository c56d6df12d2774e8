/* The fixture of the tests of routed requests (see routedrequest.h). */
#include "routedrequest.h"
#include "netserver.h"

#include "agent/agentparams.h"

#include <stdlib.h>
#include <string.h>

namespace vqt {

char *const kPoison = (char *)(INT_PTR)0x5a5a5a5a;

void SetParamText(char **slot, const char *text)
{
    free(*slot);
    *slot = text ? _strdup(text) : NULL;
}

RoutedRequestTest::RoutedRequestTest(const char *protocol, const char *tempTag)
    : temp_(tempTag), protocol_(protocol)
{
}

void RoutedRequestTest::SetUp()
{
    int port = strcmp(protocol_, "https") == 0 ? TlsPort() : HttpPort();
    ASSERT_NE(port, 0) << "the loopback servers' ports are not in the environment";
    ASSERT_EQ(WriteAgentKey(temp_.path()), 0);
    ResetAgentParameters();
    AgentParameters *p = &gv_agentParams;
    strcpy(p->TempDirectory, temp_.path().c_str());
    SetParamText(&p->VQServerProtocol, protocol_);
    SetParamText(&p->DistributionServerProtocol, protocol_);
    p->ActiveServerPort = port;
    p->ActiveDistributionServerPort = port;
    SetParamText(&p->EnableDistributionServer, "no");
    SetParamText(&p->ProxyEnabled, "NO");
    SetParamText(&gv_vqProductCode, "VQEE");
}

void RoutedRequestTest::TearDown()
{
    ResetAgentParameters();
    DeleteAgentKey();
}

void RoutedRequestTest::useProxy()
{
    AgentParameters *p = &gv_agentParams;
    SetParamText(&p->ProxyEnabled, "yes");
    SetParamText(&p->ProxyServerName, ("127.0.0.1:" + std::to_string(ProxyPort())).c_str());
    SetParamText(&p->ProxyUserName, kProxyUser);
    SetParamText(&p->ProxyPassword, kProxyPassword);
    SetParamText(&p->ProxyByPass, "<local>");
}

} // namespace vqt
