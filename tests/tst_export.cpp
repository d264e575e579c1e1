// Exporting records, folders and modules: every format read back, the names of the files, the records left
// out for their keys, the question before a file is replaced, and the password box's CSV in both forms.
#include <QtTest>

#include <QBuffer>
#include <QImage>
#include <QTextDocument>

#include "app/RecordExport.h"
#include "crypto/FileCipher.h"
#include "crypto/TextCipher.h"
#include "records/RtfReader.h"
#include "support/TestState.h"

using RecordExport::Format;
using RecordExport::Scope;
Q_DECLARE_METATYPE(Format)

namespace {

const QString kDataKey = QStringLiteral("data-key");

QString folderPath(const QString& segments)
{
    return segments + QString(25 - segments.size(), u'0') + u'0';
}
QString recordPath(const QString& segments)
{
    QString path = segments;
    while (path.size() < 25)
        path += QStringLiteral("99999");
    return path + u'9';
}

QByteArray pictureBody()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return "{\\rtf1\\ansi\\ansicpg936 Quarterly numbers \\'d5\\'fd\\'ce\\'c4\\par{\\pict\\pngblip " + png.toHex() +
           "}\\par}";
}

QString bodyText(const QByteArray& rtf)
{
    QTextDocument document;
    return RtfReader::read(rtf, document) ? document.toPlainText() : QString();
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString& path)
{
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    return pages.match(run(QStringLiteral("pdfinfo"), {path})).captured(1).toInt();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Fixture {
    TestState test;
    QTemporaryDir out;
    std::map<QString, int> ids;

    AppState& state() { return test.state(); }

    // A row of the module, everything but the caption given by column.
    int add(ModuleKind module, const QString& caption, const QString& path, int type,
            const std::vector<std::pair<QString, FieldValue>>& extra = {})
    {
        QStringList columns = {QStringLiteral("userId"), QStringLiteral("mCaption"), QStringLiteral("parentId"),
                               QStringLiteral("folderType"), QStringLiteral("orderId")};
        std::vector<FieldValue> values = {state().user.id, TextCipher::EncryptText(kDataKey, caption), path, type,
                                          static_cast<int>(ids.size() + 1)};
        for (const auto& [column, value] : extra) {
            columns << column;
            values.push_back(value);
        }
        CDbConnection& db = state().moduleConnection(module);
        db.execute(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(moduleTable(module), columns.join(u','),
                            QStringList(columns.size(), QStringLiteral("?")).join(u',')),
                   values);
        return ids[caption] = static_cast<int>(db.lastInsertRowId());
    }
    int addDocument(const QString& caption, const QString& path, int type, const QByteArray& body, int level = 0,
                    const QString& key = kDataKey)
    {
        return add(ModuleKind::File, caption, path, type,
                   {{QStringLiteral("mTitle"), TextCipher::EncryptText(key, QStringLiteral("提要 summary"))},
                    {QStringLiteral("mContent"), TextCipher::EncryptBytes(key, body)},
                    {QStringLiteral("myKey"), level},
                    {QStringLiteral("createTime"), QStringLiteral("2024-03-01 08:00:00")},
                    {QStringLiteral("updateTime"), QStringLiteral("2024-03-02 09:30:00")}});
    }

    // 工作 / {报告: Q1, 报告 Q1 again, a record under a custom key, 子/目录 / {Notes}}, and 其他 / {Other}.
    void documents()
    {
        const QByteArray plain = "{\\rtf1\\ansi Plain notes\\par}";
        add(ModuleKind::File, QStringLiteral("工作"), folderPath(QStringLiteral("10001")), 1);
        addDocument(QStringLiteral("报告: Q1"), recordPath(QStringLiteral("10001")), 10, pictureBody());
        addDocument(QStringLiteral(" 报告 Q1. "), recordPath(QStringLiteral("10001")), 10, plain);
        addDocument(QStringLiteral("秘密"), recordPath(QStringLiteral("10001")), 10, plain, 2, QStringLiteral("own"));
        add(ModuleKind::File, QStringLiteral("子/目录"), folderPath(QStringLiteral("1000110001")), 2);
        addDocument(QStringLiteral("Notes"), recordPath(QStringLiteral("1000110001")), 20, plain);
        add(ModuleKind::File, QStringLiteral("其他"), folderPath(QStringLiteral("10002")), 1);
        addDocument(QStringLiteral("Other"), recordPath(QStringLiteral("10002")), 10, plain);
    }

    RecordExport::Outcome exportTo(Scope scope, Format format, int id = 0, const QString& target = {})
    {
        RecordExport::Request request;
        request.module = ModuleKind::File;
        request.scope = scope;
        request.id = id;
        request.recordKey = kDataKey;
        request.format = format;
        request.target = target.isEmpty() ? out.path() : target;
        return RecordExport::run(state(), test.prompter(), request);
    }
};

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void namesAreSafeOnAnyFileSystem_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        QTest::newRow("reserved characters and controls")
            << QStringLiteral("a/b\\c:d*e?f\"g<h>i|j\tk\nl") << QStringLiteral("abcdefghijkl");
        QTest::newRow("dots and blanks at the ends") << QStringLiteral(" ..日记. ") << QStringLiteral("日记");
        QTest::newRow("nothing left") << QStringLiteral("?* .") << QStringLiteral("未命名");
        QTest::newRow("a device name") << QStringLiteral("con.txt") << QStringLiteral("_con.txt");
        QTest::newRow("not quite a device") << QStringLiteral("COM0") << QStringLiteral("COM0");
    }

    void namesAreSafeOnAnyFileSystem()
    {
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QCOMPARE(RecordExport::safeFileName(caption), name);
    }

    void longCaptionsFitTheFileSystem()
    {
        // 150 Chinese characters are 450 bytes of UTF-8, more than any file system takes in a name.
        const QString name = RecordExport::safeFileName(QString(150, QChar(0x6587)) + QStringLiteral("😀"));
        QVERIFY(name.size() <= RecordExport::kMaxNameLength);
        QVERIFY(name.toUtf8().size() <= 200);
        const QString emoji =
            RecordExport::safeFileName(QString(65, u'x') + QString(20, QChar(0x6587)) + QStringLiteral("😀😀😀😀😀😀😀😀😀😀"));
        QVERIFY(!emoji.back().isHighSurrogate()); // a cut never splits a character
        Fixture fixture;
        const QString path = fixture.out.filePath(name + QStringLiteral(" (2).html"));
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    }

    void folderInEachFormat_data()
    {
        QTest::addColumn<Format>("format");
        QTest::newRow("RTF") << Format::Rtf;
        QTest::newRow("HTML") << Format::Html;
        QTest::newRow("text") << Format::Text;
        QTest::newRow("PDF") << Format::Pdf;
    }

    void folderInEachFormat()
    {
        QFETCH(Format, format);
        Fixture fixture;
        fixture.documents();
        // A record selected for the folder command means the folder it is in.
        const RecordExport::Outcome outcome =
            fixture.exportTo(Scope::Folder, format, fixture.ids[QStringLiteral("报告: Q1")]);
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.root, fixture.out.filePath(QStringLiteral("工作")));

        const QString ext = RecordExport::extension(format);
        // In the tree's order: a folder's subfolders before its records.
        QStringList expected = {QStringLiteral("子目录/Notes") + ext, QStringLiteral("报告 Q1") + ext,
                                QStringLiteral("报告 Q1 (2)") + ext};
        if (format == Format::Html)
            expected << QStringLiteral("index.html");
        QStringList written;
        for (const QString& path : outcome.written)
            written << QDir(outcome.root).relativeFilePath(path);
        QCOMPARE(written, expected);
        QCOMPARE(outcome.skipped.size(), std::size_t(1));
        QCOMPARE(outcome.skipped.front().caption, QStringLiteral("秘密"));
        QVERIFY(outcome.reportText().contains(QStringLiteral("秘密")));
        const QFileInfo first(outcome.written.front());
        QCOMPARE(first.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        const QString report = outcome.written[1];
        switch (format) {
        case Format::Rtf:
            QCOMPARE(readAll(report), pictureBody()); // the body as stored
            QCOMPARE(bodyText(readAll(outcome.written[0])), QStringLiteral("Plain notes"));
            break;
        case Format::Html: {
            const QString html = QString::fromUtf8(readAll(report));
            for (const QString& part : {QStringLiteral("<title>报告: Q1</title>"), QStringLiteral("提要 summary"),
                                        QStringLiteral("Quarterly numbers"), QStringLiteral("正文")})
                QVERIFY2(html.contains(part), qPrintable(part));
            QVERIFY(html.contains(QStringLiteral("src=\"data:image/png;base64,")));
            QVERIFY(!html.contains(QStringLiteral("rtfpicture:")));
            const QString index = QString::fromUtf8(readAll(outcome.written.last()));
            QVERIFY(index.contains(QStringLiteral("href=\"%1/Notes.html\"")
                                       .arg(QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("子目录"))))));
            QVERIFY(index.contains(QStringLiteral("秘密（")));
            QVERIFY(!index.contains(QStringLiteral("Other")));
            break;
        }
        case Format::Text: {
            const QString text = QString::fromUtf8(readAll(report));
            QVERIFY(text.startsWith(QStringLiteral("报告: Q1\n文档创建于：")));
            QVERIFY(text.contains(QStringLiteral("提要：提要 summary\n")));
            QVERIFY(text.contains(QStringLiteral("Quarterly numbers 正文\n")));
            QVERIFY(!text.contains(QChar::ObjectReplacementCharacter));
            break;
        }
        case Format::Pdf:
            QCOMPARE(pdfPages(report), 1);
            QVERIFY(run(QStringLiteral("pdftotext"), {report, QStringLiteral("-")})
                        .contains(QStringLiteral("Quarterly numbers")));
            break;
        default:
            break;
        }
    }

    void moduleReplacesFilesOnlyWhenTold()
    {
        Fixture fixture;
        fixture.documents();
        RecordExport::Outcome outcome = fixture.exportTo(Scope::Module, Format::Text);
        QCOMPARE(outcome.root, fixture.out.filePath(QStringLiteral("文档管理")));
        QCOMPARE(outcome.written.size(), 4);
        QVERIFY(fixture.test.prompter().confirmations.isEmpty());
        const QString other = outcome.root + QStringLiteral("/其他/Other.txt");
        QVERIFY(outcome.written.contains(other));

        QFile edited(other);
        QVERIFY(edited.open(QIODevice::WriteOnly));
        edited.write("kept");
        edited.close();
        fixture.test.prompter().confirmAnswers = {false};
        outcome = fixture.exportTo(Scope::Module, Format::Text);
        QVERIFY(outcome.declined);
        QVERIFY(outcome.written.isEmpty());
        QVERIFY(fixture.test.prompter().confirmations.last().contains(other));
        QCOMPARE(readAll(other), QByteArray("kept"));

        fixture.test.prompter().confirmAnswers = {true};
        outcome = fixture.exportTo(Scope::Module, Format::Text);
        QCOMPARE(outcome.written.size(), 4);
        QVERIFY(readAll(other).startsWith("Other\n"));
    }

    void recordOnScreenIsReadWithItsKey()
    {
        Fixture fixture;
        QByteArray longBody = "{\\rtf1\\ansi ";
        for (int i = 0; i < 120; ++i)
            longBody += "Paragraph " + QByteArray::number(i) + " of a long body\\par ";
        longBody += "}";
        const int id = fixture.addDocument(QStringLiteral("Long"), recordPath(QStringLiteral("10001")), 10, longBody, 1,
                                           QStringLiteral("own key"));
        RecordExport::Request request;
        request.module = ModuleKind::File;
        request.id = id;
        request.recordKey = QStringLiteral("own key");
        request.format = Format::Pdf;
        request.target = fixture.out.filePath(QStringLiteral("long.pdf"));
        const RecordExport::Outcome outcome = RecordExport::run(fixture.state(), fixture.test.prompter(), request);
        QCOMPARE(outcome.written, QStringList{request.target});
        QVERIFY(outcome.reportText().contains(request.target));
        QVERIFY(pdfPages(request.target) > 1);
        QVERIFY(run(QStringLiteral("pdftotext"), {request.target, QStringLiteral("-")})
                    .contains(QStringLiteral("Paragraph 119 of a long body")));

        // The printable form is the same document.
        const RecordExport::Printable printable =
            RecordExport::printable(fixture.state(), fixture.test.prompter(), ModuleKind::File, id, request.recordKey);
        QVERIFY(printable.document);
        QVERIFY(printable.document->toPlainText().contains(QStringLiteral("Paragraph 0 of a long body")));
    }

    void passwordEntriesAsCsv()
    {
        Fixture fixture;
        fixture.add(ModuleKind::Pwd, QStringLiteral("网站"), folderPath(QStringLiteral("10001")), 1);
        const auto entry = [&](const QString& caption, const std::array<QString, 4>& fields, int level = 0) {
            const QString key = level == 0 ? kDataKey : QStringLiteral("own");
            fixture.add(ModuleKind::Pwd, caption, recordPath(QStringLiteral("10001")), 10,
                        {{QStringLiteral("userName"), TextCipher::EncryptText(key, fields[0])},
                         {QStringLiteral("password"), TextCipher::EncryptText(key, fields[1])},
                         {QStringLiteral("url"), TextCipher::EncryptText(key, fields[2])},
                         {QStringLiteral("intro"), TextCipher::EncryptText(key, fields[3])},
                         {QStringLiteral("myKey"), level}});
        };
        entry(QStringLiteral("邮箱"), {QStringLiteral("张三"), QStringLiteral("p\"w,1"),
                                       QStringLiteral("https://例子.cn"), QStringLiteral("第一行\n第二行")});
        entry(QStringLiteral("银行"), {QStringLiteral("x"), QStringLiteral("y"), {}, {}}, 1);

        RecordExport::Request request;
        request.module = ModuleKind::Pwd;
        request.scope = Scope::Module;
        request.format = Format::Csv;
        request.target = fixture.out.filePath(QStringLiteral("pwd.csv"));
        ScriptedPrompter& prompter = fixture.test.prompter();
        RecordExport::Outcome outcome = RecordExport::run(fixture.state(), prompter, request);
        QVERIFY(outcome.declined); // the warning that the file is not encrypted was refused
        QCOMPARE(prompter.confirmations, QStringList{RecordExport::kPlainPasswordsWarning});
        QVERIFY(!QFile::exists(request.target));

        prompter.confirmAnswers = {true};
        outcome = RecordExport::run(fixture.state(), prompter, request);
        QCOMPARE(outcome.written, QStringList{request.target});
        const QByteArray csv = readAll(request.target);
        QCOMPARE(csv, QByteArray("\xEF\xBB\xBF") +
                          QStringLiteral(
                              "\"标题\",\"帐户名称\",\"帐户密码\",\"地址信息\",\"备注\",\"文件夹\"\r\n"
                              "\"邮箱\",\"张三\",\"p\"\"w,1\",\"https://例子.cn\",\"第一行\n第二行\",\"网站\"\r\n")
                              .toUtf8());
        QCOMPARE(outcome.skipped.size(), std::size_t(1));

        // Encrypted, it asks nothing and gives what the file tool decrypts back to the same CSV.
        prompter.confirmations.clear();
        request.format = Format::EncryptedCsv;
        request.fileKey = QStringLiteral("文件密钥");
        request.target = fixture.out.filePath(QStringLiteral("pwd.csv.enc"));
        outcome = RecordExport::run(fixture.state(), prompter, request);
        QCOMPARE(outcome.written, QStringList{request.target});
        QVERIFY(prompter.confirmations.isEmpty());
        QVERIFY(readAll(request.target) != csv);
        const QString decrypted = fixture.out.filePath(QStringLiteral("back.csv"));
        QCOMPARE(FileCipher::run(FileCipher::Direction::Decrypt, request.fileKey, request.target, decrypted, {}).result,
                 FileCipher::Result::Done);
        QCOMPARE(readAll(decrypted), csv);
    }
};

QTEST_MAIN(ExportTest)
#include "tst_export.moc"
