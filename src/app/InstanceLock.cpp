#include "app/InstanceLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

// A directory itself (not a link to one), owned by the user, that no one else may enter.
bool isPrivateDirectory(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

} // namespace

InstanceLock::~InstanceLock()
{
    release();
}

QString InstanceLock::lockDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateDirectory(runtime))
        return runtime;
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("tiv-%1").arg(::geteuid()));
    const QByteArray native = QFile::encodeName(own);
    if (::mkdir(native.constData(), 0700) != 0 && errno == EEXIST) {
        // Ours but opened up since (by hand, or by an unusual umask): close it again.
        struct stat info {};
        if (::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid())
            ::chmod(native.constData(), 0700);
    }
    return isPrivateDirectory(own) ? own : QString();
}

QString InstanceLock::lockPath()
{
    const QString directory = lockDirectory();
    return directory.isEmpty() ? QString() : QDir(directory).filePath(QStringLiteral("vantaTivSec"));
}

InstanceLock::Result InstanceLock::acquire()
{
    // A new session of this run (after a lock or a restore) keeps the lock it holds.
    if (isHeld())
        return Result::Acquired;
    if (isHeld())
        return Result::Acquired;
    const QString path = lockPath();
    if (path.isEmpty())
        return Result::Unavailable;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result::Unavailable;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return Result::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Acquired;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}
