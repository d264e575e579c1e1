// A whole session through the real windows: a new database, the first run, logins, the main window
// and its exit, and the failure count kept across restarts.
#include <QAction>
#include <QLabel>
#include <QtTest>

#include "app/CMainFrame.h"
#include "app/CTivApp.h"
#include "state/RandomLetters.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "support/ModalDriver.h"
#include "support/SessionScript.h"
#include "support/TestSupport.h"

namespace {

const QString kName = QStringLiteral("张三");
const QString kPassword = QStringLiteral("secret-1");

QString lastLogout()
{
    CDbConnection db;
    db.OpenConnection(Schema::kConnectionString);
    Recordset rs;
    db.OpenRecordset(rs, QStringLiteral("SELECT lastLogoutTime FROM tb_User"));
    if (rs.isEof() || rs.field(QStringLiteral("lastLogoutTime")).isNull())
        return {};
    return FieldConversions::toText(rs.field(QStringLiteral("lastLogoutTime")));
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunLoginExitAndFailuresAcrossRestarts()
    {
        TempWorkDir work;
        qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
        FixedClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
        SystemRandomLetters letters;
        ScriptedPrompter prompter;

        {
            ModalDriver driver;
            SessionScript::expectFirstRun(driver, kName, kPassword);
            SessionScript::expectLogin(driver, kName, kPassword, clock);
            CTivApp app(clock, letters, &prompter);
            QVERIFY(app.InitInstance());
            QVERIFY2(driver.finished(), qPrintable(driver.pendingStep()));
            QCOMPARE(prompter.messages.front().text, QStringLiteral("系统信息初始化成功!"));

            CMainFrame* frame = app.mainFrame();
            QVERIFY(frame && frame->isVisible());
            QCOMPARE(frame->windowTitle(), CMainFrame::kTitle);
            QVERIFY(frame->findChild<QLabel*>(QStringLiteral("userPane"))->text().contains(kName));
            frame->commandAction(CMainFrame::Command::DairyModule)->trigger();
            QCOMPARE(app.state().currentModule, ModuleKind::Dairy);

            // 锁定: the window and the keys go, and the login that follows obeys the failure count.
            {
                ModalDriver locked;
                bool wiped = false;
                locked.expect("CLogin", [&](QWidget*) {
                    // The plain format opens without the password, so only a vault's database is closed here.
                    wiped = !app.mainFrame() && app.state().user.dataKey.isEmpty() &&
                            app.state().user.password.isEmpty() && !app.state().databaseKey.isVault();
                });
                SessionScript::expectLogin(locked, kName, QStringLiteral("wrong-0"), clock);
                SessionScript::expectLogin(locked, kName, kPassword, clock);
                frame->commandAction(CMainFrame::Command::Lock)->trigger();
                QTRY_VERIFY_WITH_TIMEOUT(locked.finished(), ModalDriver::kGiveUpMs);
                QVERIFY(wiped);
                QCOMPARE(prompter.lastMessage(), QStringLiteral("您输入密码第1次错误!"));
            }
            frame = app.mainFrame();
            QVERIFY(frame && frame->isVisible());
            QCOMPARE(app.state().user.dataKey.isEmpty(), false);

            prompter.confirmAnswers = {false};
            frame->close();
            QVERIFY(frame->isVisible()); // 取消 keeps the program running
            QVERIFY(lastLogout().isEmpty());
            prompter.confirmAnswers = {true};
            clock.advanceMs(60 * 1000);
            frame->close();
            QVERIFY(!frame->isVisible());
            QCOMPARE(lastLogout(), QStringLiteral("2026-12-08 09:01:06")); // four logins past the interval
            QVERIFY(WindowStateFile::read().width >= 500);
            app.ExitInstance();
        }

        // The next start offers the remembered name; three wrong passwords are counted.
        prompter.messages.clear();
        {
            ModalDriver driver;
            for (int attempt = 1; attempt <= 3; ++attempt)
                SessionScript::expectLogin(driver, kName, QStringLiteral("wrong-%1").arg(attempt), clock);
            driver.expect("CLogin", [](QWidget* login) { ModalDriver::click(login, "cancelButton"); });
            CTivApp app(clock, letters, &prompter);
            QVERIFY(!app.InitInstance());
            QVERIFY(driver.finished());
            QCOMPARE(app.ExitInstance(), 0); // the user left: no failure
        }
        QCOMPARE(prompter.messages.size(), std::size_t(3));
        QCOMPARE(prompter.messages[2].text, QStringLiteral("您输入密码第3次错误!"));

        // The count lives in the database: the next run's first failure is the fourth.
        prompter.messages.clear();
        {
            ModalDriver driver;
            SessionScript::expectLogin(driver, kName, QStringLiteral("wrong-4"), clock);
            driver.expect("CLogin", [](QWidget* login) { ModalDriver::click(login, "cancelButton"); });
            CTivApp app(clock, letters, &prompter);
            QVERIFY(!app.InitInstance());
            app.ExitInstance();
        }
        QCOMPARE(prompter.lastMessage(), QStringLiteral("您输入密码第4次错误!"));
        QVERIFY(QFile::exists(QStringLiteral("data/tiv.dat")));

        // A start the program refuses ends with a failure status.
        QVERIFY(QFile::rename(QStringLiteral("data/tiv.dat"), QStringLiteral("data/other.dat")));
        CTivApp app(clock, letters, &prompter);
        QVERIFY(!app.InitInstance());
        QCOMPARE(prompter.lastMessage(), QStringLiteral("程序初始化失败，请确认程序完整性！"));
        QCOMPARE(app.ExitInstance(), 1);
    }
};

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
