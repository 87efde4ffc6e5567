#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace TestSupport {

TempFolder::TempFolder()
{
    EXPECT_TRUE(m_dir.isValid());
}

QString TempFolder::Path() const
{
    return m_dir.path() + QLatin1Char('/');
}

void TempFolder::Write(const QString& name, const QByteArray& content) const
{
    const QString path = File(name);
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

QByteArray TempFolder::Read(const QString& name) const
{
    QFile file(File(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TempFolder::Exists(const QString& name) const
{
    return QFile::exists(File(name));
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<QString>& value)
    : m_name(name)
{
    if (qEnvironmentVariableIsSet(name)) {
        m_old = qgetenv(name);
    }
    if (value) {
        qputenv(name, value->toLocal8Bit());
    } else {
        qunsetenv(name);
    }
}

ScopedEnv::~ScopedEnv()
{
    if (m_old) {
        qputenv(m_name, *m_old);
    } else {
        qunsetenv(m_name);
    }
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QThread::msleep(5);
    }
    return true;
}

QString HelperPath()
{
    return QStringLiteral(EXAMORA_TEST_HELPER);
}

void WriteScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace TestSupport
