#include "records/RtfPlainText.h"

#include <algorithm>
#include <vector>

#include "records/RtfCodePages.h"
#include "records/RtfKeywords.h"
#include "records/RtfLexer.h"

using RtfRead::Kw;
using RtfRead::Token;

namespace {

struct Group {
    bool skip = false;
    bool star = false;     // a \* stands before the group's first word
    bool inUpr = false;    // within \upr, whose ANSI half repeats the text of its \ud half
    bool firstWord = true; // only the first word of a group can make it a destination
    int uc = 1;
};

bool skipsDestination(Kw kw)
{
    switch (kw) {
    case Kw::FontTable:
    case Kw::ColorTable:
    case Kw::Pict:
    case Kw::FieldInstruction:
    case Kw::SkipDestination:
    case Kw::ShapeName:
    case Kw::ShapeValue:
        return true;
    default:
        return false;
    }
}

} // namespace

QStringDecoder& RtfPlainText::decoder()
{
    auto found = m_decoders.find(m_codePage);
    if (found == m_decoders.end())
        found = m_decoders.emplace(m_codePage, RtfRead::CodePages::decoder(m_codePage)).first;
    return found->second;
}

void RtfPlainText::flushBytes(QString& out)
{
    if (m_bytes.empty())
        return;
    const QByteArrayView bytes(m_bytes.data(), static_cast<qsizetype>(m_bytes.size()));
    if (std::all_of(m_bytes.cbegin(), m_bytes.cend(), [](char c) { return static_cast<uchar>(c) < 0x80; }))
        out.append(QLatin1StringView(bytes));
    else
        out.append(decoder().decode(bytes));
    m_bytes.clear();
}

QString RtfPlainText::text(QByteArrayView rtf)
{
    QString out;
    out.reserve(rtf.size() / 4);
    m_codePage = RtfRead::CodePages::kDefault;
    m_bytes.clear();
    std::vector<Group> groups;
    Group group;
    int skipAfterUnicode = 0; // the stand-in bytes after \uN still to drop
    int depth = 0;
    qsizetype pos = 0;
    while (pos < rtf.size()) {
        // Most of a Chinese body is \'hh escapes, and a picture's hex is text in a skipped group: both are read
        // here rather than token by token.
        const char c = rtf[pos];
        if (c == '\\' && pos + 3 < rtf.size() && rtf[pos + 1] == '\'') {
            const int high = RtfRead::Lexer::hexValue(rtf[pos + 2]);
            const int low = RtfRead::Lexer::hexValue(rtf[pos + 3]);
            if (high >= 0 && low >= 0) {
                pos += 4;
                if (group.skip)
                    continue;
                if (skipAfterUnicode > 0) {
                    --skipAfterUnicode;
                    continue;
                }
                m_bytes.push_back(static_cast<char>(high * 16 + low));
                group.firstWord = false;
                continue;
            }
        }
        if (group.skip && c != '{' && c != '}' && c != '\\') {
            ++pos;
            continue;
        }
        RtfRead::Lexer lexer(rtf, pos);
        Token token = lexer.next();
        pos = lexer.position();
        if (token.kind == Token::Kind::End)
            break;
        if (token.kind == Token::Kind::OpenGroup) {
            flushBytes(out);
            if (depth++ > 0)
                groups.push_back(group);
            group.star = false;
            group.firstWord = true;
            skipAfterUnicode = 0;
            continue;
        }
        if (token.kind == Token::Kind::CloseGroup) {
            flushBytes(out);
            if (--depth <= 0)
                break;
            group = groups.back();
            groups.pop_back();
            skipAfterUnicode = 0;
            continue;
        }
        if (group.skip) {
            // Of \upr's two halves only the Unicode one, \ud, is read.
            if (group.inUpr && token.kind == Token::Kind::Word && token.name == "ud")
                group.skip = group.inUpr = false;
            continue;
        }
        if (skipAfterUnicode > 0) {
            if (token.kind == Token::Kind::Text && token.bytes.size() > skipAfterUnicode) {
                token.bytes = token.bytes.sliced(skipAfterUnicode);
                skipAfterUnicode = 0;
            } else {
                skipAfterUnicode -= token.kind == Token::Kind::Text ? static_cast<int>(token.bytes.size()) : 1;
                continue;
            }
        }
        switch (token.kind) {
        case Token::Kind::Text:
            m_bytes.append(token.bytes.data(), static_cast<std::size_t>(token.bytes.size()));
            group.firstWord = false;
            break;
        case Token::Kind::HexByte:
            m_bytes.push_back(static_cast<char>(token.param));
            group.firstWord = false;
            break;
        case Token::Kind::Symbol:
            if (token.symbol == '*') {
                group.star = true;
                break;
            }
            flushBytes(out);
            group.firstWord = false;
            if (token.symbol == '\\' || token.symbol == '{' || token.symbol == '}')
                out.append(QLatin1Char(token.symbol));
            else if (token.symbol == '~')
                out.append(QLatin1Char(' '));
            else if (token.symbol == '_')
                out.append(QLatin1Char('-'));
            break;
        case Token::Kind::Word: {
            const bool first = group.firstWord;
            group.firstWord = false;
            const RtfRead::Keyword* keyword = RtfRead::Keywords::find(token.name);
            if (!keyword) {
                // An unknown destination behind \* holds nothing to show.
                if (first && group.star)
                    group.skip = true;
                break;
            }
            if (skipsDestination(keyword->kw)) {
                group.skip = true;
                break;
            }
            switch (keyword->kw) {
            case Kw::Upr:
                group.skip = group.inUpr = true;
                break;
            case Kw::AnsiCodePage:
                flushBytes(out);
                m_codePage = token.param;
                break;
            case Kw::Uc:
                group.uc = std::max(token.param, 0);
                break;
            case Kw::U:
                flushBytes(out);
                out.append(QChar(static_cast<char16_t>(token.param < 0 ? token.param + 0x10000 : token.param)));
                skipAfterUnicode = group.uc;
                break;
            case Kw::Par:
            case Kw::Cell:
            case Kw::Page:
                flushBytes(out);
                out.append(QLatin1Char('\n'));
                break;
            case Kw::Symbol:
                flushBytes(out);
                out.append(keyword->symbol == 0x2028 ? u'\n' : keyword->symbol == u'\t' ? u' ' : keyword->symbol);
                break;
            default:
                break;
            }
            break;
        }
        case Token::Kind::Binary:
        case Token::Kind::OpenGroup:
        case Token::Kind::CloseGroup:
        case Token::Kind::End:
            break;
        }
    }
    flushBytes(out);
    return out;
}
