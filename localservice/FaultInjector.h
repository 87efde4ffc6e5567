#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

// Faults that tests ask for: the next N requests on a path are delayed, answered with another
// HTTP status, or given a malformed or empty body instead of the real answer.
class FaultInjector
{
public:
    enum class Body
    {
        Real,
        Malformed,
        Empty
    };
    struct Fault
    {
        int delayMs = 0;
        int status = 0; // 0: the real status
        Body body = Body::Real;
        int count = 1;
    };

    // Replaces the faults waiting on the path ("/pc/pc-lg"); a count of 0 clears them.
    void Arm(const std::string& path, const Fault& fault);
    // The fault for this request on the path, counted down; nullopt when none is armed.
    [[nodiscard]] std::optional<Fault> Take(const std::string& path);

private:
    std::mutex m_mutex;
    std::map<std::string, Fault> m_faults;
};
