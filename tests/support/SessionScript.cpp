#include "support/SessionScript.h"

#include <QTreeWidget>
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

QStringList treeShape(const QTreeWidget* tree)
{
    QStringList lines;
    std::function<void(const QTreeWidgetItem*, int)> walk = [&](const QTreeWidgetItem* item, int depth) {
        lines.append(QStringLiteral("%1%2 #%3")
                         .arg(QString(depth * 2, QLatin1Char(' ')), item->text(0))
                         .arg(item->data(0, Qt::UserRole).toInt()));
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return lines;
}

} // namespace SessionScript
