#include "records/RtfWriter.h"

#include <algorithm>
#include <array>
#include <vector>

#include <QBuffer>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

#include "crypto/CodePage936.h"
#include "records/RtfReader.h"

namespace RtfWriter {

namespace {

constexpr int kMaxHalfPoints = 3276;
constexpr qsizetype kHexBytesPerLine = 64;
constexpr double kPointsPerPixel = 72.0 / 96.0;
// Used only when neither the text nor the document names a face.
const QString kFallbackFace = QStringLiteral("宋体");

// For every UTF-16 code unit, its two code-page 936 bytes (lead << 8 | trail), or 0 where the code page has no
// double-byte character for it. Built once from the program's own 936 conversion, keeping only pairs that
// convert back to the same character. Each character goes in on a line of its own: the converter drops some
// characters (soft hyphen and other ignorables) without a trace, and a line feed is never part of a pair.
const std::vector<quint16>& doubleByteTable()
{
    static const std::vector<quint16> table = [] {
        std::vector<quint16> result(0x10000, 0);
        std::vector<char16_t> characters;
        QString lines;
        for (char32_t u = 0x80; u <= 0xFFFF; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            characters.push_back(static_cast<char16_t>(u));
            lines.append(QChar(static_cast<char16_t>(u)));
            lines.append(u'\n');
        }
        const QList<QByteArray> encoded = CodePage936::toBytes(lines).split('\n');
        std::vector<char16_t> candidates;
        QByteArray pairs;
        for (size_t i = 0; i < characters.size() && i < static_cast<size_t>(encoded.size()); ++i) {
            const QByteArray& bytes = encoded[static_cast<qsizetype>(i)];
            if (bytes.size() == 2 && static_cast<uchar>(bytes[0]) >= 0x81 && static_cast<uchar>(bytes[0]) <= 0xFE) {
                candidates.push_back(characters[i]);
                pairs.append(bytes);
                pairs.append('\n');
            }
        }
        const QStringList back = CodePage936::toText(pairs).split(u'\n');
        for (size_t i = 0; i < candidates.size() && i < static_cast<size_t>(back.size()); ++i) {
            const QString& decoded = back[static_cast<qsizetype>(i)];
            if (decoded.size() == 1 && decoded[0].unicode() == candidates[i]) {
                const auto at = static_cast<qsizetype>(i) * 3;
                result[candidates[i]] =
                    static_cast<quint16>(static_cast<uchar>(pairs[at]) << 8 | static_cast<uchar>(pairs[at + 1]));
            }
        }
        return result;
    }();
    return table;
}

// Whether a face is meant for Chinese text: a Chinese name, or the Latin name of a common Chinese face.
bool isChineseFace(const QString& face)
{
    if (std::any_of(face.cbegin(), face.cend(), [](QChar c) { return c.unicode() >= 0x2E80; }))
        return true;
    static const std::array<QLatin1StringView, 22> prefixes = {
        QLatin1StringView("SimSun"),
        QLatin1StringView("NSimSun"),
        QLatin1StringView("SimHei"),
        QLatin1StringView("SimKai"),
        QLatin1StringView("SimFang"),
        QLatin1StringView("KaiTi"),
        QLatin1StringView("FangSong"),
        QLatin1StringView("Microsoft YaHei"),
        QLatin1StringView("YouYuan"),
        QLatin1StringView("DengXian"),
        QLatin1StringView("LiSu"),
        QLatin1StringView("STSong"),
        QLatin1StringView("STHeiti"),
        QLatin1StringView("STKaiti"),
        QLatin1StringView("STFangsong"),
        QLatin1StringView("STXihei"),
        QLatin1StringView("WenQuanYi"),
        QLatin1StringView("AR PL"),
        QLatin1StringView("Source Han"),
        QLatin1StringView("PingFang"),
        QLatin1StringView("Hiragino Sans GB"),
        QLatin1StringView("Droid Sans Fallback"),
    };
    if (face.contains(QLatin1StringView("CJK"), Qt::CaseInsensitive))
        return true;
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&face](QLatin1StringView prefix) { return face.startsWith(prefix, Qt::CaseInsensitive); });
}

