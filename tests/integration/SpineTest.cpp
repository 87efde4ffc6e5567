#include "TestSupport.h"
#include "app/SingleInstance.h"
#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using TestSupport::ScopedEnv;
using TestSupport::TempFolder;

namespace {

// The built client copied into an application folder of its own, run with private runtime and
// temporary folders so that it meets only this test's lock and socket.
class Spine : public testing::Test
{
protected:
    Spine()
    {
        EXPECT_TRUE(QFile::copy(QStringLiteral(EXAMORA_EXECUTABLE), m_app.File("Examora")));
        QDir().mkpath(m_runtime.Path());
    }

    QProcess::ExitStatus Run(QByteArray& output)
    {
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", m_runtime.Path());
        environment.insert("TMPDIR", m_runtime.Path());
        // No display: the client says so and leaves (the end-to-end tests run it on one).
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(name);
        }
        client.setProcessEnvironment(environment);
        client.start(m_app.File("Examora"), {"/AppCrash", "ignored"});
        EXPECT_TRUE(client.waitForFinished(30000));
        output = client.readAllStandardError();
        EXPECT_EQ(client.exitCode(), 0);
        return client.exitStatus();
    }

    TempFolder m_app;
    TempFolder m_runtime;
};

TEST_F(Spine, WithoutADisplayItSaysWhyInItsLogAndLeaves)
{
    QByteArray output;
    EXPECT_EQ(Run(output), QProcess::NormalExit);
    EXPECT_TRUE(output.contains("no display")) << output.toStdString();
    const QByteArray log = m_app.Read("Log/Servdesk.log");
    EXPECT_TRUE(log.startsWith("\xEF\xBB\xBF")) << log.toStdString();
    EXPECT_TRUE(log.contains("[InitOrvaPLog@")) << log.toStdString();
    EXPECT_TRUE(log.contains("ERROR")) << log.toStdString();
    EXPECT_TRUE(log.contains("no display to show the client on")) << log.toStdString();
}

TEST_F(Spine, ASecondStartBringsTheFirstForwardAndLeaves)
{
    const ScopedEnv tmp("TMPDIR", m_runtime.Path());
    SingleInstance first(m_runtime.File("Examora.lock"), SingleInstance::DefaultServerName());
    ASSERT_TRUE(first.Check());
    int raised = 0;
    ASSERT_TRUE(first.Listen([&] { ++raised; }));

    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", m_runtime.Path());
    client.setProcessEnvironment(environment);
    client.start(m_app.File("Examora"));
    ASSERT_TRUE(TestSupport::WaitFor([&] { return client.state() == QProcess::NotRunning; },
                                     std::chrono::seconds(30)));
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_EQ(raised, 1);
    EXPECT_TRUE(m_app.Read("Log/Servdesk.log").contains("brought the running instance forward"));
}

TEST_F(Spine, PerProcessLogsSkipTheSingleInstanceRule)
{
    m_app.Write("OrvaLogConf.ini", "[global]\nisUseProcessID=1\n");
    InstanceLock held(m_runtime.File("Examora.lock"));
    ASSERT_EQ(held.TryAcquire(), InstanceLock::Result::Acquired);
    QByteArray output;
    EXPECT_EQ(Run(output), QProcess::NormalExit);
    EXPECT_TRUE(output.contains("no display"));
    const QStringList logs = QDir(m_app.File("Log")).entryList({"Servdesk_*.log"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    // It went past the single-instance rule to the display.
    EXPECT_TRUE(m_app.Read("Log/" + logs[0]).contains("no display to show the client on"));
}

} // namespace
