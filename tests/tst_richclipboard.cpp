// The body editors' clipboard on documents without a window: a pasted body shows exactly what a save keeps, and a
// copied selection carries its formats and pictures.
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <QtTest>

#include <memory>

#include "records/RichClipboard.h"
#include "records/RtfReader.h"
#include "records/RtfWriter.h"
#include "records/TextFormatting.h"

namespace {

QByteArray png(const QColor& colour)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Text, stored attributes and pictures, run by run, with each paragraph's alignment.
QStringList describe(const QTextDocument& document)
{
    QStringList runs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        runs << QStringLiteral("paragraph %1").arg(int(block.blockFormat().alignment()));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                runs << QStringLiteral("picture %1").arg(format.toImageFormat().name());
                continue;
            }
            const QTextCharFormat stored = TextFormatting::storedAttributes(format, document);
            runs << QStringLiteral("%1|%2|%3|%4%5%6%7|%8")
                        .arg(it.fragment().text(), TextFormatting::faceOf(stored))
                        .arg(stored.fontPointSize())
                        .arg(stored.fontWeight() > QFont::Medium)
                        .arg(stored.fontItalic())
                        .arg(stored.fontUnderline())
                        .arg(stored.fontStrikeOut())
                        .arg(stored.hasProperty(QTextFormat::ForegroundBrush) ? stored.foreground().color().name()
                                                                              : QStringLiteral("auto"));
        }
    }
    return runs;
}

// The document as a save and a load give it back.
QStringList describeStored(const QTextDocument& document)
{
    QTextDocument stored;
    stored.setDefaultFont(document.defaultFont());
    if (!RtfReader::read(RtfWriter::write(document), stored))
        return {QStringLiteral("unreadable")};
    return describe(stored);
}

int pictureCount(const QTextDocument& document)
{
    return int(describe(document).filter(QStringLiteral("picture ")).size());
}

struct Editor {
    QTextDocument document;
    QTextCursor cursor{&document};

    Editor()
    {
        QFont font(QStringLiteral("Sample Sans"));
        font.setPointSize(12);
        document.setDefaultFont(font);
    }
    bool paste(const QMimeData& data) { return RichClipboard::paste(data, cursor); }
};

} // namespace

class RichClipboardTest : public QObject {
    Q_OBJECT

private slots:
    void pastedHtmlKeepsItsTextAndWhatASaveKeeps()
    {
        // A picture the HTML names as a file is there to be read, and must not be.
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile file(folder.filePath("local.png"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(png(Qt::green)) > 0);
        file.close();
        const QString current = QDir::currentPath();
        QDir::setCurrent(folder.path());

        const QString html =
            QStringLiteral("<p>Plain <b>bold</b> <span style=\"background-color:#ffff00\">marked</span> "
                           "<a href=\"https://example.com/\">link</a> x<sup>2</sup></p>"
                           "<ol><li>first</li><li>second</li></ol><ul><li>bullet</li></ul>"
                           "<table border=\"1\"><tr><td>cell one</td><td>cell two</td></tr></table>"
                           "<p><img src=\"data:image/png;base64,%1\"><img src=\"https://example.com/remote.png\">"
                           "<img src=\"%2\"><img src=\"local.png\">end</p>")
                .arg(QString::fromLatin1(png(Qt::red).toBase64()), QUrl::fromLocalFile(file.fileName()).toString());
        QMimeData data;
        data.setHtml(html);
        data.setText(QStringLiteral("plain alternative"));
        Editor editor;
        QVERIFY(editor.paste(data));
        QDir::setCurrent(current);

        const QString text = editor.document.toPlainText();
        for (const char* kept :
             {"Plain bold marked link x2", "1. first", "2. second", "• bullet", "cell one", "cell two", "end"})
            QVERIFY2(text.contains(QString::fromUtf8(kept)), kept);
        QCOMPARE(pictureCount(editor.document), 1); // the one in the data: URL
        QVERIFY(describe(editor.document).contains(QStringLiteral("bold|Sample Sans|12|1000|auto")));
        QCOMPARE(describeStored(editor.document), describe(editor.document));
        for (QTextBlock block = editor.document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                QVERIFY(!format.hasProperty(QTextFormat::BackgroundBrush) && !format.isAnchor() &&
                        format.verticalAlignment() == QTextCharFormat::AlignNormal);
            }
        }
    }

