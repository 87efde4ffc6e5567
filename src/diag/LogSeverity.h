#pragma once

#include <string_view>

// The log's severities, numbered as the log configuration numbers them: a statement is written
// when its number is not above the configured level (6 writes everything, 0 nothing).
enum class LogSeverity : int
{
    None = 0,
    Fatal = 1,
    Error = 2,
    Warning = 3,
    Info = 4,
    Debug = 5,
    Verbose = 6,
};

// The name in a log line: "NONE", "FATAL", "ERROR", "WARN", "INFO", "DEBUG", "VERB".
[[nodiscard]] constexpr std::string_view SeverityName(LogSeverity severity)
{
    constexpr std::string_view kNames[] = {"NONE", "FATAL", "ERROR", "WARN", "INFO", "DEBUG", "VERB"};
    const auto index = static_cast<int>(severity);
    return index >= 0 && index <= 6 ? kNames[index] : kNames[0];
}
