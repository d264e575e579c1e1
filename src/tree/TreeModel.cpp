#include "tree/TreeModel.h"

#include <algorithm>

TreeModel::TreeModel(QObject* parent) : QAbstractItemModel(parent) {}

TreeModel::~TreeModel() = default;

void TreeModel::setImages(const std::array<QIcon, kImageCount>& images)
{
    m_images = images;
}

QIcon TreeModel::image(int index) const
{
    return index >= 0 && index < kImageCount ? m_images[static_cast<std::size_t>(index)] : QIcon();
}

void TreeModel::beginLoad()
{
    beginResetModel();
    m_nodes.clear();
    m_top.clear();
    m_children.clear();
    m_captions.clear();
    m_liveCount = 0;
    m_loadedParents.clear();
}

void TreeModel::appendLoaded(int id, const QString& caption, int image, int parentId)
{
    const int parent = parentId != 0 ? m_loadedParents.value(parentId, -1) : -1;
    Node node;
    node.id = id;
    node.parent = parent;
    node.image = static_cast<quint8>(image);
    storeCaption(node, caption);
    std::vector<int>& siblings = childrenOf(parent);
    node.row = static_cast<int>(siblings.size());
    const int index = static_cast<int>(m_nodes.size());
    siblings.push_back(index);
    m_nodes.push_back(node);
    ++m_liveCount;
    // Only a node that can have children needs to be found again by its id.
    if (image % 3 != 2)
        m_loadedParents.insert(id, index);
}

void TreeModel::endLoad()
{
    m_loadedParents.clear();
    m_loadedParents.squeeze();
    endResetModel();
}

QModelIndex TreeModel::insertNode(const QModelIndex& parent, int row, int id, const QString& caption, int image)
{
    const int parentNode = nodeOf(parent);
    std::vector<int>& siblings = childrenOf(parentNode);
    row = std::clamp(row, 0, static_cast<int>(siblings.size()));
    beginInsertRows(parent, row, row);
    Node node;
    node.id = id;
    node.parent = parentNode;
    node.image = static_cast<quint8>(image);
    storeCaption(node, caption);
    const int index = static_cast<int>(m_nodes.size());
    m_nodes.push_back(node);
    // childrenOf() may have grown m_children; look the list up again.
    std::vector<int>& list = childrenOf(parentNode);
    list.insert(list.begin() + row, index);
    renumber(list, static_cast<std::size_t>(row));
    ++m_liveCount;
    endInsertRows();
    return createIndex(row, 0, static_cast<quintptr>(index));
}

void TreeModel::removeNode(const QModelIndex& index)
{
    const int node = nodeOf(index);
    if (node < 0)
        return;
    const int row = m_nodes[static_cast<std::size_t>(node)].row;
    beginRemoveRows(index.parent(), row, row);
    std::vector<int>& siblings = childrenOf(m_nodes[static_cast<std::size_t>(node)].parent);
    siblings.erase(siblings.begin() + row);
    renumber(siblings, static_cast<std::size_t>(row));
    // The node and its subtree stay in storage, marked, so nothing can reach them again.
    std::vector<int> pending{node};
    while (!pending.empty()) {
        const int current = pending.back();
        pending.pop_back();
        m_nodes[static_cast<std::size_t>(current)].removed = true;
        --m_liveCount;
        if (const std::vector<int>* below = std::as_const(*this).childrenOf(current))
            pending.insert(pending.end(), below->begin(), below->end());
    }
    endRemoveRows();
}

void TreeModel::setCaption(const QModelIndex& index, const QString& caption)
{
    const int node = nodeOf(index);
    if (node < 0)
        return;
    storeCaption(m_nodes[static_cast<std::size_t>(node)], caption);
    Q_EMIT dataChanged(index, index);
}

void TreeModel::setImage(const QModelIndex& index, int image)
{
    const int node = nodeOf(index);
    if (node < 0 || image < 0 || image >= kImageCount)
        return;
    m_nodes[static_cast<std::size_t>(node)].image = static_cast<quint8>(image);
    Q_EMIT dataChanged(index, index, {Qt::DecorationRole, ImageRole});
}

