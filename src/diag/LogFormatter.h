#pragma once

#include "diag/LogSeverity.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// One log record as the formatter sees it.
struct LogRecord
{
    std::chrono::system_clock::time_point time;
    LogSeverity severity = LogSeverity::None;
    std::uint64_t threadId = 0;
    std::string_view function;
    int line = 0;
    std::string_view message; // UTF-8
};

// Turns records into the log's lines:
// "2019-04-02 09:05:07.042[ INFO ] [5132] [InitOrvaPLog@357] - Version:[1.0.0.0]\r\n", local time.
// Not thread-safe: it caches the text of the current second; the appender calls it under its lock.
class LogFormatter
{
public:
    // The start-of-run banner (69 characters).
    [[nodiscard]] static std::string_view header();

    // Appends one line to out.
    void format(const LogRecord& record, std::string& out);
    [[nodiscard]] std::string format(const LogRecord& record);

private:
    std::int64_t m_cachedSecond = -1;
    std::string m_secondText; // "YYYY-MM-DD HH:MM:SS"
};
