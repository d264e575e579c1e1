#include "tree/TreeCommands.h"

#include <algorithm>

#include "crypto/TextCipher.h"
#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/RowReader.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "tree/FolderPath.h"
#include "tree/ModuleTree.h"
#include "ui/Prompter.h"

using FieldConversions::toInt;
using FieldConversions::toText;

namespace {

// The reference of "同级文件夹" while nothing is selected: it yields a top-level folder.
const QString kNoSelectionPath = QStringLiteral("10000").repeated(5) + QStringLiteral("0");

TreeCommands::AddOutcome refused(const QString& statusText)
{
    TreeCommands::AddOutcome outcome;
    outcome.statusText = statusText;
    return outcome;
}

TreeCommands::DeleteOutcome deleteOutcome(const QString& statusText, bool deleted)
{
    TreeCommands::DeleteOutcome outcome;
    outcome.statusText = statusText;
    outcome.deleted = deleted;
    return outcome;
}

int folderImage(int level)
{
    return level == 1 ? ModuleTree::kLevel1Folder : ModuleTree::kFolder;
}

} // namespace

std::optional<AddCommandTexts> TreeCommands::textsFor(ModuleKind module, bool folder)
{
    if (module == ModuleKind::None)
        return std::nullopt;
    const ModuleInfo& info = moduleInfo(module);
    if (folder)
        return AddCommandTexts{info.folderCaption, info.folderAddedText, info.folderAddFailedText};
    return AddCommandTexts{info.recordCaption, info.recordAddedText, info.recordAddFailedText};
}

int TreeCommands::NextOrderId(CDbConnection& connection, ModuleKind module)
{
    Recordset rs;
    try {
        if (!connection.OpenRecordset(rs, QStringLiteral("SELECT max(orderId) AS a FROM ") + moduleTable(module)) ||
            rs.isEof())
            return 1;
        return toInt(rs.field(QStringLiteral("a")), 0) + 1;
    } catch (const DbError&) {
        return 1;
    }
}

TreeCommands::AddOutcome TreeCommands::AddSiblingFolder()
{
    return add(AddKind::SiblingFolder);
}

TreeCommands::AddOutcome TreeCommands::AddChildFolder()
{
    return add(AddKind::ChildFolder);
}

TreeCommands::AddOutcome TreeCommands::AddRecord()
{
    return add(AddKind::Record);
}

std::optional<TreeCommands::Reference> TreeCommands::selectedRow(ModuleKind module)
{
    const int id = m_state.selection(module).currentRecordId;
    Recordset rs;
    if (id < 1 ||
        !m_state.moduleConnection(module).OpenRecordset(
            rs,
            QStringLiteral("SELECT parentId, folderType, orderId FROM %1 WHERE id=? AND userId=?")
                .arg(moduleTable(module)),
            {id, m_state.user.id}) ||
        rs.isEof())
        return std::nullopt;
    return Reference{toText(rs.field(QStringLiteral("parentId"))), toInt(rs.field(QStringLiteral("folderType")), 0),
                     toInt(rs.field(QStringLiteral("orderId")), 0)};
}

int TreeCommands::insertRow(ModuleKind module, const QString& caption, const QString& path, int folderType)
{
    CDbConnection& connection = m_state.moduleConnection(module);
    const int orderId = NextOrderId(connection, module);
    connection.execute(QStringLiteral("INSERT INTO %1 (userId, createTime, folderType, parentId, orderId, mRank, "
                                      "mCaption) VALUES (?, ?, ?, ?, ?, 0, ?)")
                           .arg(moduleTable(module)),
                       {m_state.user.id, FieldConversions::currentDateTime(m_state.clock).value, folderType, path,
                        orderId, TextCipher::EncryptText(m_state.user.dataKey, caption)});
    return static_cast<int>(connection.lastInsertRowId());
}

