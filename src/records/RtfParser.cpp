#include "records/RtfParser.h"

#include <algorithm>

#include "records/RtfKeywords.h"
#include "records/RtfReader.h"

namespace RtfRead {

Parser::Parser(QByteArrayView rtf, qsizetype start, QTextDocument& document)
    : m_lexer(rtf, start), m_sink(document, m_tables), m_text(m_state, m_tables, m_sink),
      m_pictureBudget(RtfReader::kMaxPictureMemory)
{
}

bool Parser::run()
{
    while (!m_done && !m_failed) {
        const Token token = m_lexer.next();
        if (token.kind == Token::Kind::End)
            break;
        switch (token.kind) {
        case Token::Kind::End:
            break;
        case Token::Kind::OpenGroup:
            openGroup();
            break;
        case Token::Kind::CloseGroup:
            closeGroup(true);
            break;
        case Token::Kind::Word:
            controlWord(token);
            break;
        case Token::Kind::Symbol:
            controlSymbol(token.symbol);
            break;
        case Token::Kind::HexByte:
            hexByte(static_cast<uchar>(token.param));
            break;
        case Token::Kind::Text:
            literal(token.bytes);
            break;
        case Token::Kind::Binary:
            binary(token.bytes);
            break;
        }
    }
    if (m_failed)
        return false;
    m_text.flush();
    const ParaProps para = m_state.para;
    const Effective mark = m_state.chr.effective(m_tables.defaultFont());
    // Truncated input: close what is open so that a picture or a font entry in progress still counts.
    while (!m_done && !m_failed)
        closeGroup(false);
    if (m_failed)
        return false;
    m_text.flush();
    m_text.dropLoneSurrogate();
    m_sink.finish(para, mark);
    return true;
}

// -- groups ------------------------------------------------------------------------------------------------------

void Parser::openGroup()
{
    if (m_depth >= RtfReader::kMaxGroupDepth) {
        m_failed = true;
        return;
    }
    // The root group is the reader's initial state; every other one saves its parent's.
    if (m_depth > 0)
        m_stack.push_back(m_state);
    ++m_depth;
    m_state.star = false;
    m_state.pictureOwner = false;
    if (m_state.dest == Dest::Picture)
        m_state.dest = Dest::Skip;
    m_skip = 0;
}

void Parser::closeGroup(bool closed)
{
    m_skip = 0;
    if (m_state.pictureOwner) {
        const qsizetype start = m_picture.start();
        const QByteArrayView written =
            closed ? m_lexer.input().sliced(start, m_lexer.position() - start) : QByteArrayView();
        m_picture.finish(written, m_sink, m_pictureBudget);
    }
    if (m_state.dest == Dest::FontTable) {
        m_text.flush();
        m_tables.finishFont();
    }
    if (m_depth <= 1) {
        m_done = true;
        return;
    }
    --m_depth;
    m_state = m_stack.back();
    m_stack.pop_back();
}

void Parser::setDest(Dest dest)
{
    if (m_state.dest != Dest::Skip)
        m_state.dest = dest;
}

// -- tokens ------------------------------------------------------------------------------------------------------

void Parser::controlWord(const Token& token)
{
    if (m_state.dest == Dest::Skip)
        return;
    const bool star = m_state.star;
    m_state.star = false;
    const Keyword* keyword = Keywords::find(token.name);
    if (keyword == nullptr) {
        if (star)
            m_state.dest = Dest::Skip;
        else if (m_state.dest == Dest::Picture)
            m_picture.word(token.name, token.hasParam, token.param, std::nullopt);
        else
            consumeSkip();
        return;
    }
    if (star && !Keywords::isDestination(keyword->kw)) {
        m_state.dest = Dest::Skip;
        return;
    }
    if (m_state.dest == Dest::Picture) {
        m_picture.word(token.name, token.hasParam, token.param, keyword->kw);
        return;
    }
    if (keyword->kw != Kw::U && keyword->kw != Kw::Uc && consumeSkip())
        return;
    word(*keyword, token.hasParam, token.param, token.start);
}

void Parser::controlSymbol(char c)
{
    if (c == '*') {
        m_state.star = true;
        return;
    }
    if (consumeSkip())
        return;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        m_text.character(QChar::fromLatin1(c));
        break;
    case '~':
        m_text.character(QChar(0x00A0));
        break;
    case '-':
        m_text.character(QChar(0x00AD));
        break;
    case '_':
        m_text.character(QChar(0x2011));
        break;
    case '\t':
        m_text.character(QChar(u'\t'));
        break;
    case '\r':
    case '\n':
        paragraph();
        break;
    default:
        break;
    }
}

void Parser::hexByte(uchar b)
{
    if (consumeSkip())
        return;
    if (m_state.dest == Dest::Text || m_state.dest == Dest::FontTable)
        m_text.byte(b);
}

