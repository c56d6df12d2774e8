/* Points the log writer at a file of a scratch folder for one test and reads
 * back the lines written. Tests only. */
#ifndef VQ_TESTS_SCRATCHLOG_H
#define VQ_TESTS_SCRATCHLOG_H

#include <windows.h>
#include <string>
#include <vector>

namespace vqt {

/* Opens the writer (appending) on dir/name at `level`; closes it and forgets
 * the writer's settings when it goes. */
class ScratchLog {
public:
    ScratchLog(const std::string &dir, const char *name, BYTE level = 4);
    ~ScratchLog();
    ScratchLog(const ScratchLog &) = delete;
    ScratchLog &operator=(const ScratchLog &) = delete;
    void close();
    const std::string &path() const { return path_; }
    std::string text() const;
    std::vector<std::string> lines() const;
    /* Lines whose message (after the tag) contains `part`. */
    std::vector<std::string> linesWith(const std::string &part) const;
private:
    std::string path_;
};

} // namespace vqt

#endif
