// The character formatting commands of the body editors, on documents without a window: the reference
// character, the target, the whole format, size and face alone, and the font dialog's conversion.
#include <QFontInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QtTest>

#include "records/TextFormatting.h"

using namespace TextFormatting;

namespace {

// "ab cd" and "中文" in two paragraphs. Every character has a size of its own, so a format tells which character
// it was read from; 'a' is red, 'd' blue, 'c' sized in pixels as HTML sizes it.
struct Sample {
    QTextDocument document;
    static constexpr int kChinese = 6; // where the second paragraph starts

    Sample()
    {
        QFont font(QStringLiteral("Sample Sans"));
        font.setPointSize(12);
        document.setDefaultFont(font);
        QTextCursor cursor(&document);
        const auto add = [&cursor](const QString& text, double points, const QColor& colour = {}) {
            QTextCharFormat format;
            format.setFontPointSize(points);
            if (colour.isValid())
                format.setForeground(colour);
            cursor.insertText(text, format);
        };
        add("a", 8, Qt::red);
        add("b", 9);
        add(" ", 10);
        QTextCharFormat pixels;
        pixels.setProperty(QTextFormat::FontPixelSize, 20); // 15 points
        cursor.insertText("c", pixels);
        add("d", 14, Qt::blue);
        cursor.insertBlock();
        add("中", 16);
        add("文", 18);
    }

    // The stored attributes of the character at the position; a paragraph mark's are those its next paragraph
    // reports as its own.
    QTextCharFormat at(int position) const
    {
        const QTextBlock block = document.findBlock(position);
        if (position == block.position() + block.length() - 1)
            return storedAttributes(block.next().charFormat(), document);
        QTextCursor cursor(const_cast<QTextDocument*>(&document));
        cursor.setPosition(position + 1);
        return storedAttributes(cursor.charFormat(), document);
    }
    QList<QTextCharFormat> everyCharacter() const
    {
        QList<QTextCharFormat> formats;
        for (int i = 0; i < document.characterCount() - 1; ++i)
            formats << at(i);
        return formats;
    }
    QTextCursor cursor(int anchor, int position)
    {
        QTextCursor cursor(&document);
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        return cursor;
    }
};

// Formats compare by their properties, whatever order they were set in.
bool same(const QTextCharFormat& a, const QTextCharFormat& b)
{
    return a.properties() == b.properties();
}

QTextCharFormat bold(QTextCharFormat format)
{
    setEffect(format, Effect::Bold, true);
    return format;
}

} // namespace

class TextFormattingTest : public QObject {
    Q_OBJECT

private slots:
    void boldTakesTheWholeFormatOfTheReference_data()
    {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("referencePoints"); // which character is the reference
        QTest::addColumn<int>("from");               // the target; from == to: what is typed next
        QTest::addColumn<int>("to");
        QTest::newRow("caret inside a word") << 4 << 4 << 15.0 << 3 << 5;
        QTest::newRow("caret after a space") << 3 << 3 << 10.0 << 3 << 3;
        QTest::newRow("caret at the end of a word") << 2 << 2 << 9.0 << 2 << 2;
        QTest::newRow("caret at the start") << 0 << 0 << 8.0 << 0 << 0;
        QTest::newRow("caret at a paragraph's start") << Sample::kChinese << Sample::kChinese << 16.0 << 6 << 6;
        QTest::newRow("caret between Chinese characters") << 7 << 7 << 16.0 << 7 << 7;
        QTest::newRow("selection") << 1 << 4 << 9.0 << 1 << 4;
        QTest::newRow("selection made backwards") << 4 << 1 << 9.0 << 1 << 4;
        QTest::newRow("selection across paragraphs") << 3 << 8 << 15.0 << 3 << 8;
    }

    void boldTakesTheWholeFormatOfTheReference()
    {
        QFETCH(int, anchor);
        QFETCH(int, position);
        QFETCH(double, referencePoints);
        QFETCH(int, from);
        QFETCH(int, to);
        Sample sample;
        const QList<QTextCharFormat> before = sample.everyCharacter();
        const QString html = sample.document.toHtml();
        QTextCursor cursor = sample.cursor(anchor, position);

        const QTextCharFormat reference = referenceFormat(cursor);
        QCOMPARE(reference.fontPointSize(), referencePoints);
        apply(cursor, bold(reference), Scope::All);

        const QList<QTextCharFormat> after = sample.everyCharacter();
        for (int i = 0; i < after.size(); ++i) {
            const bool inTarget = i >= from && i < to;
            QVERIFY2(same(after[i], inTarget ? bold(reference) : before[i]), qPrintable(QString::number(i)));
        }
        if (from == to) {
            // Nothing changed but the format of what is typed next.
            QCOMPARE(sample.document.toHtml(), html);
            cursor.insertText("x");
            QVERIFY(same(sample.at(position), bold(reference)));
        } else {
            QCOMPARE(cursor.selectionStart(), std::min(anchor, position)); // the selection stays as it was
            sample.document.undo();                                        // one step undoes the command
            QCOMPARE(sample.document.toHtml(), html);
        }
    }

    void aSelectionOfMixedFontsTakesItsFirstCharactersFaceSizeAndColour()
    {
        Sample sample;
        QTextCursor cursor = sample.cursor(0, 5);
        apply(cursor, bold(referenceFormat(cursor)), Scope::All);
        for (const QTextCharFormat& format : sample.everyCharacter().mid(0, 5)) {
            QCOMPARE(format.fontPointSize(), 8.0);
            QCOMPARE(format.foreground().color(), QColor(Qt::red));
            QVERIFY(hasEffect(format, Effect::Bold));
        }
        // And the other way round: an automatic first character takes the colour off the rest.
        Sample other;
        cursor = other.cursor(1, 5);
        apply(cursor, referenceFormat(cursor), Scope::All);
        QVERIFY(!other.at(4).hasProperty(QTextFormat::ForegroundBrush));
    }

