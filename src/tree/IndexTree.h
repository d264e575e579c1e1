#pragma once

#include <QTreeView>

// One module's tree in the left pane: dotted connecting lines, lines at the root and boxed +/-
// buttons, with the selection still shown while the tree lacks focus.
class IndexTree final : public QTreeView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IndexTree)

public:
    explicit IndexTree(QWidget* parent = nullptr);

protected:
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
};
