// The first-run and login windows under the offscreen platform, driven as a user would, with the
// messages and questions answered by a scripted prompter.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "security/CInitAdmin.h"
#include "security/CLogin.h"
#include "security/DefaultKeySuggestion.h"
#include "security/FirstRunSetup.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "state/SystemKey.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "support/TestSupport.h"

namespace {

struct Session {
    Session()
        : clock(QDateTime(QDate(2024, 3, 5), QTime(9, 0))), letters(QStringLiteral("pqrstuvwxy")), state(clock, letters)
    {
        state.systemKey = SystemKey::build();
        if (!state.mainConnection.OpenConnection(Schema::kConnectionString))
            qFatal("cannot open the test database");
        state.windowState = WindowStateFile::read();
    }
    void createAccount()
    {
        FirstRunSetup(state).save({"ab", 2, "pass1234", "pass1234", "k1"});
        prompter.messages.clear();
    }
    Recordset accounts()
    {
        Recordset rows;
        state.mainConnection.OpenRecordset(rows, QStringLiteral("SELECT * FROM tb_User"));
        return rows;
    }

    FixedClock clock;
    FixedLetters letters;
    AppState state;
    ScriptedPrompter prompter;
};

template <typename T> T* child(QWidget* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// Runs the action on the next modal window of type T once it shows. Another window that stays up
// instead is closed, so a test that went wrong fails rather than waits for ever.
template <typename T> void onNextDialog(std::function<void(T*)> action)
{
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, action] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<T*>(modal);
        const bool found = dialog && dialog->isVisible();
        if (!found && ++*ticks < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (found)
            action(dialog);
        else if (auto* other = qobject_cast<QDialog*>(modal))
            other->done(-1);
    });
    timer->start(10);
}

void fillFirstRun(CInitAdmin* dialog, const QString& password = QStringLiteral("pass1234"))
{
    child<QLineEdit>(dialog, "userNameEdit")->setText(QStringLiteral("ab"));
    child<QLineEdit>(dialog, "passwordEdit")->setText(password);
    child<QLineEdit>(dialog, "confirmEdit")->setText(password);
    child<QLineEdit>(dialog, "defaultKeyEdit")->setText(QStringLiteral("k1"));
}

} // namespace

class LoginDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunDialogChecksAndSaves()
    {
        TempWorkDir work;
        Session run;
        CInitAdmin dialog(run.state, run.prompter);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("系统信息初始化"));
        QVERIFY(child<QRadioButton>(&dialog, "secretRadio")->isChecked());
        QCOMPARE(child<QLineEdit>(&dialog, "passwordEdit")->echoMode(), QLineEdit::Password);
        QCOMPARE(child<QLineEdit>(&dialog, "confirmEdit")->echoMode(), QLineEdit::Password);
        QCOMPARE(child<QLineEdit>(&dialog, "defaultKeyEdit")->text(), DefaultKeySuggestion::rootFileSystemId());

        auto* save = child<QPushButton>(&dialog, "saveButton");
        save->click();
        QCOMPARE(run.prompter.lastMessage() + run.prompter.lastCaption(), QStringLiteral("用户名不能为空!系统初始化"));
        fillFirstRun(&dialog, QStringLiteral("abc"));
        save->click();
        QCOMPARE(run.prompter.lastMessage(), QStringLiteral("密码不能为空且长度不小于4位!"));
        fillFirstRun(&dialog, QStringLiteral("abcd"));
        child<QLineEdit>(&dialog, "confirmEdit")->setText(QStringLiteral("abce"));
        save->click();
        QCOMPARE(run.prompter.lastMessage(), QStringLiteral("你两次输入的密码不一致!"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(run.accounts().recordCount(), 0);

        child<QLineEdit>(&dialog, "confirmEdit")->setText(QStringLiteral("abcd"));
        child<QRadioButton>(&dialog, "femaleRadio")->click();
        save->click();
        QCOMPARE(run.prompter.lastMessage() + run.prompter.lastCaption(), QStringLiteral("系统信息初始化成功!初始化"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(run.accounts().field(QStringLiteral("gender")).integer(), 1);
    }

    void leavingTheFirstRunIsConfirmed()
    {
        TempWorkDir work;
        Session run;
        run.prompter.confirmAnswers = {false, true};
        CInitAdmin dialog(run.state, run.prompter);
        dialog.show();
        dialog.close(); // "返回"
        QVERIFY(dialog.isVisible());
        QCOMPARE(run.prompter.confirmations,
                 QStringList{QStringLiteral("使用本系统必须首先创建一个默认用户账号。\r\n\r\n你确定要退出本程序吗？")});
        QTest::keyClick(&dialog, Qt::Key_Escape); // "退出"
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());

        // Leaving the first run leaves the login too.
        run.prompter.confirmAnswers = {true};
        onNextDialog<CInitAdmin>([](CInitAdmin* firstRun) { firstRun->close(); });
        QCOMPARE(CLogin(run.state, run.prompter).run(), int(QDialog::Rejected));
        QCOMPARE(run.prompter.confirmations.size(), 3);
    }

    void loginRunsTheFirstRunUntilAnAccountExists()
    {
        TempWorkDir work;
        Session run;
        // The first save fails and is undone; the second dialog then creates the account.
        run.state.mainConnection.execute(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON tb_Setting BEGIN SELECT RAISE(ABORT, 'no'); END"));
        int firstRunDialogs = 0;
        bool nameShown = false;
        onNextDialog<CInitAdmin>([&](CInitAdmin* first) {
            ++firstRunDialogs;
            fillFirstRun(first);
            child<QPushButton>(first, "saveButton")->click();
            run.state.mainConnection.execute(QStringLiteral("DROP TRIGGER refuse"));
            onNextDialog<CInitAdmin>([&](CInitAdmin* second) {
                ++firstRunDialogs;
                fillFirstRun(second);
                child<QPushButton>(second, "saveButton")->click();
                onNextDialog<CLogin>([&](CLogin* login) {
                    nameShown = child<QLineEdit>(login, "userNameEdit")->text() == QStringLiteral("ab") &&
                                child<QCheckBox>(login, "rememberCheckBox")->isChecked();
                    child<QLineEdit>(login, "passwordEdit")->setText(QStringLiteral("pass1234"));
                    child<QPushButton>(login, "okButton")->click();
                });
            });
        });

        QCOMPARE(CLogin(run.state, run.prompter).run(), int(QDialog::Accepted));
        QCOMPARE(firstRunDialogs, 2);
        QVERIFY(nameShown);
        QCOMPARE(run.prompter.messages.size(), std::size_t(2));
        QCOMPARE(run.prompter.messages[0].text, QStringLiteral("系统信息系统初始化异常!"));
        QCOMPARE(run.prompter.messages[1].text, QStringLiteral("系统信息初始化成功!"));
        QCOMPARE(run.state.user.dataKey, QStringLiteral("k1"));
    }

    void loginWindowRefusesAndCancels()
    {
        TempWorkDir work;
        Session run;
        run.createAccount();
        CLogin login(run.state, run.prompter);
        QVERIFY(login.windowFlags() & Qt::FramelessWindowHint);
        auto* password = child<QLineEdit>(&login, "passwordEdit");
        QCOMPARE(child<QLineEdit>(&login, "userNameEdit")->maxLength(), 30);
        QCOMPARE(password->maxLength(), 30);
        QCOMPARE(password->echoMode(), QLineEdit::Password);

        bool stayedOpen = false;
        onNextDialog<CLogin>([&](CLogin* dialog) {
            password->setText(QStringLiteral("wrong-pw"));
            QTest::keyClick(password, Qt::Key_Return); // "确定" is the default button
            stayedOpen = dialog->isVisible();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(login.run(), int(QDialog::Rejected));
        QVERIFY(stayedOpen);
        QCOMPARE(run.prompter.lastMessage(), QStringLiteral("您输入密码第1次错误!"));
    }

    void intervalStartsAgainWhenItsMessageCloses()
    {
        TempWorkDir work;
        Session run;
        run.createAccount();
        CLogin login(run.state, run.prompter);
        login.show();
        child<QLineEdit>(&login, "userNameEdit")->setText(QStringLiteral("ab"));
        auto* password = child<QLineEdit>(&login, "passwordEdit");
        auto* ok = child<QPushButton>(&login, "okButton");
        password->setText(QStringLiteral("wrong-pw"));
        ok->click();
        QCOMPARE(run.prompter.lastMessage(), QStringLiteral("您输入密码第1次错误!"));

        run.clock.advanceMs(600);
        run.prompter.whileShowing = [&](const QString&) {
            run.clock.advanceMs(800);
        };
        ok->click();
        run.prompter.whileShowing = nullptr;
        QVERIFY(run.prompter.lastMessage().startsWith(QStringLiteral("请勿在1秒内重复登录！")));
        // 1.3 s after that press, but only 0.5 s after its message closed.
        run.clock.advanceMs(500);
        password->setText(QStringLiteral("pass1234"));
        ok->click();
        QVERIFY(run.prompter.lastMessage().startsWith(QStringLiteral("请勿在1秒内重复登录！")));
        QCOMPARE(login.result(), 0);
    }

    void selfDestructAndUnusablePolicyEndTheLogin()
    {
        TempWorkDir work;
        Session run;
        run.createAccount();
        run.state.settings.id = 2;
        QCOMPARE(CLogin(run.state, run.prompter).run(), CLogin::kRefused);
        QCOMPARE(run.prompter.lastMessage() + run.prompter.lastCaption(),
                 QStringLiteral("数据库发生异常或被非法篡改！Tiv"));

        run.prompter.messages.clear();
        run.state.settings.id = 1;
        run.state.settings.version = QStringLiteral("2.0.00XXXX-XXXX"); // tampered, mode 3
        onNextDialog<CLogin>([](CLogin* dialog) {
            child<QLineEdit>(dialog, "passwordEdit")->setText(QStringLiteral("pass1234"));
            child<QPushButton>(dialog, "okButton")->click();
        });
        QCOMPARE(CLogin(run.state, run.prompter).run(), CLogin::kRefused);
        QVERIFY(run.state.dataDestroyed);
        QVERIFY(run.prompter.messages.empty());
        QCOMPARE(run.accounts().recordCount(), 0);
    }

    void loginWindowIsDraggedAnywhere()
    {
        TempWorkDir work;
        Session run;
        CLogin login(run.state, run.prompter);
        login.move(100, 100);
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        const QPoint start = login.pos();
        // Each event is sent before the next is made: events of one device share their point.
        const QPointF inside(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, inside, login.mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&login, &press);
        const QPointF moved = inside + QPointF(40, 25);
        QMouseEvent move(QEvent::MouseMove, moved, login.mapToGlobal(moved), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&login, &move);
        QCOMPARE(login.pos(), start + QPoint(40, 25));
    }
};

QTEST_MAIN(LoginDialogsTest)
#include "tst_logindialogs.moc"
