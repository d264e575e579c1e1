#include "records/TextFormatting.h"

#include <algorithm>
#include <vector>

#include <QFontDatabase>
#include <QFontInfo>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

namespace TextFormatting {

namespace {

constexpr double kPointsPerPixel = 72.0 / 96.0;
// A font with neither a point nor a pixel size; the editor's own default.
constexpr double kUnsizedPoints = 12.0;

// The properties behind a scope. A change clears all of them before it sets the new ones, so nothing of the old
// value (a pixel size, a style name, a legacy family) can win over the new one.
const std::vector<int>& propertiesOf(Scope scope)
{
    static const std::vector<int> face = {QTextFormat::FontFamily, QTextFormat::FontFamilies,
                                          QTextFormat::FontStyleName};
    static const std::vector<int> size = {QTextFormat::FontPointSize, QTextFormat::FontPixelSize,
                                          QTextFormat::FontSizeAdjustment};
    static const std::vector<int> all = [] {
        std::vector<int> properties = face;
        properties.insert(properties.end(), size.begin(), size.end());
        properties.insert(properties.end(),
                          {QTextFormat::FontWeight, QTextFormat::FontItalic, QTextFormat::FontUnderline,
                           QTextFormat::TextUnderlineStyle, QTextFormat::FontStrikeOut, QTextFormat::ForegroundBrush});
        return properties;
    }();
    switch (scope) {
    case Scope::Face:
        return face;
    case Scope::Size:
        return size;
    case Scope::All:
        break;
    }
    return all;
}

QTextCharFormat replaced(QTextCharFormat format, const QTextCharFormat& attributes, Scope scope)
{
    const std::vector<int>& properties = propertiesOf(scope);
    for (int property : properties)
        format.clearProperty(property);
    for (int property : properties) {
        if (attributes.hasProperty(property))
            format.setProperty(property, attributes.property(property));
    }
    return format;
}

double pointsOf(const QFont& font)
{
    if (font.pointSizeF() > 0)
        return font.pointSizeF();
    if (font.pixelSize() > 0)
        return font.pixelSize() * kPointsPerPixel;
    return kUnsizedPoints;
}

QString firstFace(const QFont& font)
{
    const QStringList families = font.families();
    return families.isEmpty() ? font.family() : families.constFirst();
}

} // namespace

QStringList faceWithFallbacks(const QString& face, const QTextDocument& document)
{
    QStringList faces;
    if (!face.isEmpty())
        faces.append(face);
    for (const QString& fallback : document.defaultFont().families()) {
        if (!faces.contains(fallback))
            faces.append(fallback);
    }
    if (faces.isEmpty())
        faces.append(document.defaultFont().family());
    return faces;
}

QString faceOf(const QTextCharFormat& format)
{
    const QStringList families = format.fontFamilies().toStringList();
    return families.isEmpty() ? format.property(QTextFormat::FontFamily).toString() : families.constFirst();
}

QTextCharFormat storedAttributes(const QTextCharFormat& format, const QTextDocument& document)
{
    // The same reading of a format as RtfWriter's, so what a command sets is what a save keeps.
    const QFont font = format.font().resolve(document.defaultFont());
    QTextCharFormat stored;
    stored.setFontFamilies(faceWithFallbacks(firstFace(font), document));
    stored.setFontPointSize(pointsOf(font));
    stored.setFontWeight(font.bold() ? QFont::Bold : QFont::Normal);
    stored.setFontItalic(font.italic());
    stored.setFontUnderline(font.underline() || format.underlineStyle() != QTextCharFormat::NoUnderline);
    stored.setFontStrikeOut(font.strikeOut());
    const QBrush brush = format.foreground();
    if (format.hasProperty(QTextFormat::ForegroundBrush) && brush.style() != Qt::NoBrush)
        stored.setForeground(QColor(brush.color().rgb()));
    return stored;
}

QTextCharFormat referenceFormat(const QTextCursor& cursor)
{
    const QTextDocument& document = *cursor.document();
    if (!cursor.hasSelection()) {
        // The cursor's own rule: the character before it, but the one after it at the start of a paragraph.
        return storedAttributes(cursor.charFormat(), document);
    }
    QTextCursor first(cursor.document());
    first.setPosition(cursor.selectionStart() + 1);
    return storedAttributes(first.charFormat(), document);
}

QTextCursor target(const QTextCursor& cursor)
{
    if (cursor.hasSelection())
        return cursor;
    QTextCursor word(cursor.document());
    word.setPosition(cursor.position());
    const QTextBlock block = cursor.block();
    const QString text = block.text();
    const int at = cursor.position() - block.position();
    if (at <= 0 || at >= text.size())
        return word;
    // At either end of a word the caret is where the next word begins or the last one goes on: the format is
    // for what is typed next, as after a space. Chinese text breaks between every character, so there the
    // caret never stands inside a word.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(at);
    if (finder.isAtBoundary())
        return word;
    const qsizetype start = finder.toPreviousBoundary();
    finder.setPosition(at);
    const qsizetype end = finder.toNextBoundary();
    if (start < 0 || end < 0)
        return word;
    const QStringView segment = QStringView(text).sliced(start, end - start);
    if (std::none_of(segment.begin(), segment.end(), [](QChar c) { return c.isLetterOrNumber(); }))
        return word; // a run of spaces or punctuation is no word
    word.setPosition(block.position() + static_cast<int>(start));
    word.setPosition(block.position() + static_cast<int>(end), QTextCursor::KeepAnchor);
    return word;
}

void apply(QTextCursor& cursor, const QTextCharFormat& attributes, Scope scope)
{
    QTextDocument* document = cursor.document();
    const QTextCursor range = target(cursor);
    if (!range.hasSelection()) {
        QTextCharFormat pending = cursor.charFormat();
        if (pending.objectType() != QTextFormat::NoObject)
            pending = storedAttributes(pending, *document); // text typed after a picture is no picture
        cursor.setCharFormat(replaced(pending, attributes, scope));
        return;
    }

    // Each run keeps what it carries besides the stored attributes, so every run is set on its own. The runs are
    // collected first: setting formats splits and joins the fragments being walked.
    struct Run {
        int start;
        int end;
        QTextCharFormat format;
    };
    const int start = range.selectionStart();
    const int end = range.selectionEnd();
    std::vector<Run> runs;
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(fragment.position(), start);
            const int to = std::min(fragment.position() + fragment.length(), end);
            if (from < to)
                runs.push_back({from, to, fragment.charFormat()});
        }
        // The paragraph mark: its format is what an empty paragraph shows and keeps. It is the format the next
        // block reports as its own.
        const int mark = block.position() + block.length() - 1;
        const QTextBlock next = block.next();
        if (next.isValid() && mark >= start && mark < end)
            runs.push_back({mark, mark + 1, next.charFormat()});
    }
    QTextCursor edit(document);
    edit.beginEditBlock();
    for (const Run& run : runs) {
        edit.setPosition(run.start);
        edit.setPosition(run.end, QTextCursor::KeepAnchor);
        edit.setCharFormat(replaced(run.format, attributes, scope));
    }
    edit.endEditBlock();
}

