/* Error texts: the system's text, the update error table as fallback, and
 * the lines that report them. */
#include "agent/errortext.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

TEST(ErrorText, MessageUsesSystemTextElseTheTableAndLogsIt)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(log.opened());
    std::string expected = vqt::SystemLineText(ERROR_FILE_NOT_FOUND);
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
    vqt::ScratchLog log;
    ASSERT_TRUE(log.opened());
    std::string expected = vqt::SystemLineText(ERROR_ACCESS_DENIED);
    while (!expected.empty() && expected.back() == ' ')
        expected.pop_back();
    MessageA(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(log.has("[ERROR] Error Code : 5 , Error Message : " + expected + " \n")) << log.plainText();
    MessageA(17021);
    EXPECT_TRUE(log.has("Error Code : 17021 , Error Message : OfficeUpdateError: Creating temp folder. \n"));
}
