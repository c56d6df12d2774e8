/* Windows version family and OS name. The version numbers are the ones
 * GetVersionExA reports to this process (no compatibility manifest, so 8.1
 * and 10 report 6.2); GetNativeSystemInfo and GetProductInfo are looked up
 * at run time because the oldest supported systems lack them. */
#include "agent/sysinfo.h"
#include "agent/textformat.h"
#include "agent/log.h"
#include "agent/registry.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef PROCESSOR_ARCHITECTURE_AMD64
#define PROCESSOR_ARCHITECTURE_AMD64 9
#endif


/* GetVersionExA reports a compatibility version on newer systems; the
 * deprecation warning is about exactly that, which is what callers want. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
static BOOL readVersion(OSVERSIONINFOEXA *osvi, BOOL *extended)
{
    memset(osvi, 0, sizeof(*osvi));
    osvi->dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (GetVersionExA((OSVERSIONINFOA *)osvi)) {
        *extended = TRUE;
        return TRUE;
    }
    memset(osvi, 0, sizeof(*osvi));
    osvi->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    *extended = FALSE;
    return GetVersionExA((OSVERSIONINFOA *)osvi) != 0;
}
#pragma GCC diagnostic pop

int OsFamilyFromVersion(DWORD platformId, DWORD major, DWORD minor)
{
    if (platformId != VER_PLATFORM_WIN32_NT || major <= 4)
        return VQ_OS_UNKNOWN;
    if (major == 5)
        return minor == 0 ? VQ_OS_WIN2000 : VQ_OS_WINXP;
    if (major == 6) {
        switch (minor) {
        case 0: return VQ_OS_VISTA;
        case 1: return VQ_OS_WIN7;
        case 2: return VQ_OS_WIN8;
        case 3: return VQ_OS_WIN81;
        default: return VQ_OS_OTHER_NT;
        }
    }
    if (major == 10)
        return minor == 0 ? VQ_OS_WIN10 : VQ_OS_OTHER_NT;
    return VQ_OS_OTHER_NT;
}

int GetOsFamily(void)
{
    OSVERSIONINFOEXA osvi;
    memset(&osvi, 0, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA((OSVERSIONINFOA *)&osvi);
#pragma GCC diagnostic pop
    if (!ok) {
        LogError("GetOsFamily : Unable to find the OSVersion , Errorcode %d \n", (int)GetLastError());
        return 1;
    }
    int family = OsFamilyFromVersion(osvi.dwPlatformId, osvi.dwMajorVersion, osvi.dwMinorVersion);
    if (family == VQ_OS_UNKNOWN)
        LogError("GetOsFamily :The windows is unable to found . \n");
    return family;
}

int isWin7orWin8(void)
{
    char *name = GetOSName();
    LogDebug("isWin7orWin8 : GetOSName %s\n", name ? name : "(null)");
    free(name);
    int family = GetOsFamily();
    if (family == VQ_OS_WIN7 || family == VQ_OS_WIN8) {
        LogDebug("isWin7orWin8 : TRUE\n");
        return 1;
    }
    LogDebug("isWin7orWin8 : FALSE\n");
    return 0;
}

/* Edition texts of GetProductInfo's product types. NULL marks the types
 * without an edition (core editions of 8, 8.1 and 10), "" the unknown. */
static const char *editionText(DWORD product)
{
    switch (product) {
    case 1: case 28: return "Ultimate Edition";
    case 3: case 26: return "Home Premium Edition";
    case 2: case 5: return "Home Basic Edition";
    case 4: case 27: case 10: return "Enterprise Edition";
    case 125: return "Enterprise 2015 LTSB";
    case 129: return "Enterprise 2015 LTSB Evaluation";
    case 126: return "Enterprise 2015 LTSB N";
    case 130: return "Enterprise 2015 LTSB N Evaluation";
    case 121: return "Education";
    case 122: return "Education N";
    case 101: return "Home";
    case 123: return "IoT Core";
    case 131: return "IoT Core Commercial";
    case 48: case 49: case 69: return "Professional Edition";
    case 11: case 47: case 66: return "Starter";
    case 6: case 16: return "Business Edition";
    case 33: return "Foundation Edition";
    case 8: return "Datacenter Edition";
    case 12: return "Datacenter Edition (core installation)";
    case 37: return "Datacenter Edition without Hyper-V";
    case 39: return "Datacenter Edition without Hyper-V (core installation)";
    case 13: return "Enterprise Edition (core installation)";
    case 38: return "Enterprise Edition without Hyper-V";
    case 41: return "Enterprise Edition without Hyper-V (core installation)";
    case 9: return "Small Business Server";
    case 25: return "Small Business Server Premium Edition";
    case 7: return "Standard Edition";
    case 14: return "Standard Edition (core installation)";
    case 36: return "Standard Edition without Hyper-V";
    case 40: return "Standard Edition without Hyper-V (core installation)";
    case 23: return "Storage Server Enterprise Edition";
    case 22: return "Storage Server Workgroup Edition";
    case 21: return "Storage Server Standard Edition";
    case 20: return "Storage Server Express Edition";
    case 17: case 29: return "Web Server Edition";
    case 65: return "Embedded Standard Edition";
    case 79: return "Server Standard (evaluation installation) Edition";
    case 103: return "Professional with Media Center Edition";
    case 50: return "Essentials Edition";
    case 98: case 99: case 100: return NULL;
    default: return "";
    }
}

