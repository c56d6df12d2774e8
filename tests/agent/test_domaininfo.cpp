/* Domain and computer-name queries under Wine, and the join statuses with
 * their lines. */
#include "agent/domaininfo.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

TEST(DomainInfo, JoinStatusesAndTheirLines)
{
    struct Case { NETSETUP_JOIN_STATUS s; int status; const char *line; } cases[] = {
        {NetSetupUnknownStatus, 0, "GetComputerNameSpace : The status is unknown. \n"},
        {NetSetupUnjoined, 0, "GetComputerNameSpace :The computer is not joined. \n"},
        {NetSetupWorkgroupName, 0, "GetComputerNameSpace :The computer is joined to a workgroup. \n"},
        {NetSetupDomainName, 1, "GetComputerNameSpace :The computer is joined to a domain. \n"},
        {(NETSETUP_JOIN_STATUS)9, 0, "GetComputerNameSpace : The status is not determined .\n"},
    };
    for (const Case &c : cases) {
        vqt::ScratchLog log(VQ_LOG_LEVEL_INFO);
        EXPECT_EQ(NamespaceStatusFromJoin(c.s), c.status);
        EXPECT_TRUE(log.has(std::string("[INFO] ") + c.line)) << c.line;
    }
}

TEST(DomainInfo, DomainControllerNameLosesItsBackslashes)
{
    EXPECT_EQ(vqt::TakeText(StripDomainControllerPrefix("\\\\SRV01")), "SRV01");
    EXPECT_EQ(vqt::TakeText(StripDomainControllerPrefix("\\\\")), "");
    EXPECT_EQ(vqt::TakeText(StripDomainControllerPrefix("\\")), "");
    EXPECT_EQ(vqt::TakeText(StripDomainControllerPrefix("")), "");
    EXPECT_EQ(StripDomainControllerPrefix(NULL), nullptr);
}

TEST(DomainInfo, WineComputerIsInAWorkgroupWithoutDomainController)
{
    char *name = NULL;
    int status = -1;
    vqt::ScratchLog log(VQ_LOG_LEVEL_DEBUG);
    ASSERT_EQ(GetComputerNameSpace(&name, &status), 1);
    ASSERT_NE(name, nullptr);
    EXPECT_STRNE(name, "");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(log.has("[INFO] GetComputerNameSpace :The computer is joined to a workgroup. \n"));
    free(name);

    /* No domain: DsGetDcNameA fails, its code is returned and logged. */
    char *dc = (char *)"untouched";
    DWORD rc = GetComputerLogonServer(&dc);
    EXPECT_NE(rc, 0u);
    EXPECT_EQ(dc, nullptr);
    EXPECT_TRUE(log.has("[ERROR] GetComputerLogonServer: Error while fetching DC name! " +
                        std::to_string((int)rc) + " \n"));
}

TEST(DomainInfo, ComputerNameIsThePhysicalDnsHostName)
{
    char expected[256];
    DWORD size = sizeof(expected);
    ASSERT_TRUE(GetComputerNameExA(ComputerNamePhysicalDnsHostname, expected, &size));
    char *name = NULL;
    vqt::ScratchLog log(VQ_LOG_LEVEL_INFO);
    ASSERT_EQ(GetLocalComputerName(&name), 1);
    EXPECT_STREQ(name, expected);
    EXPECT_TRUE(log.has(std::string("[INFO] GetLocalComputerName : Computer Name : ") + expected + "\n"));
    free(name);
}
