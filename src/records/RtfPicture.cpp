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
#include "records/RtfGroupState.h"
#include "records/RtfLexer.h"
#include "records/RtfPictureBudget.h"
#include "records/RtfReader.h"

namespace RtfRead {

namespace {

constexpr int kPlaceholderSide = 96; // pixels, when a picture gives no size at all
// A placeholder is drawn scaled to its size; larger than a page, its pixels would only cost memory.
constexpr int kMaxPlaceholderSide = 1024;
// Ten of the widest pages: a picture may claim any size, and is shown no larger, in its proportions.
constexpr double kMaxDisplaySide = kMaxTwips * 10 / RtfReader::kTwipsPerPixel;
constexpr double kHimetricPerPixel = 2540.0 / 96.0; // metafile sizes are in hundredths of a millimetre
const QString kPictureScheme = QStringLiteral("rtfpicture:");

double twipsToPixels(int twips)
{
    return twips / RtfReader::kTwipsPerPixel;
}

QString sizeSuffix(QSize size)
{
    return QStringLiteral("@%1x%2").arg(size.width()).arg(size.height());
}

QImage placeholderImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
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
    size = QSizeF(size.width() * m_scalex / 100.0, size.height() * m_scaley / 100.0);
    if (size.width() > kMaxDisplaySide || size.height() > kMaxDisplaySide)
        size.scale(kMaxDisplaySide, kMaxDisplaySide, Qt::KeepAspectRatio);
    return size;
}

void Picture::finish(QByteArrayView written, DocumentSink& sink, PictureBudget& budget) const
{
    QTextImageFormat format;
    const bool drawn = (m_kind == Kind::Png || m_kind == Kind::Jpeg) && image(written, sink, budget, format);
    if (!drawn)
        placeholder(written, sink, budget, format);
    sink.image(format);
}

// False when Qt cannot read the picture.
bool Picture::image(QByteArrayView written, DocumentSink& sink, PictureBudget& budget, QTextImageFormat& format) const
{
    QBuffer buffer;
    buffer.setData(m_data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, m_kind == Kind::Png ? "png" : "jpeg");
    const QSize natural = reader.size();
    if (!natural.isValid())
        return false;
    const QByteArray hash = QCryptographicHash::hash(m_data, QCryptographicHash::Sha1).toHex();
    const QSizeF size = displaySize(natural);
    // The document decodes the bytes only while it draws them.
    if (PictureBudget::bytesOf(natural) <= RtfReader::kMaxPictureMemory) {
        const QString name = kPictureScheme + QLatin1StringView(hash);
        sink.addResource(name, m_data);
        format.setName(name);
        if (size.isValid() && size != QSizeF(natural)) {
            format.setWidth(size.width());
            format.setHeight(size.height());
        }
        return true;
    }
    // Held decoded: with no more pixels than it is shown with, and no more than the budget has left.
    QSize wanted = natural;
    const QSize shown = size.toSize().expandedTo(QSize(1, 1));
    if (wanted.width() > shown.width() || wanted.height() > shown.height())
        wanted.scale(shown, Qt::KeepAspectRatio);
    const QSize held = budget.given(hash).value_or(budget.fit(wanted));
    reader.setScaledSize(held);
    QImage decoded;
    {
        // Qt decodes some kinds of PNG (palette, grey, 16 bits) whole at 32 bits a pixel before it scales them.
        // Twice the budget lets a picture the size of a large screen through; a larger one is a placeholder
        // rather than a spike of Qt's own limit, four times the budget.
        const int qtLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(static_cast<int>(2 * RtfReader::kMaxPictureMemory / (1024 * 1024)));
        decoded = reader.read();
        QImageReader::setAllocationLimit(qtLimit);
    }
    if (decoded.isNull())
        return false;
    budget.take(hash, held);
    if (decoded.depth() > 32) // sixteen bits a channel
        decoded.convertTo(decoded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    const QString name = kPictureScheme + QLatin1StringView(hash) + sizeSuffix(decoded.size());
    sink.addResource(name, decoded);
    format.setName(name);
    format.setWidth(size.width());
    format.setHeight(size.height());
    format.setProperty(RtfReader::kOriginalPictureProperty, group(written));
    return true;
}

void Picture::placeholder(QByteArrayView written, DocumentSink& sink, PictureBudget& budget,
                          QTextImageFormat& format) const
{
    QSizeF size = displaySize({});
    if (!size.isValid())
        size = QSizeF(kPlaceholderSide, kPlaceholderSide);
    const QSize wanted =
        size.toSize().expandedTo(QSize(1, 1)).boundedTo(QSize(kMaxPlaceholderSide, kMaxPlaceholderSide));
    // Placeholders of one size are one image.
    const QByteArray key = "placeholder" + sizeSuffix(wanted).toLatin1();
    const std::optional<QSize> known = budget.given(key);
    const QSize held = known.value_or(budget.fit(wanted));
    const QString name = kPictureScheme + QStringLiteral("placeholder") + sizeSuffix(held);
    if (!known) {
        budget.take(key, held);
        sink.addResource(name, placeholderImage(held));
    }
    format.setName(name);
    format.setWidth(size.width());
    format.setHeight(size.height());
    format.setProperty(RtfReader::kOriginalPictureProperty, group(written));
}

} // namespace RtfRead
