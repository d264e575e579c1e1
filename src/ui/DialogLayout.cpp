#include "ui/DialogLayout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/DialogUnits.h"

namespace DialogLayout {

namespace {

QVBoxLayout* frame(QDialog* dialog, const QList<QPushButton*>& buttons)
{
    const DialogUnits du(dialog->font());
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (i > 0)
            row->addSpacing(du.x(12));
        row->addWidget(buttons[i]);
    }
    row->addStretch();

    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(du.x(10), du.y(8), du.x(10), du.y(8));
    layout->setSpacing(du.y(8));
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return layout;
}

} // namespace

QPushButton* button(const QString& text, const QString& objectName, QWidget* dialog)
{
    const DialogUnits du(dialog->font());
    auto* made = new QPushButton(text, dialog);
    made->setObjectName(objectName);
    made->setMinimumSize(du.x(50), du.y(14));
    return made;
}

void bodyOverButtons(QDialog* dialog, QWidget* body, const QList<QPushButton*>& buttons)
{
    frame(dialog, buttons)->insertWidget(0, body);
}

void bodyOverButtons(QDialog* dialog, QLayout* body, const QList<QPushButton*>& buttons)
{
    frame(dialog, buttons)->insertLayout(0, body);
}

} // namespace DialogLayout
