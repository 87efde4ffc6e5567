#pragma once

#include "diag/FunctionName.h"
#include "diag/LogSeverity.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <charconv>
#include <concepts>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace spdlog::sinks {
class sink;
}

// Reads the log settings of OrvaLogConf.ini, fills the environment settings and starts the log.
// True in single-file mode ("isUseProcessID" 0), false when each process writes its own file.
bool InitOrvaPLog();

namespace Log {

// The configured level; -1 until a log is started, so nothing is admitted before that.
inline std::atomic<int> g_level{-1};

[[nodiscard]] inline bool Admits(LogSeverity severity)
{
    const int value = static_cast<int>(severity);
    return value > 0 && value <= g_level.load(std::memory_order_relaxed);
}

// Makes sink the log's only destination with the given level (0–6). InitOrvaPLog uses it with the
// file appender; tests use it to watch what is written.
void Install(std::shared_ptr<spdlog::sinks::sink> sink, int level);
// Writes out what the destination still holds (before the process leaves).
void Flush();

// One log statement: collects the streamed message and hands it to the log when it ends.
class LogLine
{
public:
    LogLine(LogSeverity severity, const char* function, int line) noexcept
        : m_severity(severity)
        , m_function(function)
        , m_line(line)
    {
    }
    ~LogLine();
    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;

    LogLine& operator<<(std::string_view text)
    {
        Append(text.data(), text.size());
        return *this;
    }
    LogLine& operator<<(const char* text) { return *this << std::string_view(text != nullptr ? text : ""); }
    LogLine& operator<<(const std::string& text) { return *this << std::string_view(text); }
    LogLine& operator<<(const QString& text) { return *this << text.toUtf8(); }
    LogLine& operator<<(const QByteArray& text)
    {
        Append(text.constData(), static_cast<std::size_t>(text.size()));
        return *this;
    }
    LogLine& operator<<(char c)
    {
        Append(&c, 1);
        return *this;
    }
    LogLine& operator<<(bool value) { return *this << (value ? "true" : "false"); }
    template <typename Number>
    requires(std::integral<Number> || std::floating_point<Number>) LogLine& operator<<(Number value)
    {
        char digits[32];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        Append(digits, static_cast<std::size_t>(result.ptr - digits));
        return *this;
    }

private:
    void Append(const char* data, std::size_t size)
    {
        if (m_heap.empty() && m_size + size <= sizeof m_inline) {
            std::memcpy(m_inline + m_size, data, size);
            m_size += size;
            return;
        }
        if (m_heap.empty()) {
            m_heap.assign(m_inline, m_size);
        }
        m_heap.append(data, size);
    }

    LogSeverity m_severity;
    const char* m_function;
    int m_line;
    std::size_t m_size = 0;
    char m_inline[256];
    std::string m_heap;
};

} // namespace Log

// Statements: LOG_INFO << "Version:[" << version << "]"; A statement below the configured level
// builds nothing: its operands are not even evaluated.
#define EXAMORA_LOG(severity)                                                                                \
    for (bool examoraLogOnce = ::Log::Admits(severity); examoraLogOnce; examoraLogOnce = false)              \
    ::Log::LogLine(severity, EXAMORA_FUNCTION_NAME, __LINE__)

#define LOG_VERB EXAMORA_LOG(::LogSeverity::Verbose)
#define LOG_DEBUG EXAMORA_LOG(::LogSeverity::Debug)
#define LOG_INFO EXAMORA_LOG(::LogSeverity::Info)
#define LOG_WARN EXAMORA_LOG(::LogSeverity::Warning)
#define LOG_ERROR EXAMORA_LOG(::LogSeverity::Error)
#define LOG_FATAL EXAMORA_LOG(::LogSeverity::Fatal)
