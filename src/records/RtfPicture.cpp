#include "records/RtfPicture.h"

#include <algorithm>

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTextImageFormat>

#include "records/RtfDocumentSink.h"
#include "records/RtfLexer.h"
#include "records/RtfReader.h"

namespace RtfRead {

namespace {

constexpr int kMaxTwips = 31680;     // 22 inches, the widest page RTF describes
constexpr int kPlaceholderSide = 96; // pixels, when a picture gives no size at all
constexpr int kMaxPlaceholderSide = 2048;
constexpr double kHimetricPerPixel = 2540.0 / 96.0; // metafile sizes are in hundredths of a millimetre
const QString kPictureScheme = QStringLiteral("rtfpicture:");

double twipsToPixels(int twips)
{
    return twips / RtfReader::kTwipsPerPixel;
}

QImage placeholderImage(QSize size)
{
    QImage image(size.boundedTo(QSize(kMaxPlaceholderSide, kMaxPlaceholderSide)), QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter painter(&image);
    painter.setPen(QColor(160, 160, 160));
    const QRect frame = image.rect().adjusted(0, 0, -1, -1);
    painter.drawRect(frame);
    painter.drawLine(frame.topLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomLeft());
    return image;
}

} // namespace

void Picture::word(std::string_view name, bool hasParam, int param, std::optional<Kw> keyword)
{
    if (name != "bin") {
        m_words.append('\\');
        m_words.append(name.data(), static_cast<qsizetype>(name.size()));
        if (hasParam)
            m_words.append(QByteArray::number(param));
    }
    if (!keyword)
        return;
    switch (*keyword) {
    case Kw::PngBlip:
        m_kind = Kind::Png;
        break;
    case Kw::JpegBlip:
        m_kind = Kind::Jpeg;
        break;
    case Kw::MetafileBlip:
        m_kind = Kind::Metafile;
        break;
    case Kw::BitmapBlip:
        m_kind = Kind::Bitmap;
        break;
    case Kw::Picw:
        m_picw = std::max(param, 0);
        break;
    case Kw::Pich:
        m_pich = std::max(param, 0);
        break;
    case Kw::PicwGoal:
        m_goalw = std::clamp(param, 0, kMaxTwips * 10);
        break;
    case Kw::PichGoal:
        m_goalh = std::clamp(param, 0, kMaxTwips * 10);
        break;
    case Kw::PicScaleX:
        m_scalex = std::clamp(param, 1, 1000);
        break;
    case Kw::PicScaleY:
        m_scaley = std::clamp(param, 1, 1000);
        break;
    default:
        break;
    }
}

bool Picture::hex(QByteArrayView text)
{
    for (char c : text) {
        const int v = Lexer::hexValue(c);
        if (v < 0)
            continue;
        if (m_highNibble < 0) {
            m_highNibble = v;
            continue;
        }
        if (m_data.size() >= RtfReader::kMaxPictureBytes)
            return false;
        m_data.append(static_cast<char>(m_highNibble * 16 + v));
        m_highNibble = -1;
    }
    return true;
}

bool Picture::binary(QByteArrayView bytes)
{
    if (m_data.size() + bytes.size() > RtfReader::kMaxPictureBytes)
        return false;
    m_data.append(bytes);
    m_binary = true;
    return true;
}

// The group as it stands in the input when it closed properly and is plain 7-bit RTF; otherwise rebuilt from its
// control words and data, so that a writer can always put it back.
QByteArray Picture::group(QByteArrayView written) const
{
    if (!written.isEmpty() && !m_binary) {
        if (std::all_of(written.begin(), written.end(), [](char c) { return c > 0 && c < 0x7F; }))
            return '{' + written.toByteArray();
    }
    return "{\\pict" + m_words + '\n' + m_data.toHex() + '}';
}

QSizeF Picture::displaySize(QSize natural) const
{
    QSizeF size;
    if (m_goalw > 0 && m_goalh > 0)
        size = QSizeF(twipsToPixels(m_goalw), twipsToPixels(m_goalh));
    else if (m_kind == Kind::Metafile && m_picw > 0 && m_pich > 0)
        size = QSizeF(m_picw / kHimetricPerPixel, m_pich / kHimetricPerPixel);
    else if (natural.isValid())
        size = natural;
    else if (m_picw > 0 && m_pich > 0)
        size = QSizeF(m_picw, m_pich);
    else
        return {};
    return QSizeF(size.width() * m_scalex / 100.0, size.height() * m_scaley / 100.0);
}

void Picture::finish(QByteArrayView written, DocumentSink& sink) const
{
    QSize natural;
    if (m_kind == Kind::Png || m_kind == Kind::Jpeg) {
        QBuffer buffer;
        buffer.setData(m_data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, m_kind == Kind::Png ? "png" : "jpeg");
        natural = reader.size();
    }
    QTextImageFormat format;
    if (natural.isValid()) {
        const QString name = kPictureScheme + QCryptographicHash::hash(m_data, QCryptographicHash::Sha1).toHex();
        sink.addResource(name, m_data);
        format.setName(name);
        const QSizeF size = displaySize(natural);
        if (size.isValid() && size != QSizeF(natural)) {
            format.setWidth(size.width());
            format.setHeight(size.height());
        }
    } else {
        const QByteArray kept = group(written);
        QSizeF size = displaySize({});
        if (!size.isValid())
            size = QSizeF(kPlaceholderSide, kPlaceholderSide);
        const QSize pixels = size.toSize().expandedTo(QSize(1, 1));
        const QString name = kPictureScheme + QCryptographicHash::hash(kept, QCryptographicHash::Sha1).toHex();
        sink.addResource(name, placeholderImage(pixels));
        format.setName(name);
        format.setWidth(size.width());
        format.setHeight(size.height());
        format.setProperty(RtfReader::kOriginalPictureProperty, kept);
    }
    sink.image(format);
}

} // namespace RtfRead
