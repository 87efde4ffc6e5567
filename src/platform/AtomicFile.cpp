#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

// The temporary file has one fixed name beside the target, so a write killed half-way leaves at
// most one of them, and the next write takes it over. Writers take turns on it with a lock.
const char kTemporarySuffix[] = ".saving";

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const { return m_fd; }

private:
    int m_fd;
};

// The temporary file, opened and locked: a writer that was waiting for the lock while another
// renamed the file away holds the target, not a temporary, and opens again.
int OpenTemporary(const QByteArray& temporary, mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0) {
            return -1;
        }
        int locked = 0;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        struct stat held = {};
        struct stat named = {};
        if (locked == 0 && ::fstat(fd, &held) == 0 && ::lstat(temporary.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            return fd;
        }
        const int saved = errno;
        ::close(fd);
        if (locked != 0) {
            errno = saved;
            return -1;
        }
    }
    errno = EAGAIN;
    return -1;
}

bool WriteAll(int fd, const QByteArray& content)
{
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

bool Write(const QString& path, const QByteArray& content, FileAccess access, QString* error)
{
    // A link is followed: the file it names is replaced, and the link stays.
    const QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray temporary = targetName + kTemporarySuffix;
    const auto fail = [&](int code) {
        if (error != nullptr) {
            *error =
                QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(code)));
        }
        return false;
    };

    // An existing file keeps its rights unless they must narrow; a new one gets the umask's.
    struct stat existing = {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : (exists ? existing.st_mode & 07777 : 0666);
    const Descriptor fd(OpenTemporary(temporary, access == FileAccess::OwnerOnly ? 0600 : 0666));
    if (fd.Get() < 0) {
        return fail(errno);
    }
    // Set before any byte is written, so the content never has wider rights for a moment.
    if ((access == FileAccess::OwnerOnly || exists) && ::fchmod(fd.Get(), mode) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(code);
    }
    // Written, on the disk, then renamed over the target: the rename is the one moment of change.
    if (::ftruncate(fd.Get(), 0) != 0 || !WriteAll(fd.Get(), content) || ::fsync(fd.Get()) != 0 ||
        ::rename(temporary.constData(), targetName.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(code);
    }
    return true;
}

} // namespace AtomicFile