TreeCommands::AddOutcome TreeCommands::add(AddKind kind)
{
    const ModuleKind module = m_state.currentModule;
    const std::optional<AddCommandTexts> texts = textsFor(module, kind != AddKind::Record);
    if (!texts)
        return refused(kNoModuleText);

    AddOutcome outcome;
    outcome.caption = texts->caption;
    Reference reference{kNoSelectionPath, 1, 0};
    if (m_state.selection(module).currentRecordId == 0) {
        if (kind != AddKind::SiblingFolder)
            return {}; // a sub-folder or a record needs a selected folder or record
    } else {
        // A selection whose row is gone (or was refused) gives nothing to add beside.
        std::optional<Reference> selected;
        try {
            selected = selectedRow(module);
        } catch (const DbError&) {
        }
        if (!selected)
            return refused(texts->failure);
        reference = *selected;
        outcome.parent = NodeParent::SelectedParent;
    }

    CDbConnection& connection = m_state.moduleConnection(module);
    try {
        Transaction transaction(connection);
        QString path;
        int folderType = 0;
        if (kind == AddKind::Record) {
            const FolderPath::RecordPlacement placement =
                FolderPath::MakeRecordPath(reference.path, reference.folderType);
            if (!placement.ok)
                return refused(texts->failure);
            path = placement.path;
            folderType = placement.folderType;
            outcome.image = ModuleTree::kRecord;
            outcome.parent = placement.underReference ? NodeParent::Selected : NodeParent::SelectedParent;
        } else {
            const FolderPath::Allocation allocation =
                kind == AddKind::SiblingFolder
                    ? FolderPath::AllocateSiblingFolder(connection, module, reference.path, reference.folderType)
                    : FolderPath::AllocateChildFolder(connection, module, reference.path, reference.folderType);
            if (allocation.result == FolderPath::Allocation::Result::Exhausted)
                return refused(kLimitText);
            if (allocation.result != FolderPath::Allocation::Result::Allocated)
                return refused(texts->failure);
            path = allocation.path;
            folderType = allocation.level;
            outcome.image = folderImage(allocation.level);
            if (allocation.underReference)
                outcome.parent = NodeParent::Selected;
        }
        outcome.id = insertRow(module, texts->caption, path, folderType);
        transaction.commit();
    } catch (const DbError&) {
        return refused(texts->failure);
    }
    outcome.added = true;
    outcome.statusText = texts->success;
    return outcome;
}

TreeCommands::DeleteOutcome TreeCommands::DeleteSelected()
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None)
        return {};
    CDbConnection& connection = m_state.moduleConnection(module);
    const QString table = moduleTable(module);
    try {
        const std::optional<Reference> selected = selectedRow(module);
        if (!selected)
            return deleteOutcome(kDeleteFailedText, false);
        const int id = m_state.selection(module).currentRecordId;
        // The plain-text copies of the bodies go with their records.
        QString bodyTexts = Schema::bodyTextTable(table);
        if (!bodyTexts.isEmpty() && !Schema::hasTable(connection, bodyTexts))
            bodyTexts.clear();
        if (FolderPath::isFolderType(selected->folderType)) {
            if (!m_prompter.confirm(kConfirmFolderDeleteText, QStringLiteral("删除"), QStringLiteral("取消")))
                return deleteOutcome(kDeleteFailedText, false);
            // The folder and every row whose path begins like the folder's: all its subfolders at
            // any depth and every record in them.
            const QString prefix = FolderPath::SubtreePrefix(selected->path);
            Transaction transaction(connection);
            connection.execute(QStringLiteral("DELETE FROM %1 WHERE id=?").arg(table), {id});
            // Paths are digits, so every path that begins with the prefix sorts before the prefix and ':'.
            const QString subtree =
                QStringLiteral("FROM %1 WHERE userId=? AND parentId >= ? AND parentId < ?").arg(table);
            const std::vector<FieldValue> range = {m_state.user.id, prefix, prefix + QLatin1Char(':')};
            if (!bodyTexts.isEmpty())
                connection.execute(QStringLiteral("DELETE FROM %1 WHERE id IN (SELECT id %2)").arg(bodyTexts, subtree),
                                   range);
            connection.execute(QStringLiteral("DELETE ") + subtree, range);
            transaction.commit();
        } else {
            Transaction transaction(connection);
            connection.execute(QStringLiteral("DELETE FROM %1 WHERE id=?").arg(table), {id});
            if (!bodyTexts.isEmpty())
                connection.execute(QStringLiteral("DELETE FROM %1 WHERE id=?").arg(bodyTexts), {id});
            transaction.commit();
        }
    } catch (const DbError&) {
        return deleteOutcome(kDeleteFailedText, false);
    }
    return deleteOutcome(kDeletedText, true);
}

TreeCommands::RenameOutcome TreeCommands::Rename(ModuleKind module, int id, const QString& caption)
{
    if (module == ModuleKind::None)
        return {};
    if (caption.trimmed().isEmpty())
        return {false, kEmptyNameText};
    if (const std::optional<QString> refusal = SharedTexts::unstorableText({{QStringLiteral("名称"), caption}}))
        return {false, *refusal};
    CDbConnection& connection = m_state.moduleConnection(module);
    try {
        Transaction transaction(connection);
        const int changed = connection.execute(
            QStringLiteral("UPDATE %1 SET mCaption=? WHERE id=? AND userId=?").arg(moduleTable(module)),
            {TextCipher::EncryptText(m_state.user.dataKey, caption), id, m_state.user.id});
        if (changed != 1)
            return {false, kRenameFailedText};
        transaction.commit();
    } catch (const DbError&) {
        return {false, kRenameFailedText};
    }
    return {true, kRenamedText};
}

