/* The WinHTTP error texts: the table's coverage of the codes, lines that
 * share a text, and the system's message for every other code. */
#include "net/httperrortext.h"
#include "support/scratchlog.h"

#include <gtest/gtest.h>
#include <string>

TEST(HttpErrorText, TableCoversTheSeventyFourCodes)
{
    int described = 0;
    for (DWORD code = 12000; code <= 12200; code++) {
        const char *line = HttpErrorText(code);
        if (!line)
            continue;
        described++;
        std::string text = line;
        EXPECT_EQ(text.rfind("HttpGetLastError: ", 0), 0u) << code;
    }
    EXPECT_EQ(described, 74);
    /* Codes around the table's gaps have no line of their own. */
    for (DWORD code : {12000u, 12047u, 12056u, 12099u, 12104u, 12149u, 12160u, 12185u})
        EXPECT_EQ(HttpErrorText(code), nullptr) << code;
}

TEST(HttpErrorText, LogsTheLineOfTheCodeOrTheSystemMessage)
{
    vqt::ScratchLog log;
    ASSERT_TRUE(log.opened());
    HttpGetLastError(12002);
    HttpGetLastError(12032);
    HttpGetLastError(12184);
    HttpGetLastError(ERROR_ACCESS_DENIED);
    std::vector<std::string> errors = log.messages("ERROR");
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0], "HttpGetLastError: The request has timed out.");
    EXPECT_EQ(errors[1], "HttpGetLastError: The WinHTTP function failed. The desired function can "
                         "be retried on the same request handle ");
    EXPECT_EQ(errors[1], errors[2]);
    EXPECT_EQ(errors[3].rfind("Error Code : 5 , Error Message : ", 0), 0u) << errors[3];
}