bool hasEffect(const QTextCharFormat& format, Effect effect)
{
    switch (effect) {
    case Effect::Bold:
        return format.fontWeight() > QFont::Medium;
    case Effect::Italic:
        return format.fontItalic();
    case Effect::Underline:
        break;
    }
    return format.fontUnderline();
}

void setEffect(QTextCharFormat& format, Effect effect, bool on)
{
    switch (effect) {
    case Effect::Bold:
        format.setFontWeight(on ? QFont::Bold : QFont::Normal);
        return;
    case Effect::Italic:
        format.setFontItalic(on);
        return;
    case Effect::Underline:
        format.setFontUnderline(on);
        return;
    }
}

QFont dialogFont(const QTextCharFormat& reference)
{
    QFont font;
    font.setFamilies(reference.fontFamilies().toStringList());
    // The dialog lists the faces of this machine only; for a face it lacks it is offered the face the text is
    // drawn in, not whichever face stands first in its list.
    if (!QFontDatabase::hasFamily(faceOf(reference)))
        font.setFamily(QFontInfo(font).family());
    font.setPointSize(std::max(1, qRound(reference.fontPointSize())));
    font.setWeight(hasEffect(reference, Effect::Bold) ? QFont::Bold : QFont::Normal);
    font.setItalic(reference.fontItalic());
    font.setUnderline(reference.fontUnderline());
    font.setStrikeOut(reference.fontStrikeOut());
    return font;
}

QTextCharFormat fromDialog(const QFont& chosen, const QFont& shown, const QTextCharFormat& reference,
                           const QTextDocument& document)
{
    // The dialog knows whole points, the faces of this machine and the styles of each face only: for a face it
    // lacks it shows one of its own, in a style of that face. What the user left as the dialog showed it is the
    // reference's own, which may be 10.5 points, a face this machine lacks or a style that face has.
    QTextCharFormat format;
    const QString face = firstFace(chosen);
    format.setFontFamilies(face == firstFace(shown) ? reference.fontFamilies().toStringList()
                                                    : faceWithFallbacks(face, document));
    format.setFontPointSize(chosen.pointSize() == shown.pointSize() ? reference.fontPointSize() : pointsOf(chosen));
    const auto effect = [&reference](bool chosenOn, bool shownOn, Effect which) {
        return chosenOn == shownOn ? hasEffect(reference, which) : chosenOn;
    };
    // The dialog offers weights a body cannot keep: bold or not is what is stored.
    format.setFontWeight(effect(chosen.bold(), shown.bold(), Effect::Bold) ? QFont::Bold : QFont::Normal);
    format.setFontItalic(effect(chosen.italic(), shown.italic(), Effect::Italic));
    format.setFontUnderline(effect(chosen.underline(), shown.underline(), Effect::Underline));
    format.setFontStrikeOut(chosen.strikeOut() == shown.strikeOut() ? reference.fontStrikeOut() : chosen.strikeOut());
    if (reference.hasProperty(QTextFormat::ForegroundBrush))
        format.setForeground(reference.foreground());
    return format;
}

} // namespace TextFormatting
