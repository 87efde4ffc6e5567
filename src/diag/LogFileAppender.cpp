#include "diag/LogFileAppender.h"

#include "diag/SpdlogLevels.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

} // namespace

LogFileAppender::LogFileAppender(std::string fileName, std::int64_t maxBytes, int maxFiles)
    : m_maxBytes(std::max<std::int64_t>(maxBytes, 1000))
    , m_lastFileNumber(std::max(maxFiles - 1, 0))
{
    const auto slash = fileName.rfind('/');
    const auto dot = fileName.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        m_stem = fileName.substr(0, dot);
        m_extension = fileName.substr(dot);
    } else {
        m_stem = std::move(fileName);
    }
}

LogFileAppender::~LogFileAppender()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::string LogFileAppender::FileName(int number) const
{
    if (number == 0) {
        return m_stem + m_extension;
    }
    return m_stem + '.' + std::to_string(number) + m_extension;
}

void LogFileAppender::log(const spdlog::details::log_msg& message)
{
    write({message.time, SpdlogLevels::ToSeverity(message.level),
           static_cast<std::uint64_t>(message.thread_id),
           message.source.funcname != nullptr ? message.source.funcname : "", message.source.line,
           std::string_view(message.payload.data(), message.payload.size())});
}

void LogFileAppender::write(const LogRecord& record)
{
    const std::lock_guard lock(m_mutex);
    if (m_firstWrite) {
        OpenLogFile(true);
        m_firstWrite = false;
    } else if (m_lastFileNumber > 0 && m_size != -1 && m_size > m_maxBytes) {
        RollLogFiles();
    }
    m_line.clear();
    m_formatter.format(record, m_line);
    WriteBytes(m_line);
}

void LogFileAppender::WriteBytes(std::string_view bytes)
{
    if (m_fd < 0) {
        return;
    }
    ssize_t written = 0;
    do {
        written = ::write(m_fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written > 0) {
        m_size += written;
    }
}

void LogFileAppender::OpenLogFile(bool mayRoll)
{
    const std::string path = FileName(0);
    // A missing folder would silently cost the whole run's log: create it with its parents.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);

    m_fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    // The file is ours alone while we write it, as a second writer would interleave lines.
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_size = m_fd >= 0 ? ::lseek(m_fd, 0, SEEK_END) : -1;
    if (m_size < 0 || !m_firstWrite) {
        return;
    }
    if (m_size == 0) {
        WriteBytes(kBom);
        WriteBytes(LogFormatter::header());
    } else if (mayRoll) {
        RollLogFiles();
    } else {
        // The earlier run's file could not be rolled away: mark where this run starts.
        WriteBytes(LogFormatter::header());
    }
}

void LogFileAppender::RollLogFiles()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    std::remove(FileName(m_lastFileNumber).c_str());
    for (int n = m_lastFileNumber - 1; n >= 0; --n) {
        std::rename(FileName(n).c_str(), FileName(n + 1).c_str());
    }
    OpenLogFile(false);
    m_firstWrite = false;
}
