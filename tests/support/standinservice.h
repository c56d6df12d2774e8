/* The stand-in agent service (proc_service.exe) installed in the service
 * manager for a test: it appends every user-defined control code it
 * receives to a marker file. Tests only. */
#ifndef VQ_TESTS_SUPPORT_STANDINSERVICE_H
#define VQ_TESTS_SUPPORT_STANDINSERVICE_H

#include <windows.h>
#include <string>

namespace vqt {

/* Name under which the stand-in service is installed. */
extern const wchar_t kStandInServiceName[];

/* Installs and starts the stand-in service writing to `marker`; stops and
 * deletes it when the object goes. */
class StandInService {
public:
    explicit StandInService(const std::string &marker);
    ~StandInService();
    StandInService(const StandInService &) = delete;
    StandInService &operator=(const StandInService &) = delete;
    bool running() const { return running_; }
private:
    void removeLeftover();
    SC_HANDLE manager_ = NULL;
    SC_HANDLE service_ = NULL;
    bool running_ = false;
};

/* Waits up to `timeoutMs` for the marker file to read `expected`; returns
 * what it last read. */
std::string WaitForMarker(const std::string &marker, const std::string &expected, DWORD timeoutMs = 5000);

} // namespace vqt

#endif