    void rtfIsTakenBeforeHtml()
    {
        QMimeData data;
        data.setData(RichClipboard::kRtfFormat, "{\\rtf1\\ansi {\\b from rtf}\\par}");
        data.setHtml(QStringLiteral("<p>from html</p>"));
        Editor editor;
        QVERIFY(editor.paste(data));
        QCOMPARE(editor.document.toPlainText(), QStringLiteral("from rtf"));
        QVERIFY(describe(editor.document).at(1).contains(QStringLiteral("|1000|")));
    }

    void aPictureOfAnotherProgramIsPasted()
    {
        QMimeData data;
        QImage image(5, 4, QImage::Format_RGB32);
        image.fill(Qt::blue);
        data.setImageData(image);
        Editor editor;
        editor.cursor.insertText(QStringLiteral("before "));
        QVERIFY(RichClipboard::canPaste(data));
        QVERIFY(editor.paste(data));
        QCOMPARE(pictureCount(editor.document), 1);
        QCOMPARE(describeStored(editor.document), describe(editor.document));
    }

    void plainTextTakesTheFormatAtTheCaret()
    {
        Editor editor;
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        editor.cursor.insertText(QStringLiteral("x"), bold);
        QMimeData data;
        data.setText(QStringLiteral("a\x01"
                                    "b\tc\r\nd\x0b\uFFFC"));
        QVERIFY(editor.paste(data));
        // Control characters a body cannot keep are dropped; tabs and line ends are kept.
        QCOMPARE(editor.document.toPlainText(), QStringLiteral("xab\tc\nd"));
        QCOMPARE(describeStored(editor.document), describe(editor.document));
        QVERIFY(TextFormatting::storedAttributes(editor.document.lastBlock().begin().fragment().charFormat(),
                                                 editor.document)
                    .fontWeight() == QFont::Bold);

        QMimeData nothing;
        nothing.setText(QStringLiteral("\x01"));
        QVERIFY(!editor.paste(nothing));
        QCOMPARE(editor.document.toPlainText(), QStringLiteral("xab\tc\nd"));
    }

    void aCopyCarriesFormatsPicturesAndAlignment()
    {
        Editor source;
        const QString name = QStringLiteral("rtfpicture:original");
        source.document.addResource(QTextDocument::ImageResource, QUrl(name), png(Qt::red));
        QTextCharFormat red;
        red.setForeground(QColor(255, 0, 0));
        red.setFontWeight(QFont::Bold);
        source.cursor.insertText(QStringLiteral("红色文字 "), red);
        QTextImageFormat picture;
        picture.setName(name);
        source.cursor.insertImage(picture);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        source.cursor.setBlockFormat(centred);
        source.cursor.insertBlock();
        source.cursor.insertText(QStringLiteral("second"));
        source.cursor.select(QTextCursor::Document);

        const std::unique_ptr<QMimeData> copied(RichClipboard::mimeData(source.cursor));
        // The copy is what was selected, whatever becomes of the body afterwards.
        QStringList expected = describe(source.document);
        source.cursor.insertText(QStringLiteral("replaced"));
        source.document.addResource(QTextDocument::ImageResource, QUrl(name), png(Qt::blue));
        QCOMPARE(copied->text(), QStringLiteral("红色文字 \nsecond"));
        QTextDocument other;
        other.setDefaultFont(source.document.defaultFont());
        QVERIFY(RtfReader::read(copied->data(RichClipboard::kRtfFormat), other));
        expected.replaceInStrings(name, QString()); // the reader names a picture after its bytes
        QStringList got = describe(other);
        got.replaceInStrings(QRegularExpression(QStringLiteral("rtfpicture:\\w+")), QString());
        QCOMPARE(got, expected);

        // Pasted into another body, the picture comes along with its bytes.
        Editor target;
        QVERIFY(target.paste(*copied));
        QCOMPARE(pictureCount(target.document), 1);
        const QString pasted = describe(target.document).filter(QStringLiteral("picture ")).constFirst().mid(8);
        QCOMPARE(target.document.resource(QTextDocument::ImageResource, QUrl(pasted)).toByteArray(), png(Qt::red));
    }
};

QTEST_MAIN(RichClipboardTest)
#include "tst_richclipboard.moc"