struct Props {
    int font = -1;
    int halfPoints = -1;
    int colour = -1; // 0: automatic
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

void appendHexByte(QByteArray& out, uchar b)
{
    static constexpr char digits[] = "0123456789abcdef";
    out.append(digits[b >> 4]);
    out.append(digits[b & 0xF]);
}

// A group the reader kept for a placeholder goes back only if it is still a sound group of 7-bit RTF.
bool isSoundPictureGroup(const QByteArray& group)
{
    if (!group.startsWith("{\\pict"))
        return false;
    int depth = 0;
    for (qsizetype i = 0; i < group.size(); ++i) {
        const char c = group[i];
        if (c <= 0 || c >= 0x7F)
            return false;
        if (c == '\\') {
            ++i;
            if (i < group.size() && (group[i] <= 0 || group[i] >= 0x7F))
                return false;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return i == group.size() - 1;
        }
    }
    return false;
}

class Writer {
public:
    explicit Writer(const QTextDocument& document) : m_document(document), m_defaultFont(document.defaultFont())
    {
        fontIndex(faceOf(m_defaultFont));
    }

    QByteArray write()
    {
        m_body.reserve(m_document.characterCount() * 4);
        for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next())
            paragraph(block);

        QByteArray out("{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1\n{\\fonttbl");
        for (qsizetype i = 0; i < m_faces.size(); ++i) {
            const bool chinese = m_chinese[i];
            out.append("{\\f" + QByteArray::number(i) + (chinese ? "\\fnil\\fcharset134 " : "\\fnil\\fcharset0 "));
            appendText(out, m_faces[i], chinese);
            out.append(";}");
        }
        out.append("}\n{\\colortbl ;");
        for (QRgb rgb : std::as_const(m_colours)) {
            out.append("\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) +
                       "\\blue" + QByteArray::number(qBlue(rgb)) + ';');
        }
        out.append("}\n");
        out.append(m_body);
        out.append('}');
        return out;
    }

private:
    // The face's name as the font table holds it. A name keeps no ';' (it ends the entry), nothing that is
    // written as a control word or left out in text (a reader would not take it back into a name) and no blanks
    // at its ends (readers trim them): the name read back is then the name written, and so is its charset.
    static QString faceOf(const QFont& font)
    {
        const QStringList families = font.families();
        QString face = families.isEmpty() ? font.family() : families.constFirst();
        face.removeIf([](QChar c) {
            const char16_t u = c.unicode();
            return u == u';' || u < 0x20 || u == 0x7F || u == 0xA0 || u == 0xAD || u == 0x2011 || u == 0x2028 ||
                   u == 0x2029 || u == 0xFFFC || u == 0xFDD0 || u == 0xFDD1;
        });
        face = face.trimmed();
        return face.isEmpty() ? kFallbackFace : face;
    }

    int fontIndex(const QString& face)
    {
        const auto found = m_fontIndex.constFind(face);
        if (found != m_fontIndex.cend())
            return *found;
        const auto index = static_cast<int>(m_faces.size());
        m_faces.append(face);
        m_chinese.append(isChineseFace(face));
        m_fontIndex.insert(face, index);
        return index;
    }

    int colourIndex(const QColor& colour)
    {
        const QRgb rgb = colour.rgb() | 0xFF000000u;
        const auto found = m_colourIndex.constFind(rgb);
        if (found != m_colourIndex.cend())
            return *found;
        m_colours.append(rgb);
        const auto index = static_cast<int>(m_colours.size()); // entry 0 is the automatic colour
        m_colourIndex.insert(rgb, index);
        return index;
    }

    Props propsOf(const QTextCharFormat& format)
    {
        const QFont font = format.font().resolve(m_defaultFont);
        Props props;
        props.font = fontIndex(faceOf(font));
        double points = font.pointSizeF();
        if (points <= 0 && font.pixelSize() > 0)
            points = font.pixelSize() * kPointsPerPixel;
        if (points <= 0)
            points = 12;
        props.halfPoints = std::clamp(qRound(points * 2), 1, kMaxHalfPoints);
        props.bold = font.bold();
        props.italic = font.italic();
        props.underline = font.underline() || format.underlineStyle() != QTextCharFormat::NoUnderline;
        props.strike = font.strikeOut();
        const QBrush brush = format.foreground();
        props.colour = format.hasProperty(QTextFormat::ForegroundBrush) && brush.style() != Qt::NoBrush
                           ? colourIndex(brush.color())
                           : 0;
        return props;
    }

