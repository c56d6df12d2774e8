/* The ERROR line for the thread's last error: the system's text with its
 * line breaks, else the update error table's. */
#include "agent/lasterror.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string>

TEST(ErrorText, LastErrorLineUsesTheThreadsLastError)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(log.opened());
    SetLastError(17031);
    LogLastErrorMessage();
    EXPECT_TRUE(log.has("[ERROR]  Error Message: OfficeUpdateError: Invalid baseline.\n"));
    SetLastError(ERROR_FILE_NOT_FOUND);
    LogLastErrorMessage();
    /* Line breaks of the system text are kept here. */
    std::string first = vqt::SystemLineText(ERROR_FILE_NOT_FOUND);
    while (!first.empty() && first.back() == ' ')
        first.pop_back();
    EXPECT_TRUE(log.has("[ERROR]  Error Message: " + first + "\r\n\n")) << log.plainText();
}
