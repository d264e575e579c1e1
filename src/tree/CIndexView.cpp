#include "tree/CIndexView.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QResizeEvent>

#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "tree/IndexTree.h"
#include "tree/ModuleTree.h"
#include "tree/TreeModel.h"
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

// The ids of the open folders below the parent, at any depth.
void collectExpanded(const QTreeView* view, const QModelIndex& parent, QList<int>& ids)
{
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex child = model->index(row, 0, parent);
        if (view->isExpanded(child)) {
            ids.append(TreeModel::idOf(child));
            collectExpanded(view, child, ids);
        }
    }
}

// The row where a new node goes among the parent's children: a folder after the last folder, since a
// loaded tree shows a folder's subfolders before its records, and a record at the end.
int insertionRow(const TreeModel& model, const QModelIndex& parent, bool folder)
{
    const int count = model.rowCount(parent);
    if (!folder)
        return count;
    int row = 0;
    while (row < count && TreeModel::isFolder(model.index(row, 0, parent)))
        ++row;
    return row;
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

    loadImages();
    for (ModuleKind module : kAllModules) {
        const std::size_t i = moduleIndex(module);
        auto* model = new TreeModel(this);
        model->setImages(m_images[i]);
        auto* tree = new IndexTree(this);
        tree->setObjectName(moduleInfo(module).name + QStringLiteral("Tree"));
        tree->setFont(Skin::uiFont(10));
        tree->setModel(model);
        tree->hide(); // nothing is visible until the main window picks a module
        // F2 or a slow second click renames a node in place.
        tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, module] {
            if (!m_quiet)
                onSelectionChanged(module);
        });
        connect(model, &TreeModel::renameRequested, this,
                [this, module](const QModelIndex& index, const QString& caption) {
                    onRenameRequested(module, index, caption);
                });
        m_trees[i] = tree;
        m_models[i] = model;
    }
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
    if (current != ModuleKind::None && !m_loaded[moduleIndex(current)])
        LoadModuleTree(current);
    for (ModuleKind module : kAllModules)
        m_trees[moduleIndex(module)]->setVisible(module == current);
}

QTreeView* CIndexView::tree(ModuleKind module) const
{
    return module == ModuleKind::None ? nullptr : m_trees[moduleIndex(module)];
}

TreeModel* CIndexView::model(ModuleKind module) const
{
    return module == ModuleKind::None ? nullptr : m_models[moduleIndex(module)];
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
    for (QTreeView* tree : m_trees)
        tree->setGeometry(0, kCaptionHeight - 1, size.width() - 1, size.height() - (kCaptionHeight - 1));
}

void CIndexView::initialUpdate()
{
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
    QList<int> expanded;
    collectExpanded(tree(module), {}, expanded);
    fill(module, expanded, m_state.selection(module).currentRecordId);
}

void CIndexView::fill(ModuleKind module, const QList<int>& expandedIds, int selectId)
{
    TreeModel* rows = model(module);
    m_quiet = true;
    rows->beginLoad();
    const ModuleTree::LoadResult result = ModuleTree::load(m_state, module, [rows](const TreeNodeData& node) {
        rows->appendLoaded(node.id, node.caption, node.image, node.parentId);
    });
    rows->endLoad();
    m_quiet = false;
    if (!result.opened) {
        m_prompter.showMessage(moduleInfo(module).rowsOpenFailedText, SharedTexts::kProductCaption);
        return;
    }
    m_loaded[moduleIndex(module)] = true;
    m_state.currentModule = module;
    // Emptying and filling the tree is no change of selection: the current record stays current and
    // the editor keeps showing it.
    QTreeView* view = tree(module);
    for (int id : expandedIds)
        view->expand(rows->indexOfId(id));
    if (selectId != 0) {
        const QModelIndex selected = rows->indexOfId(selectId);
        setSelection(module, selected);
        if (selected.isValid())
            view->scrollTo(selected);
    }
    if (result.readError)
        Q_EMIT statusMessage(moduleInfo(module).treeReadFailedText);
}

void CIndexView::RenameSelectedNode(const QString& caption)
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None)
        return;
    const QModelIndex selected = selectedIndex(module);
    if (selected.isValid())
        model(module)->setCaption(selected, caption);
}

void CIndexView::showSavedNode(ModuleKind module, int id, const QString& caption, bool important)
{
    if (module == ModuleKind::None)
        return;
    TreeModel* rows = model(module);
    const QModelIndex node = rows->indexOfId(id);
    if (!node.isValid())
        return;
    rows->setCaption(node, caption);
    // Marking a record "重要" shows at once, as the next load would show it.
    const int plain = TreeModel::imageOf(node) % ModuleTree::kMarked;
    rows->setImage(node, important ? plain + ModuleTree::kMarked : plain);
}

