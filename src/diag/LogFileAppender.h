#pragma once

#include "diag/LogFormatter.h"

#include <spdlog/sinks/sink.h>

#include <cstdint>
#include <mutex>
#include <string>

// The log's file: UTF-8 lines, one write call each. The first line of a run rolls a non-empty
// file left by an earlier run away, so every run starts a fresh file with a byte-order mark and
// the start banner; a file larger than the threshold rolls before the next line. Rolled files are
// numbered stem.1.ext, stem.2.ext, ... up to the configured count. Thread-safe.
class LogFileAppender final : public spdlog::sinks::sink
{
public:
    // maxBytes below 1000 counts as 1000; maxFiles below 1 as 1 (the file never rolls by size).
    LogFileAppender(std::string fileName, std::int64_t maxBytes, int maxFiles);
    ~LogFileAppender() override;
    LogFileAppender(const LogFileAppender&) = delete;
    LogFileAppender& operator=(const LogFileAppender&) = delete;

    void write(const LogRecord& record);

    // The name of file number n: n = 0 is the file itself, n > 0 is stem.n.ext.
    [[nodiscard]] std::string FileName(int number) const;

    // spdlog's sink interface.
    void log(const spdlog::details::log_msg& message) override;
    void flush() override { }
    void set_pattern(const std::string&) override { }
    void set_formatter(std::unique_ptr<spdlog::formatter>) override { }

private:
    void OpenLogFile(bool mayRoll);
    void RollLogFiles();
    void WriteBytes(std::string_view bytes);

    std::mutex m_mutex;
    int m_fd = -1;
    std::int64_t m_size = -1;
    const std::int64_t m_maxBytes;
    const int m_lastFileNumber;
    std::string m_stem;
    std::string m_extension; // with its leading "."; empty when the name has none
    bool m_firstWrite = true;
    LogFormatter m_formatter;
    std::string m_line;
};
