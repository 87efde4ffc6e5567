#include "platform/InstanceLock.h"

#include "platform/XdgPaths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

QString InstanceLock::DefaultPath()
{
    const QString runtimeDir = XdgPaths::RuntimeDir();
    if (!runtimeDir.isEmpty()) {
        return runtimeDir + QStringLiteral("/Examora.lock");
    }
    return QStringLiteral("/tmp/Examora-%1.lock").arg(getuid());
}

InstanceLock::InstanceLock(QString path)
    : m_path(std::move(path))
{
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

InstanceLock::Result InstanceLock::TryAcquire()
{
    if (m_fd >= 0) {
        return Result::Acquired;
    }
    // O_NOFOLLOW: in a shared /tmp another user could plant a link to a file of ours.
    const int fd = ::open(m_path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return Result::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Result::HeldByAnother;
    }
    m_fd = fd;
    return Result::Acquired;
}
