// What a confirmed exit records: the logout stamp on the account row and the window placement, and
// that a database failure on the way never stops the placement from being saved.
#include <QFile>
#include <QtTest>

#include "app/SessionEnd.h"
#include "records/AccountSummary.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "state/UserRecord.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "support/TestSupport.h"

namespace {

const QDateTime kNow(QDate(2024, 3, 12), QTime(9, 41, 7, 650));

// A working directory with a new database and the shared state open on it.
struct Session {
    TempWorkDir work;
    FixedClock clock{kNow};
    FixedLetters letters{QStringLiteral("kq")};
    ScriptedPrompter prompter;
    AppState state{clock, letters};

    Session()
    {
        if (!state.mainConnection.OpenConnection(Schema::kConnectionString))
            qFatal("the test database does not open");
    }

    void addAccount() { state.mainConnection.execute(QStringLiteral("INSERT INTO tb_User (loginTimes) VALUES (3)")); }

    // lastLogoutTime of every account row, in row order.
    QList<FieldValue> logoutTimes()
    {
        QList<FieldValue> times;
        Recordset rows;
        if (!state.mainConnection.OpenRecordset(rows, QStringLiteral("SELECT lastLogoutTime FROM tb_User")))
            return times;
        for (rows.moveFirst(); !rows.isEof(); rows.moveNext())
            times.append(rows.field(QStringLiteral("lastLogoutTime")));
        return times;
    }
};

} // namespace

class SessionEndTest : public QObject {
    Q_OBJECT

private slots:
    void stampsTheFirstAccountRowWithTheClockInWholeSeconds()
    {
        Session session;
        session.addAccount();
        session.addAccount();
        QString error = QStringLiteral("untouched");
        QCOMPARE(SessionEnd::stampLogoutTime(session.state.mainConnection, session.clock, &error),
                 SessionEnd::LogoutStamp::Written);
        QVERIFY(error.isEmpty());
        const QList<FieldValue> times = session.logoutTimes();
        QCOMPARE(times.size(), 2);
        QCOMPARE(times[0], FieldValue(QStringLiteral("2024-03-12 09:41:07")));
        QVERIFY(times[1].isNull());
    }

    void databaseFailuresAreReportedAndThePlacementIsStillSaved_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("connection closed") << "closed";
        QTest::newRow("account table gone") << "dropped";
        QTest::newRow("row write refused") << "refused";
    }

    void databaseFailuresAreReportedAndThePlacementIsStillSaved()
    {
        QFETCH(QString, failure);
        Session session;
        session.addAccount();
        CDbConnection& db = session.state.mainConnection;
        if (failure == QLatin1String("closed"))
            db.CloseConnection();
        else if (failure == QLatin1String("dropped"))
            db.execute(QStringLiteral("DROP TABLE tb_User"));
        else
            db.execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON tb_User "
                                      "BEGIN SELECT RAISE(ABORT, 'refused'); END"));

        const SessionEnd::Outcome outcome = SessionEnd::finish(session.state, QRect(40, 30, 700, 520));
        QCOMPARE(outcome.stamp, SessionEnd::LogoutStamp::Failed);
        QVERIFY(!outcome.error.isEmpty());
        QVERIFY(outcome.placementSaved);
        const WindowStateRecord saved = WindowStateFile::read();
        QCOMPARE(QRect(saved.left, saved.top, saved.width, saved.height), QRect(40, 30, 700, 520));
        if (failure == QLatin1String("refused"))
            QVERIFY(session.logoutTimes().first().isNull());
    }

    void finishWritesTheWholeRecordWithTheOuterRectangle()
    {
        Session session;
        session.addAccount();
        session.state.windowState.saveName = WindowStateRecord::kYes;
        session.state.windowState.loginName = "stored-name";
        session.state.windowState.moduleStart = "DAIRY";
        // A minimized window reports a rectangle off screen; it is stored as it is.
        const QRect minimized(-32000, -32000, 160, 28);
        const SessionEnd::Outcome outcome = SessionEnd::finish(session.state, minimized);
        QCOMPARE(outcome.stamp, SessionEnd::LogoutStamp::Written);
        QVERIFY(outcome.placementSaved);

        const WindowStateRecord saved = WindowStateFile::read();
        QCOMPARE(QRect(saved.left, saved.top, saved.width, saved.height), minimized);
        QCOMPARE(saved.saveName, WindowStateRecord::kYes);
        QCOMPARE(saved.loginName, QByteArray("stored-name"));
        QCOMPARE(saved.moduleStart, QByteArray("DAIRY"));
        QCOMPARE(session.state.windowState.width, 160);
    }

    void summaryShowsARecordedTimeAndLeavesTheOtherEmpty()
    {
        UserRecord user;
        user.userName = QStringLiteral("张三");
        user.lastLogout = FieldConversions::toDateTime(FieldValue(QStringLiteral("2024-03-10 20:15:00")));
        user.loginTimes = 7;
        const QString text = AccountSummary::text(user);
        QVERIFY(text.startsWith(QStringLiteral("当前用户：张三，上次登录时间：，上次退出时间：")));
        QVERIFY(!text.contains(QStringLiteral("上次退出时间：，"))); // the recorded logout shows up in its place
        QVERIFY(text.endsWith(QStringLiteral("，总登录次数：7")));
    }
};

QTEST_GUILESS_MAIN(SessionEndTest)
#include "tst_sessionend.moc"
