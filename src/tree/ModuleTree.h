#pragma once

#include <QString>

#include <vector>

#include "state/ModuleKind.h"

struct AppState;
class CDbConnection;
class Recordset;

// One node of a module tree as the tree pane shows it.
struct TreeNodeData {
    int id = 0;
    QString caption;
    int image = 0;
    int parentId = 0; // 0: a top-level node
};

// Reading a module's rows and turning them into its tree.
namespace ModuleTree {

// Image indexes, the same in all three trees; a row marked important shows its image + kMarked.
enum Image { kLevel1Folder = 0, kFolder = 1, kRecord = 2, kMarked = 3 };

// The logged-in user's rows of the module in path order: id, mCaption, userId, createTime, orderId,
// folderType, parentId, mRank.
bool OpenModuleRows(AppState& state, ModuleKind module, Recordset& rows);

struct Build {
    std::vector<TreeNodeData> nodes; // parents always come before their children
    bool readError = false;          // the rows stopped reading part-way; the nodes so far stand
};

// Builds the tree from rows in path order. A row whose folder is missing goes under its nearest
// ancestor that is there, or to the top.
Build build(Recordset& rows, const QString& dataKey);

// The image of a row of the given path and mark.
int imageFor(const QString& path, int rank);
// Whether an image is one of the folder images.
inline bool isFolderImage(int image)
{
    return image % kMarked != kRecord;
}

} // namespace ModuleTree
