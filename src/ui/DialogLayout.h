#pragma once

#include <QList>
#include <QString>

class QDialog;
class QLayout;
class QPushButton;
class QWidget;

// The one arrangement of the program's form dialogs: their body above a centred row of command
// buttons of one size, the whole at a fixed size.
namespace DialogLayout {

// A command button of the common size, named so tests can find it.
QPushButton* button(const QString& text, const QString& objectName, QWidget* dialog);

void bodyOverButtons(QDialog* dialog, QWidget* body, const QList<QPushButton*>& buttons);
void bodyOverButtons(QDialog* dialog, QLayout* body, const QList<QPushButton*>& buttons);

} // namespace DialogLayout
