#include "ServiceConsole.h"

#include <cstdio>

namespace {
constexpr std::size_t kSmsKept = 50;
}

void ServiceConsole::Print(const std::string& line)
{
    const std::lock_guard lock(m_mutex);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

void ServiceConsole::Sms(const std::string& mobile, const std::string& text)
{
    const std::string line = "SMS to " + mobile + ": " + text;
    Print(line);
    const std::lock_guard lock(m_mutex);
    m_sms.push_front(line);
    if (m_sms.size() > kSmsKept) {
        m_sms.pop_back();
    }
}

std::vector<std::string> ServiceConsole::RecentSms() const
{
    const std::lock_guard lock(m_mutex);
    return {m_sms.begin(), m_sms.end()};
}
