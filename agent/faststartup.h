/* Turning Windows fast startup off when Office applications are left
 * running, and recording that the agent did so. */
#ifndef VQ_AGENT_FASTSTARTUP_H
#define VQ_AGENT_FASTSTARTUP_H

#define VQ_POWER_KEY "System\\CurrentControlSet\\Control\\Power"
#define VQ_SESSION_POWER_KEY "System\\CurrentControlSet\\Control\\Session Manager\\Power"
#define VQ_AGENT_SETTINGS_KEY "Software\\Brennic\\Velquin\\VQAgent\\Settings"

/* When hibernation is on, writes "HiberbootEnabled" = 0 (the 64-bit view
 * under WOW64) and then "vqDisabledFastStartup" = 1 under the agent's
 * Settings key. With hibernation off or unknown nothing is written. */
void DisableFastStartup(void);

#endif
