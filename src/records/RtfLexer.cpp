#include "records/RtfLexer.h"

#include <algorithm>
#include <climits>

namespace RtfRead {

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

Lexer::Lexer(QByteArrayView input, qsizetype start) : m_in(input), m_pos(start) {}

Token Lexer::next()
{
    while (m_pos < m_in.size()) {
        Token token;
        token.start = m_pos;
        switch (m_in[m_pos]) {
        case '{':
            ++m_pos;
            token.kind = Token::Kind::OpenGroup;
            return token;
        case '}':
            ++m_pos;
            token.kind = Token::Kind::CloseGroup;
            return token;
        case '\\':
            if (controlSequence(token))
                return token;
            break;
        case '\r':
        case '\n':
            ++m_pos;
            break;
        default:
            return literal();
        }
    }
    return {};
}

// False when the sequence is a broken escape or the input ends after the backslash: nothing to report.
bool Lexer::controlSequence(Token& token)
{
    ++m_pos;
    if (m_pos >= m_in.size())
        return false;
    const char c = m_in[m_pos];
    if (isLetter(c)) {
        controlWord(token);
        return true;
    }
    ++m_pos;
    if (c == '\'') {
        const int high = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
        if (high < 0)
            return false;
        ++m_pos;
        const int low = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
        if (low < 0)
            return false; // a broken escape goes with its one digit
        ++m_pos;
        token.kind = Token::Kind::HexByte;
        token.param = high * 16 + low;
        return true;
    }
    token.kind = Token::Kind::Symbol;
    token.symbol = c;
    return true;
}

void Lexer::controlWord(Token& token)
{
    const qsizetype nameStart = m_pos;
    while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
        ++m_pos;
    token.name = std::string_view(m_in.data() + nameStart, static_cast<size_t>(m_pos - nameStart));
    long long value = 0;
    const bool negative = m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1]);
    if (negative)
        ++m_pos;
    while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
        token.hasParam = true;
        if (value <= INT_MAX)
            value = value * 10 + (m_in[m_pos] - '0');
        ++m_pos;
    }
    if (m_pos < m_in.size() && m_in[m_pos] == ' ')
        ++m_pos;
    token.param = static_cast<int>(std::clamp<long long>(negative ? -value : value, -INT_MAX, INT_MAX));
    token.kind = Token::Kind::Word;

    // \bin is followed by raw bytes, which nothing may read as RTF; a count past the end takes what is there.
    if (token.name == "bin") {
        const qsizetype count = token.hasParam ? std::max(token.param, 0) : 0;
        const qsizetype n = std::min<qsizetype>(count, m_in.size() - m_pos);
        token.kind = Token::Kind::Binary;
        token.bytes = m_in.sliced(m_pos, n);
        m_pos += n;
    }
}

Token Lexer::literal()
{
    Token token;
    token.kind = Token::Kind::Text;
    token.start = m_pos;
    while (m_pos < m_in.size()) {
        const char c = m_in[m_pos];
        if (c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n')
            break;
        ++m_pos;
    }
    token.bytes = m_in.sliced(token.start, m_pos - token.start);
    return token;
}

} // namespace RtfRead
