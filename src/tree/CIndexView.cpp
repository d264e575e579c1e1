#include "tree/CIndexView.h"

#include <QHash>
#include <QLabel>
#include <QResizeEvent>
#include <QTreeWidgetItemIterator>

#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "storage/Recordset.h"
#include "tree/IndexTree.h"
#include "tree/ModuleTree.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"
#include "ui/TivResources.h"

namespace {

const QColor kPaneBackground(247, 247, 255);
// A soft gradient band, so the caption reads as a title and not as a control.
const QString kCaptionStyle = QStringLiteral(
    "QLabel#captionLabel {"
    " color: rgb(44, 86, 86);"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7fbfd, stop:0.55 #e3eef4, stop:1 #cfe1ea);"
    " border: none; border-bottom: 1px solid #9fbccb; padding-left: 2px; }");

// Node data: the row's id, and its image, which also tells folders from records.
constexpr int kIdRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
// The caption as stored, to tell a rename by the user from a change of the node by the program.
constexpr int kCaptionRole = Qt::UserRole + 2;

int idOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kIdRole).toInt() : 0;
}

bool isFolder(const QTreeWidgetItem* item)
{
    return ModuleTree::isFolderImage(item->data(0, kImageRole).toInt());
}

} // namespace

CIndexView::CIndexView(AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_state(state), m_prompter(prompter), m_captionBand(new QLabel(kHomeCaption, this))
{
    setObjectName(QStringLiteral("indexView"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kPaneBackground);
    setPalette(colours);
    setAutoFillBackground(true);
    setMinimumWidth(60);

    m_captionBand->setObjectName(QStringLiteral("captionLabel"));
    m_captionBand->setFont(Skin::uiFont(12));
    m_captionBand->setStyleSheet(kCaptionStyle);
    m_captionBand->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    for (std::size_t i = 0; i < m_trees.size(); ++i) {
        auto* tree = new IndexTree(this);
        tree->setObjectName(moduleInfos()[i].name + QStringLiteral("Tree"));
        tree->setFont(Skin::uiFont(10));
        tree->hide(); // nothing is visible until the main window picks a module
        m_trees[i] = tree;
        const ModuleKind module = kAllModules[i];
        connect(tree, &QTreeWidget::itemSelectionChanged, this, [this, module] { onSelectionChanged(module); });
        // F2 or a slow second click renames a node in place.
        tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        connect(tree, &QTreeWidget::itemChanged, this,
                [this, module](QTreeWidgetItem* item) { onItemChanged(module, item); });
    }
    loadImages();
    setWhatsThis(QStringLiteral("文件夹树：显示当前模块的文件夹和记录。选中一项，右边即显示该记录。"));
}

void CIndexView::loadImages()
{
    for (ModuleKind module : kAllModules) {
        auto& images = m_images[moduleIndex(module)];
        for (int index = 0; index < kImageCount; ++index)
            images[static_cast<std::size_t>(index)] =
                TivResources::icon(QStringLiteral("tree-%1-%2").arg(moduleInfo(module).name).arg(index));
    }
}

void CIndexView::setCaption(const QString& caption)
{
    m_captionBand->setText(caption);
}

QString CIndexView::caption() const
{
    return m_captionBand->text();
}

void CIndexView::ShowModuleTree()
{
    const ModuleKind current = m_state.currentModule;
    if (current != ModuleKind::None && !m_trees[moduleIndex(current)]->isHidden())
        return;
    for (ModuleKind module : kAllModules)
        m_trees[moduleIndex(module)]->setVisible(module == current);
}

QTreeWidget* CIndexView::tree(ModuleKind module) const
{
    return module == ModuleKind::None ? nullptr : m_trees[moduleIndex(module)];
}

QIcon CIndexView::treeImage(ModuleKind module, int index) const
{
    if (module == ModuleKind::None || index < 0 || index >= kImageCount)
        return {};
    return m_images[moduleIndex(module)][static_cast<std::size_t>(index)];
}

void CIndexView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    // A pane squeezed to almost nothing keeps its last arrangement.
    if (size.width() <= 10 && size.height() <= 20)
        return;
    m_captionBand->setGeometry(0, 0, size.width(), kCaptionHeight);
    // The trees overlap the band's bottom line by one pixel so the two share a border.
    for (QTreeWidget* tree : m_trees)
        tree->setGeometry(0, kCaptionHeight - 1, size.width() - 1, size.height() - (kCaptionHeight - 1));
}

void CIndexView::initialUpdate()
{
    for (ModuleKind module : kAllModules)
        LoadModuleTree(module);
    m_state.currentModule = ModuleKind::None;
}

void CIndexView::LoadModuleTree(ModuleKind module)
{
    fill(module, {}, 0);
}

void CIndexView::ReloadCurrentTree()
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None)
        return;
    QSet<int> expanded;
    for (QTreeWidgetItemIterator it(tree(module)); *it; ++it) {
        if ((*it)->isExpanded())
            expanded.insert(idOf(*it));
    }
    fill(module, expanded, m_state.selection(module).currentRecordId);
}

