#pragma once

#include <QString>

#include <functional>
#include <memory>

class InstanceLock;
class QLocalServer;

// One running client per user: the first instance holds the per-user lock and, once its window
// exists, listens on a per-user local socket; a later start that finds the lock held asks that
// socket to bring the window forward and leaves. When nobody answers (the first instance has no
// window yet, or is hung), the later start goes on normally.
class SingleInstance
{
public:
    // "Examora-<uid>".
    [[nodiscard]] static QString DefaultServerName();

    SingleInstance(const QString& lockPath, QString serverName);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True to go on starting; false when a running instance was asked to come forward and did.
    [[nodiscard]] bool Check();

    // Starts answering later starts: raiseWindow runs on this thread for each of them. Needs the
    // thread's event loop.
    [[nodiscard]] bool Listen(std::function<void()> raiseWindow);

private:
    std::unique_ptr<InstanceLock> m_lock;
    QString m_serverName;
    std::unique_ptr<QLocalServer> m_server;
};

// The process-wide rule on the default lock file and socket name.
[[nodiscard]] bool CheckSingleInstance();
[[nodiscard]] bool StartInstanceListener(std::function<void()> raiseWindow);
