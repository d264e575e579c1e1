#include "support/SessionScript.h"

#include <QItemSelectionModel>
#include <QTreeView>
#include <QtTest>

#include <functional>

#include "storage/Clock.h"
#include "support/ModalDriver.h"

namespace SessionScript {

void expectFirstRun(ModalDriver& driver, const QString& name, const QString& password)
{
    driver.expect("CInitAdmin", [name, password](QWidget* dialog) {
        ModalDriver::setText(dialog, "userNameEdit", name);
        ModalDriver::setText(dialog, "passwordEdit", password);
        ModalDriver::setText(dialog, "confirmEdit", password);
        ModalDriver::click(dialog, "saveButton");
    });
}

void expectLogin(ModalDriver& driver, const QString& name, const QString& password, FixedClock& clock)
{
    driver.expect("CLogin", [name, password, &clock](QWidget* login) {
        QCOMPARE(ModalDriver::text(login, "userNameEdit"), name);
        QVERIFY(ModalDriver::isChecked(login, "rememberCheckBox"));
        ModalDriver::setText(login, "passwordEdit", password);
        clock.advanceMs(2000); // past the re-login interval
        ModalDriver::click(login, "okButton");
    });
}

QStringList treeShape(const QTreeView* tree)
{
    const QAbstractItemModel* model = tree->model();
    QStringList lines;
    std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent, int depth) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex child = model->index(row, 0, parent);
            lines.append(QStringLiteral("%1%2 #%3")
                             .arg(QString(depth * 2, QLatin1Char(' ')), child.data().toString())
                             .arg(child.data(Qt::UserRole).toInt()));
            walk(child, depth + 1);
        }
    };
    walk({}, 0);
    return lines;
}

QModelIndex node(const QTreeView* tree, std::initializer_list<int> rows)
{
    QModelIndex index;
    for (int row : rows)
        index = tree->model()->index(row, 0, index);
    return index;
}

void select(QTreeView* tree, const QModelIndex& node)
{
    tree->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
}

} // namespace SessionScript
