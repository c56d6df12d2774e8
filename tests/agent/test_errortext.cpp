/* Error texts: the system's text, the update error table as fallback, the
 * lines that report them, and that every text is the caller's to free. */
#include "agent/errortext.h"
#include "agent/updateerror.h"
#include "util_logcapture.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

/* The system's own one-line text for a code, as the tests expect to see it. */
static std::string systemText(DWORD code)
{
    wchar_t *w = NULL;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                   NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPWSTR)&w, 0, NULL);
    std::string s;
    for (const wchar_t *p = w; p && *p; p++)
        s += (char)*p;   /* the system texts used here are ASCII */
    if (w)
        LocalFree(w);
    return s;
}

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

TEST(ErrorText, MessageUsesSystemTextElseTheTableAndLogsIt)
{
    LogCapture log;
    ASSERT_TRUE(log.opened());
    std::string expected = systemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(expected.empty());
    char *text = Message(ERROR_FILE_NOT_FOUND);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(expected, text);
    EXPECT_EQ(std::string::npos, std::string(text).find('\n'));
    EXPECT_TRUE(log.has("[ERROR] Error Code : 2 , Error Message : " + expected + " \n"));
    free(text);

    text = Message(17022);
    EXPECT_STREQ("Unknown Error. Code : 17022", text);
    free(text);
    EXPECT_TRUE(log.has("[ERROR] Error Code : 17022 , Error Message : Unknown Error. Code : 17022 \n"));

    text = Message(0);
    ASSERT_NE(nullptr, text);
    EXPECT_TRUE(log.has(std::string("[INFO] Message : ") + text + " \n"));
    free(text);

    LogErrorMessage(17029);
    EXPECT_TRUE(log.has("Error Code : 17029 , Error Message : OfficeUpdateError: Patch failed to install. \n"));
}

TEST(ErrorText, NarrowFormTrimsTheText)
{
    LogCapture log;
    ASSERT_TRUE(log.opened());
    std::string expected = systemText(ERROR_ACCESS_DENIED);
    while (!expected.empty() && expected.back() == ' ')
        expected.pop_back();
    MessageA(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(log.has("[ERROR] Error Code : 5 , Error Message : " + expected + " \n")) << log.text();
    MessageA(17021);
    EXPECT_TRUE(log.has("Error Code : 17021 , Error Message : OfficeUpdateError: Creating temp folder. \n"));
}

TEST(ErrorText, LastErrorLineUsesTheThreadsLastError)
{
    LogCapture log;
    ASSERT_TRUE(log.opened());
    SetLastError(17031);
    LogLastErrorMessage();
    EXPECT_TRUE(log.has("[ERROR]  Error Message: OfficeUpdateError: Invalid baseline.\n"));
    SetLastError(ERROR_FILE_NOT_FOUND);
    LogLastErrorMessage();
    /* Line breaks of the system text are kept here. */
    std::string first = systemText(ERROR_FILE_NOT_FOUND);
    while (!first.empty() && first.back() == ' ')
        first.pop_back();
    EXPECT_TRUE(log.has("[ERROR]  Error Message: " + first + "\r\n\n")) << log.text();
}
