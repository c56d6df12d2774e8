/* The installers' own exit codes in words. Every result is a new heap text,
 * known code or not, so that a caller can always free what it got. */
#include "agent/updateerror.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct UpdateErrorEntry {
    DWORD code;
    const char *text;
};

static const UpdateErrorEntry s_updateErrors[] = {
    {1508, "The requested operation is successful. Changes will not be effective until the browser is rebooted."},
    {10001, "vq.db.agent.config.script.powerscript_notfound"},
    {10002, "vq.db.agent.config.run_as_admin.credentials_not_available"},
    {10003, "vq.db.agent.config.returned_zero_failure"},
    {17021, "OfficeUpdateError: Creating temp folder."},
    {17023, "OfficeUpdateError: User cancelled installation."},
    {17024, "OfficeUpdateError: Creating folder failed."},
    {17025, "OfficeUpdateError: Patch already installed."},
    {17026, "OfficeUpdateError: Patch already installed to admin installation."},
    {17027, "OfficeUpdateError: Installation source requires full file update."},
    {17028, "OfficeUpdateError: No product installed for contained patch."},
    {17029, "OfficeUpdateError: Patch failed to install."},
    {17030, "OfficeUpdateError: Invalid CIF format."},
    {17031, "OfficeUpdateError: Invalid baseline."},
    {17034, "OfficeUpdateError: Required patch does not apply to the machine."},
    {17038, "OfficeUpdateError: You do not have sufficient privileges to complete this installation for all users of the machine. Log on as administrator and then retry this installation."},
    {17044, "OfficeUpdateError: Installer was unable to run detection for this package."},
    {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
    {17301, "OfficeUpdateError: General Detection error"},
    {17302, "OfficeUpdateError: Applying patch."},
    {17303, "OfficeUpdateError: Extracting file."},
    {20001, "Patch update delayed since application is used by another process"},
    {0x00240006, "Patch already Installed and the changes will not be effective until the system is rebooted."},
    {0x00240007, "Patch already Uninstalled and the changes will not be effective until the system is rebooted."},
};

char *OfficeUpdateError(DWORD code)
{
    for (size_t i = 0; i < sizeof(s_updateErrors) / sizeof(s_updateErrors[0]); i++) {
        if (s_updateErrors[i].code == code) {
            size_t n = strlen(s_updateErrors[i].text) + 1;
            char *text = (char *)malloc(n);
            if (text)
                memcpy(text, s_updateErrors[i].text, n);
            return text;
        }
    }
    char *text = (char *)calloc(VQ_UPDATE_ERROR_TEXT_SIZE, 1);
    if (text)
        snprintf(text, VQ_UPDATE_ERROR_TEXT_SIZE, "Unknown Error. Code : %d", (int)code);
    return text;
}
