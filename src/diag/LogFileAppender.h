#pragma once

#include "diag/LogFormatter.h"

#include <spdlog/sinks/sink.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// The log's file: UTF-8 lines, one write call each. The first line of a run rolls a non-empty
// file left by an earlier run away, so every run starts a fresh file with a byte-order mark and
// the start banner; a file larger than the threshold rolls before the next line. Rolled files are
// numbered stem.1.ext, stem.2.ext, ... up to the configured count. Thread-safe.
class LogFileAppender final : public spdlog::sinks::sink
{
public:
    // A hand-edited "maxFiles" of millions would make every roll walk millions of names.
    static constexpr int kMaxFilesLimit = 1000;

    // maxBytes below 1000 counts as 1000; maxFiles below 1 as 1 (the file never rolls by size),
    // above kMaxFilesLimit as kMaxFilesLimit. The folder is made readable by its owner only, and so
    // are the files.
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
    void ReopenIfGone();
    // The n of the stem.n.ext files there are now, highest first.
    [[nodiscard]] std::vector<int> RolledNumbers() const;
    void WriteBytes(std::string_view bytes);

    std::mutex m_mutex;
    int m_fd = -1;
    std::int64_t m_size = -1;
    const std::int64_t m_maxBytes;
    const int m_lastFileNumber;
    std::string m_stem;
    std::string m_extension; // with its leading "."; empty when the name has none
    bool m_firstWrite = true;
    std::chrono::steady_clock::time_point m_lastCheck;
    LogFormatter m_formatter;
    std::string m_line;
};
