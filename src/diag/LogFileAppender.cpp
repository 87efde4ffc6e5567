#include "diag/LogFileAppender.h"

#include "diag/SpdlogLevels.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
// How often a running log looks whether its file is still there (or, without a file, whether it
// can make one again).
constexpr auto kCheckInterval = std::chrono::seconds(1);

// Makes the folder and its missing parents, each readable by its owner only (a log says much about
// its user); folders that exist keep their modes.
void MakeFolders(const std::filesystem::path& folder)
{
    std::filesystem::path path;
    for (const auto& part : folder) {
        path /= part;
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            return;
        }
    }
}

} // namespace

LogFileAppender::LogFileAppender(std::string fileName, std::int64_t maxBytes, int maxFiles)
    : m_maxBytes(std::max<std::int64_t>(maxBytes, 1000))
    , m_lastFileNumber(std::clamp(maxFiles, 1, kMaxFilesLimit) - 1)
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
        m_lastCheck = std::chrono::steady_clock::now();
    } else if (m_lastFileNumber > 0 && m_size != -1 && m_size > m_maxBytes) {
        RollLogFiles();
    } else if (const auto now = std::chrono::steady_clock::now(); now - m_lastCheck >= kCheckInterval) {
        m_lastCheck = now;
        ReopenIfGone();
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

void LogFileAppender::ReopenIfGone()
{
    // A file whose last name was removed (its folder deleted, or the file itself) takes lines
    // nobody will ever read; without a file, the folder may be writable again.
    struct stat status = {};
    if (m_fd >= 0 && ::fstat(m_fd, &status) == 0 && status.st_nlink > 0) {
        return;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    OpenLogFile(false);
    if (m_size == 0) {
        // Made again: it starts as the run's first file did.
        WriteBytes(kBom);
        WriteBytes(LogFormatter::header());
    }
}

void LogFileAppender::OpenLogFile(bool mayRoll)
{
    const std::string path = FileName(0);
    // A missing folder would silently cost the whole run's log: create it with its parents.
    MakeFolders(std::filesystem::path(path).parent_path());

    m_fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    // A file an older version made readable by everyone is the user's alone from now on.
    if (m_fd >= 0) {
        ::fchmod(m_fd, 0600);
    }
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
    // Only the files there are move up, highest first: one look at the folder, not one rename per
    // possible number.
    std::remove(FileName(m_lastFileNumber).c_str());
    for (const int n : RolledNumbers()) {
        if (n < m_lastFileNumber) {
            std::rename(FileName(n).c_str(), FileName(n + 1).c_str());
        }
    }
    std::rename(FileName(0).c_str(), FileName(1).c_str());
    OpenLogFile(false);
    m_firstWrite = false;
}

std::vector<int> LogFileAppender::RolledNumbers() const
{
    const std::filesystem::path stem(m_stem);
    const std::string prefix = stem.filename().string() + '.';
    std::vector<int> numbers;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(stem.parent_path().empty() ? "." : stem.parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() + m_extension.size() || !name.starts_with(prefix) ||
            !name.ends_with(m_extension)) {
            continue;
        }
        const std::string digits =
            name.substr(prefix.size(), name.size() - prefix.size() - m_extension.size());
        if (digits.size() > 9 || digits.front() == '0' ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        numbers.push_back(std::stoi(digits));
    }
    std::sort(numbers.rbegin(), numbers.rend());
    return numbers;
}
