/* System information: the version family table, OS names from product
 * types and platforms, the address lists built from adapter records made
 * here, domain and computer-name queries under Wine, time conversions and
 * the resource identifier from the registry. */
#include "agent/agentparams.h"
#include "agent/domaininfo.h"
#include "agent/netinfo.h"
#include "agent/registry.h"
#include "agent/resourceid.h"
#include "agent/sysinfo.h"
#include "agent/unixtime.h"
#include "support/agentkey.h"
#include "support/testutil.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <regex>
#include <string.h>
#include <time.h>

namespace {

std::string take(char *text)
{
    std::string s = text ? text : "<null>";
    free(text);
    return s;
}

size_t countItems(const char *list)
{
    if (!*list)
        return 0;
    size_t n = 1;
    for (const char *p = list; *p; p++)
        n += *p == ',';
    return n;
}

/* A chain of adapter records with the given MAC bytes and addresses. */
struct Adapters {
    std::vector<IP_ADAPTER_INFO> infos;
    std::vector<std::vector<IP_ADDR_STRING>> extra;

    void add(std::vector<BYTE> mac, std::vector<std::pair<const char *, const char *>> ips)
    {
        IP_ADAPTER_INFO a;
        memset(&a, 0, sizeof(a));
        a.Index = (DWORD)infos.size() + 1;
        a.AddressLength = (UINT)mac.size();
        memcpy(a.Address, mac.data(), mac.size());
        strcpy(a.IpAddressList.IpAddress.String, ips[0].first);
        strcpy(a.IpAddressList.IpMask.String, ips[0].second);
        infos.push_back(a);
        std::vector<IP_ADDR_STRING> more;
        for (size_t i = 1; i < ips.size(); i++) {
            IP_ADDR_STRING s;
            memset(&s, 0, sizeof(s));
            strcpy(s.IpAddress.String, ips[i].first);
            strcpy(s.IpMask.String, ips[i].second);
            more.push_back(s);
        }
        extra.push_back(more);
    }
    /* Links the records (after all adds, since vectors move). */
    const IP_ADAPTER_INFO *chain()
    {
        for (size_t i = 0; i < infos.size(); i++) {
            infos[i].Next = i + 1 < infos.size() ? &infos[i + 1] : NULL;
            IP_ADDR_STRING *prev = &infos[i].IpAddressList;
            for (IP_ADDR_STRING &s : extra[i]) {
                prev->Next = &s;
                prev = &s;
            }
            prev->Next = NULL;
        }
        return infos.empty() ? NULL : &infos[0];
    }
};

struct Lists {
    std::vector<char> ip, mac, mask;
    explicit Lists(size_t capacity) : ip(capacity + 8, 'Z'), mac(capacity + 8, 'Z'), mask(capacity + 8, 'Z')
    {
        ip[0] = mac[0] = mask[0] = '\0';
    }
    BOOL build(const IP_ADAPTER_INFO *a, size_t capacity)
    {
        return BuildAddressLists(a, ip.data(), mac.data(), mask.data(), capacity);
    }
    /* The bytes past the capacity are untouched. */
    bool guardsIntact(size_t capacity) const
    {
        for (size_t i = capacity; i < capacity + 8; i++)
            if (ip[i] != 'Z' || mac[i] != 'Z' || mask[i] != 'Z')
                return false;
        return true;
    }
};

} // namespace

