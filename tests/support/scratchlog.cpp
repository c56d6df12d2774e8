/* Points the log writer at a scratch file (see scratchlog.h). */
#include "scratchlog.h"
#include "testutil.h"

#include "agent/locktable.h"
#include "agent/log.h"

namespace vqt {

ScratchLog::ScratchLog() : ScratchLog((BYTE)VQ_LOG_LEVEL_TRACE) {}

ScratchLog::ScratchLog(BYTE level) : ownDir_(new ScratchDir("log"))
{
    open(ownDir_->path(), "capture.log", level);
}

ScratchLog::ScratchLog(const std::string &dir, const char *name, BYTE level)
{
    open(dir, name, level);
}

void ScratchLog::open(const std::string &dir, const char *name, BYTE level)
{
    CloseLogFile();
    FreeLogSettings();
    InitMutex();
    opened_ = SetLogDefaults() && SetLogParams(name, dir.c_str(), level) && OpenLogFileAppend();
    path_ = dir + "\\" + name;
}

ScratchLog::~ScratchLog() { close(); }

void ScratchLog::close()
{
    CloseLogFile();
    FreeLogSettings();
}

std::string ScratchLog::text() const
{
    fflush(NULL);
    return ReadWholeFile(path_);
}

std::string ScratchLog::plainText() const
{
    std::string raw = text(), out;
    for (size_t i = 0; i < raw.size(); i++)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n'))
            out += raw[i];
    return out;
}

bool ScratchLog::has(const char *tag, const std::string &message) const
{
    return has(std::string(tag) + " " + message);
}

int ScratchLog::count(const char *tag) const
{
    std::string all = plainText();
    std::string needle = std::string("] ") + tag + " ";
    int n = 0;
    for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1))
        ++n;
    return n;
}

std::vector<std::string> ScratchLog::lines() const { return SplitLines(text()); }

std::vector<std::string> ScratchLog::linesWith(const std::string &part) const
{
    std::vector<std::string> found;
    for (const std::string &line : lines())
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

std::vector<std::string> ScratchLog::messages() const
{
    std::vector<std::string> out;
    for (const std::string &line : lines()) {
        size_t at = line.find("] [", line.find("] [") + 1);
        if (at == std::string::npos)
            continue;
        std::string rest = line.substr(at + 3);
        size_t end = rest.find("] ");
        if (end == std::string::npos)
            continue;
        std::string msg = rest.substr(0, end) + " " + rest.substr(end + 2);
        if (msg.rfind("INFO Log open time: ", 0) == 0 || msg.rfind("INFO Log close time: ", 0) == 0)
            continue;
        out.push_back(msg);
    }
    return out;
}

std::vector<std::string> ScratchLog::messages(const std::string &level) const
{
    std::vector<std::string> out;
    for (const std::string &m : messages())
        if (m.compare(0, level.size() + 1, level + " ") == 0)
            out.push_back(m.substr(level.size() + 1));
    return out;
}

} // namespace vqt
