#pragma once

#include <QIcon>
#include <QSet>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

#include "state/ModuleKind.h"
#include "tree/TreeCommands.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class Prompter;
struct AppState;

// The left pane of the main window: a caption band over three stacked trees, one per module, of
// which only the current module's is visible.
class CIndexView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CIndexView)

public:
    static constexpr int kImageCount = 6;
    static constexpr int kCaptionHeight = 29;

    CIndexView(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Loads the three trees, then leaves no module current. Runs once, when the main window is
    // ready to hear the pane's status texts.
    void initialUpdate();

    // Rebuilds one module's tree from its rows; leaves that module current.
    void LoadModuleTree(ModuleKind module);
    // Rebuilds the current module's tree, keeping the open folders open and the current record
    // selected; nothing on the home page.
    void ReloadCurrentTree();
    // Gives the selected node of the current module's tree a new caption (after a record save).
    void RenameSelectedNode(const QString& caption);
    // Gives the node of a row a new caption, wherever it is.
    void renameNode(ModuleKind module, int id, const QString& caption);

    // Asked before a module's selection moves to another node; false keeps the selection where it is.
    void setLeaveGuard(std::function<bool(ModuleKind)> guard) { m_leaveGuard = std::move(guard); }

    // The caption band's text (control 4006).
    void setCaption(const QString& caption);
    QString caption() const;

    // Makes the current module's tree the visible one; an empty module hides all three. Changes
    // nothing when that tree is visible already, so switching back and forth never disturbs a tree.
    void ShowModuleTree();

    QTreeWidget* tree(ModuleKind module) const;
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
    void onSelectionChanged(ModuleKind module);
    void onItemChanged(ModuleKind module, QTreeWidgetItem* item);
    static QTreeWidgetItem* newItem(const QIcon& icon, int id, const QString& caption, int image);
    static void setCaptionOf(QTreeWidgetItem* item, const QString& caption);
    void fill(ModuleKind module, const QSet<int>& expandedIds, int selectId);
    QTreeWidgetItem* selectedItem(ModuleKind module) const;
    QTreeWidgetItem* findItem(ModuleKind module, int id) const;
    void select(ModuleKind module, QTreeWidgetItem* item);
    void runAdd(TreeCommands::AddOutcome (TreeCommands::*add)());
    void runMove(bool (TreeCommands::*move)());

    AppState& m_state;
    Prompter& m_prompter;
    QLabel* m_captionBand;
    std::array<QTreeWidget*, 3> m_trees{};
    std::array<std::array<QIcon, kImageCount>, 3> m_images;
    std::function<bool(ModuleKind)> m_leaveGuard;
};