void CIndexView::fill(ModuleKind module, const QSet<int>& expandedIds, int selectId)
{
    Recordset rows;
    if (!ModuleTree::OpenModuleRows(m_state, module, rows)) {
        m_prompter.showMessage(moduleInfo(module).rowsOpenFailedText, SharedTexts::kProductCaption);
        return;
    }
    m_state.currentModule = module;
    const ModuleTree::Build build = ModuleTree::build(rows, m_state.user.dataKey);
    CDbConnection::CloseRecordset(rows);

    QTreeWidget* widget = tree(module);
    const auto& images = m_images[moduleIndex(module)];
    // Emptying and filling the tree is no change of selection: the current record stays current
    // and the editor keeps showing it.
    const QSignalBlocker quiet(widget);
    widget->setUpdatesEnabled(false);
    widget->clear();
    // Nodes are linked while they are detached and handed to the tree in one go, which keeps a
    // large tree quick to build.
    QHash<int, QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(build.nodes.size()));
    QList<QTreeWidgetItem*> topLevel;
    for (const TreeNodeData& node : build.nodes) {
        QTreeWidgetItem* item =
            newItem(images[static_cast<std::size_t>(node.image)], node.id, node.caption, node.image);
        QTreeWidgetItem* parent = node.parentId != 0 ? items.value(node.parentId) : nullptr;
        if (parent)
            parent->addChild(item);
        else
            topLevel.append(item);
        items.insert(node.id, item);
    }
    widget->addTopLevelItems(topLevel);
    for (int id : expandedIds) {
        if (QTreeWidgetItem* item = items.value(id))
            item->setExpanded(true);
    }
    if (QTreeWidgetItem* item = items.value(selectId)) {
        widget->setCurrentItem(item);
        widget->scrollToItem(item);
    }
    widget->setUpdatesEnabled(true);
    if (build.readError)
        Q_EMIT statusMessage(moduleInfo(module).treeReadFailedText);
}

