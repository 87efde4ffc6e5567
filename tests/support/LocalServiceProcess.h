#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

// The local service as its own process for one test suite: started on free ports with a fresh
// database, stopped (SIGTERM, then kill) when the object goes.
class LocalServiceProcess
{
public:
    LocalServiceProcess() = default;
    ~LocalServiceProcess();
    LocalServiceProcess(const LocalServiceProcess&) = delete;
    LocalServiceProcess& operator=(const LocalServiceProcess&) = delete;

    // Starts the service with the database at dbPath and any further arguments, and waits until
    // it reports its addresses. False (with its output in Output()) when it does not start.
    bool Start(const QString& dbPath, const QStringList& arguments = {});
    void Stop();

    // "http://127.0.0.1:N/" and "ws://127.0.0.1:M/".
    [[nodiscard]] const std::string& BaseUrl() const { return m_baseUrl; }
    [[nodiscard]] const QString& ImUrl() const { return m_imUrl; }
    [[nodiscard]] QString Output();
    [[nodiscard]] qint64 ProcessId() const { return m_process.processId(); }

private:
    QProcess m_process;
    QByteArray m_output;
    std::string m_baseUrl;
    QString m_imUrl;
};
