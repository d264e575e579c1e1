#pragma once

#include <map>
#include <string>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// The text of an RTF body and nothing else: no markup, font or colour tables, pictures or field
// instructions. Much faster than reading the body into a document, for a search that only needs its words.
// Code-page bytes are read in the document's code page; the fonts' own charsets are not followed.
class RtfPlainText final {
public:
    // Paragraphs and line breaks become '\n', so a match never joins the words on either side of one.
    QString text(QByteArrayView rtf);

private:
    void flushBytes(QString& out);
    QStringDecoder& decoder();

    std::map<int, QStringDecoder> m_decoders; // opening a converter costs more than a short body
    int m_codePage = 0;
    std::string m_bytes; // appended to a byte at a time: QByteArray's append is no inline call
};
