#include "FaultInjector.h"

void FaultInjector::Arm(const std::string& path, const Fault& fault)
{
    const std::lock_guard lock(m_mutex);
    if (fault.count <= 0) {
        m_faults.erase(path);
    } else {
        m_faults[path] = fault;
    }
}

std::optional<FaultInjector::Fault> FaultInjector::Take(const std::string& path)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_faults.find(path);
    if (found == m_faults.end()) {
        return std::nullopt;
    }
    Fault fault = found->second;
    if (--found->second.count == 0) {
        m_faults.erase(found);
    }
    return fault;
}
