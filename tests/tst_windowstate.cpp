// tiv.ini: its bytes, its defaults, what survives a read and a write, and the window placement it
// remembers.
#include <QFile>
#include <QtTest>

#include <climits>

#include "app/WindowPlacement.h"
#include "state/IniFile.h"
#include "state/LeadingNumber.h"
#include "state/RandomLetters.h"
#include "state/WindowStateFile.h"
#include "support/TestSupport.h"

namespace {

QByteArray fileBytes()
{
    QFile file(WindowStateFile::filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QByteArray& bytes)
{
    QFile file(WindowStateFile::filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

WindowStateRecord firstRunRecord()
{
    WindowStateRecord record;
    record.loginName = QByteArray("\x81\xfe name", 7);
    record.saveName = WindowStateRecord::kYes;
    record.width = 600;
    record.height = 530;
    record.left = -1;
    record.top = -1;
    return record;
}

} // namespace

class WindowStateTest : public QObject {
    Q_OBJECT

private slots:
    void writesTheTenKeysInOrderInCodePage936()
    {
        TempWorkDir work(false);
        FixedLetters letters(QStringLiteral("kq"));
        QVERIFY(WindowStateFile::write(firstRunRecord(), letters));
        QCOMPARE(fileBytes(), QByteArray("[LogInfo]\n"
                                         "LoginName=k\x81\xfe nameq\n"
                                         "SaveName=\xca\xc7\n"
                                         "[Setting]\n"
                                         "Width=600\n"
                                         "Height=530\n"
                                         "moduleStart=\n"
                                         "fileStart=0\n"
                                         "dairyStart=0\n"
                                         "pwdStart=0\n"
                                         "ptx=-1\n"
                                         "pty=-1\n"));
        QCOMPARE(QFile(WindowStateFile::filePath()).permissions() & QFileDevice::ReadOther, QFileDevice::Permissions());

        const WindowStateRecord read = WindowStateFile::read();
        QCOMPARE(read.loginName, firstRunRecord().loginName);
        QCOMPARE(read.saveName, QStringLiteral("是"));
        QCOMPARE(read.width, 600);
        QCOMPARE(read.height, 530);
        QCOMPARE(read.left, -1);
        QCOMPARE(read.top, -1);
    }

    void emptyNameIsTwoLettersAndReadsBackEmpty()
    {
        TempWorkDir work(false);
        WindowStateRecord record;
        record.saveName = WindowStateRecord::kNo;
        FixedLetters letters(QStringLiteral("xy"));
        QVERIFY(WindowStateFile::write(record, letters));
        QVERIFY(fileBytes().contains("LoginName=xy\n"));
        QVERIFY(fileBytes().contains("SaveName=\xb7\xf1\n"));
        const WindowStateRecord read = WindowStateFile::read();
        QVERIFY(read.loginName.isEmpty());
        QCOMPARE(read.saveName, QStringLiteral("否"));
    }

    void absentOrHandEditedValuesReadAsZero()
    {
        TempWorkDir work(false);
        WindowStateRecord absent = WindowStateFile::read();
        QCOMPARE(absent.width, 0);
        QVERIFY(absent.saveName.isEmpty() && absent.loginName.isEmpty());

        writeFile("[setting]\r\nWidth=abc\r\nheight= 12px\r\nPTX=-7\r\n");
        const WindowStateRecord read = WindowStateFile::read();
        QCOMPARE(read.width, 0);
        QCOMPARE(read.height, 12); // leading digits count, section and keys ignore letter case
        QCOMPARE(read.left, -7);
        QCOMPARE(read.top, 0);

        QCOMPARE(LeadingNumber::toInt(QByteArrayView("99999999999")), 2147483647);
        QCOMPARE(LeadingNumber::toInt(QByteArrayView("+5")), 5);
        QCOMPARE(LeadingNumber::toInt(QByteArrayView("")), 0);
    }

    void startValuesAndForeignLinesSurviveAWrite()
    {
        TempWorkDir work(false);
        writeFile("; kept by hand\n"
                  "[Setting]\n"
                  "pty=40\n"
                  "moduleStart=DAIRY\n"
                  "fileStart=7\n"
                  "Other=1\n"
                  "\n"
                  "[LogInfo]\n"
                  "SaveName=\xb7\xf1\n");
        WindowStateRecord record = WindowStateFile::read();
        QCOMPARE(record.moduleStart, QByteArray("DAIRY"));
        QCOMPARE(record.fileStart, 7);
        record.width = 800;
        FixedLetters letters(QStringLiteral("ab"));
        QVERIFY(WindowStateFile::write(record, letters));
        const QByteArray bytes = fileBytes();
        QVERIFY(bytes.startsWith("; kept by hand\n[Setting]\npty=40\nmoduleStart=DAIRY\nfileStart=7\nOther=1\n"));
        QVERIFY(bytes.contains("Width=800\n"));
        const WindowStateRecord again = WindowStateFile::read();
        QCOMPARE(again.moduleStart, QByteArray("DAIRY"));
        QCOMPARE(again.fileStart, 7);
        QCOMPARE(again.top, 40);
        QCOMPARE(again.width, 800);
    }

    void fileLargerThanTheBoundReadsAsAbsent_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("width");
        QTest::newRow("at the bound") << IniFile::kMaxFileBytes << 800;
        QTest::newRow("one byte over") << IniFile::kMaxFileBytes + 1 << 0;
    }

    void fileLargerThanTheBoundReadsAsAbsent()
    {
        QFETCH(qint64, size);
        QFETCH(int, width);
        TempWorkDir work(false);
        QByteArray bytes = "[Setting]\nWidth=800\n;";
        bytes += QByteArray(size - bytes.size() - 1, 'x') + '\n';
        writeFile(bytes);
        const WindowStateRecord record = WindowStateFile::read();
        QCOMPARE(record.width, width);
        if (width == 0) {
            // Nor is it carried along: the next write replaces it.
            FixedLetters letters(QStringLiteral("ab"));
            QVERIFY(WindowStateFile::write(record, letters));
            QVERIFY(fileBytes().size() < 200);
        }
    }

    void writeRemovesTemporariesThatAnInterruptedWriteLeft()
    {
        TempWorkDir work(false);
        const QDateTime longAgo = QDateTime::currentDateTime().addSecs(-3600);
        const QStringList kept = {QStringLiteral("tiv.ini.Fr3shA"), QStringLiteral("tiv.ini.backup"),
                                  QStringLiteral("tiv.ini.x7Qa9"), QStringLiteral("my.ini.x7Qa9Z")};
        for (const QString& name : kept + QStringList{QStringLiteral("tiv.ini.x7Qa9Z")}) {
            QFile file(work.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (name != kept.front())
                QVERIFY(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }
        FixedLetters letters(QStringLiteral("ab"));
        QVERIFY(WindowStateFile::write(WindowStateRecord(), letters));
        QStringList expected = kept + QStringList{QStringLiteral("tiv.ini")};
        expected.sort();
        QCOMPARE(QDir(work.path()).entryList(QDir::Files, QDir::Name), expected);
    }

    void pathFollowsTheWorkingDirectory()
    {
        TempWorkDir first(false);
        FixedLetters letters(QStringLiteral("ab"));
        WindowStateRecord record;
        record.width = 1;
        QVERIFY(WindowStateFile::write(record, letters));
        {
            TempWorkDir second(false);
            QCOMPARE(WindowStateFile::read().width, 0);
            QVERIFY(WindowStateFile::filePath().startsWith(second.path()));
        }
        QCOMPARE(WindowStateFile::read().width, 1);
    }

    void placementThatNoScreenShowsFallsBackToTheDefault_data()
    {
        QTest::addColumn<QRect>("remembered"); // left, top, width, height as tiv.ini holds them
        QTest::addColumn<QRect>("placed");     // a null position: the window system places the window
        const QPoint none;
        // clang-format off
        QTest::newRow("fits") << QRect(120, 90, 820, 610) << QRect(120, 90, 820, 610);
        QTest::newRow("first run") << QRect(-1, -1, 0, 0) << QRect(none, QSize(300, 200));
        QTest::newRow("top edge centred") << QRect(75, -1, 700, 500) << QRect(75, 270, 700, 500);
        QTest::newRow("on the second screen only") << QRect(2000, 40, 2400, 1300) << QRect(2000, 40, 2400, 1300);
        QTest::newRow("title bar partly on screen") << QRect(4300, 1250, 600, 530) << QRect(4300, 1250, 600, 530);
        QTest::newRow("larger than any screen") << QRect(10, 10, 100000, 100000) << QRect(none, QSize(600, 530));
        QTest::newRow("larger, left to the default") << QRect(-1, -1, 3000, 900) << QRect(none, QSize(600, 530));
        QTest::newRow("below every screen") << QRect(50, 5000, 700, 500) << QRect(none, QSize(600, 530));
        QTest::newRow("title bar under the bottom") << QRect(50, 980, 700, 500) << QRect(none, QSize(600, 530));
        QTest::newRow("a sliver at the right") << QRect(4450, 100, 700, 500) << QRect(none, QSize(600, 530));
        QTest::newRow("edge at the end of int") << QRect(INT_MAX - 700, INT_MAX - 500, 700, 500) << QRect(none, QSize(600, 530));
        // clang-format on
    }

    void placementThatNoScreenShowsFallsBackToTheDefault()
    {
        QFETCH(QRect, remembered);
        QFETCH(QRect, placed);
        // A primary screen with a task bar at its foot, and a larger one to its right.
        const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 2560, 1400)};
        WindowStateRecord record;
        record.left = remembered.x();
        record.top = remembered.y();
        record.width = remembered.width();
        record.height = remembered.height();
        const WindowPlacement::Request request = WindowPlacement::fromRecord(record, screens);
        QCOMPARE(request.size, placed.size());
        QCOMPARE(request.position.value_or(QPoint()), placed.topLeft());
        // The record holds what the window shows, so the next exit does not bring the bad values back.
        QCOMPARE(QSize(record.width, record.height), placed.size());
        if (!request.position)
            QCOMPARE(QPoint(record.left, record.top), QPoint(-1, -1));
    }
};

QTEST_GUILESS_MAIN(WindowStateTest)
#include "tst_windowstate.moc"
