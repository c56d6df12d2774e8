/* Points the log writer at a scratch file (see scratchlog.h). */
#include "scratchlog.h"
#include "testutil.h"

#include "agent/locktable.h"
#include "agent/log.h"

namespace vqt {

ScratchLog::ScratchLog(const std::string &dir, const char *name, BYTE level)
{
    CloseLogFile();
    FreeLogSettings();
    InitMutex();
    SetLogDefaults();
    SetLogParams(name, dir.c_str(), level);
    OpenLogFileAppend();
    path_ = dir + "\\" + name;
}

ScratchLog::~ScratchLog() { close(); }

void ScratchLog::close()
{
    CloseLogFile();
    FreeLogSettings();
}

std::string ScratchLog::text() const { return ReadWholeFile(path_); }

std::vector<std::string> ScratchLog::lines() const { return SplitLines(text()); }

std::vector<std::string> ScratchLog::linesWith(const std::string &part) const
{
    std::vector<std::string> found;
    for (const std::string &line : lines())
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

} // namespace vqt
