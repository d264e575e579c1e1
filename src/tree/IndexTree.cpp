#include "tree/IndexTree.h"

#include <QPainter>

namespace {

const QColor kLineColour(150, 160, 175);
const QColor kButtonFrame(120, 135, 155);
const QColor kButtonSign(30, 50, 70);

bool hasNextSibling(const QModelIndex& index)
{
    return index.sibling(index.row() + 1, 0).isValid();
}

} // namespace

IndexTree::IndexTree(QWidget* parent) : QTreeView(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setIconSize(QSize(20, 20));
    setIndentation(19);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);

    // Leaving the tree for the editor must not hide which record is on show there.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
}

void IndexTree::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    const int step = indentation();
    const int middleY = rect.top() + rect.height() / 2;
    // The rightmost column of the branch area belongs to the item itself; the ones left of it to its
    // ancestors, whose lines continue down while they have later siblings.
    const int ownLeft = rect.right() + 1 - step;
    const int ownX = ownLeft + step / 2;

    painter->save();
    QPen dotted(kLineColour, 1, Qt::DotLine);
    painter->setPen(dotted);

    const bool firstAtRoot = !index.parent().isValid() && index.row() == 0;
    painter->drawLine(ownX, firstAtRoot ? middleY : rect.top(), ownX, hasNextSibling(index) ? rect.bottom() : middleY);
    painter->drawLine(ownX, middleY, ownLeft + step - 2, middleY);

    int ancestorX = ownX - step;
    for (QModelIndex ancestor = index.parent(); ancestor.isValid(); ancestor = ancestor.parent()) {
        if (hasNextSibling(ancestor))
            painter->drawLine(ancestorX, rect.top(), ancestorX, rect.bottom());
        ancestorX -= step;
    }

    if (model()->hasChildren(index)) {
        const QRect button(ownX - 4, middleY - 4, 8, 8);
        painter->setPen(kButtonFrame);
        painter->setBrush(Qt::white);
        painter->drawRect(button);
        painter->setPen(kButtonSign);
        painter->drawLine(ownX - 2, middleY, ownX + 2, middleY);
        if (!isExpanded(index))
            painter->drawLine(ownX, middleY - 2, ownX, middleY + 2);
    }
    painter->restore();
}
