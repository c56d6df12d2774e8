/* Test helper: the process-wide log writer opened on a scratch file at a
 * chosen level (TRACE by default), closed and reset when the object goes;
 * text() reads the log with "\r\n" as "\n". */
#ifndef VQ_TESTS_AGENT_UTIL_LOGCAPTURE_H
#define VQ_TESTS_AGENT_UTIL_LOGCAPTURE_H

#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <string>

class LogCapture : public vqt::ScratchLog {
public:
    explicit LogCapture(BYTE level = VQ_LOG_LEVEL_TRACE) : vqt::ScratchLog(level) {}
    std::string text() const { return plainText(); }
};

#endif
