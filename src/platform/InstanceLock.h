#pragma once

#include <QString>

// The per-user lock that marks the first running instance: an exclusive flock on a lock file,
// held until the process ends (the kernel releases it even after a crash).
class InstanceLock
{
public:
    // $XDG_RUNTIME_DIR/Examora.lock, else /tmp/Examora-<uid>.lock.
    [[nodiscard]] static QString DefaultPath();

    explicit InstanceLock(QString path = DefaultPath());
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result
    {
        Acquired,      // this object holds the lock (now or already)
        HeldByAnother, // another process (or another object) holds it
        Unavailable,   // the lock file cannot be opened
    };

    [[nodiscard]] Result TryAcquire();
    [[nodiscard]] const QString& Path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};
