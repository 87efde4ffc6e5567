#include "diag/Log.h"
#include "CapturingSink.h"
#include "TestSupport.h"
#include "diag/LogFormatter.h"
#include "environment/Environment.h"
#include "platform/AppFolder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <unistd.h>

using TestSupport::TempFolder;

namespace {

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute,
                                                int second, int millis)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(millis);
}

TEST(LogFormatter, WritesTheLineToTheByte)
{
    LogFormatter formatter;
    const LogRecord record{LocalTime(2019, 4, 2, 9, 5, 7, 42),
                           LogSeverity::Info,
                           5132,
                           "InitOrvaPLog",
                           357,
                           "Version:[1.0.0.0]"};
    EXPECT_EQ(formatter.format(record),
              "2019-04-02 09:05:07.042[ INFO ] [5132] [InitOrvaPLog@357] - Version:[1.0.0.0]\r\n");

    struct Row
    {
        LogSeverity severity;
        const char* field;
    };
    const Row rows[] = {{LogSeverity::None, "[ NONE ] "},   {LogSeverity::Fatal, "[ FATAL] "},
                        {LogSeverity::Error, "[ ERROR] "},  {LogSeverity::Warning, "[ WARN ] "},
                        {LogSeverity::Info, "[ INFO ] "},   {LogSeverity::Debug, "[ DEBUG] "},
                        {LogSeverity::Verbose, "[ VERB ] "}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.field);
        // The cached second must not leak into a record of another second.
        const LogRecord other{LocalTime(2026, 12, 31, 23, 59, 59, 999), row.severity, 1, "A::B", 1, "m"};
        EXPECT_EQ(formatter.format(other),
                  std::string("2026-12-31 23:59:59.999") + row.field + "[1] [A::B@1] - m\r\n");
    }
    EXPECT_EQ(LogFormatter::header().size(), 69U);
    EXPECT_EQ(LogFormatter::header(),
              "\r\n\r\n\t\t-------------------------Log Start-------------------------\r\n\r\n");
}

namespace naming {
struct CUpdateExamora
{
    void HandleMessage() { LOG_INFO << "member"; }
    static std::vector<int> Templated(int)
    {
        return [] {
            LOG_INFO << "lambda";
            return std::vector<int>{};
        }();
    }
};
template <typename T>
void Generic(T value)
{
    LOG_INFO << "template " << value;
}
} // namespace naming

void FreeFunction()
{
    LOG_INFO << "free";
}

class LogStatements : public testing::Test
{
protected:
    void SetUp() override { Log::Install(m_sink, 4); }
    std::shared_ptr<CapturingSink> m_sink = std::make_shared<CapturingSink>();
};

TEST_F(LogStatements, NameTheWritingFunctionWithoutReturnTypeOrParameters)
{
    naming::CUpdateExamora().HandleMessage();
    naming::CUpdateExamora::Templated(1);
    naming::Generic(2.5);
    FreeFunction();
    const auto entries = m_sink->Entries();
    ASSERT_EQ(entries.size(), 4U);
    EXPECT_EQ(entries[0].function, "{anonymous}::naming::CUpdateExamora::HandleMessage");
    EXPECT_EQ(entries[1].function, "{anonymous}::naming::CUpdateExamora::Templated");
    EXPECT_EQ(entries[2].function, "{anonymous}::naming::Generic");
    EXPECT_EQ(entries[2].message, "template 2.5");
    EXPECT_EQ(entries[3].function, "{anonymous}::FreeFunction");
}

TEST_F(LogStatements, StreamValuesAndBuildNothingBelowTheLevel)
{
    int evaluated = 0;
    const auto expensive = [&] {
        ++evaluated;
        return std::string("costly");
    };
    LOG_DEBUG << expensive();
    LOG_VERB << expensive();
    EXPECT_EQ(evaluated, 0);
    EXPECT_FALSE(Log::Admits(LogSeverity::Debug));
    EXPECT_TRUE(Log::Admits(LogSeverity::Info));

    const std::string longText(1000, 'x');
    LOG_WARN << "ret:[" << true << "] response_code:[" << 404 << "] reply:[" << QStringLiteral("考试")
             << "] n:[" << -7LL << ' ' << 1.5 << "] " << longText;
    LOG_ERROR << static_cast<const char*>(nullptr);
    EXPECT_EQ(
        m_sink->Messages(),
        (std::vector<std::string>{"ret:[true] response_code:[404] reply:[考试] n:[-7 1.5] " + longText, ""}));

    Log::Install(m_sink, 0);
    LOG_FATAL << expensive();
    EXPECT_EQ(evaluated, 0);
}

