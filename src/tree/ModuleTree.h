#pragma once

#include <QString>

#include <functional>

#include "state/ModuleKind.h"

struct AppState;

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

struct LoadResult {
    bool opened = false;    // false: the rows could not be read at all
    bool readError = false; // the rows stopped reading part-way; the nodes so far stand
};

// Reads the logged-in user's rows of the module in path order (only the columns the tree shows),
// decrypts each caption once and hands every node to `add`, a parent always before its children.
// A row whose folder is missing goes under its nearest ancestor that is there, or to the top.
LoadResult load(AppState& state, ModuleKind module, const std::function<void(const TreeNodeData&)>& add);

// The image of a row of the given path and mark.
int imageFor(const QString& path, int rank);
// Whether an image is one of the folder images.
inline bool isFolderImage(int image)
{
    return image % kMarked != kRecord;
}

} // namespace ModuleTree
