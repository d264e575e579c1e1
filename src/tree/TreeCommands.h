#pragma once

#include <QString>

#include <optional>

#include "state/ModuleKind.h"

struct AppState;
class CDbConnection;
class Prompter;

// The default caption and the outcome texts of an add.
struct AddCommandTexts {
    QString caption;
    QString success;
    QString failure;
};

// Adding, deleting and reordering the rows of the module on show. Each command writes all of its
// changes in one transaction and returns what the tree pane must show.
class TreeCommands final {
public:
    TreeCommands(AppState& state, Prompter& prompter) : m_state(state), m_prompter(prompter) {}

    // Where the tree pane puts a new node.
    enum class NodeParent { Top, Selected, SelectedParent };

    struct AddOutcome {
        QString statusText; // empty: the command ended silently
        bool added = false;
        int id = 0;
        QString caption;
        int image = 0;
        NodeParent parent = NodeParent::Top;
    };

    AddOutcome AddSiblingFolder();
    AddOutcome AddChildFolder();
    AddOutcome AddRecord();

    struct DeleteOutcome {
        QString statusText; // "删除成功" or "删除失败"; empty when nothing was attempted
        bool deleted = false;
    };

    // Deletes the selected record, or the selected folder with everything below it after the user
    // confirmed.
    DeleteOutcome DeleteSelected();

    struct RenameOutcome {
        bool renamed = false;
        QString statusText;
    };
    // Gives the user's row of the module a new caption, under the DataKey. An empty caption is refused.
    RenameOutcome Rename(ModuleKind module, int id, const QString& caption);

    // Each returns whether an order changed.
    bool MoveToTop();
    bool MoveUp();
    bool MoveDown();
    bool MoveToBottom();

    static std::optional<AddCommandTexts> textsFor(ModuleKind module, bool folder);
    // One above the highest orderId of the module's table (all users, all folders); 1 when empty.
    static int NextOrderId(CDbConnection& connection, ModuleKind module);

    static inline const QString kNoModuleText = QStringLiteral("读取增加操作相关信息失败");
    static inline const QString kLimitText =
        QStringLiteral("当前目录添加文件夹已达到89999个的极限，请在另外目录建文件夹或联系作者解决！");
    static inline const QString kDeletedText = QStringLiteral("删除成功");
    static inline const QString kDeleteFailedText = QStringLiteral("删除失败");
    static inline const QString kRenamedText = QStringLiteral("修改名称成功");
    static inline const QString kRenameFailedText = QStringLiteral("修改名称失败");
    static inline const QString kEmptyNameText = QStringLiteral("名称不能为空");
    static inline const QString kConfirmFolderDeleteText =
        QStringLiteral("确认删除当前目录及其下的子文件夹和文件吗？\r\n\r\n注意：该操作不可恢复");

private:
    enum class AddKind { SiblingFolder, ChildFolder, Record };
    struct Reference {
        QString path;
        int folderType = 0;
        int orderId = 0;
    };

    AddOutcome add(AddKind kind);
    std::optional<Reference> selectedRow(ModuleKind module);
    int insertRow(ModuleKind module, const QString& caption, const QString& path, int folderType);
    bool moveToEnd(bool top);
    bool swapWithNeighbour(bool up);

    AppState& m_state;
    Prompter& m_prompter;
};