// InitOrvaPLog on a fresh application folder.
class InitLog : public testing::Test
{
protected:
    InitLog() { AppFolder::Override(m_app.Path()); }
    ~InitLog() override
    {
        AppFolder::Override({});
        Log::Install(std::make_shared<CapturingSink>(), 0);
    }
    TempFolder m_app;
};

TEST_F(InitLog, DefaultsStartASingleFileWithBannerAndVersionLine)
{
    EXPECT_TRUE(InitOrvaPLog());
    const QByteArray log = m_app.Read("Log/Servdesk.log");
    ASSERT_TRUE(log.startsWith("\xEF\xBB\xBF" + QByteArray(LogFormatter::header().data(), 69)))
        << log.toStdString();
    const QByteArray line = log.mid(72);
    EXPECT_TRUE(line.contains("[ INFO ] [" + QByteArray::number(gettid()) + "] [InitOrvaPLog@"))
        << line.toStdString();
    EXPECT_TRUE(line.contains("] - Version:[" + QByteArray::fromStdString(GetFileVersionString()) + "]\r\n"));
    // The start says where the log is.
    EXPECT_TRUE(line.endsWith("] - log folder:[" + m_app.File("Log").toUtf8() + "]\r\n"))
        << line.toStdString();
}

TEST_F(InitLog, ABrokenConfigurationGivesTheDefaults)
{
    struct Row
    {
        const char* name;
        QByteArray content; // null: a folder in the file's place
    };
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<char>(i * 131 % 256);
    }
    const Row rows[] = {
        {"binary junk", junk},
        {"huge line",
         "[global]\r\ndefault_loglevel=" + QByteArray(3 * 1024 * 1024, '9') + "x\r\nisUseProcessID=abc\r\n"},
        {"a folder in its place", QByteArray()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(m_app.File("Log")).removeRecursively();
        QDir(m_app.File("OrvaLogConf.ini")).removeRecursively();
        QFile::remove(m_app.File("OrvaLogConf.ini"));
        if (row.content.isNull()) {
            QDir().mkpath(m_app.File("OrvaLogConf.ini"));
        } else {
            m_app.Write("OrvaLogConf.ini", row.content);
        }
        EXPECT_TRUE(InitOrvaPLog());
        EXPECT_TRUE(m_app.Read("Log/Servdesk.log").contains("Version:["));
    }
}

TEST_F(InitLog, SettingsChooseTheFileTheLevelAndTheEnvironment)
{
    m_app.Write("OrvaLogConf.ini", "[global]\nisUseProcessID=1\ndefault_loglevel=3\nenvIndex=1\n"
                                   "[updateUrl]\ntest=https://update.test/\n");
    EXPECT_FALSE(InitOrvaPLog());
    EXPECT_EQ(GetEnvironmentSettings().updateUrl, "https://update.test/");
    const QString name = QStringLiteral("Log/Servdesk_%1.log").arg(getpid(), 6, 10, QLatin1Char('0'));
    EXPECT_FALSE(m_app.Exists(name)) << "an info line at level 3 must not open the file";
    LOG_WARN << "first warning";
    const QByteArray log = m_app.Read(name);
    EXPECT_TRUE(log.endsWith("] - first warning\r\n")) << log.toStdString();
    EXPECT_FALSE(log.contains("Version:["));
    LoadEnvironmentSettings();
}

TEST_F(InitLog, ACustomFolderIsCreatedWithItsParents)
{
    const QByteArray custom = (m_app.Path() + "a/b/logs").toUtf8(); // no trailing separator
    m_app.Write("OrvaLogConf.ini", "[global]\nuse_custom_logdir=1\nlogdir=" + custom + "\n");
    EXPECT_TRUE(InitOrvaPLog());
    EXPECT_TRUE(m_app.Read("a/b/logs/Servdesk.log").contains("Version:["));
    EXPECT_FALSE(m_app.Exists("Log"));

    m_app.Write("OrvaLogConf.ini", "[global]\nuse_custom_logdir=0\nlogdir=" + custom + "/ignored\n");
    EXPECT_TRUE(InitOrvaPLog());
    EXPECT_TRUE(m_app.Exists("Log/Servdesk.log"));
}

TEST_F(InitLog, AFolderThatCannotBeCreatedCostsTheLogButNotTheStart)
{
    m_app.Write("blocked", "a file where the folder should be");
    m_app.Write("OrvaLogConf.ini",
                "[global]\nuse_custom_logdir=1\nlogdir=" + m_app.File("blocked/").toUtf8() + "\n");
    EXPECT_TRUE(InitOrvaPLog());
    LOG_ERROR << "dropped";
    EXPECT_EQ(QDir(m_app.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"OrvaLogConf.ini", "blocked"}));
}

} // namespace
