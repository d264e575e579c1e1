#include "tree/ModuleTree.h"

#include <array>

#include "crypto/TextCipher.h"
#include "state/AppState.h"
#include "storage/DbError.h"
#include "storage/RowReader.h"
#include "tree/FolderPath.h"

namespace ModuleTree {

namespace {

using FolderPath::Classification;

struct Slot {
    int id = 0;
    QString path;
};

} // namespace

int imageFor(const QString& path, int rank)
{
    const Classification place = FolderPath::ClassifyPath(path);
    int image = kRecord;
    if (place.isFolder())
        image = place.level == 1 ? kLevel1Folder : kFolder;
    return rank != 0 ? image + kMarked : image;
}

LoadResult load(AppState& state, ModuleKind module, const std::function<void(const TreeNodeData&)>& add)
{
    LoadResult result;
    if (module == ModuleKind::None)
        return result;
    // The last folder inserted at each level. In path order a row's folder is the last one of its
    // level, unless that folder is missing; checking the path prefix keeps an orphan out of a
    // stranger's subtree.
    std::array<Slot, FolderPath::kMaxLevel + 1> lastFolder{};
    AesCipher cipher;
    const QString& dataKey = state.user.dataKey;
    try {
        RowReader rows(state.moduleConnection(module),
                       QStringLiteral("SELECT id, mCaption, parentId, mRank FROM %1 WHERE userId=? "
                                      "ORDER BY parentId, orderId")
                           .arg(moduleTable(module)),
                       {state.user.id});
        result.opened = true;
        TreeNodeData node;
        while (rows.next()) {
            node.id = static_cast<int>(rows.integer(0));
            const QByteArrayView caption = rows.bytes(1);
            node.caption =
                TextCipher::DecryptText(cipher, dataKey, QByteArray::fromRawData(caption.data(), caption.size()));
            const QString path = rows.text(2);
            node.image = imageFor(path, static_cast<int>(rows.integer(3)));

            const Classification place = FolderPath::ClassifyPath(path);
            int parentLevel = place.isFolder() ? place.level - 1 : place.level;
            for (; parentLevel > 0; --parentLevel) {
                const Slot& slot = lastFolder[static_cast<std::size_t>(parentLevel)];
                const qsizetype prefix = FolderPath::kSegmentLength * parentLevel;
                if (slot.id != 0 && QStringView(slot.path).left(prefix) == QStringView(path).left(prefix))
                    break;
            }
            node.parentId = parentLevel > 0 ? lastFolder[static_cast<std::size_t>(parentLevel)].id : 0;
            if (place.isFolder())
                lastFolder[static_cast<std::size_t>(place.level)] = {node.id, path};
            add(node);
        }
    } catch (const DbError&) {
        result.readError = result.opened;
    }
    return result;
}

} // namespace ModuleTree
