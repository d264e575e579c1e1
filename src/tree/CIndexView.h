#pragma once

#include <QIcon>
#include <QModelIndex>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

#include "state/ModuleKind.h"
#include "tree/TreeCommands.h"

class QLabel;
class QTreeView;
class Prompter;
class TreeModel;
struct AppState;

// The left pane of the main window: a caption band over three stacked trees, one per module, of
// which only the current module's is visible. A module's tree is read when it is first shown.
class CIndexView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CIndexView)

public:
    static constexpr int kImageCount = 6;
    static constexpr int kCaptionHeight = 29;

    CIndexView(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Leaves no module current. Runs once, when the main window is ready to hear the pane's status
    // texts; the trees themselves are read when first shown.
    void initialUpdate();

    // Rebuilds one module's tree from its rows; leaves that module current.
    void LoadModuleTree(ModuleKind module);
    // Rebuilds the current module's tree, keeping the open folders open and the current record
    // selected; nothing on the home page.
    void ReloadCurrentTree();
    // Gives the selected node of the current module's tree a new caption (after a record save).
    void RenameSelectedNode(const QString& caption);
    // Gives the node of a row a new caption and shows its mark, wherever it is (after a record save).
    void showSavedNode(ModuleKind module, int id, const QString& caption, bool important);

    // Selects a row of the module's tree, opening the folders above it, as the user's selection would;
    // false when the tree has no such row.
    bool selectRecord(ModuleKind module, int id);

    // Asked before a module's selection moves to another node; false keeps the selection where it is.
    void setLeaveGuard(std::function<bool(ModuleKind)> guard) { m_leaveGuard = std::move(guard); }

    // The caption band's text (control 4006).
    void setCaption(const QString& caption);
    QString caption() const;

    // Makes the current module's tree the visible one, reading it the first time; an empty module
    // hides all three. Changes nothing when that tree is visible already, so switching back and forth
    // never disturbs a tree.
    void ShowModuleTree();

    QTreeView* tree(ModuleKind module) const;
    TreeModel* model(ModuleKind module) const;
    // Image 0 level-1 folder, 1 deeper folder, 2 record; 3 to 5 the same marked "重要".
    QIcon treeImage(ModuleKind module, int index) const;

    static inline const QString kHomeCaption = QStringLiteral(" 管理中心");

public slots:
    // The folder and record commands of the edit menu, on the current module's tree.
    void addSiblingFolder();
    void addChildFolder();
    void addRecord();
    void deleteSelected();
    void moveToTop();
    void moveUp();
    void moveDown();
    void moveToBottom();

signals:
    // An outcome text for the message pane of the main window's status bar.
    void statusMessage(const QString& text);
    // The selection of a module's tree changed; its CurrentRecordId holds the new node (0: none).
    void recordSelected(ModuleKind module);
    // The selected row was deleted (with what stood below it); the next selection follows.
    void recordDeleted(ModuleKind module);
    // The user renamed a row in the tree.
    void captionRenamed(ModuleKind module, int id, const QString& caption);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadImages();
    void fill(ModuleKind module, const QList<int>& expandedIds, int selectId);
    void onSelectionChanged(ModuleKind module);
    void onRenameRequested(ModuleKind module, const QModelIndex& index, const QString& caption);
    QModelIndex selectedIndex(ModuleKind module) const;
    // Selects the node (none for an invalid index) as the user's selection would, with its notification.
    void select(ModuleKind module, const QModelIndex& index);
    // Selects the node without any notification.
    void setSelection(ModuleKind module, const QModelIndex& index);
    void runAdd(TreeCommands::AddOutcome (TreeCommands::*add)());
    // A record moved among the records of its folder: to the first or last place, or one place.
    enum class Move { Top, Up, Down, Bottom };
    void runMove(bool (TreeCommands::*command)(), Move where);

    AppState& m_state;
    Prompter& m_prompter;
    QLabel* m_captionBand;
    std::array<QTreeView*, 3> m_trees{};
    std::array<TreeModel*, 3> m_models{};
    std::array<bool, 3> m_loaded{};
    std::array<std::array<QIcon, kImageCount>, 3> m_images;
    std::function<bool(ModuleKind)> m_leaveGuard;
    bool m_quiet = false; // selection changes made by the pane itself notify nobody
};
