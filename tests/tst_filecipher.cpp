// The file tool on real files: the stored form of what it writes, the sources it refuses, and that
// no failure, refusal or kept target leaves a file changed or a stray file behind.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include "crypto/CodePage936.h"
#include "crypto/FileCipher.h"
#include "crypto/TextCipher.h"

using FileCipher::Direction;
using FileCipher::Result;

namespace {

// Text in code page 936 over more than one piece of the tool, ending in a partial block.
QByteArray sampleText()
{
    QByteArray text;
    for (int line = 0; text.size() < FileCipher::kChunkSize + 17; ++line)
        text += CodePage936::toBytes(QStringLiteral("第%1行：Tiv 加密解密 line\r\n").arg(line));
    return text.left(FileCipher::kChunkSize + 17);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Answers the overwrite question and remembers what was asked.
struct Overwrite {
    bool answer = true;
    QStringList asked;
    FileCipher::ConfirmOverwrite callback()
    {
        return [this](const QString& question) {
            asked << question;
            return answer;
        };
    }
};

} // namespace

class FileCipherTest : public QObject {
    Q_OBJECT

private slots:
    void roundTripKeepsTheStoredForm_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("data key") << QStringLiteral("data-key");
        QTest::newRow("typed key") << QStringLiteral("我的密钥abc");
        QTest::newRow("built-in key") << QString();
    }

    void roundTripKeepsTheStoredForm()
    {
        QFETCH(QString, key);
        QTemporaryDir dir;
        const QByteArray plain = sampleText();
        writeFile(dir.filePath("a.txt"), plain);
        Overwrite overwrite;

        const FileCipher::Outcome encrypted = FileCipher::run(Direction::Encrypt, key, dir.filePath("a.txt"),
                                                              dir.filePath("a.enc"), overwrite.callback());
        QCOMPARE(encrypted.result, Result::Done);
        QCOMPARE(encrypted.message + encrypted.caption, QStringLiteral("文件加密成功加密解密"));
        const QByteArray cipher = readAll(dir.filePath("a.enc"));
        QCOMPARE(cipher.size(), plain.size());
        QVERIFY(!cipher.contains('\0'));
        QCOMPARE(cipher, TextCipher::EncryptBytes(key, plain)); // read in pieces, stored as one whole
        QCOMPARE(QFile::permissions(dir.filePath("a.enc")) & 0x7777,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);

        const FileCipher::Outcome decrypted = FileCipher::run(Direction::Decrypt, key, dir.filePath("a.enc"),
                                                              dir.filePath("b.txt"), overwrite.callback());
        QCOMPARE(decrypted.message + decrypted.caption, QStringLiteral("文件解密成功加密解密"));
        QCOMPARE(readAll(dir.filePath("b.txt")), plain);
        QVERIFY(overwrite.asked.isEmpty()); // nothing was there to replace
    }

