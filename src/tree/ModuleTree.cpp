#include "tree/ModuleTree.h"

#include <array>

#include "crypto/TextCipher.h"
#include "state/AppState.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "tree/FolderPath.h"

namespace ModuleTree {

namespace {

using FolderPath::Classification;

struct Slot {
    int id = 0;
    QString path;
};

} // namespace

bool OpenModuleRows(AppState& state, ModuleKind module, Recordset& rows)
{
    if (module == ModuleKind::None)
        return false;
    const QString statement = QStringLiteral("SELECT id, mCaption, userId, createTime, orderId, folderType, parentId, "
                                             "mRank FROM %1 WHERE userId=? ORDER BY parentId, orderId")
                                  .arg(moduleTable(module));
    return state.moduleConnection(module).OpenRecordset(rows, statement, {state.user.id});
}

int imageFor(const QString& path, int rank)
{
    const Classification place = FolderPath::ClassifyPath(path);
    int image = kRecord;
    if (place.isFolder())
        image = place.level == 1 ? kLevel1Folder : kFolder;
    return rank != 0 ? image + kMarked : image;
}

Build build(Recordset& rows, const QString& dataKey)
{
    Build result;
    // The last folder inserted at each level. In path order a row's folder is the last one of its
    // level, unless that folder is missing; checking the path prefix keeps an orphan out of a
    // stranger's subtree.
    std::array<Slot, FolderPath::kMaxLevel + 1> lastFolder{};
    AesCipher cipher;
    try {
        if (!rows.isBof())
            rows.moveFirst();
        for (; !rows.isEof(); rows.moveNext()) {
            TreeNodeData node;
            node.id = FieldConversions::toInt(rows.field(QStringLiteral("id")));
            const int rank = FieldConversions::toInt(rows.field(QStringLiteral("mRank")), 0);
            node.caption = TextCipher::DecryptText(cipher, dataKey,
                                                   FieldConversions::ReadLongBinary(rows, QStringLiteral("mCaption")));
            const QString path = FieldConversions::toText(rows.field(QStringLiteral("parentId")));
            node.image = imageFor(path, rank);

            const Classification place = FolderPath::ClassifyPath(path);
            int parentLevel = place.isFolder() ? place.level - 1 : place.level;
            for (; parentLevel > 0; --parentLevel) {
                const Slot& slot = lastFolder[static_cast<std::size_t>(parentLevel)];
                const qsizetype prefix = FolderPath::kSegmentLength * parentLevel;
                if (slot.id != 0 && slot.path.left(prefix) == path.left(prefix))
                    break;
            }
            node.parentId = parentLevel > 0 ? lastFolder[static_cast<std::size_t>(parentLevel)].id : 0;
            if (place.isFolder())
                lastFolder[static_cast<std::size_t>(place.level)] = {node.id, path};
            result.nodes.push_back(std::move(node));
        }
    } catch (const DbError&) {
        result.readError = true;
    }
    return result;
}

} // namespace ModuleTree
