#pragma once

#include <map>

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include "records/RtfCodePages.h"
#include "records/RtfGroupState.h"

namespace RtfRead {

class DocumentSink;
class Tables;

// Turns the text of the input into characters of the document or of a font name: plain ASCII, code-page bytes
// (\'hh or raw) in the code page of the current font, and \uN values. The bytes of one character may come in
// separate escapes, even in separate groups, and a surrogate pair in two \uN, so both wait here until what
// follows shows they are complete.
class TextDecoder {
public:
    // The group state is the reader's current one, read at every call.
    TextDecoder(const GroupState& state, Tables& tables, DocumentSink& sink);

    void text(QStringView text);
    void text(QLatin1StringView text);
    void character(QChar c);
    void byte(uchar b);
    void unicode(int value);
    // Decodes the code-page bytes that wait.
    void flush();
    // A high surrogate that no low one followed becomes U+FFFD.
    void dropLoneSurrogate();
    // Whether the last byte opened a double-byte character, so that the next byte, even an ASCII one, ends it.
    bool leadOpen() const { return m_leadOpen; }

private:
    template <class Text> void plain(Text text);
    template <class Text> void deliver(Text text);
    Effective effective() const;
    int codePage(const Effective& props) const;
    QString decode(int codePage, QByteArrayView bytes);
    QStringDecoder& decoder(int codePage);

    const GroupState& m_state;
    Tables& m_tables;
    DocumentSink& m_sink;
    // One decoder per converter met in a body: opening an ICU converter costs more than a short run of text, and
    // every code page Qt does not know shares the Western one however many a body names.
    std::map<QByteArray, QStringDecoder> m_decoders;
    std::map<int, QStringDecoder*> m_decoderOfCodePage;

    char16_t m_highSurrogate = 0;
    QByteArray m_bytes; // code-page bytes not yet decoded, and where they go
    Dest m_bytesDest = Dest::Text;
    Effective m_bytesProps;
    int m_bytesCodePage = CodePages::kDefault;
    bool m_leadOpen = false;
};

} // namespace RtfRead
