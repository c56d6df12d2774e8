/* Test helper: a complete, valid agent registry key (every value that the
 * agent parameters require) with per-test changes, and its removal. The
 * key is shared by the test programs, which run one after another: a test
 * that writes it deletes it again (AgentKeyScope does so). Tests only. */
#ifndef VQ_TESTS_SUPPORT_AGENTKEY_H
#define VQ_TESTS_SUPPORT_AGENTKEY_H

#include <windows.h>
#include <string>
#include <vector>

namespace vqt {

extern const char kAgentKeyPath[];        /* Software\Brennic\Velquin\VQAgent */

/* One change to the complete key. `subkey` is "" for the agent key itself,
 * or "ServerInfo", "SystemDetails", "Settings". */
struct AgentValue {
    std::string subkey;
    std::string name;
    DWORD type;          /* REG_SZ, REG_DWORD, or 0 to leave the value out */
    std::string text;    /* REG_SZ text */
    DWORD number;        /* REG_DWORD value */
};

AgentValue Sz(const std::string &subkey, const std::string &name, const std::string &text);
AgentValue Dword(const std::string &subkey, const std::string &name, DWORD number);
AgentValue Missing(const std::string &subkey, const std::string &name);

/* Values of the complete key (before changes). */
extern const char kAgentServerName[];     /* ServerInfo VQServerName */
extern const int kAgentServerPort;        /* ServerInfo VQServerPort */
extern const char kAgentCustomerId[];     /* mixed case */
extern const char kAgentResourceId[];     /* SystemDetails VQAgentResourceID */

/* Deletes any earlier agent key, then writes the complete key with
 * `installDir` (a trailing '\\' is added when missing) as
 * "VQAgentInstallDir", with the changes applied in order. 0 or the first
 * registry error. */
LONG WriteAgentKey(const std::string &installDir, const std::vector<AgentValue> &changes = {});

/* Removes the agent key with everything under it. */
void DeleteAgentKey();

/* Reads a REG_SZ of the agent key or one of its subkeys; false when absent. */
bool ReadAgentSz(const std::string &subkey, const char *name, std::string *text);

/* Writes a REG_SZ of the agent key or one of its subkeys; 0 or the
 * registry error. */
LONG WriteAgentSz(const std::string &subkey, const char *name, const std::string &text);

/* Deletes the agent key when constructed and again when it goes. */
class AgentKeyScope {
public:
    AgentKeyScope() { DeleteAgentKey(); }
    ~AgentKeyScope() { DeleteAgentKey(); }
    AgentKeyScope(const AgentKeyScope &) = delete;
    AgentKeyScope &operator=(const AgentKeyScope &) = delete;
};

} // namespace vqt

#endif
