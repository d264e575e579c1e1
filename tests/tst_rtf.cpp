// The RTF bodies of documents and diary entries: what the writer emits, what the reader makes of hand-written
// input, of word processors' files and of broken or hostile bytes, and that writer and reader agree.
#include <algorithm>

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QtTest>

#include "records/RtfReader.h"
#include "records/RtfWriter.h"

using namespace Qt::StringLiterals;

namespace {

// Fonts 0-5 cover the code pages the reader decodes: GBK (name 宋体 in GBK bytes), Western, Big5, Shift-JIS,
// Korean, and a face without a charset (the document's \ansicpg).
QByteArray withFonts(const QByteArray& body)
{
    return "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"
           "{\\f1\\fswiss\\fcharset0 Arial;}{\\f2\\fnil\\fcharset136 MingLiU;}{\\f3\\fnil\\fcharset128 MS Mincho;}"
           "{\\f4\\fnil\\fcharset129 Gulim;}{\\f5\\fnil Plain;}}"
           "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}" +
           body + "}";
}

// The characters of each paragraph as the document holds them (line separators, no-break spaces), one
// paragraph a line.
QString rawText(const QTextDocument& document)
{
    QStringList paragraphs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        paragraphs.append(block.text());
    return paragraphs.join(u'\n');
}

// 7-bit bytes without a zero, which storage keeps whole.
bool isStorable(const QByteArray& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c != 0 && static_cast<uchar>(c) < 0x80; });
}

QString plainText(const QByteArray& rtf)
{
    QTextDocument document;
    if (!RtfReader::read(rtf, document))
        return u"<not read>"_s;
    return document.toPlainText();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray dataFile(const char* name)
{
    return readFile(QFINDTESTDATA(QStringLiteral("data/rtf/") + QLatin1StringView(name)));
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage testImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
    }
    return image;
}

// The images of a document in order (adjacent equal images share a fragment).
QList<QTextImageFormat> images(const QTextDocument& document)
{
    QList<QTextImageFormat> found;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat())
                found.append(QList<QTextImageFormat>(it.fragment().text().size(), format.toImageFormat()));
        }
    }
    return found;
}

QByteArray resourceBytes(const QTextDocument& document, const QTextImageFormat& image)
{
    return document.resource(QTextDocument::ImageResource, QUrl(image.name())).toByteArray();
}

// The format of the first character of the first occurrence of a text.
QTextCharFormat formatAt(const QTextDocument& document, const QString& text)
{
    const QTextCursor found = document.find(text);
    if (found.isNull())
        return {};
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(found.selectionStart() + 1);
    return cursor.charFormat();
}

QTextBlockFormat blockAt(const QTextDocument& document, const QString& text)
{
    return document.find(text).block().blockFormat();
}

// What a reader sees of a document: per paragraph its alignment and indents, then its runs with their text and
// resolved formatting, or its pictures with their size and bytes. Adjacent runs of equal formatting merge.
QStringList describe(const QTextDocument& document)
{
    QStringList lines;
    const QFont base = document.defaultFont();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat bf = block.blockFormat();
        const Qt::Alignment align = bf.alignment() & Qt::AlignHorizontal_Mask;
        lines.append(u"paragraph align=%1 left=%2 right=%3 first=%4"_s.arg(align == 0 ? 1 : int(align))
                         .arg(qRound(bf.leftMargin()))
                         .arg(qRound(bf.rightMargin()))
                         .arg(qRound(bf.textIndent())));
        QString lastFormat;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat cf = fragment.charFormat();
            if (cf.isImageFormat()) {
                const QTextImageFormat image = cf.toImageFormat();
                const QByteArray original = image.property(RtfReader::kOriginalPictureProperty).toByteArray();
                const QByteArray bytes = original.isEmpty() ? resourceBytes(document, image) : original;
                lines.append(
                    u"  picture %1x%2 %3"_s.arg(qRound(image.width()))
                        .arg(qRound(image.height()))
                        .arg(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex())));
                lastFormat.clear();
                continue;
            }
            const QFont font = cf.font().resolve(base);
            const QString format =
                u"%1 %2pt%3%4%5%6 %7"_s.arg(font.families().value(0))
                    .arg(font.pointSizeF())
                    .arg(font.bold() ? " bold" : "")
                    .arg(font.italic() ? " italic" : "")
                    .arg(font.underline() ? " underline" : "")
                    .arg(font.strikeOut() ? " strike" : "")
                    .arg(cf.hasProperty(QTextFormat::ForegroundBrush) ? cf.foreground().color().name() : u"auto"_s);
            if (format == lastFormat)
                lines.last().append(fragment.text());
            else
                lines.append(u"  [%1] "_s.arg(format) + fragment.text());
            lastFormat = format;
        }
    }
    return lines;
}

QTextCharFormat face(const QString& family, double points)
{
    QTextCharFormat format;
    format.setFontFamilies({family});
    format.setFontPointSize(points);
    return format;
}