bool TreeCommands::MoveToTop()
{
    return moveToEnd(true);
}

bool TreeCommands::MoveToBottom()
{
    return moveToEnd(false);
}

bool TreeCommands::MoveUp()
{
    return swapWithNeighbour(true);
}

bool TreeCommands::MoveDown()
{
    return swapWithNeighbour(false);
}

bool TreeCommands::moveToEnd(bool top)
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None)
        return false;
    CDbConnection& connection = m_state.moduleConnection(module);
    const int id = m_state.selection(module).currentRecordId;
    try {
        const std::optional<Reference> selected = selectedRow(module);
        // Folders stand in the order they were made, whatever their order numbers.
        if (!selected || FolderPath::isFolderType(selected->folderType))
            return false;
        // The folder's records from the end the record goes to up to the record itself, read from the
        // tree index so that the cost follows the folder and not the table.
        const QString table = moduleTable(module);
        const QString statement =
            top ? QStringLiteral("SELECT id, orderId FROM %1 WHERE userId=? AND parentId=? AND orderId <= ? "
                                 "ORDER BY orderId ASC")
                : QStringLiteral("SELECT id, orderId FROM %1 WHERE userId=? AND parentId=? AND orderId >= ? "
                                 "ORDER BY orderId DESC");
        Transaction transaction(connection);
        std::vector<int> ids;
        std::vector<qint64> orders;
        {
            RowReader reader(connection, statement.arg(table), {m_state.user.id, selected->path, selected->orderId});
            while (reader.next()) {
                ids.push_back(static_cast<int>(reader.integer(0)));
                orders.push_back(reader.integer(1));
            }
        }
        const auto at = std::find(ids.begin(), ids.end(), id);
        if (at == ids.end() || at == ids.begin())
            return false; // already first (last) of its folder
        // Rotation: the record takes the folder's number at that end and each record it passes takes the
        // number of the next one towards the record. The numbers in use stay the same set, so they stay
        // unique in the table and no other folder changes.
        const std::size_t position = static_cast<std::size_t>(at - ids.begin());
        std::vector<std::vector<FieldValue>> writes;
        writes.reserve(position + 1);
        writes.push_back({orders.front(), id});
        for (std::size_t i = 0; i < position; ++i) {
            if (orders[i] != orders[i + 1])
                writes.push_back({orders[i + 1], ids[i]});
        }
        connection.executeEach(QStringLiteral("UPDATE %1 SET orderId=? WHERE id=?").arg(table), writes);
        transaction.commit();
        m_state.selection(module).currentOrderId = static_cast<int>(orders.front());
    } catch (const DbError&) {
        return false;
    }
    return true;
}

bool TreeCommands::swapWithNeighbour(bool up)
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None)
        return false;
    CDbConnection& connection = m_state.moduleConnection(module);
    const int id = m_state.selection(module).currentRecordId;
    const QString table = moduleTable(module);
    try {
        const std::optional<Reference> selected = selectedRow(module);
        if (!selected)
            return false;
        // The neighbour is the next record of the same folder in tree order, so the record visibly
        // moves by one; at the first or last place there is none.
        Recordset neighbour;
        const QString statement =
            up ? QStringLiteral("SELECT id, orderId FROM %1 WHERE userId=? AND parentId=? AND id<>? AND orderId < ? "
                                "ORDER BY orderId DESC LIMIT 1")
               : QStringLiteral("SELECT id, orderId FROM %1 WHERE userId=? AND parentId=? AND id<>? AND orderId > ? "
                                "ORDER BY orderId ASC LIMIT 1");
        if (!connection.OpenRecordset(neighbour, statement.arg(table),
                                      {m_state.user.id, selected->path, id, selected->orderId}) ||
            neighbour.isEof())
            return false;
        const int otherId = toInt(neighbour.field(QStringLiteral("id")));
        const int otherOrder = toInt(neighbour.field(QStringLiteral("orderId")));
        Transaction transaction(connection);
        const QString update = QStringLiteral("UPDATE %1 SET orderId=? WHERE id=?").arg(table);
        connection.execute(update, {otherOrder, id});
        connection.execute(update, {selected->orderId, otherId});
        transaction.commit();
        m_state.selection(module).currentOrderId = otherOrder;
    } catch (const DbError&) {
        return false;
    }
    return true;
}
