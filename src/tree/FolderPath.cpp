#include "tree/FolderPath.h"

#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"

namespace FolderPath {

namespace {

const QString kEmptySegment = QStringLiteral("00000");
const QString kRecordSegment = QStringLiteral("99999");

QString segment(const QString& path, int index)
{
    return path.mid((index - 1) * kSegmentLength, kSegmentLength);
}

// Takes the next number of the level's counter and builds the new folder's path from the reference.
Allocation allocate(CDbConnection& connection, ModuleKind module, const QString& referencePath, int level)
{
    Allocation allocation;
    if (module == ModuleKind::None)
        return allocation;
    const QString counter = QStringLiteral("folder%1").arg(level);
    Recordset rs;
    try {
        if (!connection.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_FolderMax WHERE mModule=? LIMIT 1"),
                                      {moduleCode(module)}) ||
            rs.isEof())
            return allocation;
        const int last = FieldConversions::toInt(rs.field(counter));
        if (last >= kLastFolderNumber) {
            allocation.result = Allocation::Result::Exhausted;
            return allocation;
        }
        const int number = qMax(last, kCounterStart) + 1;
        rs.setField(counter, number);
        rs.update();
        allocation.result = Allocation::Result::Allocated;
        allocation.level = level;
        allocation.path = referencePath.left(kSegmentLength * (level - 1)) + QString::number(number) +
                          kEmptySegment.repeated(kMaxLevel - level) + QLatin1Char('0');
    } catch (const DbError&) {
        allocation = {};
    }
    return allocation;
}

} // namespace

Classification ClassifyPath(const QString& path)
{
    if (segment(path, 1) == kRecordSegment)
        return {Classification::Kind::RootRecord, 0};
    for (int next = 2; next <= kMaxLevel; ++next) {
        const QString s = segment(path, next);
        if (s == kEmptySegment)
            return {Classification::Kind::Folder, next - 1};
        if (s == kRecordSegment)
            return {Classification::Kind::Record, next - 1};
    }
    if (path.mid(kPathLength - 1, 1) != QLatin1String("0"))
        return {Classification::Kind::Record, kMaxLevel};
    return {Classification::Kind::Folder, kMaxLevel};
}

Allocation AllocateSiblingFolder(CDbConnection& connection, ModuleKind module, const QString& referencePath,
                                 int referenceType)
{
    int level = 0;
    if (referenceType == 1 || referenceType == kRootRecordType)
        level = 1;
    else if (referenceType >= 2 && referenceType <= 5)
        level = referenceType;
    else if (referenceType == 10 || referenceType == 20 || referenceType == 30 || referenceType == 40)
        level = referenceType / 10 + 1;
    if (level == 0)
        return {};
    return allocate(connection, module, referencePath, level);
}

Allocation AllocateChildFolder(CDbConnection& connection, ModuleKind module, const QString& referencePath,
                               int referenceType)
{
    int level = 0;
    bool underReference = false;
    if (referenceType >= 1 && referenceType <= 4) {
        level = referenceType + 1;
        underReference = true;
    } else if (referenceType == 5) {
        level = 5; // there is no sixth level: the folder becomes a sibling
    } else if (referenceType == 10 || referenceType == 20 || referenceType == 30 || referenceType == 40) {
        level = referenceType / 10 + 1;
    } else if (referenceType == kRootRecordType) {
        level = 1;
    }
    if (level == 0)
        return {};
    Allocation allocation = allocate(connection, module, referencePath, level);
    allocation.underReference = underReference;
    return allocation;
}

RecordPlacement MakeRecordPath(const QString& referencePath, int referenceType)
{
    RecordPlacement placement;
    if (referenceType >= 1 && referenceType <= kMaxLevel) {
        placement.path = referencePath.left(kSegmentLength * referenceType) +
                         kRecordSegment.repeated(kMaxLevel - referenceType) + QLatin1Char('9');
        placement.folderType = referenceType * 10;
        placement.underReference = true;
        placement.ok = true;
    } else if (referenceType == 10 || referenceType == 20 || referenceType == 30 || referenceType == 40 ||
               referenceType == 50 || referenceType == kRootRecordType) {
        placement.path = referencePath;
        placement.folderType = referenceType;
        placement.ok = true;
    }
    return placement;
}

QString SubtreePrefix(const QString& folderPath)
{
    for (int next = 2; next <= kMaxLevel; ++next) {
        if (segment(folderPath, next) == kEmptySegment)
            return folderPath.left(kSegmentLength * (next - 1));
    }
    return folderPath.left(kSegmentLength * kMaxLevel);
}

} // namespace FolderPath
