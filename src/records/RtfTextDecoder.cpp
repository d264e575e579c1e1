#include "records/RtfTextDecoder.h"

#include <type_traits>

#include "crypto/CodePage936.h"
#include "records/RtfDocumentSink.h"
#include "records/RtfTables.h"

namespace RtfRead {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

} // namespace

TextDecoder::TextDecoder(const GroupState& state, Tables& tables, DocumentSink& sink)
    : m_state(state), m_tables(tables), m_sink(sink)
{
}

template <class Text> void TextDecoder::deliver(Text text)
{
    if (m_state.dest == Dest::Text) {
        m_sink.text(text, effective());
    } else if (m_state.dest == Dest::FontTable) {
        if constexpr (std::is_same_v<Text, QLatin1StringView>)
            m_tables.fontNameText(QString(text));
        else
            m_tables.fontNameText(text);
    }
}

template <class Text> void TextDecoder::plain(Text text)
{
    flush();
    dropLoneSurrogate();
    deliver(text);
}

void TextDecoder::text(QStringView text)
{
    plain(text);
}

void TextDecoder::text(QLatin1StringView text)
{
    plain(text);
}

void TextDecoder::character(QChar c)
{
    plain(QStringView(&c, 1));
}

void TextDecoder::byte(uchar b)
{
    dropLoneSurrogate();
    const Effective props = effective();
    const int page = codePage(props);
    if (!m_bytes.isEmpty() && !m_leadOpen) {
        const bool sameText = m_bytesDest == m_state.dest && (m_bytesDest != Dest::Text || props == m_bytesProps);
        if (!sameText || page != m_bytesCodePage)
            flush();
    }
    if (m_bytes.isEmpty()) {
        m_bytesDest = m_state.dest;
        m_bytesProps = props;
        m_bytesCodePage = page;
    }
    m_bytes.append(static_cast<char>(b));
    m_leadOpen = !m_leadOpen && CodePages::isLeadByte(m_bytesCodePage, b);
}

void TextDecoder::flush()
{
    if (m_bytes.isEmpty())
        return;
    const QString decoded = decode(m_bytesCodePage, m_bytes);
    m_bytes.clear();
    m_leadOpen = false;
    if (m_bytesDest == Dest::Text)
        m_sink.text(QStringView(decoded), m_bytesProps);
    else if (m_bytesDest == Dest::FontTable)
        m_tables.appendFontName(decoded);
}

void TextDecoder::unicode(int value)
{
    flush();
    if (value < 0)
        value += 0x10000;
    if (value >= 0xD800 && value <= 0xDBFF) {
        dropLoneSurrogate();
        m_highSurrogate = static_cast<char16_t>(value);
        return;
    }
    if (value >= 0xDC00 && value <= 0xDFFF) {
        if (m_highSurrogate) {
            const char16_t pair[2] = {m_highSurrogate, static_cast<char16_t>(value)};
            m_highSurrogate = 0;
            deliver(QStringView(pair, 2));
        } else {
            deliver(QStringView(&kReplacement, 1));
        }
        return;
    }
    dropLoneSurrogate();
    if (value > 0xFFFF && value <= 0x10FFFF) {
        const char32_t codePoint = static_cast<char32_t>(value);
        deliver(QStringView(QChar::fromUcs4(codePoint)));
    } else if (value < 0 || value > 0x10FFFF) {
        deliver(QStringView(&kReplacement, 1));
    } else if (value != 0) {
        const QChar c(static_cast<char16_t>(value));
        deliver(QStringView(&c, 1));
    }
}

void TextDecoder::dropLoneSurrogate()
{
    if (!m_highSurrogate)
        return;
    m_highSurrogate = 0;
    deliver(QStringView(&kReplacement, 1));
}

Effective TextDecoder::effective() const
{
    return m_state.chr.effective(m_tables.defaultFont());
}

int TextDecoder::codePage(const Effective& props) const
{
    return m_state.dest == Dest::FontTable ? m_tables.entryCodePage() : m_tables.codePageOf(props.font);
}

QString TextDecoder::decode(int codePage, QByteArrayView bytes)
{
    if (codePage == 936)
        return CodePage936::toText(bytes);
    return decoder(codePage).decode(bytes);
}

QStringDecoder& TextDecoder::decoder(int codePage)
{
    const auto known = m_decoderOfCodePage.find(codePage);
    if (known != m_decoderOfCodePage.end())
        return *known->second;
    QStringDecoder made = CodePages::decoder(codePage);
    const QByteArray name = made.name();
    auto named = m_decoders.find(name);
    if (named == m_decoders.end())
        named = m_decoders.emplace(name, std::move(made)).first;
    m_decoderOfCodePage.emplace(codePage, &named->second);
    return named->second;
}

} // namespace RtfRead
