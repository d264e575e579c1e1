#include "storage/FileSync.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

namespace FileSync {

namespace {

bool sync(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

bool syncFile(const QString& path)
{
    return sync(path, O_RDONLY);
}

bool syncFolderOf(const QString& path)
{
    return sync(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

} // namespace FileSync
