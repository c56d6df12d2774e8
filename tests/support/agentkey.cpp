/* The complete agent key for tests: required values of the agent key and
 * its ServerInfo key, a resource identifier and a log level, written with
 * the plain registry functions (not the product's). */
#include "support/agentkey.h"
#include "support/testutil.h"

#include <stdlib.h>

namespace vqt {

const char kAgentKeyPath[] = "Software\\Brennic\\Velquin\\VQAgent";
const char kAgentServerName[] = "vqserver.example.test";
const int kAgentServerPort = 8080;
const char kAgentCustomerId[] = "AcmeCust01";
const char kAgentResourceId[] = "RES-1001";

AgentValue Sz(const std::string &subkey, const std::string &name, const std::string &text)
{
    return AgentValue{subkey, name, REG_SZ, text, 0};
}

AgentValue Dword(const std::string &subkey, const std::string &name, DWORD number)
{
    return AgentValue{subkey, name, REG_DWORD, std::string(), number};
}

AgentValue Missing(const std::string &subkey, const std::string &name)
{
    return AgentValue{subkey, name, 0, std::string(), 0};
}

static std::string pathOf(const std::string &subkey)
{
    return subkey.empty() ? std::string(kAgentKeyPath) : std::string(kAgentKeyPath) + "\\" + subkey;
}

void DeleteAgentKey() { RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKeyPath); }

LONG WriteAgentKey(const std::string &installDir, const std::vector<AgentValue> &changes)
{
    DeleteAgentKey();
    std::string dir = installDir;
    if (dir.empty() || (dir.back() != '\\' && dir.back() != '/'))
        dir += "\\";
    std::vector<AgentValue> values = {
        Sz("", "VQAgentInstallDir", dir),
        Sz("", "VQAgentVersion", "5.2.1"),
        Sz("", "AgentServiceName", "VQAgentService"),
        Sz("", "MSPName", "Example MSP"),
        Sz("", "CustomerName", "Acme Corporation"),
        Sz("", "CustomerId", kAgentCustomerId),
        Sz("", "VQProductCode", "VQEE"),
        Sz("", "EnableDistributionServer", "no"),
        Dword("", "VQAgentLogLevel", 3),
        Sz("ServerInfo", "VQServerName", kAgentServerName),
        Sz("ServerInfo", "VQServerPort", std::to_string(kAgentServerPort)),
        Sz("SystemDetails", "VQAgentResourceID", kAgentResourceId),
    };
    values.insert(values.end(), changes.begin(), changes.end());

    /* Later entries for the same value win: apply in order, deleting for
     * Missing. The key itself exists even when every value is left out. */
    HKEY key;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAgentKeyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                              &key, NULL);
    if (rc != ERROR_SUCCESS)
        return rc;
    RegCloseKey(key);
    for (const AgentValue &v : values) {
        std::string path = pathOf(v.subkey);
        if (v.type == REG_SZ) {
            rc = RegSetSz(HKEY_LOCAL_MACHINE, path, v.name.c_str(), v.text);
        } else if (v.type == REG_DWORD) {
            rc = RegSetDword(HKEY_LOCAL_MACHINE, path, v.name.c_str(), v.number);
        } else {
            HKEY k;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
                RegDeleteValueA(k, v.name.c_str());
                RegCloseKey(k);
            }
            rc = ERROR_SUCCESS;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

bool ReadAgentSz(const std::string &subkey, const char *name, std::string *text)
{
    char buf[1024];
    DWORD size = sizeof(buf) - 1, type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, pathOf(subkey).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(key, name, NULL, &type, (BYTE *)buf, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buf[size] = '\0';
    *text = buf;
    return true;
}

LONG WriteAgentSz(const std::string &subkey, const char *name, const std::string &text)
{
    return RegSetSz(HKEY_LOCAL_MACHINE, pathOf(subkey), name, text);
}

} // namespace vqt
