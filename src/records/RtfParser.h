#pragma once

#include <vector>

#include <QByteArray>
#include <QByteArrayView>

#include "records/RtfDocumentSink.h"
#include "records/RtfGroupState.h"
#include "records/RtfLexer.h"
#include "records/RtfPicture.h"
#include "records/RtfPictureBudget.h"
#include "records/RtfTables.h"
#include "records/RtfTextDecoder.h"

class QTextDocument;

namespace RtfRead {

// Reads the tokens of one RTF body into a document: keeps the stack of group states, decides where each
// group's content goes (text, a table, a picture, nowhere) and acts on the control words.
class Parser {
public:
    // `start` is where "{\rtf" begins in the input.
    Parser(QByteArrayView rtf, qsizetype start, QTextDocument& document);

    // False when the input is refused: nested too deep or a picture too large.
    bool run();

private:
    void openGroup();
    void closeGroup(bool closed);
    void setDest(Dest dest);

    void controlWord(const Token& token);
    void controlSymbol(char c);
    void hexByte(uchar b);
    void literal(QByteArrayView bytes);
    void binary(QByteArrayView bytes);
    // Whether the next character is part of a \uN fallback, and so skipped.
    bool consumeSkip()
    {
        if (m_skip <= 0)
            return false;
        --m_skip;
        return true;
    }
    void word(Keyword keyword, bool hasParam, int param, qsizetype start);

    void paragraph();
    void beginPicture(qsizetype start);

    Lexer m_lexer;
    Tables m_tables;
    DocumentSink m_sink;
    GroupState m_state;
    TextDecoder m_text;
    std::vector<GroupState> m_stack;
    int m_depth = 0;
    bool m_done = false;
    bool m_failed = false;
    int m_skip = 0; // characters of a \uN fallback still to skip
    QByteArray m_shapeName;
    Picture m_picture;
    PictureBudget m_pictureBudget;
};

} // namespace RtfRead
