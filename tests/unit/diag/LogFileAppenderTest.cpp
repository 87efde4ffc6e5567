#include "diag/LogFileAppender.h"
#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

using TestSupport::TempFolder;

namespace {

const QByteArray kStart = "\xEF\xBB\xBF" + QByteArray(LogFormatter::header().data(), 69);

LogRecord Record(std::string_view message)
{
    return {std::chrono::system_clock::now(), LogSeverity::Info, 7, "Test::Write", 1, message};
}

QStringList Files(const TempFolder& folder)
{
    auto files = QDir(folder.Path()).entryList(QDir::Files, QDir::Name);
    return files;
}

TEST(LogFileAppender, TheFirstLineOfARunRollsTheEarlierRunsFilesAway)
{
    TempFolder folder;
    folder.Write("Servdesk.log", "run 2\r\n");
    folder.Write("Servdesk.1.log", "run 1\r\n");
    LogFileAppender appender(folder.File("Servdesk.log").toStdString(), 20 * 1048576, 10);
    EXPECT_EQ(Files(folder), (QStringList{"Servdesk.1.log", "Servdesk.log"}))
        << "nothing happens before a line";

    appender.write(Record("hello"));
    appender.write(Record("again"));
    EXPECT_EQ(folder.Read("Servdesk.2.log"), "run 1\r\n");
    EXPECT_EQ(folder.Read("Servdesk.1.log"), "run 2\r\n");
    const QByteArray log = folder.Read("Servdesk.log");
    EXPECT_TRUE(log.startsWith(kStart));
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\[ INFO \\] \\[7\\] "
                                   "\\[Test::Write@1\\] - hello\\r\\n.*again\\r\\n$",
                                   QRegularExpression::DotMatchesEverythingOption)
                    .match(QString::fromUtf8(log.mid(kStart.size())))
                    .hasMatch())
        << log.toStdString();
}

TEST(LogFileAppender, AnEmptyFileIsContinuedWithoutARoll)
{
    TempFolder folder;
    folder.Write("Servdesk.log", "");
    LogFileAppender appender(folder.File("Servdesk.log").toStdString(), 1048576, 10);
    appender.write(Record("x"));
    EXPECT_EQ(Files(folder), QStringList{"Servdesk.log"});
    EXPECT_TRUE(folder.Read("Servdesk.log").startsWith(kStart));
}

