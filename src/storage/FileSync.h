#pragma once

#include <QString>

// Making a file, or a rename in a folder, survive a power cut and not only a crash.
namespace FileSync {

// Flushes the file's content to the disk.
bool syncFile(const QString& path);
// Flushes the folder holding the path, so that a rename into it is on the disk.
bool syncFolderOf(const QString& path);

} // namespace FileSync
