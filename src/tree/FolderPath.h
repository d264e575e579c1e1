#pragma once

#include <QString>

#include "state/ModuleKind.h"

class CDbConnection;

// A row's place in its module tree, written into parentId: five segments of five digits (the
// numbers of the folder and its ancestors, 00000 below a folder's own level, 99999 below a record's
// folder) and a marker, "0" for a folder and "9" for a record. folderType repeats kind and depth:
// 1-5 a folder of that level, 10-50 a record in a folder of level 1-5, 99 a record at the root.
namespace FolderPath {

inline constexpr int kPathLength = 26;
inline constexpr int kSegmentLength = 5;
inline constexpr int kMaxLevel = 5;
inline constexpr int kRootRecordType = 99;
// Counters start here in a new database; the first number handed out is one more.
inline constexpr int kCounterStart = 10000;
// The last folder number handed out. 99999 is the record marker, so a folder numbered 99999 would
// read back as a record; the counters stop one short of it.
inline constexpr int kLastFolderNumber = 99998;

struct Classification {
    enum class Kind { RootRecord, Folder, Record };
    Kind kind = Kind::RootRecord;
    int level = 0; // the folder's level, or the level of the folder a record is in; 0 at the root

    bool isFolder() const { return kind == Kind::Folder; }
    bool operator==(const Classification&) const = default;
};

Classification ClassifyPath(const QString& path);

inline bool isFolderType(int folderType)
{
    return folderType <= 9;
}

struct Allocation {
    enum class Result { Failed = 0, Allocated = 1, Exhausted = 9 };
    Result result = Result::Failed;
    QString path;
    int level = 0;
    // Where the new node goes: under the reference node, or beside it (under its parent).
    bool underReference = false;
};

// A folder at the reference row's own level (for a record: at the level of its folder's children).
// Consumes a number of that level's counter in tb_FolderMax on the given connection.
Allocation AllocateSiblingFolder(CDbConnection& connection, ModuleKind module, const QString& referencePath,
                                 int referenceType);
// A folder one level below a folder (beside it at level 5), or beside a record.
Allocation AllocateChildFolder(CDbConnection& connection, ModuleKind module, const QString& referencePath,
                               int referenceType);

struct RecordPlacement {
    bool ok = false;
    QString path;
    int folderType = 0;
    bool underReference = false;
};

// A new record in the selected folder, or in the folder of the selected record.
RecordPlacement MakeRecordPath(const QString& referencePath, int referenceType);

// The leading characters that the folder and everything below it share, and no other row has.
QString SubtreePrefix(const QString& folderPath);

} // namespace FolderPath
