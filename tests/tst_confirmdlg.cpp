// The confirmation dialog: plain confirmations and the one-line prompt that refuses empty text.
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "support/ModalDriver.h"
#include "ui/CConfirmDlg.h"

class ConfirmDlgTest : public QObject {
    Q_OBJECT

private slots:
    void plainConfirmationAnswersAtOnce()
    {
        CConfirmDlg dialog(QStringLiteral("你选择了退出本程序。\r\n\r\n你确定要退出本程序吗？"), 0, QStringLiteral("退出"),
                           QStringLiteral("取消"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("确认操作对话框"));
        QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->text(), QStringLiteral("退出"));
        QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(), QStringLiteral("取消"));
        QVERIFY(dialog.findChild<QLineEdit*>(QStringLiteral("inputEdit"))->isHidden());
        QTimer::singleShot(0, &dialog, [&dialog] { ModalDriver::click(&dialog, "okButton"); });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QTimer::singleShot(0, &dialog, [&dialog] { ModalDriver::click(&dialog, "cancelButton"); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }

    void promptRefusesEmptyTextAndKeepsTheDialogOpen()
    {
        CConfirmDlg dialog(QStringLiteral("此文档采用自设密钥加密。\r\n请输入自设密钥值："), 1, QStringLiteral("确定"),
                           QStringLiteral("取消"));
        QString refusal;
        ModalDriver driver;
        driver.expect("CConfirmDlg", [](QWidget* shown) { ModalDriver::click(shown, "okButton"); });
        driver.expect("QMessageBox", [&refusal](QWidget* box) {
            refusal = box->windowTitle() + QLatin1Char('|') + static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->accept();
        });
        driver.expect("CConfirmDlg", [](QWidget* shown) {
            ModalDriver::setText(shown, "inputEdit", QStringLiteral("自设密钥"));
            ModalDriver::click(shown, "okButton");
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(driver.finished());
        QCOMPARE(refusal, QStringLiteral("提示框|文本框不能为空！"));
        QCOMPARE(dialog.inputText(), QStringLiteral("自设密钥"));
    }
};

QTEST_MAIN(ConfirmDlgTest)
#include "tst_confirmdlg.moc"