TEST(SysInfo, FamilyTable)
{
    struct Case { DWORD platform, major, minor; int family; } cases[] = {
        {VER_PLATFORM_WIN32_NT, 5, 0, 0}, {VER_PLATFORM_WIN32_NT, 5, 1, 1},
        {VER_PLATFORM_WIN32_NT, 5, 2, 1}, {VER_PLATFORM_WIN32_NT, 6, 0, 2},
        {VER_PLATFORM_WIN32_NT, 6, 1, 3}, {VER_PLATFORM_WIN32_NT, 6, 2, 4},
        {VER_PLATFORM_WIN32_NT, 6, 3, 5}, {VER_PLATFORM_WIN32_NT, 6, 4, 7},
        {VER_PLATFORM_WIN32_NT, 10, 0, 6}, {VER_PLATFORM_WIN32_NT, 10, 1, 7},
        {VER_PLATFORM_WIN32_NT, 11, 0, 7}, {VER_PLATFORM_WIN32_NT, 4, 0, -1},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, -1}, {VER_PLATFORM_WIN32s, 6, 1, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(OsFamilyFromVersion(c.platform, c.major, c.minor), c.family)
            << c.platform << " " << c.major << "." << c.minor;
}

TEST(SysInfo, RunningSystemWithoutManifestReportsItsCompatibilityVersion)
{
    OSVERSIONINFOA v;
    memset(&v, 0, sizeof(v));
    v.dwOSVersionInfoSize = sizeof(v);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExA(&v));
#pragma GCC diagnostic pop
    /* Without a compatibility manifest, Windows 8.1 and later (and Wine
     * set to them) report 6.2. */
    /* The family each reported version must give, written out here rather
     * than taken from the family table under test. */
    struct Known { DWORD major, minor; int family; } known[] = {
        {6, 1, VQ_OS_WIN7}, {6, 2, VQ_OS_WIN8}, {6, 3, VQ_OS_WIN81}, {10, 0, VQ_OS_WIN10},
    };
    int expectedFamily = VQ_OS_OTHER_NT;
    for (const Known &k : known)
        if (v.dwMajorVersion == k.major && v.dwMinorVersion == k.minor)
            expectedFamily = k.family;
    EXPECT_EQ(GetOsFamily(), expectedFamily) << v.dwMajorVersion << "." << v.dwMinorVersion;
    if (v.dwMajorVersion == 6 && v.dwMinorVersion == 2) {
        EXPECT_EQ(isWin7orWin8(), 1);
    }
    vqt::ScratchLog log(VQ_LOG_LEVEL_DEBUG);
    int expected = GetOsFamily() == VQ_OS_WIN7 || GetOsFamily() == VQ_OS_WIN8;
    EXPECT_EQ(isWin7orWin8(), expected);
    EXPECT_TRUE(log.has(expected ? "[DEBUG] isWin7orWin8 : TRUE\n" : "[DEBUG] isWin7orWin8 : FALSE\n"));
    EXPECT_TRUE(log.has("[DEBUG] isWin7orWin8 : GetOSName Windows"));

    std::string name = take(GetOSName());
    EXPECT_EQ(name.rfind("Windows", 0), 0u) << name;
}

