#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QString>

#include <array>
#include <vector>

// One module's tree as the tree pane shows it: a compact model over the rows, which keeps a million
// nodes in a few tens of megabytes. Each node is a row's id, its place, its image and its caption,
// decrypted once when the tree is loaded.
class TreeModel final : public QAbstractItemModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TreeModel)

public:
    static constexpr int kImageCount = 6;
    static constexpr int IdRole = Qt::UserRole;
    static constexpr int ImageRole = Qt::UserRole + 1;

    explicit TreeModel(QObject* parent = nullptr);
    ~TreeModel() override;

    // Image 0 level-1 folder, 1 deeper folder, 2 record; 3 to 5 the same marked "重要".
    void setImages(const std::array<QIcon, kImageCount>& images);
    QIcon image(int index) const;

    // Replaces every node. Between the two calls nodes are appended in an order where a node's parent
    // always comes before it; parentId 0 puts a node at the top.
    void beginLoad();
    void appendLoaded(int id, const QString& caption, int image, int parentId);
    void endLoad();

    // A new node at the row of the parent's children (at the top for an invalid parent).
    QModelIndex insertNode(const QModelIndex& parent, int row, int id, const QString& caption, int image);
    // Removes the node and everything below it.
    void removeNode(const QModelIndex& index);
    void setCaption(const QModelIndex& index, const QString& caption);
    void setImage(const QModelIndex& index, int image);
    // Moves the node to another row among its siblings.
    void moveNode(const QModelIndex& index, int row);

    QModelIndex indexOfId(int id) const;
    static int idOf(const QModelIndex& index);
    static int imageOf(const QModelIndex& index);
    static bool isFolder(const QModelIndex& index);
    QString captionOf(const QModelIndex& index) const;
    int nodeCount() const { return m_liveCount; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A rename typed in the tree is not taken here: it is asked for, and whoever stores it calls
    // setCaption() once it is stored.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void renameRequested(const QModelIndex& index, const QString& caption);

private:
    struct Node {
        int id = 0;
        int parent = -1;   // node index of the parent, -1 at the top
        int row = 0;       // place among the parent's children
        int children = -1; // index into m_children once the node has children
        quint32 captionStart = 0;
        quint32 captionLength = 0;
        quint8 image = 0;
        bool removed = false;
    };

    std::vector<int>& childrenOf(int node);
    const std::vector<int>* childrenOf(int node) const;
    void renumber(std::vector<int>& children, std::size_t from);
    void storeCaption(Node& node, const QString& caption);
    int nodeOf(const QModelIndex& index) const;

    std::vector<Node> m_nodes;
    std::vector<int> m_top;
    std::vector<std::vector<int>> m_children;
    std::vector<char16_t> m_captions;
    std::array<QIcon, kImageCount> m_images;
    int m_liveCount = 0;
    QHash<int, int> m_loadedParents; // while loading: the node index of each id that has children
};
