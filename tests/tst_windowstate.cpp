// tiv.ini: its bytes, its defaults, and what survives a read and a write.
#include <QFile>
#include <QtTest>

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
};

QTEST_GUILESS_MAIN(WindowStateTest)
#include "tst_windowstate.moc"