TEST(LogFileAppender, RollsBySizeKeepingTheConfiguredNumberOfFiles)
{
    TempFolder folder;
    const std::string line(100, 'a');
    {
        // maxFileSize 0 means the 1000-byte minimum.
        LogFileAppender appender(folder.File("Servdesk_004812.log").toStdString(), 0, 3);
        EXPECT_EQ(appender.FileName(2), folder.File("Servdesk_004812.2.log").toStdString());
        for (int i = 0; i < 40; ++i) {
            appender.write(Record(line));
        }
    }
    EXPECT_EQ(Files(folder),
              (QStringList{"Servdesk_004812.1.log", "Servdesk_004812.2.log", "Servdesk_004812.log"}));
    const QByteArray rolled = folder.Read("Servdesk_004812.1.log");
    EXPECT_GT(rolled.size(), 1000);
    EXPECT_LT(rolled.size(), 1000 + 200);
    // A file begun by a size roll starts with the next line: no mark, no banner.
    EXPECT_TRUE(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\d ").match(QString::fromUtf8(rolled.left(11))).hasMatch());
    EXPECT_TRUE(folder.Read("Servdesk_004812.log").endsWith(QByteArray::fromStdString(line) + "\r\n"));
}

TEST(LogFileAppender, WithOneFileItNeverRollsBySizeAndEachRunReplacesTheLast)
{
    TempFolder folder;
    for (int run = 0; run < 2; ++run) {
        LogFileAppender appender(folder.File("Servdesk.log").toStdString(), 0, 1);
        for (int i = 0; i < 30; ++i) {
            appender.write(Record(std::string(100, static_cast<char>('a' + run))));
        }
    }
    EXPECT_EQ(Files(folder), QStringList{"Servdesk.log"});
    const QByteArray log = folder.Read("Servdesk.log");
    EXPECT_GT(log.size(), 3000);
    EXPECT_FALSE(log.contains("aaaa"));
    EXPECT_TRUE(log.startsWith(kStart));
}

TEST(LogFileAppender, AFileHeldByAnotherWriterIsLeftAlone)
{
    TempFolder folder;
    folder.Write("Servdesk.log", "");
    const int other = ::open(folder.File("Servdesk.log").toLocal8Bit().constData(), O_WRONLY);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    {
        LogFileAppender appender(folder.File("Servdesk.log").toStdString(), 1048576, 10);
        appender.write(Record("dropped"));
    }
    ::close(other);
    EXPECT_EQ(folder.Read("Servdesk.log"), "");
}

TEST(LogFileAppender, LinesFromManyThreadsNeverInterleave)
{
    TempFolder folder;
    constexpr int kThreads = 4;
    constexpr int kLines = 3000;
    {
        LogFileAppender appender(folder.File("Servdesk.log").toStdString(), 64 * 1024, 100);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                const std::string message = "thread " + std::to_string(t) + " " + std::string(60, 'x');
                for (int i = 0; i < kLines; ++i) {
                    appender.write(Record(message));
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }
    const QRegularExpression wellFormed(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\[ INFO \\] \\[7\\] "
        "\\[Test::Write@1\\] - thread [0-3] x{60}$");
    int lines = 0;
    for (const QString& name : Files(folder)) {
        QByteArray content = folder.Read(name);
        if (content.startsWith(kStart)) {
            content.remove(0, kStart.size());
        }
        ASSERT_TRUE(content.endsWith("\r\n"));
        content.chop(1);
        for (const QByteArray& line : content.split('\n')) {
            ASSERT_TRUE(line.endsWith('\r')) << name.toStdString() << ": " << line.toStdString();
            ASSERT_TRUE(wellFormed.match(QString::fromUtf8(line.chopped(1))).hasMatch())
                << line.toStdString();
            ++lines;
        }
    }
    EXPECT_EQ(lines, kThreads * kLines);
}

TEST(LogFileAppender, AFolderDeletedDuringTheRunIsMadeAgainAndTheLinesGoOn)
{
    TempFolder folder;
    const QString log = folder.File("Log/Servdesk.log");
    LogFileAppender appender(log.toStdString(), 20 << 20, 10);
    appender.write(Record("before"));
    ASSERT_TRUE(QDir(folder.File("Log")).removeRecursively());
    appender.write(Record("into the deleted file"));
    // The appender looks for its file at most once a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    appender.write(Record("after"));
    const QByteArray again = folder.Read("Log/Servdesk.log");
    EXPECT_TRUE(again.startsWith(kStart)) << again.toStdString();
    EXPECT_TRUE(again.endsWith("after\r\n")) << again.toStdString();
}

TEST(LogFileAppender, AFolderThatCannotBeWrittenCostsOnlyTheLinesOfThatTime)
{
    // A file where the folder was: nothing can be made there (as root too, unlike a mode).
    TempFolder folder;
    const QString log = folder.File("Log/Servdesk.log");
    LogFileAppender appender(log.toStdString(), 20 << 20, 10);
    appender.write(Record("before"));
    ASSERT_TRUE(QDir(folder.File("Log")).removeRecursively());
    folder.Write("Log", "not a folder");
    for (int i = 0; i < 3; ++i) {
        appender.write(Record("lost"));
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
    ASSERT_TRUE(QFile::remove(folder.File("Log")));
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    appender.write(Record("after"));
    const QByteArray again = folder.Read("Log/Servdesk.log");
    EXPECT_TRUE(again.startsWith(kStart)) << again.toStdString();
    EXPECT_TRUE(again.endsWith("after\r\n")) << again.toStdString();
    EXPECT_FALSE(again.contains("lost"));
}

TEST(LogFileAppender, TheFolderAndTheFilesAreTheUsersAlone)
{
    TempFolder folder;
    // A file an older version left readable by everyone.
    QDir().mkpath(folder.File("old"));
    folder.Write("old/Servdesk.log", "");
    ASSERT_EQ(::chmod(folder.File("old/Servdesk.log").toLocal8Bit().constData(), 0644), 0);
    for (const QString& name :
         {QStringLiteral("custom/deeper/Servdesk.log"), QStringLiteral("old/Servdesk.log")}) {
        SCOPED_TRACE(name.toStdString());
        LogFileAppender appender(folder.File(name).toStdString(), 20 << 20, 10);
        appender.write(Record("line"));
        struct stat status = {};
        ASSERT_EQ(::stat(folder.File(name).toLocal8Bit().constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600U);
    }
    for (const char* made : {"custom", "custom/deeper"}) {
        struct stat status = {};
        ASSERT_EQ(::stat(folder.File(made).toLocal8Bit().constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0700U) << made;
    }
}

TEST(LogFileAppender, AHugeFileCountIsBoundedAndRollsOnlyTheFilesThereAre)
{
    TempFolder folder;
    folder.Write("Servdesk.log", "an earlier run\n");
    folder.Write("Servdesk.999.log", "the last kept\n");
    folder.Write("Servdesk.2.log", "second\n");
    {
        LogFileAppender appender(folder.File("Servdesk.log").toStdString(), 20 << 20, 2000000);
        appender.write(Record("new run"));
    }
    // At most LogFileAppender::kMaxFilesLimit files: the one at the limit goes, the others move up.
    EXPECT_EQ(Files(folder), (QStringList{"Servdesk.1.log", "Servdesk.3.log", "Servdesk.log"}));
    EXPECT_EQ(folder.Read("Servdesk.1.log"), "an earlier run\n");
    EXPECT_EQ(folder.Read("Servdesk.3.log"), "second\n");
}

} // namespace