// A document with everything the editor lets a user make, on a default font the reading side does not share.
void buildRichDocument(QTextDocument& document, const QByteArray& png, const QByteArray& jpeg)
{
    document.setDefaultFont(QFont(u"KaiTi"_s, 15));
    document.addResource(QTextDocument::ImageResource, QUrl(u"png-resource"_s), png);
    document.addResource(QTextDocument::ImageResource, QUrl(u"jpeg-resource"_s), jpeg);
    QTextCursor cursor(&document);
    cursor.insertText(u"默认字体的中文 default face, "_s);
    QTextCharFormat f = face(u"宋体"_s, 12);
    cursor.insertText(u"宋体中文 and € ¥ © 😀 𠀀 ä \\ { } "_s, f);
    f = face(u"Arial"_s, 9);
    cursor.insertText(u"Arial 九号 with é and 😀"_s, f);
    f = face(u"黑体"_s, 20.5);
    f.setFontWeight(QFont::Bold);
    cursor.insertText(u"粗体"_s, f);
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(true);
    cursor.insertText(u"斜体"_s, f);
    f.setFontItalic(false);
    f.setFontUnderline(true);
    cursor.insertText(u"下划线"_s, f);
    f.setFontUnderline(false);
    f.setFontStrikeOut(true);
    cursor.insertText(u"删除线"_s, f);
    f.setFontStrikeOut(false);
    f.setForeground(QColor(255, 0, 0));
    cursor.insertText(u"红色"_s, f);
    f.setForeground(QColor(0, 128, 0));
    cursor.insertText(u"绿色"_s, f);

    const std::array<Qt::Alignment, 4> alignments = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
    for (Qt::Alignment alignment : alignments) {
        QTextBlockFormat bf;
        bf.setAlignment(alignment);
        cursor.insertBlock(bf);
        cursor.insertText(u"对齐 %1 第一行"_s.arg(int(alignment)) + QChar::LineSeparator + u"第二行\t制表符"_s);
    }
    QTextBlockFormat indented;
    indented.setLeftMargin(48);
    indented.setRightMargin(24);
    indented.setTextIndent(-16);
    cursor.insertBlock(indented);
    cursor.insertText(u"缩进的段落"_s);
    cursor.insertBlock(QTextBlockFormat(), face(u"宋体"_s, 28)); // an empty line at 28 points
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(u"图片 "_s);
    QTextImageFormat image;
    image.setName(u"png-resource"_s);
    cursor.insertImage(image);
    image.setName(u"jpeg-resource"_s);
    image.setWidth(40);
    image.setHeight(30);
    cursor.insertImage(image);
    cursor.insertText(u" 之后"_s);
}

} // namespace

