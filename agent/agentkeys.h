/* The names of the agent's registry keys under HKEY_LOCAL_MACHINE (32-bit
 * view), in one header of their own so that the modules that read a single
 * value there (the resource identifier, the log start) need not include the
 * agent parameters, which include them. */
#ifndef VQ_AGENT_AGENTKEYS_H
#define VQ_AGENT_AGENTKEYS_H

#define VQ_AGENT_KEY           "Software\\Brennic\\Velquin\\VQAgent"
#define VQ_SERVERINFO_KEY      "Software\\Brennic\\Velquin\\VQAgent\\ServerInfo"
#define VQ_SYSTEMDETAILS_KEY   "Software\\Brennic\\Velquin\\VQAgent\\SystemDetails"
#define VQ_SETTINGS_KEY        "Software\\Brennic\\Velquin\\VQAgent\\Settings"

#endif
