#include "LocalServiceProcess.h"

#include "TestSupport.h"

#include <QRegularExpression>

LocalServiceProcess::~LocalServiceProcess()
{
    Stop();
}

bool LocalServiceProcess::Start(const QString& dbPath, const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(EXAMORA_LOCALSERVICE),
                    QStringList{"--http-port", "0", "--im-port", "0", "--db", dbPath} + arguments);
    static const QRegularExpression ready(QStringLiteral(R"(^ready (http://\S+) (ws://\S+)$)"),
                                          QRegularExpression::MultilineOption);
    QRegularExpressionMatch match;
    const bool started = TestSupport::WaitFor([&] {
        match = ready.match(QString::fromUtf8(m_output += m_process.readAll()));
        return match.hasMatch() || m_process.state() == QProcess::NotRunning;
    });
    if (!started || !match.hasMatch()) {
        return false;
    }
    m_baseUrl = match.captured(1).toStdString();
    m_imUrl = match.captured(2);
    return true;
}

void LocalServiceProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString LocalServiceProcess::Output()
{
    m_output += m_process.readAll();
    return QString::fromUtf8(m_output);
}