char *OSNameFromProductInfo(DWORD major, DWORD minor, BYTE productType, WORD architecture,
                            DWORD productInfo, const char *registryProductName)
{
    BOOL x64 = architecture == PROCESSOR_ARCHITECTURE_AMD64;
    BOOL workstation = productType == VER_NT_WORKSTATION;
    const char *edition = editionText(productInfo);
    if (!edition) {
        const char *core = NULL;
        if (workstation && major == 6 && minor == 2)
            core = "Windows 8";
        else if (workstation && major == 6 && minor == 3)
            core = "Windows 8.1";
        else if (workstation && major == 10 && minor == 0)
            core = "Windows 10";
        if (core) {
            char *name = FormatNewText("%s%s", core, x64 ? " (x64)" : "");
            LogDebug("Returning with OS Name %s\n", name ? name : "(null)");
            return name;
        }
        edition = "";
    } else if (!*edition) {
        LogInfo("dwMajorVersion : %d\n", (int)major);
        LogInfo("dwMinorVersion : %d\n", (int)minor);
        LogInfo("dwPlatformInfo : %d\n", (int)productInfo);
        LogError("Edition can't be retrieved. So Assuming it as Beta\n");
        edition = "Beta";
    }

    if (registryProductName && strstr(registryProductName, "Preview")) {
        LogInfo("OS Name detected from registry is : %s\n", registryProductName);
        return FormatNewText("%s", registryProductName);
    }

    const char *family = NULL;
    BOOL serverX64Only = FALSE;
    if (major == 6 && minor == 0)
        family = workstation ? "Windows Vista" : "Windows Server 2008";
    else if (major == 6 && minor == 1)
        family = workstation ? "Windows 7" : "Windows Server 2008 R2";
    else if (major == 6 && minor == 2)
        family = workstation ? "Windows 8" : (serverX64Only = TRUE, "Windows Server 2012");
    else if (major == 6 && minor == 3)
        family = workstation ? "Windows 8.1" : (serverX64Only = TRUE, "Windows Server 2012 R2");
    else if (major == 10 && minor == 0)
        family = workstation ? "Windows 10" : (serverX64Only = TRUE, "Windows Server 2016");
    if (!family)
        return FormatNewText("Windows %d.%d %s", (int)major, (int)minor, edition);
    /* Server 2012 and later exist only for 64-bit processors. */
    return FormatNewText("%s %s%s", family, edition, (x64 || serverX64Only) ? " (x64)" : "");
}

static const char *suiteSuffix(const OSVERSIONINFOEXA *osvi, WORD architecture)
{
    DWORD major = osvi->dwMajorVersion, minor = osvi->dwMinorVersion;
    WORD suite = osvi->wSuiteMask;
    BOOL x64 = architecture == PROCESSOR_ARCHITECTURE_AMD64;
    if (osvi->wProductType == VER_NT_WORKSTATION) {
        if (major == 5 && minor == 2 && x64)
            return "Professional x64 Edition";
        if (major == 4)
            return "Workstation 4.0";
        if (suite & VER_SUITE_PERSONAL)
            return "Home Edition ";
        return "Professional";
    }
    if (major == 5 && minor == 2) {
        if (x64) {
            if (suite & VER_SUITE_DATACENTER)
                return ", Datacenter x64 Edition";
            if (suite & VER_SUITE_ENTERPRISE)
                return ", Enterprise x64 Edition";
            return ", Standard x64 Edition";
        }
        if (suite & VER_SUITE_DATACENTER)
            return ", Datacenter Edition";
        if (suite & VER_SUITE_ENTERPRISE)
            return ", Enterprise Edition";
        if (suite & VER_SUITE_BLADE)
            return ", Web Edition";
        if (suite & VER_SUITE_SMALLBUSINESS_RESTRICTED)
            return " for Small Business Server";
        return ", Standard Edition";
    }
    if (major == 5 && minor == 0) {
        if (suite & VER_SUITE_DATACENTER)
            return "Datacenter Server";
        if (suite & VER_SUITE_ENTERPRISE)
            return "Advanced Server";
        return "Server";
    }
    if (suite & VER_SUITE_TERMINAL)
        return "Server 4.0, Terminal Server Edition";
    return "Server 4.0";
}

