/* Turning fast startup off against Wine's registry: nothing is written while
 * hibernation is off; with it on, "HiberbootEnabled" becomes 0 in the 64-bit
 * view and the agent records "vqDisabledFastStartup" = 1. The values touched
 * are put back and the agent key is deleted at the end. */
#include "agent/faststartup.h"
#include "agent/registry.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

const char *kAgentKey = "Software\\Brennic\\Velquin\\VQAgent";

/* A DWORD value as it was before the test; restores it (or its absence). */
class SavedDword {
public:
    SavedDword(const char *key, const char *name, REGSAM view) : key_(key), name_(name), view_(view)
    {
        had_ = read(&value_);
    }
    ~SavedDword()
    {
        if (had_) {
            vqt::RegSetDword(HKEY_LOCAL_MACHINE, key_, name_, value_, view_);
        } else {
            HKEY k;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_, 0, KEY_SET_VALUE | view_, &k) == ERROR_SUCCESS) {
                RegDeleteValueA(k, name_);
                RegCloseKey(k);
            }
        }
    }
    bool read(DWORD *out) const
    {
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_, 0, KEY_QUERY_VALUE | view_, &k) != ERROR_SUCCESS)
            return false;
        DWORD size = sizeof(*out), type = 0;
        LONG rc = RegQueryValueExA(k, name_, NULL, &type, (BYTE *)out, &size);
        RegCloseKey(k);
        return rc == ERROR_SUCCESS && type == REG_DWORD;
    }
    void remove() const
    {
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_, 0, KEY_SET_VALUE | view_, &k) == ERROR_SUCCESS) {
            RegDeleteValueA(k, name_);
            RegCloseKey(k);
        }
    }
private:
    const char *key_;
    const char *name_;
    REGSAM view_;
    bool had_ = false;
    DWORD value_ = 0;
};

class FastStartup : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedWow64_ = gv_isWow64Process;
        vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKey);
    }
    void TearDown() override
    {
        gv_isWow64Process = savedWow64_;
        vqt::RegDeleteTreeA2(HKEY_LOCAL_MACHINE, kAgentKey);
        EXPECT_FALSE(vqt::RegKeyExists(HKEY_LOCAL_MACHINE, kAgentKey));
    }
    SavedDword hibernate_{VQ_POWER_KEY, "HibernateEnabled", 0};
    SavedDword hiberboot_{VQ_SESSION_POWER_KEY, "HiberbootEnabled", KEY_WOW64_64KEY};
    BOOL savedWow64_ = FALSE;
};

} // namespace

TEST_F(FastStartup, HibernationOffWritesNothing)
{
    hiberboot_.remove();
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, VQ_POWER_KEY, "HibernateEnabled", 0), 0);
    DisableFastStartup();
    DWORD v = 0;
    EXPECT_FALSE(hiberboot_.read(&v));
    EXPECT_FALSE(vqt::RegKeyExists(HKEY_LOCAL_MACHINE, VQ_AGENT_SETTINGS_KEY));

    /* A missing value means off as well. */
    hibernate_.remove();
    DisableFastStartup();
    EXPECT_FALSE(hiberboot_.read(&v));
    EXPECT_FALSE(vqt::RegKeyExists(HKEY_LOCAL_MACHINE, VQ_AGENT_SETTINGS_KEY));
}

TEST_F(FastStartup, HibernationOnTurnsFastStartupOffAndRecordsIt)
{
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    gv_isWow64Process = wow64;
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, VQ_SESSION_POWER_KEY, "HiberbootEnabled", 1, KEY_WOW64_64KEY),
              0);
    ASSERT_EQ(vqt::RegSetDword(HKEY_LOCAL_MACHINE, VQ_POWER_KEY, "HibernateEnabled", 1), 0);
    DisableFastStartup();
    DWORD v = 99;
    EXPECT_TRUE(hiberboot_.read(&v));
    EXPECT_EQ(v, 0u);
    /* The agent's record lives in the agent key of the program's own view. */
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, VQ_AGENT_SETTINGS_KEY, 0, KEY_QUERY_VALUE, &k), 0);
    DWORD size = sizeof(v), type = 0;
    EXPECT_EQ(RegQueryValueExA(k, "vqDisabledFastStartup", NULL, &type, (BYTE *)&v, &size), 0);
    RegCloseKey(k);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(v, 1u);
}
