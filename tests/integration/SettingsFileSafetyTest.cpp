// The settings files under the worst a desktop does to a program writing them: a kill at any
// moment (every file reads back whole, old or new) and a full disk (the old file stays, the log
// says why). The writer is the test helper, in a process of its own.
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

using TestSupport::TempFolder;

namespace {

struct FileKind
{
    const char* kind; // the helper's name for the writes
    const char* file; // the file they change, below the test folder
};

const FileKind kKinds[] = {
    {"users", "app/orva.ini"},
    {"delete", "app/orva.ini"},
    {"registry", "config/Examora/registry.ini"},
    {"autostart", "config/autostart/orvaExamora.desktop"},
};

// Nothing else may stay in the folders: a killed write leaves its temporary file, but the next
// write takes it over.
const QStringList kExpectedNames = {"orva.ini", "OrvaLogConf.ini", "registry.ini", "orvaExamora.desktop"};

class SettingsFileSafety : public ::testing::TestWithParam<FileKind>
{
protected:
    SettingsFileSafety()
    {
        m_root.Write("app/OrvaLogConf.ini", "[global]\ndefault_loglevel=6\n");
        m_environment.insert("XDG_CONFIG_HOME", m_root.File("config"));
    }

    [[nodiscard]] QString App() const { return m_root.File("app/"); }

    // The file's bytes, or nullopt when there is none.
    [[nodiscard]] std::optional<QByteArray> Content() const
    {
        if (!m_root.Exists(GetParam().file)) {
            return std::nullopt;
        }
        return m_root.Read(GetParam().file);
    }

    QProcess& Start(const QStringList& arguments)
    {
        m_process.setProcessEnvironment(m_environment);
        m_process.start(TestSupport::HelperPath(), arguments);
        return m_process;
    }

    void WriteState(bool second)
    {
        Start({"write-state", GetParam().kind, App(), second ? "1" : "0"});
        ASSERT_TRUE(m_process.waitForFinished(10000));
        ASSERT_EQ(m_process.exitCode(), 0) << m_process.readAllStandardError().toStdString();
    }

    // Files in the folders that are none of the settings files.
    [[nodiscard]] QStringList Leftovers() const
    {
        QStringList found;
        for (const char* folder : {"app", "config/Examora", "config/autostart"}) {
            for (const QString& name : QDir(m_root.File(folder)).entryList(QDir::Files | QDir::Hidden)) {
                if (!kExpectedNames.contains(name)) {
                    found << QStringLiteral("%1/%2").arg(folder, name);
                }
            }
        }
        return found;
    }

    TempFolder m_root;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QProcess m_process;
};

// Kills per kind; EXAMORA_KILL_ROUNDS sets another number.
int Rounds()
{
    const int rounds = qEnvironmentVariableIntValue("EXAMORA_KILL_ROUNDS");
    return rounds > 0 ? rounds : 1000;
}

TEST_P(SettingsFileSafety, AKillAtAnyMomentLeavesTheOldFileOrTheNewOneNeverAMix)
{
    // The two states as the alternating writer leaves them once it has written each.
    WriteState(false);
    WriteState(true);
    WriteState(false);
    const std::optional<QByteArray> first = Content();
    WriteState(true);
    const std::optional<QByteArray> second = Content();
    ASSERT_NE(first, second);
    ASSERT_TRUE(QDir(m_root.File("app")).removeRecursively() &&
                QDir(m_root.File("config")).removeRecursively());
    m_root.Write("app/OrvaLogConf.ini", "[global]\ndefault_loglevel=6\n");

    auto* random = QRandomGenerator::global();
    int torn = 0;
    for (int round = 0; round < Rounds(); ++round) {
        QProcess& writer = Start({"write-loop", GetParam().kind, App()});
        ASSERT_TRUE(writer.waitForReadyRead(10000)) << writer.readAllStandardError().toStdString();
        // Anywhere in a write: one takes a fraction of a millisecond to a few.
        ::usleep(random->bounded(0, 3000));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(10000));
        const std::optional<QByteArray> now = Content();
        if (now != first && now != second) {
            ++torn;
            ADD_FAILURE() << "round " << round << ": "
                          << (now ? now->toStdString() : std::string("(no file)"));
        }
        if (torn > 3) {
            break;
        }
    }
    WriteState(false);
    WriteState(true);
    EXPECT_EQ(Content(), second);
    EXPECT_TRUE(Leftovers().isEmpty()) << Leftovers().join(", ").toStdString();
}

TEST_P(SettingsFileSafety, AFullDiskKeepsTheOldFileAndTheLogSaysWhy)
{
    if (std::string(GetParam().kind) == "autostart") {
        // Turning the entry on over one the disk has no room to replace.
        m_root.Write(GetParam().file, "[Desktop Entry]\nExec=/old/Examora\n");
    } else {
        WriteState(false);
    }
    const std::optional<QByteArray> before = Content();
    ASSERT_TRUE(before.has_value());

    QProcess& writer = Start(
        {"write-full", GetParam().kind, App(), std::string(GetParam().kind) == "autostart" ? "0" : "1"});
    ASSERT_TRUE(writer.waitForFinished(10000));
    ASSERT_EQ(writer.exitStatus(), QProcess::NormalExit);
    const QString output = QString::fromUtf8(writer.readAllStandardOutput());
    const QString log = QString::fromUtf8(writer.readAllStandardError());
    EXPECT_EQ(Content(), before);
    EXPECT_TRUE(log.contains("not saved: cannot write " + m_root.File(GetParam().file))) << log.toStdString();
    EXPECT_TRUE(log.contains("File too large")) << log.toStdString();
    EXPECT_TRUE(log.contains("[error]")) << log.toStdString();
    EXPECT_FALSE(log.contains("password")) << log.toStdString();
    if (std::string(GetParam().kind) == "registry" || std::string(GetParam().kind) == "autostart") {
        EXPECT_EQ(output.trimmed(), "refused");
    }
    EXPECT_TRUE(Leftovers().isEmpty()) << Leftovers().join(", ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFileSafety, ::testing::ValuesIn(kKinds),
                         [](const auto& row) { return std::string(row.param.kind); });

} // namespace
