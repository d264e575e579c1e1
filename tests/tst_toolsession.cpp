// A whole session through the real windows and their tool dialogs: the user changes the security
// policy and the account, encrypts and decrypts a file, and the next start holds to what was saved.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QtTest>

#include "app/CMainFrame.h"
#include "app/CTivApp.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "support/ModalDriver.h"
#include "support/SessionScript.h"
#include "support/TestSupport.h"

namespace {

const QString kName = QStringLiteral("张三");
const QString kNewName = QStringLiteral("李四");
const QString kPassword = QStringLiteral("secret-1");
const QString kNewPassword = QStringLiteral("secret-22");

QStringList shownTexts(const ScriptedPrompter& prompter)
{
    QStringList texts;
    for (const ScriptedPrompter::Shown& shown : prompter.messages)
        texts << shown.text;
    return texts;
}

} // namespace

class ToolSessionTest : public QObject {
    Q_OBJECT

private slots:
    void policyAccountAndFileToolThroughTheDialogs()
    {
        TempWorkDir work;
        qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
        FixedClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
        SystemRandomLetters letters;
        ScriptedPrompter prompter;
        const QByteArray plain = QStringLiteral("日记草稿\r\n").toUtf8();
        QFile note(work.filePath("note.txt"));
        QVERIFY(note.open(QIODevice::WriteOnly) && note.write(plain) == plain.size());
        note.close();

        {
            ModalDriver driver;
            SessionScript::expectFirstRun(driver, kName, kPassword);
            SessionScript::expectLogin(driver, kName, kPassword, clock);
            CTivApp app(clock, letters, &prompter);
            QVERIFY(app.InitInstance());
            CMainFrame* frame = app.mainFrame();
            prompter.messages.clear();

            driver.expect("CParamDlg", [](QWidget* dialog) {
                ModalDriver::setText(dialog, "intervalEdit", QStringLiteral("3"));
                ModalDriver::setText(dialog, "failureCountEdit", QStringLiteral("2"));
                ModalDriver::click(dialog, "saveButton");
                ModalDriver::click(dialog, "closeButton");
            });
            frame->commandAction(CMainFrame::Command::Settings)->trigger();

            driver.expect("CUserDlg", [](QWidget* dialog) {
                ModalDriver::setText(dialog, "userNameEdit", kNewName);
                ModalDriver::setText(dialog, "oldPasswordEdit", kPassword);
                ModalDriver::setText(dialog, "newPasswordEdit", kNewPassword);
                ModalDriver::setText(dialog, "confirmEdit", kNewPassword);
                ModalDriver::click(dialog, "applyButton");
                ModalDriver::click(dialog, "closeButton");
            });
            frame->commandAction(CMainFrame::Command::Profile)->trigger();
            QCOMPARE(frame->findChild<QLabel*>(QStringLiteral("userPane"))->text(), "用户：" + kNewName);

            const QString source = work.filePath("note.txt");
            const QString encrypted = work.filePath("note.enc");
            const QString decrypted = work.filePath("note-back.txt");
            driver.expect("CEnDeCrypt", [&](QWidget* dialog) {
                ModalDriver::setText(dialog, "sourceEdit", source);
                ModalDriver::setText(dialog, "targetEdit", encrypted);
                ModalDriver::click(dialog, "encryptButton");
                ModalDriver::setText(dialog, "sourceEdit", encrypted);
                ModalDriver::setText(dialog, "targetEdit", decrypted);
                ModalDriver::click(dialog, "decryptButton");
                ModalDriver::click(dialog, "closeButton");
            });
            frame->commandAction(CMainFrame::Command::FileCipher)->trigger();
            QVERIFY2(driver.finished(), qPrintable(driver.pendingStep()));
            QFile back(decrypted);
            QVERIFY(back.open(QIODevice::ReadOnly));
            QCOMPARE(back.readAll(), plain);
            QCOMPARE(QFile(encrypted).size(), plain.size());

            prompter.confirmAnswers = {true};
            frame->close();
            app.ExitInstance();
        }
        QCOMPARE(shownTexts(prompter),
                 QStringList({"保存安全设置成功", "用户资料修改成功!", "文件加密成功", "文件解密成功"}));

        // The next start offers the new name; the old password fails, the interval is now 3 seconds.
        prompter.messages.clear();
        {
            ModalDriver driver;
            const auto press = [&](const QString& password, qint64 afterMs) {
                driver.expect("CLogin", [&clock, password, afterMs](QWidget* login) {
                    ModalDriver::setText(login, "passwordEdit", password);
                    clock.advanceMs(afterMs);
                    ModalDriver::click(login, "okButton");
                });
            };
            driver.expect("CLogin", [](QWidget* login) {
                QCOMPARE(ModalDriver::text(login, "userNameEdit"), kNewName);
                QVERIFY(ModalDriver::isChecked(login, "rememberCheckBox"));
                ModalDriver::setText(login, "passwordEdit", kPassword);
                ModalDriver::click(login, "okButton");
            });
            press(kNewPassword, 2000);
            press(kNewPassword, 3500);
            CTivApp app(clock, letters, &prompter);
            QVERIFY(app.InitInstance());
            QVERIFY(driver.finished());
            QCOMPARE(app.state().user.userName, kNewName);
            prompter.confirmAnswers = {true};
            app.mainFrame()->close();
            app.ExitInstance();
        }
        QCOMPARE(prompter.messages.size(), std::size_t(2));
        QCOMPARE(prompter.messages[0].text, QStringLiteral("您输入密码第1次错误!"));
        QVERIFY(prompter.messages[1].text.startsWith(QStringLiteral("请勿在3秒内重复登录！")));
    }
};

QTEST_MAIN(ToolSessionTest)
#include "tst_toolsession.moc"
