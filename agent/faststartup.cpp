/* Turning fast startup off (see faststartup.h). Fast startup needs
 * hibernation, so with hibernation off there is nothing to turn off. */
#include "agent/faststartup.h"
#include "agent/log.h"
#include "agent/registry.h"

void DisableFastStartup(void)
{
    DWORD hibernate = 0;
    ReadDwordRegistryData(HKEY_LOCAL_MACHINE, VQ_POWER_KEY, "HibernateEnabled", &hibernate);
    if (hibernate == 0)
        return;
    /* writeValueEx writes the 64-bit view under WOW64, where Windows reads
     * the setting; the registry operations log their own failures. */
    if (writeValueEx(HKEY_LOCAL_MACHINE, VQ_SESSION_POWER_KEY, "HiberbootEnabled", "0", REG_DWORD) == 0)
        LogInfo("!!! Fast Startup has been disabled\n");
    /* The agent records its attempt even when the write failed. */
    writeValue(HKEY_LOCAL_MACHINE, VQ_AGENT_SETTINGS_KEY, "vqDisabledFastStartup", "1", REG_DWORD);
}
