#include "diag/Log.h"

#include "diag/LogFileAppender.h"
#include "diag/SpdlogLevels.h"
#include "environment/Environment.h"
#include "platform/IniFile.h"

#include <QFileInfo>

#include <spdlog/logger.h>

#include <unistd.h>

#include <mutex>
#include <vector>

namespace {

std::atomic<spdlog::logger*> g_logger{nullptr};

// Every logger ever installed stays alive, to the very end of the process: a statement on another
// thread may still hold the previous one while a new one is installed, and threads nobody stops
// (the IM library's) may write while static objects are being destroyed at exit. So the list is
// never destroyed.
std::mutex g_keepMutex;
auto* const g_keep = new std::vector<std::shared_ptr<spdlog::logger>>;

} // namespace

namespace Log {

void Install(std::shared_ptr<spdlog::sinks::sink> sink, int level)
{
    auto logger = std::make_shared<spdlog::logger>("examora", std::move(sink));
    logger->set_level(SpdlogLevels::FromConfigured(level));
    {
        const std::lock_guard lock(g_keepMutex);
        g_keep->push_back(logger);
    }
    g_logger.store(logger.get(), std::memory_order_release);
    g_level.store(std::clamp(level, 0, 6), std::memory_order_relaxed);
}

void Flush()
{
    if (spdlog::logger* logger = g_logger.load(std::memory_order_acquire)) {
        logger->flush();
    }
}

LogLine::~LogLine()
{
    spdlog::logger* logger = g_logger.load(std::memory_order_acquire);
    if (logger == nullptr) {
        return;
    }
    const std::string_view message = m_heap.empty() ? std::string_view(m_inline, m_size) : m_heap;
    // The record names the writing function and line; the log line has no file name.
    logger->log(spdlog::source_loc{"", m_line, m_function}, SpdlogLevels::FromSeverity(m_severity),
                spdlog::string_view_t(message.data(), message.size()));
}

} // namespace Log

bool InitOrvaPLog()
{
    const QString defaultFolder = GetExeDir() + QStringLiteral("Log/");
    const IniFile conf = IniFile::Load(GetLogConfPath());
    const QString global = QStringLiteral("global");
    const int level = conf.Int(global, QStringLiteral("default_loglevel"), 6);
    QString folder = defaultFolder;
    if (conf.Int(global, QStringLiteral("use_custom_logdir"), 0) != 0) {
        folder = conf.String(global, QStringLiteral("logdir"), defaultFolder);
        // "/var/log/examora" would otherwise name the file "/var/log/examoraServdesk.log".
        if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) {
            folder += QLatin1Char('/');
        }
    }
    const int maxFileSize = conf.Int(global, QStringLiteral("maxFileSize"), 20);
    const int maxFiles = conf.Int(global, QStringLiteral("maxFiles"), 10);
    const bool useProcessId = conf.Int(global, QStringLiteral("isUseProcessID"), 0) != 0;

    const QString fileName =
        useProcessId ? folder + QStringLiteral("Servdesk_%1.log").arg(getpid(), 6, 10, QLatin1Char('0'))
                     : folder + QStringLiteral("Servdesk.log");

    LoadEnvironmentSettings();

    Log::Install(std::make_shared<LogFileAppender>(fileName.toStdString(),
                                                   std::int64_t{maxFileSize} * 1048576, maxFiles),
                 level);
    LOG_INFO << "Version:[" << GetFileVersionString() << "]";
    LOG_INFO << "log folder:[" << QFileInfo(fileName).absolutePath() << "]";
    return !useProcessId;
}
