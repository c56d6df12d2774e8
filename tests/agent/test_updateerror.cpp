/* The update error table: the installers' own codes and their texts, the
 * text for an unknown code, and that every text is the caller's to free. */
#include "agent/updateerror.h"

#include <gtest/gtest.h>
#include <stdlib.h>

TEST(UpdateError, TableTextsAndUnknownCodes)
{
    struct { DWORD code; const char *text; } cases[] = {
        {1508, "The requested operation is successful. Changes will not be effective until the browser is rebooted."},
        {10002, "vq.db.agent.config.run_as_admin.credentials_not_available"},
        {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
        {17303, "OfficeUpdateError: Extracting file."},
        {20001, "Patch update delayed since application is used by another process"},
        {0x00240007, "Patch already Uninstalled and the changes will not be effective until the system is rebooted."},
        {17022, "Unknown Error. Code : 17022"},
        {0, "Unknown Error. Code : 0"},
    };
    for (const auto &c : cases) {
        char *text = OfficeUpdateError(c.code);
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ(c.text, text) << c.code;
        free(text);
    }
}

TEST(UpdateError, EveryResultIsAFreshHeapText)
{
    /* A caller that frees or edits its text must not touch the table. */
    char *first = OfficeUpdateError(17025);
    char *second = OfficeUpdateError(17025);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(first, second);
    first[0] = 'X';
    free(first);
    char *third = OfficeUpdateError(17025);
    EXPECT_STREQ("OfficeUpdateError: Patch already installed.", second);
    EXPECT_STREQ("OfficeUpdateError: Patch already installed.", third);
    free(second);
    free(third);
}
