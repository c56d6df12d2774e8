/* A log writer opened on a scratch file at the most detailed level, so that
 * a test can read back the exact lines an operation wrote. Tests only. */
#ifndef VQ_TESTS_DRIVER_SCRATCHLOG_H
#define VQ_TESTS_DRIVER_SCRATCHLOG_H

#include "agent/log.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

class ScratchLog {
public:
    ScratchLog() : dir_("log")
    {
        CloseLogFile();
        FreeLogSettings();
        EXPECT_TRUE(SetLogDefaults());
        EXPECT_TRUE(SetLogParams("driver.log", dir_.path().c_str(), VQ_LOG_LEVEL_TRACE));
        EXPECT_TRUE(OpenLogFileAppend());
        path_ = dir_.path() + "\\driver.log";
    }
    ~ScratchLog() { close(); }
    void close()
    {
        CloseLogFile();
        FreeLogSettings();
    }

    /* The messages of the lines written so far, each as "LEVEL message"
     * without the time stamp and thread prefix, the open line left out. */
    std::vector<std::string> messages()
    {
        fflush(NULL);
        std::vector<std::string> out;
        for (const std::string &line : vqt::SplitLines(vqt::ReadWholeFile(path_))) {
            size_t at = line.find("] [", line.find("] [") + 1);
            if (at == std::string::npos)
                continue;
            std::string rest = line.substr(at + 3);
            size_t end = rest.find("] ");
            if (end == std::string::npos)
                continue;
            std::string msg = rest.substr(0, end) + " " + rest.substr(end + 2);
            if (msg.rfind("INFO Log open time: ", 0) == 0 ||
                msg.rfind("INFO Log close time: ", 0) == 0)
                continue;
            out.push_back(msg);
        }
        return out;
    }

    /* The messages of one level only. */
    std::vector<std::string> messages(const std::string &level)
    {
        std::vector<std::string> out;
        for (const std::string &m : messages())
            if (m.compare(0, level.size() + 1, level + " ") == 0)
                out.push_back(m.substr(level.size() + 1));
        return out;
    }

private:
    vqt::ScratchDir dir_;
    std::string path_;
};

#endif