TEST(SysInfo, NamesFromProductTypes)
{
    struct Case { DWORD major, minor; BYTE type; WORD arch; DWORD product; const char *reg; const char *name; } cases[] = {
        {6, 1, VER_NT_WORKSTATION, 0, 48, NULL, "Windows 7 Professional Edition"},
        {6, 1, VER_NT_WORKSTATION, 9, 1, NULL, "Windows 7 Ultimate Edition (x64)"},
        {6, 0, VER_NT_WORKSTATION, 0, 3, NULL, "Windows Vista Home Premium Edition"},
        {6, 0, VER_NT_SERVER, 9, 8, NULL, "Windows Server 2008 Datacenter Edition (x64)"},
        {6, 1, VER_NT_SERVER, 0, 7, NULL, "Windows Server 2008 R2 Standard Edition"},
        {6, 2, VER_NT_SERVER, 0, 7, NULL, "Windows Server 2012 Standard Edition (x64)"},
        {6, 3, VER_NT_DOMAIN_CONTROLLER, 9, 12, NULL,
         "Windows Server 2012 R2 Datacenter Edition (core installation) (x64)"},
        {10, 0, VER_NT_SERVER, 9, 79, NULL,
         "Windows Server 2016 Server Standard (evaluation installation) Edition (x64)"},
        {10, 0, VER_NT_WORKSTATION, 9, 121, NULL, "Windows 10 Education (x64)"},
        {6, 3, VER_NT_WORKSTATION, 0, 125, NULL, "Windows 8.1 Enterprise 2015 LTSB"},
        {6, 2, VER_NT_WORKSTATION, 0, 98, NULL, "Windows 8"},
        {6, 3, VER_NT_WORKSTATION, 9, 99, NULL, "Windows 8.1 (x64)"},
        {10, 0, VER_NT_WORKSTATION, 9, 100, "Windows 10 Insider Preview", "Windows 10 (x64)"},
        {10, 0, VER_NT_WORKSTATION, 9, 48, "Windows 10 Pro Insider Preview", "Windows 10 Pro Insider Preview"},
        {10, 0, VER_NT_WORKSTATION, 0, 48, "Windows 10 Pro", "Windows 10 Professional Edition"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(take(OSNameFromProductInfo(c.major, c.minor, c.type, c.arch, c.product, c.reg)), c.name);

    vqt::ScratchLog log(VQ_LOG_LEVEL_ERROR);
    EXPECT_EQ(take(OSNameFromProductInfo(6, 1, VER_NT_WORKSTATION, 0, 0xabcd, NULL)), "Windows 7 Beta");
    EXPECT_TRUE(log.has("[ERROR] Edition can't be retrieved. So Assuming it as Beta\n"));
    EXPECT_TRUE(log.has("[INFO] dwPlatformInfo : 43981\n"));
}

TEST(SysInfo, NamesFromPlatformWithoutProductInfo)
{
    auto ver = [](DWORD platform, DWORD major, DWORD minor, BYTE type, WORD suite, const char *csd) {
        OSVERSIONINFOEXA v;
        memset(&v, 0, sizeof(v));
        v.dwPlatformId = platform;
        v.dwMajorVersion = major;
        v.dwMinorVersion = minor;
        v.wProductType = type;
        v.wSuiteMask = suite;
        strcpy(v.szCSDVersion, csd);
        return v;
    };
    const DWORD NT = VER_PLATFORM_WIN32_NT, W9X = VER_PLATFORM_WIN32_WINDOWS;
    struct Case { OSVERSIONINFOEXA v; WORD arch; const char *name; } cases[] = {
        {ver(VER_PLATFORM_WIN32s, 3, 1, 0, 0, ""), 0, "Win32s"},
        {ver(W9X, 4, 0, 0, 0, ""), 0, "Windows 95"},
        {ver(W9X, 4, 10, 0, 0, ""), 0, "Windows 98"},
        {ver(W9X, 4, 10, 0, 0, "A"), 0, "Windows 98 SE"},
        {ver(W9X, 4, 90, 0, 0, ""), 0, "Windows Millennium Edition"},
        {ver(NT, 5, 1, VER_NT_WORKSTATION, VER_SUITE_PERSONAL, ""), 0, "Windows XP Home Edition "},
        {ver(NT, 5, 1, VER_NT_WORKSTATION, 0, ""), 0, "Windows XP Professional"},
        {ver(NT, 5, 2, VER_NT_WORKSTATION, 0, ""), 9, "Windows XP Professional x64 Edition"},
        {ver(NT, 5, 2, VER_NT_SERVER, VER_SUITE_ENTERPRISE, ""), 0, "Windows Server 2003, Enterprise Edition"},
        {ver(NT, 5, 2, VER_NT_SERVER, VER_SUITE_DATACENTER, ""), 9, "Windows Server 2003, Datacenter x64 Edition"},
        {ver(NT, 5, 2, VER_NT_SERVER, VER_SUITE_BLADE, ""), 0, "Windows Server 2003, Web Edition"},
        {ver(NT, 5, 2, VER_NT_SERVER, 0, ""), 0, "Windows Server 2003, Standard Edition"},
        {ver(NT, 5, 0, VER_NT_SERVER, VER_SUITE_ENTERPRISE, ""), 0, "Windows 2000 Advanced Server"},
        {ver(NT, 5, 0, VER_NT_WORKSTATION, 0, ""), 0, "Windows 2000 Professional"},
        {ver(NT, 4, 0, VER_NT_WORKSTATION, 0, ""), 0, "Windows NT Workstation 4.0"},
        {ver(NT, 4, 0, VER_NT_SERVER, VER_SUITE_TERMINAL, ""), 0, "Windows NT Server 4.0, Terminal Server Edition"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(take(OSNameFromPlatform(&c.v, TRUE, c.arch, NULL)), c.name);

    OSVERSIONINFOEXA basic = ver(NT, 5, 0, 0, 0, "");
    EXPECT_EQ(take(OSNameFromPlatform(&basic, FALSE, 0, "LANMANNT")), "Windows 2000 Server 5.0");
    basic = ver(NT, 4, 0, 0, 0, "");
    EXPECT_EQ(take(OSNameFromPlatform(&basic, FALSE, 0, "WINNT")), "Windows NT Workstation 4.0");
}

TEST(NetInfo, MacTextIsLowerCaseHexPairs)
{
    char out[32];
    const BYTE mac[] = {0x00, 0x1A, 0x2b, 0xC3, 0xff, 0x09};
    FormatMACAddress(mac, 6, out);
    EXPECT_STREQ(out, "00:1a:2b:c3:ff:09");
    FormatMACAddress(mac, 0, out);
    EXPECT_STREQ(out, "");
}

TEST(NetInfo, ListsStayParallelAndSkipUnusableAddresses)
{
    Adapters a;
    a.add({0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {{"192.0.2.10", "255.255.255.0"}, {"198.51.100.7", "255.255.0.0"}});
    a.add({0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb}, {{"0.0.0.0", "0.0.0.0"}});
    /* An 8-byte hardware address is not a MAC text of 17 characters. */
    a.add({1, 2, 3, 4, 5, 6, 7, 8}, {{"203.0.113.5", "255.255.255.128"}});
    Lists l(VQ_ADDRESS_LIST_SIZE);
    EXPECT_TRUE(l.build(a.chain(), VQ_ADDRESS_LIST_SIZE));
    EXPECT_STREQ(l.ip.data(), "192.0.2.10,198.51.100.7,203.0.113.5");
    EXPECT_STREQ(l.mac.data(), "00:11:22:33:44:55,00:11:22:33:44:55");
    EXPECT_STREQ(l.mask.data(), "255.255.255.0,255.255.0.0,255.255.255.128");
}

TEST(NetInfo, OnlyUnsetAddressesGiveEmptyListsAndDashes)
{
    Adapters a;
    a.add({0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {{"0.0.0.0", "0.0.0.0"}});
    Lists l(VQ_ADDRESS_LIST_SIZE);
    EXPECT_TRUE(l.build(a.chain(), VQ_ADDRESS_LIST_SIZE));
    EXPECT_STREQ(l.ip.data(), "");
    EXPECT_STREQ(l.mac.data(), "--");
    EXPECT_STREQ(l.mask.data(), "");
}

TEST(NetInfo, ListsNeverGrowPastTheirBuffers)
{
    /* 12000 addresses of 15 characters need about 190000 bytes per list. */
    Adapters a;
    std::vector<std::string> ips;
    std::vector<std::pair<const char *, const char *>> pairs;
    for (int i = 0; i < 12000; i++)
        ips.push_back("10." + std::to_string(100 + i / 200 % 100) + "." + std::to_string(100 + i % 100) +
                      "." + std::to_string(100 + i / 100 % 2));
    for (const std::string &s : ips)
        pairs.push_back({s.c_str(), "255.255.255.255"});
    a.add({0xde, 0xad, 0xbe, 0xef, 0x00, 0x01}, pairs);
    Lists l(VQ_ADDRESS_LIST_SIZE);
    vqt::ScratchLog log(VQ_LOG_LEVEL_ERROR);
    EXPECT_FALSE(l.build(a.chain(), VQ_ADDRESS_LIST_SIZE));
    EXPECT_TRUE(l.guardsIntact(VQ_ADDRESS_LIST_SIZE));
    EXPECT_LT(strlen(l.ip.data()), (size_t)VQ_ADDRESS_LIST_SIZE);
    EXPECT_LT(strlen(l.mask.data()), (size_t)VQ_ADDRESS_LIST_SIZE);
    size_t n = countItems(l.ip.data());
    EXPECT_GT(n, 100u);
    EXPECT_EQ(countItems(l.mac.data()), n);
    EXPECT_EQ(countItems(l.mask.data()), n);
    EXPECT_TRUE(log.has("[ERROR] GetMACandIPAddress : address lists are full"));

    /* A small buffer holds whole entries only. */
    Lists small(40);
    EXPECT_FALSE(small.build(a.chain(), 40));
    EXPECT_TRUE(small.guardsIntact(40));
    EXPECT_EQ(countItems(small.mac.data()), countItems(small.ip.data()));
    EXPECT_EQ(countItems(small.mac.data()), 2u);   /* 17 + 1 + 17 bytes */
}

TEST(NetInfo, AdaptersOfThisComputer)
{
    char *ip = NULL, *mac = NULL, *mask = NULL;
    vqt::ScratchLog log(VQ_LOG_LEVEL_DEBUG);
    DWORD rc = GetMACandIPAddress(&ip, &mac, &mask);
    ASSERT_NE(ip, nullptr);
    ASSERT_NE(mac, nullptr);
    ASSERT_NE(mask, nullptr);
    if (rc == 0) {
        EXPECT_EQ(countItems(ip), countItems(mask));
        EXPECT_TRUE(strcmp(mac, "--") == 0 ||
                    std::regex_match(mac, std::regex(R"(([0-9a-f]{2}(:[0-9a-f]{2}){5})(,[0-9a-f]{2}(:[0-9a-f]{2}){5})*)")))
            << mac;
        EXPECT_TRUE(log.has("[DEBUG] GetMACandIPAddress : Local Machine IP ADDRESS  : " + std::string(ip) + " \n"));
    } else {
        EXPECT_TRUE(log.has("[ERROR] GetMACandIPAddress : GetAdaptersInfo")) << rc;
    }
    free(ip);
    free(mac);
    free(mask);
}

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
    EXPECT_EQ(take(StripDomainControllerPrefix("\\\\SRV01")), "SRV01");
    EXPECT_EQ(take(StripDomainControllerPrefix("\\\\")), "");
    EXPECT_EQ(take(StripDomainControllerPrefix("\\")), "");
    EXPECT_EQ(take(StripDomainControllerPrefix("")), "");
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

TEST(UnixTime, SecondsSince1970)
{
    SYSTEMTIME epoch = {1970, 1, 4, 1, 0, 0, 0, 0};
    SYSTEMTIME y2k = {2000, 1, 6, 1, 0, 0, 0, 0};
    SYSTEMTIME later = {2026, 12, 1, 7, 18, 13, 32, 45};
    LONGLONG s = -1;
    SystemTimeToUnixSeconds(&epoch, &s);
    EXPECT_EQ(s, 0);
    SystemTimeToUnixSeconds(&y2k, &s);
    EXPECT_EQ(s, 946684800);
    SystemTimeToUnixSeconds(&later, &s);
    EXPECT_EQ(s, 1796667212);   /* milliseconds dropped */

    _tzset();
    vqt::ScratchLog log(VQ_LOG_LEVEL_DEBUG);
    EXPECT_EQ(GetTimeInSeconds(&y2k), (LONG)(946684800 + _timezone));
    EXPECT_TRUE(log.has("[DEBUG] GetTimeInSeconds : retDate :: " + std::to_string(946684800 + _timezone) + "\n"));
}

TEST(UnixTime, CurrentTimes)
{
    _tzset();
    time_t before = time(NULL);
    LONG now = GetCurrentTimeInSeconds();
    time_t after = time(NULL);
    /* Local time seen as UTC, plus the zone's offset west: UTC again
     * (outside daylight time), within an hour either way. */
    EXPECT_GE((long long)now, (long long)before - 3600 - 1);
    EXPECT_LE((long long)now, (long long)after + 3600 + 1);

    wchar_t *ms = GetCurrentTimeInMillisecondsText();
    ASSERT_NE(ms, nullptr);
    long long value = _wtoi64(ms);
    EXPECT_GE(value, (long long)before * 1000);
    EXPECT_LE(value, ((long long)time(NULL) + 1) * 1000);
    free(ms);
}

TEST(ResourceId, ReadFromTheRegistryOrReportedMissing)
{
    vqt::AgentKeyScope scope;
    vqt::ScratchDir dir("rid");
    ASSERT_EQ(vqt::WriteAgentKey(dir.path()), 0);
    char *id = NULL;
    EXPECT_EQ(GetResourceID(&id), 0u);
    EXPECT_EQ(take(id), vqt::kAgentResourceId);

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
