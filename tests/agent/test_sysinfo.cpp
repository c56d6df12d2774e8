/* System information: the version family table and the OS names from
 * product types and platforms. */
#include "agent/sysinfo.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string.h>

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

    std::string name = vqt::TakeText(GetOSName());
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
        EXPECT_EQ(vqt::TakeText(OSNameFromProductInfo(c.major, c.minor, c.type, c.arch, c.product, c.reg)), c.name);

    vqt::ScratchLog log(VQ_LOG_LEVEL_ERROR);
    EXPECT_EQ(vqt::TakeText(OSNameFromProductInfo(6, 1, VER_NT_WORKSTATION, 0, 0xabcd, NULL)), "Windows 7 Beta");
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
        EXPECT_EQ(vqt::TakeText(OSNameFromPlatform(&c.v, TRUE, c.arch, NULL)), c.name);

    OSVERSIONINFOEXA basic = ver(NT, 5, 0, 0, 0, "");
    EXPECT_EQ(vqt::TakeText(OSNameFromPlatform(&basic, FALSE, 0, "LANMANNT")), "Windows 2000 Server 5.0");
    basic = ver(NT, 4, 0, 0, 0, "");
    EXPECT_EQ(vqt::TakeText(OSNameFromPlatform(&basic, FALSE, 0, "WINNT")), "Windows NT Workstation 4.0");
}
