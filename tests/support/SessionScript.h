#pragma once

#include <initializer_list>

#include <QString>
#include <QStringList>

class FixedClock;
class ModalDriver;
class QModelIndex;
class QTreeView;

// Steps of a session that end-to-end tests share.
namespace SessionScript {

// The first-run dialog: creates the account with the name and password.
void expectFirstRun(ModalDriver& driver, const QString& name, const QString& password);
// The login dialog: checks that the name is offered as remembered, types the password and presses
// 确定 a little after the previous attempt.
void expectLogin(ModalDriver& driver, const QString& name, const QString& password, FixedClock& clock);

// The tree as indented "caption #id" lines in the order shown.
QStringList treeShape(const QTreeView* tree);
// The node at a path of rows from the top: {0, 1} is the second child of the first top-level node.
QModelIndex node(const QTreeView* tree, std::initializer_list<int> rows);
// Selects the node as a click on it does.
void select(QTreeView* tree, const QModelIndex& node);

} // namespace SessionScript