class TestRtf : public QObject {
    Q_OBJECT

private slots:
    // How the writer encodes characters: GBK pairs in Chinese faces, \uN with a "?" fallback elsewhere and for
    // everything code page 936 lacks (surrogate pairs as two \uN, values above 32767 negative).
    void writerEncoding_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QByteArray>("fontEntry");
        const QByteArray song("\\fcharset134 \\'cb\\'ce\\'cc\\'e5;");
        const QByteArray arial("\\fcharset0 Arial;");
        QTest::newRow("chinese face") << u"宋体"_s << u"中文"_s << QByteArray("\\'d6\\'d0\\'ce\\'c4") << song;
        QTest::newRow("chinese latin name")
            << u"SimSun"_s << u"中"_s << QByteArray("\\'d6\\'d0") << QByteArray("\\fcharset134 SimSun;");
        QTest::newRow("latin face") << u"Arial"_s << u"中é"_s << QByteArray("\\u20013?\\u233?") << arial;
        QTest::newRow("euro") << u"宋体"_s << u"€"_s << QByteArray("\\u8364?") << song;
        QTest::newRow("beyond the code page") << u"宋体"_s << u"한"_s << QByteArray("\\u-10916?") << song;
        QTest::newRow("emoji") << u"宋体"_s << u"😀"_s << QByteArray("\\u-10179?\\u-8704?") << song;
        QTest::newRow("ext-b") << u"宋体"_s << u"𠀀"_s << QByteArray("\\u-10176?\\u-9216?") << song;
        QTest::newRow("escapes") << u"Arial"_s << u"\\{}\t"_s << QByteArray("\\\\\\{\\}\\tab ") << arial;
        QTest::newRow("line break") << u"Arial"_s << u"a\u2028b"_s << QByteArray("a\\line b") << arial;
        QTest::newRow("no-break space") << u"Arial"_s << u"a\u00a0b"_s << QByteArray("a\\~b") << arial;
    }
    void writerEncoding()
    {
        QFETCH(QString, family);
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, fontEntry);
        QTextDocument document;
        QTextCursor(&document).insertText(text, face(family, 12));
        const QByteArray rtf = RtfWriter::write(document);
        QVERIFY2(rtf.startsWith("{\\rtf1\\ansi\\ansicpg936\\deff0"), rtf.constData());
        QVERIFY2(rtf.contains(expected), rtf.constData());
        QVERIFY2(rtf.contains(fontEntry), rtf.constData());
        QTextDocument loaded;
        QVERIFY(RtfReader::read(rtf, loaded));
        QCOMPARE(rawText(loaded), text);
    }

    // Everything the editor can put in a body survives a save and a load: text in and beyond code page 936,
    // faces and sizes resolved against the saving document's default font, effects, colours, alignment, indents,
    // line breaks, tabs, an empty line's size and the bytes of PNG and JPEG pictures.
    void roundTrip()
    {
        const QByteArray png = encoded(testImage(20, 10), "PNG");
        const QByteArray jpeg = encoded(testImage(32, 24), "JPEG");
        QVERIFY(jpeg.startsWith("\xff\xd8"));
        QTextDocument source;
        buildRichDocument(source, png, jpeg);
        const QByteArray rtf = RtfWriter::write(source);
        QVERIFY(isStorable(rtf));
        QVERIFY(rtf.contains("\\jpegblip"));

        QTextDocument loaded;
        QVERIFY(RtfReader::read(rtf, loaded));
        QCOMPARE(describe(loaded), describe(source));
        QCOMPARE(loaded.toPlainText(), source.toPlainText());
        const QList<QTextImageFormat> pictures = images(loaded);
        QCOMPARE(pictures.size(), 2);
        QCOMPARE(resourceBytes(loaded, pictures[0]), png);
        QCOMPARE(resourceBytes(loaded, pictures[1]), jpeg);
        // The empty line keeps its size.
        const QTextBlock empty = loaded.findBlockByNumber(6);
        QVERIFY(empty.text().isEmpty());
        QCOMPARE(empty.charFormat().fontPointSize(), 28.0);
        // Saving what was loaded, on the same default font, changes nothing.
        QTextDocument reloaded;
        reloaded.setDefaultFont(source.defaultFont());
        QVERIFY(RtfReader::read(rtf, reloaded));
        QCOMPARE(RtfWriter::write(reloaded), rtf);
    }

    // Pictures the document holds as images (pasted into the editor) or as bytes of another format are saved as
    // PNG at their size; an image without any picture behind it is left out.
    void writesOtherPictures()
    {
        const QImage image = testImage(12, 8);
        QTextDocument document;
        document.addResource(QTextDocument::ImageResource, QUrl(u"pasted"_s), image);
        document.addResource(QTextDocument::ImageResource, QUrl(u"bmp"_s), encoded(image, "BMP"));
        QTextCursor cursor(&document);
        for (const QString& name : {u"pasted"_s, u"bmp"_s, u"missing"_s}) {
            QTextImageFormat format;
            format.setName(name);
            cursor.insertImage(format);
        }
        QTextDocument loaded;
        QVERIFY(RtfReader::read(RtfWriter::write(document), loaded));
        const QList<QTextImageFormat> pictures = images(loaded);
        QCOMPARE(pictures.size(), 2);
        for (const QTextImageFormat& picture : pictures) {
            const QImage back = QImage::fromData(resourceBytes(loaded, picture), "PNG");
            QCOMPARE(back.size(), image.size());
            QCOMPARE(back.pixel(11, 7), image.pixel(11, 7));
        }
    }

    // Plain text the reader makes of hand-written input, one feature per row.
    void readsText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& body, const QString& expected) {
            QTest::newRow(name) << withFonts(body) << expected;
        };
        row("gbk pairs", "\\'d6\\'d0\\'ce\\'c4", u"中文"_s);
        row("raw gbk bytes", "\xd6\xd0\xce\xc4", u"中文"_s);
        row("pair split across groups", "{\\b \\'d6}{\\'d0}\\'ce{\\i \\'c4}", u"中文"_s);
        row("trail byte as a character", "\\'81@\\'81A", u"丂丄"_s);
        row("big5", "\\f2\\'a4\\'a4\\'a4\\'e5", u"中文"_s);
        row("shift-jis", "\\f3\\'82\\'a0\\'82\\'a2", u"あい"_s);
        row("korean", "\\f4\\'b0\\'a1\\'81\\'41", u"가갂"_s);
        row("western", "\\f1 caf\\'e9 \\'80", u"café €"_s);
        row("font without charset", "\\f5\\'d6\\'d0", u"中"_s);
        row("unicode", "\\u20013?\\u25991?", u"中文"_s);
        row("uc2 skips a pair", "\\uc2\\u20013\\'d6\\'d0x", u"中x"_s);
        row("uc0", "\\uc0\\u20013 x", u"中x"_s);
        row("uc ends with the group", "{\\uc2\\u20013\\'d6\\'d0}\\u25991?x", u"中文x"_s);
        row("fallback cut by the group end", "{\\uc2\\u20013\\'d6}x", u"中x"_s);
        row("skip count inside group", "\\uc1{\\uc3\\u20013 abc}d", u"中d"_s);
        row("fallback is a control word", "\\u8220\\ldblquote x", u"\u201cx"_s);
        row("negative unicode", "\\u-3913?", QString(QChar(0xF0B7)));
        row("surrogate pair", "\\u-10179?\\u-8704?", u"😀"_s);
        row("surrogate pair uc0", "\\uc0 \\u55357\\uc1 \\u56832\\'3f", u"😀"_s);
        row("lone surrogate", "\\u-10179?x", u"\ufffdx"_s);
        row("paragraphs", "a\\par b\\par", u"a\nb"_s);
        row("empty paragraphs", "\\par a\\par\\par b", u"\na\n\nb"_s);
        row("backslash newline", "a\\\nb", u"a\nb"_s);
        row("line and tab", "a\\line b\\tab c\td", u"a\nb\tc\td"_s);
        row("line ends ignored", "a\r\nb\n", u"ab"_s);
        row("escaped characters", "\\\\\\{\\}", u"\\{}"_s);
        row("special characters", "\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\~\\-\\_",
            u"—–‘’“”• \u00ad\u2011"_s);
        row("unknown words", "a\\foo b\\bar42 c\\baz-7 d", u"abcd"_s);
        row("unknown destination", "a{\\*\\unknown junk {nested}}b", u"ab"_s);
        row("known destinations",
            "{\\info{\\title t}{\\author x}}{\\stylesheet{\\s0 Normal;}}{\\header h}"
            "{\\footer f}{\\*\\generator g}{\\footnote n}a",
            u"a"_s);
        row("field", "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} after", u"link after"_s);
        row("field without star", "{\\field{\\fldinst PAGE}{\\fldrslt 3}}", u"3"_s);
        row("table", "\\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell b\\cell\\row\\pard c\\par", u"a\nb\nc"_s);
        row("empty cells", "\\trowd\\cellx100\\cellx200\\cellx300 \\cell x\\cell\\cell\\row", u"\nx\n"_s);
        row("nested table", "\\intbl a\\nestcell b\\nestcell{\\*\\nesttableprops\\nestrow}c\\cell\\row", u"a\nb\nc"_s);
        row("bin", "a\\bin3 }{\\b", u"ab"_s);
        row("hidden", "a{\\v hidden}b", u"ab"_s);
        row("page and section", "a\\page b\\sect c\\sectd d", u"a\nb\ncd"_s);
        row("page between paragraphs", "a\\par\\page b", u"a\nb"_s);
        row("list text", "{\\listtext 1.\\tab}item{\\*\\pn\\pnlvlbody{\\pntxta .}}", u"1.\titem"_s);
        row("old list number", "{\\pn\\pnlvlblt{\\pntxtb x}}a", u"a"_s);
        row("text box", "{\\shp junk{\\*\\shpinst junk{\\sp{\\sn fillColor}{\\sv 255}}{\\shptxt box}}{\\shprslt alt}}",
            u"box"_s);
        row("object", "{\\object\\objemb junk{\\*\\objclass Paint}{\\*\\objdata 0102}{\\result shown}}", u"shown"_s);
        row("unicode alternative", "{\\upr junk{ansi}{\\*\\ud{unicode}}}", u"unicode"_s);
        row("control characters dropped", "a\\'00\\'0a\\u13?b\\u8233?c", u"ab\nc"_s);
        row("after the root group", "a}trailing", u"a"_s);
        QTest::newRow("ansicpg") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}") << u"При"_s;
        QTest::newRow("unknown code page") << QByteArray("{\\rtf1\\ansi\\ansicpg99999 caf\\'e9}") << u"café"_s;
        QTest::newRow("leading white space") << QByteArray(" \r\n\t{\\rtf1 a}") << u"a"_s;
        QTest::newRow("no font table") << QByteArray("{\\rtf1 plain \\'e9}") << u"plain é"_s;
        QTest::newRow("font entries without groups")
            << QByteArray(
                   "{\\rtf1{\\fonttbl\\f0\\fnil\\fcharset134 A;\\f1\\fnil\\fcharset0 B;}\\f0\\'d6\\'d0\\f1\\'e9}")
            << u"中é"_s;
    }
    void readsText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QCOMPARE(plainText(rtf), expected);
    }

    void aMissingFaceFallsBackLikeTheEditorsOwn()
    {
        QTextDocument document;
        QFont editorFont;
        editorFont.setFamilies({u"幼圆"_s, u"Noto Sans CJK SC"_s});
        document.setDefaultFont(editorFont);
        QVERIFY(RtfReader::read("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset134 SimSun;}}\\f0 x\\par}", document));
        QCOMPARE(formatAt(document, u"x"_s).fontFamilies().toStringList(),
                 (QStringList{u"SimSun"_s, u"幼圆"_s, u"Noto Sans CJK SC"_s}));
    }

    void readsCharacterFormats()
    {
        QTextDocument document;
        QVERIFY(RtfReader::read(withFonts("{A}{\\f1\\fs40 B}{\\b C\\b0 D}{\\i E}{\\uldb F}{\\ul\\ulnone G}{\\ul0 H}"
                                          "{\\strike I}{\\cf1 J}{\\cf2\\b\\plain K}{\\fs99999 L}"
                                          "{\\loch\\f1\\dbch\\af0\\afs36\\ab M}{\\loch\\f1\\hich\\af0\\afs36 N}"),
                                document));
        QCOMPARE(document.toPlainText(), u"ABCDEFGHIJKLMN"_s);
        const auto at = [&document](const char* text) {
            return formatAt(document, QString::fromLatin1(text));
        };
        QCOMPARE(at("A").fontFamilies().toStringList().constFirst(), u"宋体"_s); // the name decoded from GBK
        QCOMPARE(at("A").fontPointSize(), 12.0);
        QCOMPARE(at("B").fontFamilies().toStringList().constFirst(), u"Arial"_s);
        QCOMPARE(at("B").fontPointSize(), 20.0);
        QVERIFY(at("C").font().bold());
        QVERIFY(!at("D").font().bold());
        QVERIFY(at("E").fontItalic());
        QVERIFY(at("F").fontUnderline());
        QVERIFY(!at("G").fontUnderline());
        QVERIFY(!at("H").fontUnderline());
        QVERIFY(at("I").fontStrikeOut());
        QCOMPARE(at("J").foreground().color(), QColor(255, 0, 0));
        QVERIFY(!at("K").font().bold());
        QVERIFY(!at("K").hasProperty(QTextFormat::ForegroundBrush));
        QCOMPARE(at("L").fontPointSize(), 1638.0);
        // Double-byte text takes its associated font, size and bold; other text does not.
        QCOMPARE(at("M").fontFamilies().toStringList().constFirst(), u"宋体"_s);
        QCOMPARE(at("M").fontPointSize(), 18.0);
        QVERIFY(at("M").font().bold());
        QCOMPARE(at("N").fontFamilies().toStringList().constFirst(), u"Arial"_s);
        QCOMPARE(at("N").fontPointSize(), 12.0);
    }

    void readsParagraphFormats()
    {
        QTextDocument document;
        QVERIFY(RtfReader::read(withFonts("\\qc centre\\par right\\qr\\par\\pard justify\\qj\\par\\pard\\ql left\\par"
                                          "\\pard\\li720\\ri360\\fi-240\\sb150\\sa300 indented\\par{\\qc group}\\par"
                                          "\\pard\\li999999 wide\\par\\pard\\pagebb next page\\par"),
                                document));
        QCOMPARE(blockAt(document, u"centre"_s).alignment(), Qt::AlignHCenter);
        QCOMPARE(blockAt(document, u"right"_s).alignment(), Qt::AlignRight);
        QCOMPARE(blockAt(document, u"justify"_s).alignment(), Qt::AlignJustify);
        QCOMPARE(blockAt(document, u"left"_s).alignment(), Qt::AlignLeft);
        const QTextBlockFormat indented = blockAt(document, u"indented"_s);
        QCOMPARE(indented.leftMargin(), 48.0);
        QCOMPARE(indented.rightMargin(), 24.0);
        QCOMPARE(indented.textIndent(), -16.0);
        QCOMPARE(indented.topMargin(), 10.0);
        QCOMPARE(indented.bottomMargin(), 20.0);
        // Paragraph properties set inside a group end with it; the paragraph takes those in force at its mark.
        QCOMPARE(blockAt(document, u"group"_s).alignment(), Qt::AlignLeft);
        QCOMPARE(blockAt(document, u"wide"_s).leftMargin(), 31680 / 15.0);
        QCOMPARE(blockAt(document, u"next page"_s).pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
        QCOMPARE(document.blockCount(), 8);
    }

    // PNG and JPEG pictures are images holding their original bytes, shown at their goal size times their scale.
    void readsPictures()
    {
        const QByteArray png = dataFile("picture.png");
        const QByteArray jpeg = encoded(testImage(32, 24), "JPEG");
        QTextDocument document;
        QVERIFY(
            RtfReader::read(withFonts("a{\\pict\\pngblip\\picw16\\pich12\\picwgoal480\\pichgoal360\n" + png.toHex() +
                                      "}b{\\*\\shppict{\\pict{\\*\\picprop\\shplid1{\\sp{\\sn x}{\\sv 1}}}\\jpegblip"
                                      "\\picwgoal240\\pichgoal180\\picscalex200\\picscaley50 " +
                                      jpeg.toHex() + "}}{\\nonshppict{\\pict\\wmetafile8 0102}}c{\\pict\\pngblip\\bin" +
                                      QByteArray::number(png.size()) + " " + png + "}"),
                            document));
        QCOMPARE(document.toPlainText(), u"a\ufffcb\ufffcc\ufffc"_s);
        const QList<QTextImageFormat> pictures = images(document);
        QCOMPARE(resourceBytes(document, pictures[0]), png);
        QCOMPARE(pictures[0].width(), 32.0);
        QCOMPARE(pictures[0].height(), 24.0);
        QCOMPARE(resourceBytes(document, pictures[1]), jpeg);
        QCOMPARE(pictures[1].width(), 32.0);
        QCOMPARE(pictures[1].height(), 6.0);
        QCOMPARE(resourceBytes(document, pictures[2]), png);
        for (const QTextImageFormat& picture : pictures)
            QVERIFY(!picture.hasProperty(RtfReader::kOriginalPictureProperty));
        // Qt draws the picture from the bytes it holds.
        const QImage drawn = QImage::fromData(resourceBytes(document, pictures[0]));
        QCOMPARE(drawn.size(), QSize(16, 12));
    }

    // Code-page characters still waiting for their decoding stay in front of a picture that follows them.
    void textBeforeAPictureStaysInFront()
    {
        QTextDocument document;
        QVERIFY(RtfReader::read(withFonts("\\f0 \\'d5\\'fd{\\pict\\wmetafile8 0102}\\'ce\\'c4"), document));
        QCOMPARE(document.toPlainText(), u"正\ufffc文"_s);
    }

    // A picture Qt cannot draw is a visible placeholder that carries its group, which the writer puts back as it
    // was; a group that cannot be kept byte for byte (binary data, cut off) is rebuilt as hex.
    void placeholderPictures_data()
    {
        QTest::addColumn<QByteArray>("group");
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<QSize>("size");
        const QByteArray wmf("{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720\n0100090000037a}");
        QTest::newRow("wmf") << wmf << wmf << QSize(96, 48);
        const QByteArray emf("{\\pict{\\*\\blipuid 0011}\\emfblip\\picw5080\\pich2540 0102}");
        QTest::newRow("emf by its metafile size") << emf << emf << QSize(192, 96);
        const QByteArray dib("{\\pict\\dibitmap0\\picw30\\pich20 28000000}");
        QTest::newRow("dib by its pixels") << dib << dib << QSize(30, 20);
        QTest::newRow("broken png") << QByteArray("{\\pict\\pngblip\\picwgoal300\\pichgoal300 0102030405}")
                                    << QByteArray("{\\pict\\pngblip\\picwgoal300\\pichgoal300 0102030405}")
                                    << QSize(20, 20);
        QTest::newRow("binary data") << QByteArray("{\\pict\\wmetafile8\\bin4 \x01\x02\xff}}")
                                     << QByteArray("{\\pict\\wmetafile8\n0102ff7d}") << QSize(96, 96);
    }
    void placeholderPictures()
    {
        QFETCH(QByteArray, group);
        QFETCH(QByteArray, kept);
        QFETCH(QSize, size);
        QTextDocument document;
        QVERIFY(RtfReader::read(withFonts("before " + group + " after"), document));
        QCOMPARE(document.toPlainText(), u"before \ufffc after"_s);
        const QList<QTextImageFormat> pictures = images(document);
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(pictures[0].property(RtfReader::kOriginalPictureProperty).toByteArray(), kept);
        QCOMPARE(QSizeF(pictures[0].width(), pictures[0].height()).toSize(), size);
        const QVariant placeholder = document.resource(QTextDocument::ImageResource, QUrl(pictures[0].name()));
        QVERIFY(!placeholder.value<QImage>().isNull());

        const QByteArray saved = RtfWriter::write(document);
        QVERIFY(saved.contains(kept));
        QTextDocument again;
        QVERIFY(RtfReader::read(saved, again));
        QCOMPARE(images(again).value(0).property(RtfReader::kOriginalPictureProperty).toByteArray(), kept);
    }

    // However large the pictures of a short body claim to be, the images the reader makes for them stay within the
    // budget together. None is refused: each keeps its place, its size on the page and, for the writer, its group.
    void picturesStayWithinTheirMemory()
    {
        // A PNG too large to hold decoded whole, shown at a quarter of its width.
        QImage wide(8192, 1100, QImage::Format_Indexed8);
        wide.setColorTable({qRgb(0, 0, 255), qRgb(255, 0, 0)});
        wide.fill(0);
        const QByteArray png = encoded(wide, "PNG");
        QByteArray body = "{\\pict\\pngblip\\picwgoal30720\\pichgoal4125 " + png.toHex() + "}";
        // Placeholders each of a size of its own, together twice the budget, and sizes no page could hold.
        for (int i = 0; i < 40; ++i)
            body += "{\\pict\\dibitmap0\\picw" + QByteArray::number(900 + i) + "\\pich1000 00}";
        for (int i = 0; i < 20; ++i)
            body += "{\\pict\\wmetafile8\\picw2147483647\\pich" + QByteArray::number(1000 + i) + " 00}";
        QTextDocument document;
        QVERIFY(RtfReader::read(withFonts(body), document));

        const QList<QTextImageFormat> pictures = images(document);
        QCOMPARE(pictures.size(), 61);
        QSet<QString> names;
        qsizetype held = 0;
        for (const QTextImageFormat& picture : pictures) {
            const QImage image = document.resource(QTextDocument::ImageResource, QUrl(picture.name())).value<QImage>();
            QVERIFY(!image.isNull());
            QVERIFY(image.width() <= qCeil(picture.width()) && image.height() <= qCeil(picture.height()));
            if (!names.contains(picture.name()))
                held += image.sizeInBytes();
            names.insert(picture.name());
        }
        // Once the budget is spent, a picture still gets a pixel.
        QVERIFY2(held <= RtfReader::kMaxPictureMemory + 4 * names.size(), qPrintable(QString::number(held)));
        QCOMPARE(QSizeF(pictures[0].width(), pictures[0].height()), QSizeF(2048, 275));
        const QImage scaled = document.resource(QTextDocument::ImageResource, QUrl(pictures[0].name())).value<QImage>();
        QCOMPARE(scaled.size(), QSize(2048, 275));
        QCOMPARE(scaled.pixel(1000, 100), qRgb(0, 0, 255));
        // Laid out within the range of the layout's fixed-point numbers.
        QVERIFY(document.size().width() < 1 << 24 && document.size().height() < 1 << 24);
        QVERIFY(RtfWriter::write(document).contains(body));
    }

    // The reader's text equals the text the word processor exports from the same RTF, with paragraphs ending in
    // a line feed there and pictures (object characters here) left out there.
    void wordProcessorSamples_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("LibreOffice") << u"lo_mixed"_s;
        QTest::newRow("AbiWord") << u"abi_mixed"_s;
    }
    void wordProcessorSamples()
    {
        QFETCH(QString, name);
        const QByteArray rtf = dataFile((name + u".rtf"_s).toLatin1().constData());
        QString expected = QString::fromUtf8(dataFile((name + u".txt"_s).toLatin1().constData()));
        QVERIFY(!rtf.isEmpty() && !expected.isEmpty());
        if (expected.startsWith(QChar::ByteOrderMark))
            expected.remove(0, 1);
        QTextDocument document;
        QVERIFY(RtfReader::read(rtf, document));
        QString text = document.toPlainText();
        QCOMPARE(text.count(QChar::ObjectReplacementCharacter), 1);
        text.remove(QChar::ObjectReplacementCharacter);
        QCOMPARE(text + u'\n', expected);
        // The word processor may compress the picture anew; its pixels stay.
        const QImage picture = QImage::fromData(resourceBytes(document, images(document).value(0)));
        QCOMPARE(picture.convertToFormat(QImage::Format_RGB32),
                 QImage::fromData(dataFile("picture.png")).convertToFormat(QImage::Format_RGB32));

        // Formatting the word processor wrote in its own ways.
        QVERIFY(formatAt(document, u"粗体"_s).font().bold());
        QVERIFY(formatAt(document, u"bold"_s).font().bold());
        QVERIFY(formatAt(document, u"italic"_s).fontItalic());
        QVERIFY(formatAt(document, u"下划线"_s).fontUnderline());
        QVERIFY(formatAt(document, u"下划线"_s).fontStrikeOut());
        const QTextCharFormat red = formatAt(document, u"红色十八磅"_s);
        QCOMPARE(red.foreground().color(), QColor(0xc0, 0, 0));
        QCOMPARE(red.fontPointSize(), 18.0);
        const QTextCharFormat blue = formatAt(document, u"Arial blue"_s);
        QCOMPARE(blue.fontFamilies().toStringList().constFirst(), u"Arial"_s);
        QCOMPARE(blue.fontPointSize(), 9.0);
        QCOMPARE(blue.foreground().color(), QColor(0, 0x70, 0xc0));
        QCOMPARE(blockAt(document, u"居中"_s).alignment(), Qt::AlignHCenter);
        QCOMPARE(blockAt(document, u"右对齐"_s).alignment(), Qt::AlignRight);
        QCOMPARE(blockAt(document, u"两端对齐"_s).alignment(), Qt::AlignJustify);
        QCOMPARE(blockAt(document, u"两端对齐"_s).leftMargin(), 48.0);

        // What was read saves and loads again unchanged.
        QTextDocument again;
        QVERIFY(RtfReader::read(RtfWriter::write(document), again));
        QCOMPARE(describe(again), describe(document));
    }

    // LibreOffice names the face of the red text in Shift-JIS bytes.
    void fontNameInItsCharset()
    {
        QTextDocument document;
        QVERIFY(RtfReader::read(dataFile("lo_mixed.rtf"), document));
        QCOMPARE(formatAt(document, u"红色十八磅"_s).fontFamilies().toStringList().constFirst(), u"宋体"_s);
    }

    void notRtf_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("plain text") << QByteArray("hello");
        QTest::newRow("cut before rtf") << QByteArray("{\\rt");
        QTest::newRow("html") << QByteArray("<html><body>{\\rtf1 a}</body></html>");
        QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf{\\rtf1 a}");
    }
    void notRtf()
    {
        QFETCH(QByteArray, bytes);
        QTextDocument document;
        QTextCursor(&document).insertText(u"previous"_s);
        QVERIFY(!RtfReader::read(bytes, document));
        QVERIFY(document.isEmpty());
    }

    // Input cut anywhere reads what is there: a prefix of the whole text, but for the last two characters (a cut
    // \uN pair leaves a lone surrogate and a short number).
    void everyPrefix()
    {
        const QByteArray rtf = dataFile("abi_mixed.rtf");
        const QString whole = plainText(rtf);
        for (qsizetype n = 5; n <= rtf.size(); ++n) {
            QTextDocument document;
            QVERIFY(RtfReader::read(QByteArrayView(rtf).first(n), document));
            const QString text = document.toPlainText();
            if (!whole.startsWith(text.chopped(std::min<qsizetype>(text.size(), 2))))
                QFAIL(qPrintable(u"prefix of %1 bytes read as: "_s.arg(n) + text));
        }
    }

    void truncated_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        QTest::newRow("open groups") << QByteArray("{\\rtf1{\\b{\\i a") << u"a"_s;
        QTest::newRow("in a control word") << QByteArray("{\\rtf1 a\\pa") << u"a"_s;
        QTest::newRow("in a hex escape") << QByteArray("{\\rtf1\\ansicpg936 a\\'d") << u"a"_s;
        QTest::newRow("lead byte only") << QByteArray("{\\rtf1\\ansicpg936 a\\'d6") << u"a"_s;
        QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 a\\") << u"a"_s;
        QTest::newRow("in the font table") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Ari") << QString();
        QTest::newRow("in a picture") << QByteArray("{\\rtf1 a{\\pict\\wmetafile8 0102") << u"a\ufffc"_s;
    }
    void truncated()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QCOMPARE(plainText(rtf), expected);
    }

    void cutPictureIsKeptWhole()
    {
        QTextDocument document;
        QVERIFY(RtfReader::read("{\\rtf1 {\\pict\\wmetafile8\\picw10 0102", document));
        QCOMPARE(images(document).value(0).property(RtfReader::kOriginalPictureProperty).toByteArray(),
                 QByteArray("{\\pict\\wmetafile8\\picw10\n0102}"));
    }

    // Hostile input is bounded: deep nesting and more picture data than a body holds are refused, numbers are
    // clamped, counts cannot run past the end.
    void hostile()
    {
        QTextDocument document;
        QVERIFY(!RtfReader::read("{\\rtf1 " + QByteArray(100000, '{') + "x", document));
        QVERIFY(document.isEmpty());
        const int allowed = RtfReader::kMaxGroupDepth - 1;
        QVERIFY(
            RtfReader::read("{\\rtf1 " + QByteArray(allowed, '{') + "deep" + QByteArray(allowed, '}') + "}", document));
        QCOMPARE(document.toPlainText(), u"deep"_s);

        QCOMPARE(plainText("{\\rtf1 a\\bin999999999999 bcd}"), u"a"_s);
        QCOMPARE(plainText("{\\rtf1 a\\bin-5 b}"), u"ab"_s);
        QCOMPARE(plainText("{\\rtf1 \\uc0\\u99999999999 x\\u-99999999 y\\u1114112 z\\u128512 }"),
                 u"\ufffdx\ufffdy\ufffdz😀"_s);
        QCOMPARE(plainText("{\\rtf1 \\uc99999 \\u20013 abcdefghij}"), u"中ij"_s);
        QCOMPARE(plainText("{\\rtf1 \\" + QByteArray(100000, 'a') + "12345678901234567890 x}"), u"x"_s);

        const QByteArray overBound(2 * (RtfReader::kMaxPictureBytes + 1), 'a');
        QVERIFY(!RtfReader::read("{\\rtf1 a{\\pict\\pngblip " + overBound + "}}", document));
        QVERIFY(document.isEmpty());
    }

    // Random bytes and random token soup read without crashing and never yield more text than they had bytes;
    // what they yield saves as 7-bit RTF and loads again as it was.
    void randomInput()
    {
        static const QList<QByteArray> tokens = {"{",
                                                 "}",
                                                 "\\par ",
                                                 "\\'d6",
                                                 "\\'d0",
                                                 "\\u-10179?",
                                                 "\\uc2 ",
                                                 "\\bin4 ",
                                                 "{\\pict\\pngblip ",
                                                 "{\\*\\shppict",
                                                 "\\*",
                                                 "\\cell ",
                                                 "\\f0 ",
                                                 "\\fs40 ",
                                                 "\\b ",
                                                 "\\cf3 ",
                                                 "{\\fonttbl",
                                                 "{\\colortbl;",
                                                 "\\red9;",
                                                 "text ",
                                                 "中",
                                                 "\x89PNG",
                                                 "0123456789abcdef",
                                                 "\\",
                                                 "\\'",
                                                 "{\\field{\\*\\fldinst ",
                                                 "{\\fldrslt ",
                                                 "\\line ",
                                                 "\\tab ",
                                                 "\\sn pib}",
                                                 "{\\sv ",
                                                 "\\upr{",
                                                 "\\ud{",
                                                 "\\qc ",
                                                 "\\li-99999 "};
        QRandomGenerator rng(20240601);
        for (int round = 0; round < 300; ++round) {
            QByteArray rtf("{\\rtf1 ");
            if (round % 3 == 0) {
                for (int i = 0; i < 2000; ++i)
                    rtf.append(static_cast<char>(rng.bounded(256)));
            } else {
                for (int i = 0; i < 400; ++i)
                    rtf.append(tokens[rng.bounded(tokens.size())]);
            }
            QTextDocument document;
            QVERIFY(RtfReader::read(rtf, document));
            QVERIFY(document.characterCount() <= rtf.size() + 1);
            const QByteArray saved = RtfWriter::write(document);
            QVERIFY(isStorable(saved));
            QTextDocument again;
            QVERIFY(RtfReader::read(saved, again));
            QCOMPARE(again.toPlainText(), document.toPlainText());
        }
    }
};

QTEST_MAIN(TestRtf)
#include "tst_rtf.moc"