    Props cachedProps(int formatIndex, const QTextCharFormat& format)
    {
        const auto found = m_propsByFormat.constFind(formatIndex);
        if (found != m_propsByFormat.cend())
            return *found;
        const Props props = propsOf(format);
        m_propsByFormat.insert(formatIndex, props);
        return props;
    }

    void switchTo(const Props& props)
    {
        const qsizetype before = m_body.size();
        const auto number = [this](const char* word, int value) {
            m_body.append(word);
            m_body.append(QByteArray::number(value));
        };
        const auto effect = [this](const char* on, const char* off, bool value) {
            m_body.append(value ? on : off);
        };
        if (props.font != m_current.font)
            number("\\f", props.font);
        if (props.halfPoints != m_current.halfPoints)
            number("\\fs", props.halfPoints);
        if (props.colour != m_current.colour)
            number("\\cf", props.colour);
        if (!m_currentKnown || props.bold != m_current.bold)
            effect("\\b", "\\b0", props.bold);
        if (!m_currentKnown || props.italic != m_current.italic)
            effect("\\i", "\\i0", props.italic);
        if (!m_currentKnown || props.underline != m_current.underline)
            effect("\\ul", "\\ulnone", props.underline);
        if (!m_currentKnown || props.strike != m_current.strike)
            effect("\\strike", "\\strike0", props.strike);
        if (m_body.size() != before)
            m_body.append(' ');
        m_current = props;
        m_currentKnown = true;
    }

