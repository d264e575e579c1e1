// The three tool dialogs under the offscreen platform, driven as a user would: what they show when
// they open, their enabling rules, and that their buttons reach the saves and the file tool.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "app/BackupDialog.h"
#include "app/CEnDeCrypt.h"
#include "crypto/TextCipher.h"
#include "security/CParamDlg.h"
#include "security/CUserDlg.h"
#include "security/FirstRunSetup.h"
#include "security/LoginPolicy.h"
#include "security/SecuritySettings.h"
#include "state/AccountText.h"
#include "state/Preferences.h"
#include "support/TestState.h"

namespace {

template <typename T> T* child(QWidget* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// A new database with the account "ab" / "pass1234", logged in.
void logIn(TestState& test)
{
    FirstRunSetup(test.state()).save({"ab", 2, "pass1234", "pass1234", "k1"});
    if (LoginPolicy(test.state()).attempt("ab", "pass1234", false).result != LoginPolicy::Result::LoggedIn)
        qFatal("the new account does not log in");
    test.prompter().messages.clear();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class ToolDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void settingsDialogShowsThePolicyInMemory_data()
    {
        QTest::addColumn<QString>("sdRank");
        QTest::addColumn<QString>("checked"); // destroy, failures, tamper as "1"/"0"
        QTest::addColumn<QString>("enabled"); // failures, count, tamper
        QTest::addColumn<QString>("count");
        QTest::newRow("off") << "0"
                             << "000"
                             << "000"
                             << "";
        QTest::newRow("tampering") << "1"
                                   << "101"
                                   << "101"
                                   << "";
        QTest::newRow("failures") << "25"
                                  << "110"
                                  << "111"
                                  << "5";
        QTest::newRow("both") << "3100"
                              << "111"
                              << "111"
                              << "100";
    }

    void settingsDialogShowsThePolicyInMemory()
    {
        QFETCH(QString, sdRank);
        QFETCH(QString, checked);
        QFETCH(QString, enabled);
        QFETCH(QString, count);
        TestState test;
        const QString seal = AccountText::DatabaseSeal(test.state().user.id);
        SettingsRecord& settings = test.state().settings;
        settings = {1, "2" + seal, "0" + seal, "15" + seal, sdRank + seal, "2.0.00" + seal};

        CParamDlg dialog(test.state(), test.prompter());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("系统设置"));
        QVERIFY(!child<QCheckBox>(&dialog, "instanceCheckBox")->isChecked());
        QCOMPARE(child<QLineEdit>(&dialog, "intervalEdit")->text(), QStringLiteral("15"));
        QVERIFY(child<QCheckBox>(&dialog, "strongKeyCheckBox")->isChecked());
        const auto flags = [](std::initializer_list<bool> values) {
            QString text;
            for (bool value : values)
                text += value ? u'1' : u'0';
            return text;
        };
        auto* destroy = child<QCheckBox>(&dialog, "destroyCheckBox");
        auto* failures = child<QCheckBox>(&dialog, "failuresCheckBox");
        auto* countEdit = child<QLineEdit>(&dialog, "failureCountEdit");
        auto* tamper = child<QCheckBox>(&dialog, "tamperCheckBox");
        QCOMPARE(flags({destroy->isChecked(), failures->isChecked(), tamper->isChecked()}), checked);
        QCOMPARE(flags({failures->isEnabled(), countEdit->isEnabled(), tamper->isEnabled()}), enabled);
        QCOMPARE(countEdit->text(), count);

        // The master box enables or disables all three, their marks and text kept.
        destroy->click();
        QCOMPARE(flags({failures->isEnabled(), countEdit->isEnabled(), tamper->isEnabled()}),
                 destroy->isChecked() ? QStringLiteral("111") : QStringLiteral("000"));
        QCOMPARE(flags({failures->isChecked(), tamper->isChecked()}), checked.mid(1));
        QCOMPARE(countEdit->text(), count);
    }

    void settingsDialogSavesAndStaysOpen()
    {
        TestState test;
        logIn(test);
        CParamDlg dialog(test.state(), test.prompter());
        dialog.show();
        auto* interval = child<QLineEdit>(&dialog, "intervalEdit");
        interval->clear();
        QTest::keyClicks(interval, QStringLiteral("3a0 5"));
        QCOMPARE(interval->text(), QStringLiteral("305")); // whole seconds only
        child<QLineEdit>(&dialog, "failureCountEdit")->clear();
        auto* save = child<QPushButton>(&dialog, "saveButton");
        save->click();
        QCOMPARE(test.prompter().lastMessage(), SecuritySettings::kBadLimitText);

        child<QCheckBox>(&dialog, "failuresCheckBox")->click();
        child<QCheckBox>(&dialog, "instanceCheckBox")->click();
        child<QSpinBox>(&dialog, "clipboardSpin")->setValue(0);
        child<QCheckBox>(&dialog, "hidePasswordCheckBox")->click();
        save->click();
        QCOMPARE(test.prompter().lastMessage() + test.prompter().lastCaption(), QStringLiteral("保存安全设置成功Tiv"));
        QVERIFY(dialog.isVisible());
        const QString seal = AccountText::DatabaseSeal(test.state().user.id);
        QCOMPARE(test.state().settings.interval, "305" + seal);
        QCOMPARE(test.state().settings.instance, "0" + seal);
        QCOMPARE(test.state().settings.sdRank, "1" + seal);
        QCOMPARE(test.state().preferences, (Preferences::Values{10, 0, true, 12}));

        child<QPushButton>(&dialog, "closeButton")->click();
        QVERIFY(!dialog.isVisible());
    }

    void backupDialogStoresTheNumberKeptAndHandsBackAConfirmedRestore()
    {
        TestState test;
        logIn(test);
        test.clock().set(QDateTime(QDate(2026, 5, 6), QTime(9, 30)));
        QFile damaged(QStringLiteral("backup/tiv-自动备份-0102.bak"));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4096, 'z')) == 4096 && damaged.flush());
        QVERIFY(damaged.setFileTime(QDateTime(QDate(2026, 1, 2), QTime(8, 0)), QFileDevice::FileModificationTime));
        damaged.close();
        BackupDialog dialog(test.state(), test.prompter());
        dialog.show();
        auto* list = child<QTreeWidget>(&dialog, "backupList");
        auto* restore = child<QPushButton>(&dialog, "restoreButton");
        QVERIFY(!restore->isEnabled());

        child<QSpinBox>(&dialog, "keepSpinBox")->setValue(3);
        child<QPushButton>(&dialog, "backupNowButton")->click();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->currentItem()->text(1), QStringLiteral("tiv-自动备份-0506.bak"));
        QCOMPARE(test.state().preferences.keepBackups, 3);
        QCOMPARE(Preferences::read(test.db()).keepBackups, 3);

        // A backup that does not open is refused before anything is asked.
        list->setCurrentItem(list->topLevelItem(1));
        restore->click();
        QVERIFY(test.prompter().lastMessage().startsWith(QStringLiteral("此备份已损坏")));
        QVERIFY(test.prompter().confirmations.isEmpty());

        list->setCurrentItem(list->topLevelItem(0));
        test.prompter().confirmAnswers = {false, true};
        restore->click();
        QVERIFY(dialog.isVisible() && dialog.chosenBackup().isEmpty());
        restore->click();
        QVERIFY(test.prompter().confirmations.last().contains(QStringLiteral("2026年5月6日 09:30")));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosenBackup(), QStringLiteral("./backup/tiv-自动备份-0506.bak"));
    }

    void profileDialogShowsTheAccountAndChangesIt()
    {
        TestState test;
        logIn(test);
        CUserDlg dialog(test.state(), test.prompter());
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("用户资料"));
        auto* name = child<QLineEdit>(&dialog, "userNameEdit");
        QCOMPARE(name->text(), QStringLiteral("ab"));
        QVERIFY(child<QRadioButton>(&dialog, "secretRadio")->isChecked());
        QVERIFY(child<QPushButton>(&dialog, "closeButton")->isDefault());
        const QList<QLineEdit*> passwords = {child<QLineEdit>(&dialog, "oldPasswordEdit"),
                                             child<QLineEdit>(&dialog, "newPasswordEdit"),
                                             child<QLineEdit>(&dialog, "confirmEdit")};
        for (QLineEdit* edit : passwords) {
            QVERIFY(edit->text().isEmpty());
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
        }

        auto* apply = child<QPushButton>(&dialog, "applyButton");
        apply->click();
        QCOMPARE(test.prompter().lastMessage() + test.prompter().lastCaption(),
                 QStringLiteral("您输入的原密码错误，操作被拒绝用户资料修改"));

        name->setText(QStringLiteral("c:d"));
        child<QRadioButton>(&dialog, "femaleRadio")->click();
        passwords[0]->setText(QStringLiteral("pass1234"));
        passwords[1]->setText(QStringLiteral("newpass1"));
        passwords[2]->setText(QStringLiteral("newpass1"));
        apply->click();
        QCOMPARE(test.prompter().lastMessage(), QStringLiteral("用户资料修改成功!"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(test.state().user.userName + test.state().user.password, QStringLiteral("cdnewpass1"));
        QCOMPARE(test.state().user.gender, 1);
        QCOMPARE(name->text(), QStringLiteral("cd"));
        for (QLineEdit* edit : passwords)
            QVERIFY(edit->text().isEmpty());
    }

    void fileToolDialogChoosesTheKeyAndRunsTheTool()
    {
        TestState test; // data key "data-key"
        QTemporaryDir dir;
        const QByteArray plain("plain text\r\n");
        QFile source(dir.filePath("a.txt"));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(plain) == plain.size());
        source.close();

        CEnDeCrypt dialog(test.state(), test.prompter());
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("加密解密"));
        auto* useDefault = child<QCheckBox>(&dialog, "defaultKeyCheckBox");
        auto* key = child<QLineEdit>(&dialog, "keyEdit");
        QVERIFY(useDefault->isChecked());
        QVERIFY(!key->isEnabled());
        QVERIFY(child<QLineEdit>(&dialog, "sourceEdit")->isReadOnly());
        QVERIFY(child<QLineEdit>(&dialog, "targetEdit")->isReadOnly());
        child<QLineEdit>(&dialog, "sourceEdit")->setText(dir.filePath("a.txt"));
        child<QLineEdit>(&dialog, "targetEdit")->setText(dir.filePath("a.enc"));
        auto* encrypt = child<QPushButton>(&dialog, "encryptButton");
        encrypt->click();
        QCOMPARE(test.prompter().lastMessage() + test.prompter().lastCaption(), QStringLiteral("文件加密成功加密解密"));
        QCOMPARE(readAll(dir.filePath("a.enc")), TextCipher::EncryptBytes(QStringLiteral("data-key"), plain));

        // Not the default key, and the box left empty: the built-in key.
        useDefault->click();
        QVERIFY(key->isEnabled());
        test.prompter().messages.clear();
        encrypt->click(); // the target exists now: the user keeps it
        QCOMPARE(test.prompter().confirmations.size(), 1);
        QVERIFY(test.prompter().messages.empty());
        QCOMPARE(readAll(dir.filePath("a.enc")), TextCipher::EncryptBytes(QStringLiteral("data-key"), plain));
        test.prompter().confirmAnswers = {true};
        encrypt->click();
        QCOMPARE(readAll(dir.filePath("a.enc")), TextCipher::EncryptBytes(QString(), plain));

        child<QLineEdit>(&dialog, "sourceEdit")->setText(dir.filePath("a.enc"));
        child<QLineEdit>(&dialog, "targetEdit")->setText(dir.filePath("b.txt"));
        child<QPushButton>(&dialog, "decryptButton")->click();
        QCOMPARE(test.prompter().lastMessage(), QStringLiteral("文件解密成功"));
        QCOMPARE(readAll(dir.filePath("b.txt")), plain);
    }
};

QTEST_MAIN(ToolDialogsTest)
#include "tst_tooldialogs.moc"