void Parser::literal(QByteArrayView bytes)
{
    switch (m_state.dest) {
    case Dest::Skip:
    case Dest::Container:
        return;
    case Dest::Picture:
        if (!m_picture.hex(bytes))
            m_failed = true;
        return;
    case Dest::ShapeName: {
        // Only "pib" counts; a name longer than any control word is none the reader knows.
        const qsizetype room = std::max<qsizetype>(0, Keywords::kMaxNameLength - m_shapeName.size());
        m_shapeName.append(bytes.first(std::min(bytes.size(), room)));
        return;
    }
    case Dest::ColorTable:
        m_tables.colourText(bytes);
        return;
    case Dest::Text:
    case Dest::FontTable:
        break;
    }
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (consumeSkip()) {
            ++i;
            continue;
        }
        const auto b = static_cast<uchar>(bytes[i]);
        // A lead byte's trail may be written as a plain character: "\'81@".
        if (b >= 0x80 || (m_text.leadOpen() && b >= 0x40 && b <= 0x7E)) {
            m_text.byte(b);
            ++i;
            continue;
        }
        if (b < 0x20) {
            if (b == '\t')
                m_text.character(QChar(u'\t'));
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < bytes.size() && static_cast<uchar>(bytes[j]) >= 0x20 && static_cast<uchar>(bytes[j]) < 0x80)
            ++j;
        // Inside a \uN fallback only the first characters are skipped.
        m_text.text(QLatin1StringView(bytes.sliced(i, j - i)));
        i = j;
    }
}

void Parser::binary(QByteArrayView bytes)
{
    if (m_state.dest == Dest::Picture) {
        if (!m_picture.binary(bytes))
            m_failed = true;
    } else if (m_state.dest != Dest::Skip) {
        consumeSkip();
    }
}

// -- control words -----------------------------------------------------------------------------------------------

void Parser::word(Keyword keyword, bool hasParam, int param, qsizetype start)
{
    const Dest dest = m_state.dest;
    switch (keyword.kw) {
    case Kw::FontTable:
        setDest(Dest::FontTable);
        m_tables.startFontTable();
        break;
    case Kw::ColorTable:
        setDest(Dest::ColorTable);
        m_tables.startColourTable();
        break;
    case Kw::Pict:
        beginPicture(start);
        break;
    case Kw::FieldInstruction:
    case Kw::SkipDestination:
        m_state.dest = Dest::Skip;
        break;
    case Kw::TextDestination:
        setDest(Dest::Text);
        break;
    case Kw::Content:
        break;
    case Kw::Container:
        setDest(Dest::Container);
        break;
    case Kw::ShapeName:
        setDest(Dest::ShapeName);
        m_shapeName.clear();
        break;
    case Kw::ShapeValue:
        // Of a shape's properties only its picture is content.
        setDest(m_shapeName == "pib" ? Dest::Container : Dest::Skip);
        break;
    case Kw::Upr:
        m_state.uprDest = dest;
        setDest(Dest::Container);
        break;
    case Kw::Ud:
        setDest(m_state.uprDest);
        break;
    case Kw::Ansi:
        m_tables.setCodePage(CodePages::kDefault);
        break;
    case Kw::Mac:
        m_tables.setCodePage(10000);
        break;
    case Kw::Pc:
        m_tables.setCodePage(437);
        break;
    case Kw::Pca:
        m_tables.setCodePage(850);
        break;
    case Kw::AnsiCodePage:
        if (hasParam && param > 0)
            m_tables.setCodePage(param);
        break;
    case Kw::DefaultFont:
        m_tables.setDefaultFont(param);
        break;
    case Kw::U:
        m_text.unicode(param);
        m_skip = m_state.uc;
        break;
    case Kw::Par:
    case Kw::Cell:
        paragraph();
        break;
    case Kw::Page:
        if (dest == Dest::Text) {
            m_text.flush();
            m_text.dropLoneSurrogate();
            m_sink.pageBreak(m_state.para, m_state.chr.effective(m_tables.defaultFont()));
        }
        break;
    case Kw::Symbol:
        m_text.character(QChar(keyword.symbol));
        break;
    case Kw::F:
        if (dest == Dest::FontTable) {
            m_text.flush();
            m_tables.startFont(param);
        } else {
            m_state.chr.font = param;
        }
        break;
    case Kw::FCharset:
        if (dest == Dest::FontTable)
            m_tables.setFontCharset(param);
        break;
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue:
        if (dest == Dest::ColorTable)
            m_tables.setColourComponent(keyword.kw, param);
        break;
    default:
        m_state.applyFormatting(keyword.kw, hasParam, param);
        break;
    }
}

void Parser::paragraph()
{
    if (m_state.dest != Dest::Text)
        return;
    m_text.flush();
    m_text.dropLoneSurrogate();
    m_sink.endParagraph(m_state.para, m_state.chr.effective(m_tables.defaultFont()));
}

// -- pictures ----------------------------------------------------------------------------------------------------

void Parser::beginPicture(qsizetype start)
{
    if (m_state.dest != Dest::Text && m_state.dest != Dest::Container) {
        m_state.dest = Dest::Skip;
        return;
    }
    // Text whose code-page bytes are still pending comes before the picture, not after it.
    m_text.flush();
    m_text.dropLoneSurrogate();
    m_picture = Picture(start);
    m_state.dest = Dest::Picture;
    m_state.pictureOwner = true;
}

} // namespace RtfRead