    void paragraph(const QTextBlock& block)
    {
        const QTextBlockFormat format = block.blockFormat();
        m_body.append("\\pard");
        const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
        if (alignment & Qt::AlignHCenter)
            m_body.append("\\qc");
        else if (alignment & Qt::AlignJustify)
            m_body.append("\\qj");
        else if ((alignment & Qt::AlignRight) && !(alignment & Qt::AlignLeft))
            m_body.append("\\qr");
        const double left = format.leftMargin() + format.indent() * m_document.indentWidth();
        const std::array<std::pair<const char*, double>, 5> lengths = {{
            {"\\li", left},
            {"\\ri", format.rightMargin()},
            {"\\fi", format.textIndent()},
            {"\\sb", format.topMargin()},
            {"\\sa", format.bottomMargin()},
        }};
        for (const auto& [word, pixels] : lengths) {
            const int twips = qRound(pixels * RtfReader::kTwipsPerPixel);
            if (twips != 0) {
                m_body.append(word);
                m_body.append(QByteArray::number(twips));
            }
        }
        if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            m_body.append("\\pagebb");
        m_body.append(' ');

        bool empty = true;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            empty = false;
            const QTextCharFormat charFormat = fragment.charFormat();
            const QString text = fragment.text();
            if (charFormat.isImageFormat()) {
                for (QChar c : text) {
                    if (c == QChar::ObjectReplacementCharacter)
                        picture(charFormat.toImageFormat());
                }
                continue;
            }
            const Props props = cachedProps(fragment.charFormatIndex(), charFormat);
            switchTo(props);
            appendText(m_body, text, m_chinese[props.font]);
        }
        // An empty line keeps the size and face of its paragraph mark.
        if (empty)
            switchTo(propsOf(block.charFormat()));
        m_body.append("\\par\n");
    }

    static void appendUnicode(QByteArray& out, char16_t c)
    {
        out.append("\\u");
        out.append(QByteArray::number(c > 0x7FFF ? static_cast<int>(c) - 0x10000 : static_cast<int>(c)));
        out.append('?');
    }

    static void appendText(QByteArray& out, QStringView text, bool chinese)
    {
        const std::vector<quint16>& table = doubleByteTable();
        for (QChar qc : text) {
            const char16_t c = qc.unicode();
            if (c < 0x80) {
                switch (c) {
                case u'\\':
                    out.append("\\\\");
                    break;
                case u'{':
                    out.append("\\{");
                    break;
                case u'}':
                    out.append("\\}");
                    break;
                case u'\t':
                    out.append("\\tab ");
                    break;
                default:
                    if (c >= 0x20)
                        out.append(static_cast<char>(c));
                    break;
                }
                continue;
            }
            switch (c) {
            case 0x2028:
            case 0x2029:
                out.append("\\line ");
                continue;
            case 0x00A0:
                out.append("\\~");
                continue;
            case 0x00AD:
                out.append("\\-");
                continue;
            case 0x2011:
                out.append("\\_");
                continue;
            case 0xFFFC: // objects other than pictures have no RTF form
            case 0xFDD0: // frame boundaries of tables
            case 0xFDD1:
                continue;
            default:
                break;
            }
            const quint16 pair = chinese ? table[c] : 0;
            if (pair != 0) {
                out.append("\\'");
                appendHexByte(out, static_cast<uchar>(pair >> 8));
                out.append("\\'");
                appendHexByte(out, static_cast<uchar>(pair & 0xFF));
            } else {
                appendUnicode(out, c);
            }
        }
    }

    void picture(const QTextImageFormat& format)
    {
        const QByteArray original = format.property(RtfReader::kOriginalPictureProperty).toByteArray();
        if (!original.isEmpty() && isSoundPictureGroup(original)) {
            m_body.append(original);
            return;
        }
        const QVariant resource = m_document.resource(QTextDocument::ImageResource, QUrl(format.name()));
        QByteArray data;
        const char* blip = "\\pngblip";
        QSize natural;
        if (resource.userType() == QMetaType::QByteArray) {
            data = resource.toByteArray();
            if (data.startsWith("\x89PNG\r\n\x1a\n")) {
                natural = imageSize(data, "png");
            } else if (data.startsWith("\xff\xd8\xff")) {
                blip = "\\jpegblip";
                natural = imageSize(data, "jpeg");
            }
            if (!natural.isValid()) {
                // Some other picture format in the document: it is kept as PNG.
                data = pngOf(QImage::fromData(data));
                blip = "\\pngblip";
                natural = imageSize(data, "png");
            }
        } else if (resource.userType() == QMetaType::QImage || resource.userType() == QMetaType::QPixmap) {
            const QImage image = resource.userType() == QMetaType::QImage ? resource.value<QImage>()
                                                                          : resource.value<QPixmap>().toImage();
            data = pngOf(image);
            natural = image.size();
        }
        if (data.isEmpty() || !natural.isValid() || natural.isEmpty())
            return; // nothing the document can show, so nothing to keep

        double width = format.width();
        double height = format.height();
        if (width <= 0 && height <= 0) {
            width = natural.width();
            height = natural.height();
        } else if (width <= 0) {
            width = height * natural.width() / natural.height();
        } else if (height <= 0) {
            height = width * natural.height() / natural.width();
        }
        m_body.append("{\\pict");
        m_body.append(blip);
        m_body.append("\\picw" + QByteArray::number(natural.width()) + "\\pich" + QByteArray::number(natural.height()) +
                      "\\picwgoal" + QByteArray::number(qRound(width * RtfReader::kTwipsPerPixel)) + "\\pichgoal" +
                      QByteArray::number(qRound(height * RtfReader::kTwipsPerPixel)));
        m_body.reserve(m_body.size() + data.size() * 2 + data.size() / kHexBytesPerLine + 4);
        for (qsizetype i = 0; i < data.size(); ++i) {
            if (i % kHexBytesPerLine == 0)
                m_body.append('\n');
            appendHexByte(m_body, static_cast<uchar>(data[i]));
        }
        m_body.append("}");
    }

    static QSize imageSize(const QByteArray& data, const char* format)
    {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        return QImageReader(&buffer, format).size();
    }

    static QByteArray pngOf(const QImage& image)
    {
        if (image.isNull())
            return {};
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }

    const QTextDocument& m_document;
    const QFont m_defaultFont;
    QByteArray m_body;
    QStringList m_faces;
    QList<bool> m_chinese;
    QHash<QString, int> m_fontIndex;
    QList<QRgb> m_colours;
    QHash<QRgb, int> m_colourIndex;
    QHash<int, Props> m_propsByFormat;
    Props m_current;
    bool m_currentKnown = false;
};

} // namespace

QByteArray write(const QTextDocument& document)
{
    return Writer(document).write();
}

} // namespace RtfWriter
