#pragma once

#include <string_view>

#include <QByteArrayView>

namespace RtfRead {

// One piece of RTF: a brace, a control word or symbol, a \'hh escape, a run of literal text or the raw bytes of
// a \bin.
struct Token {
    enum class Kind : quint8 { End, OpenGroup, CloseGroup, Word, Symbol, HexByte, Text, Binary };
    Kind kind = Kind::End;
    qsizetype start = 0;   // where the token starts in the input
    std::string_view name; // Word: its letters
    bool hasParam = false; // Word: whether a number follows the letters
    int param = 0;         // Word: the number, clamped to int; HexByte: the byte
    char symbol = 0;       // Symbol: the character after the backslash
    QByteArrayView bytes;  // Text: up to the next backslash, brace or line end; Binary: the bytes
};

// Splits RTF into tokens. Line ends between tokens mean nothing and are dropped, as is a \' escape without its
// two hex digits. Knows nothing of groups or destinations: what a token means is the reader's business.
class Lexer {
public:
    Lexer(QByteArrayView input, qsizetype start);

    Token next();
    // Just past the last token returned.
    qsizetype position() const { return m_pos; }
    QByteArrayView input() const { return m_in; }

    // The value of a hex digit, or -1.
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

private:
    bool controlSequence(Token& token);
    void controlWord(Token& token);
    Token literal();

    QByteArrayView m_in;
    qsizetype m_pos;
};

} // namespace RtfRead