void TreeModel::moveNode(const QModelIndex& index, int row)
{
    const int node = nodeOf(index);
    if (node < 0)
        return;
    std::vector<int>& siblings = childrenOf(m_nodes[static_cast<std::size_t>(node)].parent);
    const int from = index.row();
    row = std::clamp(row, 0, static_cast<int>(siblings.size()) - 1);
    if (row == from)
        return;
    // Qt counts the destination before the move: below the node it is one further.
    beginMoveRows(index.parent(), from, from, index.parent(), row > from ? row + 1 : row);
    siblings.erase(siblings.begin() + from);
    siblings.insert(siblings.begin() + row, node);
    renumber(siblings, static_cast<std::size_t>(std::min(from, row)));
    endMoveRows();
}

QModelIndex TreeModel::indexOfId(int id) const
{
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        const Node& node = m_nodes[i];
        if (node.id == id && !node.removed)
            return createIndex(node.row, 0, static_cast<quintptr>(i));
    }
    return {};
}

int TreeModel::idOf(const QModelIndex& index)
{
    return index.isValid() ? index.data(IdRole).toInt() : 0;
}

int TreeModel::imageOf(const QModelIndex& index)
{
    return index.data(ImageRole).toInt();
}

bool TreeModel::isFolder(const QModelIndex& index)
{
    return index.isValid() && imageOf(index) % 3 != 2;
}

QString TreeModel::captionOf(const QModelIndex& index) const
{
    const int node = nodeOf(index);
    if (node < 0)
        return {};
    const Node& n = m_nodes[static_cast<std::size_t>(node)];
    return QString(reinterpret_cast<const QChar*>(m_captions.data() + n.captionStart),
                   static_cast<qsizetype>(n.captionLength));
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const std::vector<int>* children = childrenOf(nodeOf(parent));
    if (column != 0 || !children || row < 0 || row >= static_cast<int>(children->size()))
        return {};
    return createIndex(row, 0, static_cast<quintptr>((*children)[static_cast<std::size_t>(row)]));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const
{
    const int node = nodeOf(child);
    if (node < 0)
        return {};
    const int parent = m_nodes[static_cast<std::size_t>(node)].parent;
    if (parent < 0)
        return {};
    return createIndex(m_nodes[static_cast<std::size_t>(parent)].row, 0, static_cast<quintptr>(parent));
}

int TreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const std::vector<int>* children = childrenOf(nodeOf(parent));
    return children ? static_cast<int>(children->size()) : 0;
}

int TreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant TreeModel::data(const QModelIndex& index, int role) const
{
    const int node = nodeOf(index);
    if (node < 0)
        return {};
    const Node& n = m_nodes[static_cast<std::size_t>(node)];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return captionOf(index);
    case Qt::DecorationRole:
        return m_images[n.image];
    case IdRole:
        return n.id;
    case ImageRole:
        return static_cast<int>(n.image);
    default:
        return {};
    }
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool TreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role == Qt::EditRole && index.isValid() && value.toString() != captionOf(index))
        Q_EMIT renameRequested(index, value.toString());
    return false;
}

std::vector<int>& TreeModel::childrenOf(int node)
{
    if (node < 0)
        return m_top;
    Node& n = m_nodes[static_cast<std::size_t>(node)];
    if (n.children < 0) {
        n.children = static_cast<int>(m_children.size());
        m_children.emplace_back();
    }
    return m_children[static_cast<std::size_t>(n.children)];
}

const std::vector<int>* TreeModel::childrenOf(int node) const
{
    if (node < 0)
        return &m_top;
    const Node& n = m_nodes[static_cast<std::size_t>(node)];
    return n.children < 0 ? nullptr : &m_children[static_cast<std::size_t>(n.children)];
}

void TreeModel::renumber(std::vector<int>& children, std::size_t from)
{
    for (std::size_t i = from; i < children.size(); ++i)
        m_nodes[static_cast<std::size_t>(children[i])].row = static_cast<int>(i);
}

void TreeModel::storeCaption(Node& node, const QString& caption)
{
    node.captionStart = static_cast<quint32>(m_captions.size());
    node.captionLength = static_cast<quint32>(caption.size());
    const auto* text = reinterpret_cast<const char16_t*>(caption.utf16());
    m_captions.insert(m_captions.end(), text, text + caption.size());
}

int TreeModel::nodeOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return -1;
    return static_cast<int>(index.internalId());
}