char *OSNameFromPlatform(const OSVERSIONINFOEXA *osvi, BOOL extended, WORD architecture,
                         const char *productOptions)
{
    DWORD major = osvi->dwMajorVersion, minor = osvi->dwMinorVersion;
    if (osvi->dwPlatformId == VER_PLATFORM_WIN32s)
        return FormatNewText("Win32s");
    if (osvi->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (major == 4 && minor == 0)
            return FormatNewText("Windows 95");
        if (major == 4 && minor == 10)
            return FormatNewText(osvi->szCSDVersion[0] == 'A' ? "Windows 98 SE" : "Windows 98");
        if (major == 4 && minor == 90)
            return FormatNewText("Windows Millennium Edition");
        return FormatNewText("UnSupported");
    }
    if (osvi->dwPlatformId != VER_PLATFORM_WIN32_NT)
        return FormatNewText("UnSupported");

    const char *base;
    if (major < 5)
        base = "Windows NT ";
    else if (major == 5 && minor == 0)
        base = "Windows 2000 ";
    else if (major == 5 && minor == 1)
        base = "Windows XP ";
    else if (major == 5 && minor == 2)
        base = (extended && osvi->wProductType == VER_NT_WORKSTATION &&
                architecture == PROCESSOR_ARCHITECTURE_AMD64) ? "Windows XP " : "Windows Server 2003";
    else
        base = "Windows NT ";

    if (extended)
        return FormatNewText("%s%s", base, suiteSuffix(osvi, architecture));

    const char *kind = "";
    if (productOptions) {
        if (!lstrcmpiA(productOptions, "WINNT"))
            kind = "Workstation";
        else if (!lstrcmpiA(productOptions, "LANMANNT"))
            kind = "Server";
        else if (!lstrcmpiA(productOptions, "SERVERNT"))
            kind = "Advanced Server";
    }
    return FormatNewText("%s%s %d.%d", base, kind, (int)major, (int)minor);
}

char *GetOSNameEx(DWORD major, DWORD minor)
{
    SYSTEM_INFO si;
    memset(&si, 0, sizeof(si));
    typedef void(WINAPI * NativeInfoFn)(LPSYSTEM_INFO);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    NativeInfoFn nativeInfo =
        kernel ? (NativeInfoFn)(void *)GetProcAddress(kernel, "GetNativeSystemInfo") : NULL;
    if (nativeInfo)
        nativeInfo(&si);
    else
        GetSystemInfo(&si);

    OSVERSIONINFOEXA osvi;
    BOOL extended = FALSE;
    if (!readVersion(&osvi, &extended))
        return NULL;

    typedef BOOL(WINAPI * ProductInfoFn)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    ProductInfoFn productInfo =
        kernel ? (ProductInfoFn)(void *)GetProcAddress(kernel, "GetProductInfo") : NULL;
    DWORD product = 0;
    if (productInfo && productInfo(osvi.dwMajorVersion, osvi.dwMinorVersion,
                                   osvi.wServicePackMajor, osvi.wServicePackMinor, &product)) {
        LogDebug("GetOSNameEx : dwMinorVersion : %d\n", (int)minor);
        LogDebug("GetOSNameEx : dwMajorVersion : %d\n", (int)major);
        LogDebug("osvi.dwMajorVersion : %d\n", (int)osvi.dwMajorVersion);
        LogDebug("osvi.dwMinorVersion : %d\n", (int)osvi.dwMinorVersion);
        LogDebug("osvi.wServicePackMajor : %d\n", (int)osvi.wServicePackMajor);
        LogDebug("osvi.wServicePackMinor : %d\n", (int)osvi.wServicePackMinor);
        LogDebug("dwPlatformInfo : %d\n", (int)product);
        LogDebug("si.wProcessorArchitecture : %d\n", (int)si.wProcessorArchitecture);
        if (major == 0 && minor == 0) {
            major = osvi.dwMajorVersion;
            minor = osvi.dwMinorVersion;
        }
        char *productName = NULL;
        ReadRegSZ(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                  "ProductName", &productName);
        char *name = OSNameFromProductInfo(major, minor, osvi.wProductType,
                                           si.wProcessorArchitecture, product, productName);
        free(productName);
        return name;
    }

    char *productOptions = NULL;
    if (!extended)
        ReadRegSZ(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                  "ProductType", &productOptions);
    char *name = OSNameFromPlatform(&osvi, extended, si.wProcessorArchitecture, productOptions);
    free(productOptions);
    return name;
}

char *GetOSName(void) { return GetOSNameEx(0, 0); }
