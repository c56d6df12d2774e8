/* Points the log writer at a file of a scratch folder for one test and reads
 * back the lines written. The writer is process-wide: one at a time. Tests
 * only. */
#ifndef VQ_TESTS_SCRATCHLOG_H
#define VQ_TESTS_SCRATCHLOG_H

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

namespace vqt {

class ScratchDir;

/* Opens the writer (appending) on dir/name at `level`; closes it and forgets
 * the writer's settings when it goes. Without a folder it makes its own. */
class ScratchLog {
public:
    ScratchLog();
    /* In a folder of its own, at `level`. */
    explicit ScratchLog(BYTE level);
    explicit ScratchLog(const std::string &dir, const char *name = "test.log", BYTE level = 4);
    ~ScratchLog();
    ScratchLog(const ScratchLog &) = delete;
    ScratchLog &operator=(const ScratchLog &) = delete;
    bool opened() const { return opened_; }
    void close();
    const std::string &path() const { return path_; }
    std::string text() const;
    /* The text with the text-mode stream's "\r\n" read back as "\n". */
    std::string plainText() const;
    bool has(const std::string &piece) const { return plainText().find(piece) != std::string::npos; }
    /* True when some line reads "[TAG] message" (message with its "\n"). */
    bool has(const char *tag, const std::string &message) const;
    /* Number of lines with the tag ("[ERROR]", ...). */
    int count(const char *tag) const;
    std::vector<std::string> lines() const;
    /* Lines whose text contains `part`. */
    std::vector<std::string> linesWith(const std::string &part) const;
    /* Each line's message as "LEVEL message" without the time stamp and
     * thread prefix; the open and close lines are left out. */
    std::vector<std::string> messages() const;
    /* The messages of one level ("INFO", "ERROR", ...), without the level. */
    std::vector<std::string> messages(const std::string &level) const;
private:
    void open(const std::string &dir, const char *name, BYTE level);
    std::unique_ptr<ScratchDir> ownDir_;
    std::string path_;
    bool opened_ = false;
};

} // namespace vqt

#endif