    void anEmptyDocumentFormatsWhatIsTypedNext()
    {
        QTextDocument document;
        QFont font(QStringLiteral("Sample Sans"));
        font.setPointSize(12);
        document.setDefaultFont(font);
        QTextCursor cursor(&document);
        QTextCharFormat format = referenceFormat(cursor);
        QCOMPARE(format.fontPointSize(), 12.0);
        QCOMPARE(faceOf(format), QStringLiteral("Sample Sans"));
        setEffect(format, Effect::Italic, true);
        apply(cursor, format, Scope::All);
        QVERIFY(document.isEmpty());
        cursor.insertText("typed");
        QVERIFY(storedAttributes(document.begin().begin().fragment().charFormat(), document).fontItalic());
    }

    void sizeOrFaceAloneLeavesTheRestAsItWas_data()
    {
        QTest::addColumn<int>("scope");
        QTest::newRow("size") << int(Scope::Size);
        QTest::newRow("face") << int(Scope::Face);
    }

    void sizeOrFaceAloneLeavesTheRestAsItWas()
    {
        QFETCH(int, scope);
        Sample sample;
        QTextCursor boldB = sample.cursor(1, 2);
        apply(boldB, bold(referenceFormat(boldB)), Scope::All);
        const QList<QTextCharFormat> before = sample.everyCharacter();

        QTextCharFormat change;
        if (Scope(scope) == Scope::Size)
            change.setFontPointSize(12);
        else
            change.setFontFamilies(faceWithFallbacks(QStringLiteral("Other Face"), sample.document));
        QTextCursor all = sample.cursor(0, 8);
        apply(all, change, Scope(scope));

        const QList<QTextCharFormat> after = sample.everyCharacter();
        for (int i = 0; i < after.size(); ++i) {
            QTextCharFormat expected = before[i];
            if (Scope(scope) == Scope::Size)
                expected.setFontPointSize(12); // the pixel size of 'c' too
            else
                expected.setFontFamilies(change.fontFamilies().toStringList());
            QVERIFY2(same(after[i], expected), qPrintable(QString::number(i)));
        }
    }

    void aPictureInTheTargetStaysAPicture()
    {
        Sample sample;
        QTextCursor cursor = sample.cursor(2, 2);
        QTextImageFormat picture;
        picture.setName(QStringLiteral("picture"));
        picture.setWidth(10);
        cursor.insertImage(picture);
        cursor = sample.cursor(0, 7);
        apply(cursor, bold(referenceFormat(cursor)), Scope::All);
        QTextCursor after(&sample.document);
        after.setPosition(3);
        QVERIFY(after.charFormat().isImageFormat());
        QCOMPARE(after.charFormat().toImageFormat().name(), QStringLiteral("picture"));
        QCOMPARE(after.charFormat().toImageFormat().width(), 10.0);
    }

    void theFontDialogGivesBackWhatItWasNotAskedToChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("nothing") << "";
        QTest::newRow("size") << "size";
        QTest::newRow("face") << "face";
        QTest::newRow("a weight the body cannot keep") << "semibold";
        QTest::newRow("a light style") << "light";
        QTest::newRow("nothing, in a style the dialog chose for a face it lacks") << "substituted style";
    }

    void theFontDialogGivesBackWhatItWasNotAskedToChange()
    {
        QFETCH(QString, change);
        QTextDocument document;
        QTextCharFormat reference;
        reference.setFontFamilies(faceWithFallbacks(QStringLiteral("A Face Not Installed"), document));
        reference.setFontPointSize(10.5);
        reference.setFontWeight(QFont::Bold);
        reference.setFontItalic(true);
        reference.setFontUnderline(true);
        reference.setFontStrikeOut(true);
        reference.setForeground(QColor(1, 2, 3));
        reference = storedAttributes(reference, document);

        const QFont offered = dialogFont(reference);
        QVERIFY(offered.bold() && offered.italic() && offered.underline() && offered.strikeOut());
        QCOMPARE(offered.family(), QFontInfo(offered).family()); // the face the text is drawn in
        // What the dialog shows of it: the sizes it lists, and a face it has for the one it lacks.
        QFont shown = offered;
        shown.setFamily(QStringLiteral("Installed Face"));
        if (change == "substituted style")
            shown.setItalic(false);
        QFont chosen = shown;
        QTextCharFormat expected = reference;
        if (change == "size") {
            chosen.setPointSize(14);
            expected.setFontPointSize(14);
        } else if (change == "face") {
            chosen.setFamily(QStringLiteral("Chosen Face"));
            expected.setFontFamilies(faceWithFallbacks(QStringLiteral("Chosen Face"), document));
        } else if (change == "semibold") {
            chosen.setWeight(QFont::DemiBold);
            chosen.setStyleName(QStringLiteral("SemiBold"));
        } else if (change == "light") {
            chosen.setWeight(QFont::Light);
            chosen.setStyleName(QStringLiteral("Light"));
            expected.setFontWeight(QFont::Normal);
        }
        QVERIFY(same(fromDialog(chosen, shown, reference, document), expected));
    }
};

QTEST_MAIN(TextFormattingTest)
#include "tst_textformatting.moc"
