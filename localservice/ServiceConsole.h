#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

// The service's own output: one line per event on standard output (flushed, so a test or a
// terminal sees it at once), and the SMS texts it would have sent, kept for the admin page.
class ServiceConsole
{
public:
    void Print(const std::string& line);
    void Sms(const std::string& mobile, const std::string& text);
    [[nodiscard]] std::vector<std::string> RecentSms() const;

private:
    mutable std::mutex m_mutex;
    std::deque<std::string> m_sms;
};
