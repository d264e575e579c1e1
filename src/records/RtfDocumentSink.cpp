#include "records/RtfDocumentSink.h"

#include <algorithm>
#include <array>

#include <QTextBlockFormat>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include "records/RtfReader.h"
#include "records/RtfTables.h"

namespace RtfRead {

namespace {

double twipsToPixels(int twips)
{
    return twips / RtfReader::kTwipsPerPixel;
}

// Characters with a meaning of their own in a QTextDocument would split blocks or fake objects.
void sanitise(QString& text)
{
    const auto special = [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t') || u == 0x2029 || u == 0xFFFC || u == 0xFDD0 || u == 0xFDD1;
    };
    if (std::none_of(text.cbegin(), text.cend(), special))
        return;
    QString clean;
    clean.reserve(text.size());
    for (QChar c : std::as_const(text)) {
        if (c.unicode() == 0x2029)
            clean.append(QChar::LineSeparator);
        else if (!special(c))
            clean.append(c);
    }
    text = clean;
}

} // namespace

DocumentSink::DocumentSink(QTextDocument& document, const Tables& tables)
    : m_document(document), m_cursor(&document), m_tables(tables)
{
}

template <class Text> void DocumentSink::appendText(Text text, const Effective& props)
{
    if (text.isEmpty() || props.hidden)
        return;
    openPendingBlock();
    if (!m_run.isEmpty() && props != m_runProps)
        flushRun();
    m_runProps = props;
    m_run.append(text);
    m_blockHasContent = true;
}

void DocumentSink::text(QStringView text, const Effective& props)
{
    appendText(text, props);
}

void DocumentSink::text(QLatin1StringView text, const Effective& props)
{
    appendText(text, props);
}

void DocumentSink::image(const QTextImageFormat& format)
{
    openPendingBlock();
    flushRun();
    m_cursor.insertImage(format);
    m_blockHasContent = true;
}

void DocumentSink::addResource(const QString& name, const QVariant& value)
{
    m_document.addResource(QTextDocument::ImageResource, QUrl(name), value);
}

void DocumentSink::endParagraph(const ParaProps& para, const Effective& mark)
{
    flushRun();
    openPendingBlock();
    closeBlock(para, mark);
    m_blockPending = true;
}

void DocumentSink::pageBreak(const ParaProps& para, const Effective& mark)
{
    if (m_blockHasContent && !m_blockPending)
        endParagraph(para, mark);
    if (m_blockPending)
        m_nextBreakBefore = true;
    else
        m_breakBefore = true;
}

void DocumentSink::finish(const ParaProps& para, const Effective& mark)
{
    flushRun();
    if (!m_blockPending)
        closeBlock(para, mark);
}

void DocumentSink::openPendingBlock()
{
    if (!m_blockPending)
        return;
    m_cursor.insertBlock();
    m_blockPending = false;
    m_blockHasContent = false;
    m_breakBefore = m_nextBreakBefore;
    m_nextBreakBefore = false;
}

void DocumentSink::closeBlock(const ParaProps& para, const Effective& mark)
{
    m_cursor.setBlockFormat(blockFormat(para));
    // An empty line keeps the size of its paragraph mark.
    if (!m_blockHasContent)
        m_cursor.setBlockCharFormat(charFormat(mark));
}

void DocumentSink::flushRun()
{
    if (m_run.isEmpty())
        return;
    sanitise(m_run);
    m_cursor.insertText(m_run, charFormat(m_runProps));
    m_run.clear();
}

QTextCharFormat DocumentSink::charFormat(const Effective& props)
{
    if (m_formatValid && props == m_formatProps)
        return m_format;
    QTextCharFormat format;
    const Tables::Font* font = m_tables.font(props.font);
    if (font != nullptr && !font->name.isEmpty()) {
        // A face this machine lacks falls back the way the editor's own face does, not to whatever the font
        // system picks for it.
        QStringList families{font->name};
        for (const QString& fallback : m_document.defaultFont().families()) {
            if (!families.contains(fallback))
                families.append(fallback);
        }
        format.setFontFamilies(families);
    }
    format.setFontPointSize(props.halfPoints / 2.0);
    format.setFontWeight(props.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(props.italic);
    format.setFontUnderline(props.underline);
    format.setFontStrikeOut(props.strike);
    const QColor colour = m_tables.colour(props.colour);
    if (colour.isValid())
        format.setForeground(colour);
    m_format = format;
    m_formatProps = props;
    m_formatValid = true;
    return format;
}

QTextBlockFormat DocumentSink::blockFormat(const ParaProps& para) const
{
    QTextBlockFormat format;
    static constexpr std::array<Qt::Alignment, 4> alignments = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                                Qt::AlignJustify};
    format.setAlignment(alignments[static_cast<int>(para.alignment)]);
    if (para.left != 0)
        format.setLeftMargin(twipsToPixels(para.left));
    if (para.right != 0)
        format.setRightMargin(twipsToPixels(para.right));
    if (para.first != 0)
        format.setTextIndent(twipsToPixels(para.first));
    if (para.before != 0)
        format.setTopMargin(twipsToPixels(para.before));
    if (para.after != 0)
        format.setBottomMargin(twipsToPixels(para.after));
    if (m_breakBefore || para.breakBefore)
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    return format;
}

} // namespace RtfRead
