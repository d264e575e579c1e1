#include "crypto/CodePage936.h"

#include <vector>

#include <QStringDecoder>
#include <QStringEncoder>

namespace CodePage936 {

namespace {

// Opening an ICU converter is not free; one stateless set per thread serves every call.
struct Converters {
    QStringEncoder gbkEncoder{"GBK", QStringConverter::Flag::Stateless};
    QStringDecoder gbkDecoder{"GBK", QStringConverter::Flag::Stateless};
    QStringEncoder gb18030Encoder{"GB18030", QStringConverter::Flag::Stateless};
    QStringDecoder gb18030Decoder{"GB18030", QStringConverter::Flag::Stateless};
};

Converters& converters()
{
    thread_local Converters instance;
    return instance;
}

QByteArray encodeWith(QStringEncoder& encoder, QStringView text)
{
    QByteArray bytes = encoder.encode(text);
    encoder.resetState();
    return bytes;
}

QString decodeWith(QStringDecoder& decoder, QByteArrayView bytes)
{
    QString text = decoder.decode(bytes);
    decoder.resetState();
    return text;
}

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isDigit(unsigned char byte)
{
    return byte >= 0x30 && byte <= 0x39;
}

bool isLead(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

// The code page's own bytes for one character, or nothing where it lacks the character (it writes '?'
// for most and drops a few invisible ones without a trace).
std::optional<QByteArray> codePageBytes(QStringView character)
{
    const QByteArray bytes = encodeWith(converters().gbkEncoder, character);
    if (bytes.isEmpty() || decodeWith(converters().gbkDecoder, bytes) != character)
        return std::nullopt;
    return bytes;
}

// GB18030's four bytes for a character the code page lacks. For a few dozen characters the later GB18030
// mapping gives two bytes that the code page reads as a private-use character; those characters keep the
// four bytes of that private-use character, exactly as the earlier GB18030 mapping had them.
QByteArray fourBytes(QStringView character)
{
    const QByteArray bytes = encodeWith(converters().gb18030Encoder, character);
    if (bytes.size() != 2)
        return bytes;
    return encodeWith(converters().gb18030Encoder, decodeWith(converters().gbkDecoder, bytes));
}

QString fromFourBytes(QByteArrayView bytes)
{
    const QString character = decodeWith(converters().gb18030Decoder, bytes);
    // The exchange made by fourBytes, undone: the private-use character's four bytes stand for the
    // character that the code page lacks.
    if (character.size() == 1) {
        if (const std::optional<QByteArray> pair = codePageBytes(character); pair && pair->size() == 2) {
            const QString exchanged = decodeWith(converters().gb18030Decoder, *pair);
            if (exchanged != character)
                return exchanged;
        }
    }
    return character;
}

// The code page's two-byte characters by lead byte (0x81-0xFE) and trail byte (0x40-0xFE), as the converter
// reads each pair; 0 where a pair reads as anything but one UTF-16 unit. Looking them up is many times faster
// than the converter, which the search feels: it decodes every caption, summary and body text it reads.
constexpr int kTrails = 0xFF - 0x40;

const std::vector<char16_t>& pairTable()
{
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> pairs(static_cast<std::size_t>(0xFF - 0x81) * kTrails, 0);
        const auto usable = [](QChar c) { return c != QChar::ReplacementCharacter && !c.isSurrogate(); };
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            // A lead's pairs in one call; one at a time where they do not read as one unit each.
            QByteArray bytes;
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail != 0x7F)
                    bytes.append(static_cast<char>(lead)).append(static_cast<char>(trail));
            }
            const QString all = decodeWith(converters().gbkDecoder, bytes);
            for (qsizetype i = 0; i < bytes.size(); i += 2) {
                QString one = all.size() * 2 == bytes.size() ? all.sliced(i / 2, 1) : QString();
                if (one.isEmpty() || !usable(one[0]))
                    one = decodeWith(converters().gbkDecoder, bytes.sliced(i, 2));
                if (one.size() == 1 && usable(one[0]))
                    pairs[static_cast<std::size_t>((lead - 0x81) * kTrails + static_cast<uchar>(bytes[i + 1]) - 0x40)] =
                        one[0].unicode();
            }
        }
        return pairs;
    }();
    return table;
}

// Text of single bytes below 0x80 and pairs the table holds, read through it; nothing for anything else.
std::optional<QString> fromPairs(QByteArrayView bytes)
{
    const std::vector<char16_t>& table = pairTable();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype length = 0;
    for (qsizetype i = 0; i < size;) {
        const unsigned char byte = in[i];
        if (byte < 0x80) {
            out[length++] = byte;
            ++i;
            continue;
        }
        if (!isLead(byte) || i + 1 == size || in[i + 1] < 0x40 || in[i + 1] == 0xFF)
            return std::nullopt;
        const char16_t unit = table[static_cast<std::size_t>((byte - 0x81) * kTrails + in[i + 1] - 0x40)];
        if (unit == 0)
            return std::nullopt;
        out[length++] = unit;
        i += 2;
    }
    text.truncate(length);
    return text;
}

bool mayHoldFourByteSequences(QByteArrayView bytes)
{
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        if (isLead(static_cast<unsigned char>(bytes[i])) && isDigit(static_cast<unsigned char>(bytes[i + 1])))
            return true;
    }
    return false;
}

} // namespace

QByteArray toBytes(QStringView text)
{
    if (isAscii(text))
        return text.toLatin1();
    // The code page alone, where it gives every character back.
    QByteArray bytes = encodeWith(converters().gbkEncoder, text);
    if (decodeWith(converters().gbkDecoder, bytes) == text)
        return bytes;
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const bool unpaired = !pair && text[i].isSurrogate();
        const QStringView character = text.sliced(i, pair ? 2 : 1);
        i += pair ? 2 : 1;
        if (unpaired) {
            bytes.append('?');
        } else if (const std::optional<QByteArray> own = codePageBytes(character)) {
            bytes.append(*own);
        } else {
            bytes.append(fourBytes(character));
        }
    }
    return bytes;
}

QString toText(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (std::optional<QString> text = fromPairs(bytes))
        return *std::move(text);
    if (!mayHoldFourByteSequences(bytes))
        return decodeWith(converters().gbkDecoder, bytes);
    // Runs of the code page's bytes between four-byte sequences, each part decoded on its own.
    QString text;
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!isLead(byte)) {
            ++i;
            continue;
        }
        if (i + 3 < bytes.size() && isDigit(static_cast<unsigned char>(bytes[i + 1]))) {
            text += decodeWith(converters().gbkDecoder, bytes.sliced(runStart, i - runStart));
            text += fromFourBytes(bytes.sliced(i, 4));
            i += 4;
            runStart = i;
        } else {
            i += 2;
        }
    }
    if (runStart < bytes.size())
        text += decodeWith(converters().gbkDecoder, bytes.sliced(runStart));
    return text;
}

QString roundTrip(QStringView text)
{
    return toText(toBytes(text));
}

std::optional<qsizetype> firstUnencodable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return i;
    }
    return std::nullopt;
}

QString lossyRoundTrip(QStringView text)
{
    if (isAscii(text))
        return text.toString();
    return decodeWith(converters().gbkDecoder, encodeWith(converters().gbkEncoder, text));
}

} // namespace CodePage936
