#include "security/DefaultKeySuggestion.h"

#include <sys/statvfs.h>

namespace DefaultKeySuggestion {

QString rootFileSystemId()
{
    struct statvfs info {};
    if (statvfs("/", &info) != 0)
        return {};
    // Some file systems report no id at all; a zero would suggest the same key on every such machine.
    if (info.f_fsid == 0)
        return {};
    return QString::number(static_cast<qulonglong>(info.f_fsid), 16);
}

} // namespace DefaultKeySuggestion