bool CIndexView::selectRecord(ModuleKind module, int id)
{
    if (module == ModuleKind::None)
        return false;
    const QModelIndex node = model(module)->indexOfId(id);
    if (!node.isValid())
        return false;
    for (QModelIndex above = node.parent(); above.isValid(); above = above.parent())
        tree(module)->expand(above);
    select(module, node);
    return true;
}

void CIndexView::onRenameRequested(ModuleKind module, const QModelIndex& index, const QString& caption)
{
    const int id = TreeModel::idOf(index);
    TreeCommands commands(m_state, m_prompter);
    const TreeCommands::RenameOutcome outcome = commands.Rename(module, id, caption);
    if (!outcome.statusText.isEmpty())
        Q_EMIT statusMessage(outcome.statusText);
    // A refused rename leaves the node showing what is stored.
    if (!outcome.renamed)
        return;
    model(module)->setCaption(index, caption);
    Q_EMIT captionRenamed(module, id, caption);
}

QModelIndex CIndexView::selectedIndex(ModuleKind module) const
{
    const QModelIndexList selected = tree(module)->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : selected.first();
}

void CIndexView::setSelection(ModuleKind module, const QModelIndex& index)
{
    QTreeView* view = tree(module);
    m_quiet = true;
    if (index.isValid())
        view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else
        view->selectionModel()->clear();
    m_quiet = false;
}

void CIndexView::onSelectionChanged(ModuleKind module)
{
    ModuleSelection& selection = m_state.selection(module);
    const int id = TreeModel::idOf(selectedIndex(module));
    if (id != selection.currentRecordId && m_leaveGuard && !m_leaveGuard(module)) {
        // The user stays with the record on show: the selection goes back to it.
        setSelection(module, model(module)->indexOfId(selection.currentRecordId));
        return;
    }
    selection.currentRecordId = id;
    Q_EMIT recordSelected(module);
}

void CIndexView::select(ModuleKind module, const QModelIndex& index)
{
    // Removing the old node may already have moved the tree's own selection; the notification below
    // goes out exactly once either way.
    setSelection(module, index);
    if (index.isValid())
        tree(module)->scrollTo(index);
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
    TreeModel* rows = model(module);
    const QModelIndex selected = selectedIndex(module);
    QModelIndex parent;
    if (outcome.parent == TreeCommands::NodeParent::Selected)
        parent = selected;
    else if (outcome.parent == TreeCommands::NodeParent::SelectedParent && selected.isValid())
        parent = selected.parent();
    const bool folder = ModuleTree::isFolderImage(outcome.image);
    const QModelIndex added =
        rows->insertNode(parent, insertionRow(*rows, parent, folder), outcome.id, outcome.caption, outcome.image);
    if (parent.isValid())
        tree(module)->expand(parent);
    select(module, added);
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
    TreeModel* rows = model(module);
    const QPersistentModelIndex selected = rows->indexOfId(m_state.selection(module).currentRecordId);
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
    if (!selected.isValid()) {
        ReloadCurrentTree();
        return;
    }
    // Afterwards the parent is selected; for a top-level node, the first top-level node left.
    QPersistentModelIndex next = selected.parent();
    m_quiet = true;
    rows->removeNode(selected);
    m_quiet = false;
    select(module, next.isValid() ? QModelIndex(next) : rows->index(0, 0));
}

void CIndexView::runMove(bool (TreeCommands::*command)(), Move where)
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None)
        return;
    TreeCommands commands(m_state, m_prompter);
    // A move to an end writes every record of the folder that it passes, and the engine writes a
    // record whole, body included: a second or more for thousands of long documents.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool moved = (commands.*command)();
    QApplication::restoreOverrideCursor();
    if (!moved)
        return;
    // The order changed only among the records of the moved row's folder: the node moves there, and
    // nothing else of the tree is read again.
    TreeModel* rows = model(module);
    const QModelIndex node = rows->indexOfId(m_state.selection(module).currentRecordId);
    if (!node.isValid() || TreeModel::isFolder(node))
        return;
    const QModelIndex parent = node.parent();
    int row = node.row();
    switch (where) {
    case Move::Top:
        row = insertionRow(*rows, parent, true);
        break;
    case Move::Up:
        row = node.row() - 1;
        break;
    case Move::Down:
        row = node.row() + 1;
        break;
    case Move::Bottom:
        row = rows->rowCount(parent) - 1;
        break;
    }
    rows->moveNode(node, row);
    tree(module)->scrollTo(rows->indexOfId(m_state.selection(module).currentRecordId));
}

void CIndexView::moveToTop()
{
    runMove(&TreeCommands::MoveToTop, Move::Top);
}

void CIndexView::moveUp()
{
    runMove(&TreeCommands::MoveUp, Move::Up);
}

void CIndexView::moveDown()
{
    runMove(&TreeCommands::MoveDown, Move::Down);
}

void CIndexView::moveToBottom()
{
    runMove(&TreeCommands::MoveToBottom, Move::Bottom);
}
