#pragma once

#include <optional>
#include <string_view>

#include <QByteArray>
#include <QSize>

#include "records/RtfKeywords.h"

class QTextImageFormat;

namespace RtfRead {

class DocumentSink;
class PictureBudget;

// One {\pict ...} group as it is read: its kind, sizes and data, and the control words that rebuild it. Once the
// group ends, it becomes an image in the document: PNG and JPEG as their own bytes, anything else as a placeholder
// that keeps the group for the writer. A PNG or JPEG too large to draw within the document's budget is held
// decoded at a smaller size, and keeps its group too.
class Picture {
public:
    Picture() = default;
    // At the \pict control word.
    explicit Picture(qsizetype start) : m_start(start) {}

    qsizetype start() const { return m_start; }

    // A control word inside the group; the keyword when the reader knows it.
    void word(std::string_view name, bool hasParam, int param, std::optional<Kw> keyword);
    // Hex digits of the data, or raw bytes after \bin. False when the data would pass RtfReader::kMaxPictureBytes.
    bool hex(QByteArrayView text);
    bool binary(QByteArrayView bytes);

    // Puts the picture into the document. `written` is the group as it stands in the input from its \pict to its
    // closing brace, or empty when the input ended inside it.
    void finish(QByteArrayView written, DocumentSink& sink, PictureBudget& budget) const;

private:
    enum class Kind : quint8 { Unknown, Png, Jpeg, Metafile, Bitmap };

    bool image(QByteArrayView written, DocumentSink& sink, PictureBudget& budget, QTextImageFormat& format) const;
    void placeholder(QByteArrayView written, DocumentSink& sink, PictureBudget& budget, QTextImageFormat& format) const;
    QByteArray group(QByteArrayView written) const;
    QSizeF displaySize(QSize natural) const;

    Kind m_kind = Kind::Unknown;
    int m_picw = 0;
    int m_pich = 0;
    int m_goalw = 0;
    int m_goalh = 0;
    int m_scalex = 100;
    int m_scaley = 100;
    QByteArray m_data;
    QByteArray m_words; // the control words of the group, to rebuild it when its bytes cannot be kept as they are
    qsizetype m_start = 0;
    int m_highNibble = -1;
    bool m_binary = false;
};

} // namespace RtfRead
