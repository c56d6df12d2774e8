/* Test helper: the process-wide log writer opened on a scratch file at a
 * chosen level, closed and reset when the object goes. */
#ifndef VQ_TESTS_AGENT_UTIL_LOGCAPTURE_H
#define VQ_TESTS_AGENT_UTIL_LOGCAPTURE_H

#include "agent/log.h"
#include "support/testutil.h"

#include <string>

class LogCapture {
public:
    explicit LogCapture(BYTE level = VQ_LOG_LEVEL_TRACE) : dir_("log")
    {
        CloseLogFile();
        FreeLogSettings();
        SetLogDefaults();
        SetLogParams("capture.log", dir_.path().c_str(), level);
        opened_ = OpenLogFileAppend() != FALSE;
    }
    ~LogCapture()
    {
        CloseLogFile();
        FreeLogSettings();
    }
    bool opened() const { return opened_; }
    /* The log as written, with the text mode's "\r\n" read back as "\n". */
    std::string text() const
    {
        std::string raw = vqt::ReadWholeFile(GetLogPath()), out;
        for (size_t i = 0; i < raw.size(); i++) {
            if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
                continue;
            out += raw[i];
        }
        return out;
    }
    bool has(const std::string &piece) const { return text().find(piece) != std::string::npos; }

private:
    vqt::ScratchDir dir_;
    bool opened_ = false;
};

#endif
