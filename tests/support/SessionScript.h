#pragma once

#include <QString>
#include <QStringList>

class FixedClock;
class ModalDriver;
class QTreeWidget;

// Steps of a session that end-to-end tests share.
namespace SessionScript {

// The first-run dialog: creates the account with the name and password.
void expectFirstRun(ModalDriver& driver, const QString& name, const QString& password);
// The login dialog: checks that the name is offered as remembered, types the password and presses
// 确定 a little after the previous attempt.
void expectLogin(ModalDriver& driver, const QString& name, const QString& password, FixedClock& clock);

// The tree as indented "caption #id" lines in the order shown.
QStringList treeShape(const QTreeWidget* tree);

} // namespace SessionScript
