/* A running copy of the stand-in proc_sleeper.exe under a chosen executable
 * name (WINWORD.exe, EXCEL.exe, ...), for tests of process lookup and of the
 * Office application guard. Tests only. */
#ifndef VQ_TESTS_PROCSTANDIN_H
#define VQ_TESTS_PROCSTANDIN_H

#include <windows.h>
#include <string>

namespace vqt {

class ScratchDir;

/* Copies proc_sleeper.exe to dir\name (once) and starts it with `args`
 * ("forever": until killed, bounded to 10 minutes); terminates it when the
 * object goes if it still runs. */
class StandInProcess {
public:
    StandInProcess(const ScratchDir &dir, const std::string &name,
                   const std::string &args = "forever");
    ~StandInProcess();
    StandInProcess(const StandInProcess &) = delete;
    StandInProcess &operator=(const StandInProcess &) = delete;
    DWORD pid() const { return pi_.dwProcessId; }
    const std::string &path() const { return path_; }
    /* TRUE when the process ended within `ms`. */
    bool ended(DWORD ms = 5000) const;
    DWORD exitCode() const;
private:
    std::string path_;
    PROCESS_INFORMATION pi_;
};

} // namespace vqt

#endif
