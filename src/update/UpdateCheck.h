#pragma once

#include <atomic>
#include <string>

// The version check of start-up: one GET of the update address, whose reply "version#address"
// decides between the main window and the update window. The two flags and the update target are
// written on the transport's completion thread; clearing versionCheckBusy is the last write and
// publishes the others to the thread that waits for it.
namespace UpdateCheck {

struct Target
{
    std::string downloadUrl;   // UTF-8, blanks (space, 0x00–0x1D) trimmed from both ends
    std::string installerPath; // UTF-8: application folder + "updatebox/ExamoraUpdate.run"
};

extern std::atomic<bool> versionCheckBusy; // true until the check has finished, whatever its outcome
extern std::atomic<bool> showMainWindow;   // false when a newer version must be installed

// Posts the request and returns at once.
void StartVersionCheck(const std::string& updateUrl);

// The request's completion (the transport's thread); the address is the one asked.
void OnPostVersionCallback(bool ret, int responseCode, const std::string& reply, const std::string& postUrl);

// The update target once the check has asked for an update; read it after versionCheckBusy is false.
[[nodiscard]] Target RecordedTarget();

// Back to the start values (tests).
void Reset();

} // namespace UpdateCheck