QTreeWidgetItem* CIndexView::newItem(const QIcon& icon, int id, const QString& caption, int image)
{
    auto* item = new QTreeWidgetItem(QStringList{caption});
    item->setIcon(0, icon);
    item->setData(0, kIdRole, id);
    item->setData(0, kImageRole, image);
    item->setData(0, kCaptionRole, caption);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

void CIndexView::RenameSelectedNode(const QString& caption)
{
    if (m_state.currentModule == ModuleKind::None)
        return;
    setCaptionOf(selectedItem(m_state.currentModule), caption);
}

void CIndexView::renameNode(ModuleKind module, int id, const QString& caption)
{
    if (module != ModuleKind::None)
        setCaptionOf(findItem(module, id), caption);
}

void CIndexView::setCaptionOf(QTreeWidgetItem* item, const QString& caption)
{
    if (!item)
        return;
    // The program's change of a node is no rename by the user.
    const QSignalBlocker quiet(item->treeWidget());
    item->setData(0, kCaptionRole, caption);
    item->setText(0, caption);
}

void CIndexView::onItemChanged(ModuleKind module, QTreeWidgetItem* item)
{
    const QString stored = item->data(0, kCaptionRole).toString();
    const QString typed = item->text(0);
    if (typed == stored)
        return; // the program changed the node, not the user's rename
    TreeCommands commands(m_state, m_prompter);
    const TreeCommands::RenameOutcome outcome = commands.Rename(module, idOf(item), typed);
    if (!outcome.statusText.isEmpty())
        Q_EMIT statusMessage(outcome.statusText);
    if (!outcome.renamed) {
        // The node shows what is stored.
        setCaptionOf(item, stored);
        return;
    }
    setCaptionOf(item, typed);
    Q_EMIT captionRenamed(module, idOf(item), typed);
}

void CIndexView::onSelectionChanged(ModuleKind module)
{
    ModuleSelection& selection = m_state.selection(module);
    const int id = idOf(selectedItem(module));
    if (id != selection.currentRecordId && m_leaveGuard && !m_leaveGuard(module)) {
        // The user stays with the record on show: the selection goes back to it.
        QTreeWidget* widget = tree(module);
        const QSignalBlocker quiet(widget);
        widget->clearSelection();
        if (QTreeWidgetItem* back = findItem(module, selection.currentRecordId))
            widget->setCurrentItem(back);
        return;
    }
    selection.currentRecordId = id;
    Q_EMIT recordSelected(module);
}

QTreeWidgetItem* CIndexView::selectedItem(ModuleKind module) const
{
    const QList<QTreeWidgetItem*> selected = tree(module)->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem* CIndexView::findItem(ModuleKind module, int id) const
{
    for (QTreeWidgetItemIterator it(tree(module)); *it; ++it) {
        if (idOf(*it) == id)
            return *it;
    }
    return nullptr;
}

void CIndexView::select(ModuleKind module, QTreeWidgetItem* item)
{
    QTreeWidget* widget = tree(module);
    {
        // Removing the old node may already have moved the tree's own selection; the notification
        // below goes out exactly once either way.
        const QSignalBlocker quiet(widget);
        widget->clearSelection();
        widget->setCurrentItem(item);
        if (item)
            widget->scrollToItem(item);
    }
    onSelectionChanged(module);
}

void CIndexView::runAdd(TreeCommands::AddOutcome (TreeCommands::*add)())
{
    TreeCommands commands(m_state, m_prompter);
    const TreeCommands::AddOutcome outcome = (commands.*add)();
    if (!outcome.statusText.isEmpty())
        Q_EMIT statusMessage(outcome.statusText);
    if (!outcome.added)
        return;
    const ModuleKind module = m_state.currentModule;
    QTreeWidgetItem* selected = selectedItem(module);
    QTreeWidgetItem* parent = nullptr;
    if (outcome.parent == TreeCommands::NodeParent::Selected)
        parent = selected;
    else if (outcome.parent == TreeCommands::NodeParent::SelectedParent && selected)
        parent = selected->parent();
    QTreeWidgetItem* item = newItem(treeImage(module, outcome.image), outcome.id, outcome.caption, outcome.image);
    // A loaded tree shows a folder's subfolders before its records, and a new row is the last of
    // its kind there; putting it in that place now keeps the tree the same after the next load.
    QTreeWidget* widget = tree(module);
    const int siblings = parent ? parent->childCount() : widget->topLevelItemCount();
    int position = siblings;
    if (isFolder(item)) {
        position = 0;
        while (position < siblings && isFolder(parent ? parent->child(position) : widget->topLevelItem(position)))
            ++position;
    }
    if (parent) {
        parent->insertChild(position, item);
        parent->setExpanded(true);
    } else {
        widget->insertTopLevelItem(position, item);
    }
    select(module, item);
}

void CIndexView::addSiblingFolder()
{
    runAdd(&TreeCommands::AddSiblingFolder);
}

void CIndexView::addChildFolder()
{
    runAdd(&TreeCommands::AddChildFolder);
}

void CIndexView::addRecord()
{
    runAdd(&TreeCommands::AddRecord);
}

void CIndexView::deleteSelected()
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None)
        return;
    QTreeWidgetItem* selected = findItem(module, m_state.selection(module).currentRecordId);
    TreeCommands commands(m_state, m_prompter);
    const TreeCommands::DeleteOutcome outcome = commands.DeleteSelected();
    if (!outcome.statusText.isEmpty())
        Q_EMIT statusMessage(outcome.statusText);
    if (!outcome.deleted) {
        // Whatever went wrong, the tree shows what the database holds.
        ReloadCurrentTree();
        return;
    }
    // What the editor showed was deleted with the row.
    Q_EMIT recordDeleted(module);
    if (!selected) {
        ReloadCurrentTree();
        return;
    }
    // Afterwards the parent is selected; for a top-level node, the first top-level node left.
    QTreeWidgetItem* next = selected->parent();
    QTreeWidget* widget = tree(module);
    {
        const QSignalBlocker quiet(widget);
        delete selected;
    }
    if (!next)
        next = widget->topLevelItem(0);
    select(module, next);
}

void CIndexView::runMove(bool (TreeCommands::*move)())
{
    TreeCommands commands(m_state, m_prompter);
    (commands.*move)();
    ReloadCurrentTree();
}

void CIndexView::moveToTop()
{
    runMove(&TreeCommands::MoveToTop);
}

void CIndexView::moveUp()
{
    runMove(&TreeCommands::MoveUp);
}

void CIndexView::moveDown()
{
    runMove(&TreeCommands::MoveDown);
}

void CIndexView::moveToBottom()
{
    runMove(&TreeCommands::MoveToBottom);
}
