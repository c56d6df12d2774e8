/* The resource identifier from the registry, and the agent parameters
 * without one. */
#include "agent/resourceid.h"
#include "agent/agentparams.h"
#include "agent/log.h"
#include "agent/registry.h"
#include "support/agentkey.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

TEST(ResourceId, ReadFromTheRegistryOrReportedMissing)
{
    vqt::AgentKeyScope scope;
    vqt::ScratchDir dir("rid");
    ASSERT_EQ(vqt::WriteAgentKey(dir.path()), 0);
    char *id = NULL;
    EXPECT_EQ(GetResourceID(&id), 0u);
    EXPECT_EQ(vqt::TakeText(id), vqt::kAgentResourceId);

    ASSERT_EQ(vqt::WriteAgentKey(dir.path(), {vqt::Missing("SystemDetails", "VQAgentResourceID")}), 0);
    vqt::ScratchLog log(VQ_LOG_LEVEL_ERROR);
    id = (char *)"untouched";
    EXPECT_EQ(GetResourceID(&id), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(id, nullptr);
    EXPECT_TRUE(log.has("[ERROR] GetResourceID : Unable to get the VQ Agent Resource ID from Registry , So "
                        "trying to get the same from server .\n"));
}

TEST(ResourceId, MissingIdentifierLeavesTheParametersWithout)
{
    vqt::AgentKeyScope scope;
    vqt::ScratchDir dir("rid");
    BOOL wow64 = gv_isWow64Process;
    ASSERT_EQ(vqt::WriteAgentKey(dir.path(), {vqt::Missing("SystemDetails", "VQAgentResourceID")}), 0);
    EXPECT_EQ(InitializeAgentParameters(), 0u);
    EXPECT_EQ(gv_agentParams.ResourceID, nullptr);
    ResetAgentParameters();
    gv_isWow64Process = wow64;
}