    void emptySourceGivesEmptyTarget()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("empty.txt"), {});
        const FileCipher::Outcome outcome = FileCipher::run(Direction::Encrypt, QStringLiteral("k"),
                                                            dir.filePath("empty.txt"), dir.filePath("empty.enc"), {});
        QCOMPARE(outcome.result, Result::Done);
        QVERIFY(QFile::exists(dir.filePath("empty.enc")));
        QCOMPARE(readAll(dir.filePath("empty.enc")), QByteArray());
    }

    void refusalsAndFailuresWriteNothing_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("source"); // relative to the folder; "" for an empty box
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message"); // "%1": the source path, "%2": the target path

        const QString zero = FileCipher::zeroByteText(QStringLiteral("%1"));
        const int encrypt = int(Direction::Encrypt);
        const int refused = int(Result::Refused);
        const int failed = int(Result::Failed);
        // A zero byte in the second piece, after the first has already gone to the temporary file.
        QTest::newRow("zero byte") << encrypt << "zero.txt"
                                   << "old.txt" << refused << zero;
        QTest::newRow("zero byte, decrypting") << int(Direction::Decrypt) << "utf16.txt"
                                               << "old.txt" << refused << zero;
        QTest::newRow("no source") << encrypt << ""
                                   << "old.txt" << refused << FileCipher::kNoSourceText;
        QTest::newRow("no target") << encrypt << "a.txt"
                                   << "" << refused << FileCipher::kNoTargetText;
        QTest::newRow("missing source") << encrypt << "missing.txt"
                                        << "old.txt" << failed << "无法打开文件“%1”：文件不存在。";
        QTest::newRow("source is a folder") << encrypt << "sub"
                                            << "old.txt" << failed << "无法打开文件“%1”：这是一个文件夹，不是文件。";
        QTest::newRow("target folder missing") << encrypt << "a.txt"
                                               << "nowhere/a.enc" << failed << "无法写入文件“%2”：所在的文件夹不存在。";
        QTest::newRow("target below a file") << encrypt << "a.txt"
                                             << "old.txt/a.enc" << failed << "无法写入文件“%2”：所在的文件夹不存在。";
        QTest::newRow("target folder read-only")
            << encrypt << "a.txt"
            << "locked/a.enc" << failed << "无法写入文件“%2”：没有写入所在文件夹的权限。";
        QTest::newRow("target is a folder") << encrypt << "a.txt"
                                            << "sub" << failed << "无法写入文件“%2”：这是一个文件夹，不是文件。";
    }

    void refusalsAndFailuresWriteNothing()
    {
        QFETCH(int, direction);
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(int, result);
        QFETCH(QString, message);
        if (target.startsWith(QLatin1String("locked/")) && geteuid() == 0)
            QSKIP("the superuser writes into any folder");

        QTemporaryDir dir;
        QByteArray withZero = sampleText();
        withZero[FileCipher::kChunkSize + 5] = '\0';
        writeFile(dir.filePath("zero.txt"), withZero);
        QString utf16 = QStringLiteral("UTF-16 文本");
        writeFile(dir.filePath("utf16.txt"),
                  QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2));
        writeFile(dir.filePath("a.txt"), "plain");
        writeFile(dir.filePath("old.txt"), "the user's file");
        QDir(dir.path()).mkdir("sub");
        QDir(dir.path()).mkdir("locked");
        QFile::setPermissions(dir.filePath("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        const QString sourcePath = source.isEmpty() ? QString() : dir.filePath(source);
        const QString targetPath = target.isEmpty() ? QString() : dir.filePath(target);
        Overwrite overwrite;
        const FileCipher::Outcome outcome =
            FileCipher::run(Direction(direction), QStringLiteral("k"), sourcePath, targetPath, overwrite.callback());
        QCOMPARE(int(outcome.result), result);
        QCOMPARE(outcome.message, QString(message).replace("%1", sourcePath).replace("%2", targetPath));
        QCOMPARE(outcome.caption, FileCipher::kCaption);
        QVERIFY(overwrite.asked.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QVERIFY(QDir(dir.filePath("sub")).isEmpty());
        QVERIFY(QDir(dir.filePath("locked")).isEmpty());
        QCOMPARE(readAll(dir.filePath("old.txt")), QByteArray("the user's file"));
    }

    void existingTargetIsReplacedOnlyWhenConfirmed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("same.txt");
        const QByteArray plain = CodePage936::toBytes(QStringLiteral("源文件即目标文件"));
        writeFile(path, plain);
        Overwrite overwrite;

        overwrite.answer = false;
        const FileCipher::Outcome kept = FileCipher::run(Direction::Encrypt, {}, path, path, overwrite.callback());
        QCOMPARE(kept.result, Result::Declined);
        QVERIFY(kept.message.isEmpty());
        QCOMPARE(overwrite.asked, QStringList{FileCipher::overwriteQuestion(path)});
        QCOMPARE(readAll(path), plain);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"same.txt"});

        // The source is read whole before the result takes its place.
        overwrite.answer = true;
        QCOMPARE(FileCipher::run(Direction::Encrypt, {}, path, path, overwrite.callback()).result, Result::Done);
        QCOMPARE(readAll(path), TextCipher::EncryptBytes({}, plain));
        QCOMPARE(FileCipher::run(Direction::Decrypt, {}, path, path, overwrite.callback()).result, Result::Done);
        QCOMPARE(readAll(path), plain);
        QCOMPARE(overwrite.asked.size(), 3);
    }
};

QTEST_GUILESS_MAIN(FileCipherTest)
#include "tst_filecipher.moc"
