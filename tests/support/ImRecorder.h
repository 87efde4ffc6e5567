#pragma once

#include "TestSupport.h"
#include "im/SDKInstance.h"

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

// Gathers what the IM library's callbacks deliver (on the library's thread) for a test to wait
// on. It registers every callback while it lives and clears them when it goes.
class ImRecorder
{
public:
    ImRecorder();
    ~ImRecorder();
    ImRecorder(const ImRecorder&) = delete;
    ImRecorder& operator=(const ImRecorder&) = delete;

    // Waits (20 s at most) until the condition holds, checked under the lock.
    template <typename Condition>
    bool Until(Condition condition)
    {
        return TestSupport::WaitFor(
            [&] {
                const std::lock_guard lock(mutex);
                return condition();
            },
            std::chrono::seconds(20));
    }

    // Starts a login that records each step; false when the library refused to start it.
    bool StartLogin(const std::string& appKey, const std::string& account, const std::string& token);
    // The code of the login's last step (3), waited for; -1 when it never came.
    int FinalLoginCode();
    // Logs out with the type and waits for the end: its code, or -1.
    int Logout(int type);

    std::mutex mutex;
    std::vector<nim::LoginRes> logins;
    std::vector<nim::LoginRes> relogins;
    std::vector<nim::KickoutRes> kickouts;
    std::vector<std::string> messages;
    std::vector<std::vector<std::string>> batches;
    std::vector<int> logouts;
    int disconnects = 0;
};
