#include "records/SearchFolding.h"

#include <array>
#include <memory>

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace SearchFolding {

namespace {

using Table = std::array<char16_t, 0x10000>;

bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// The transliterator maps phrases as well as characters and is slow per call: it sees every ideograph of the
// basic plane once, one to a line, and only the lines that come back as one character count.
void foldTraditional(Table& table)
{
    constexpr char16_t first = 0x3400;
    constexpr char16_t last = 0x9FFF;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> toSimplified(
        icu::Transliterator::createInstance("Traditional-Simplified", UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !toSimplified)
        return;
    icu::UnicodeString lines;
    for (char32_t c = first; c <= last; ++c) {
        lines.append(static_cast<char16_t>(c));
        lines.append(u'\n');
    }
    toSimplified->transliterate(lines);
    Table simplified{};
    char32_t source = first;
    int32_t lineStart = 0;
    for (int32_t i = 0; i < lines.length() && source <= last; ++i) {
        if (lines[i] != u'\n')
            continue;
        simplified[source] = i - lineStart == 1 ? lines[lineStart] : static_cast<char16_t>(source);
        ++source;
        lineStart = i + 1;
    }
    if (source != last + 1)
        return; // the lines no longer line up with their sources: keep the characters as they are
    for (char16_t& folded : table) {
        if (folded >= first && folded <= last && simplified[folded] != 0)
            folded = simplified[folded];
    }
}

Table buildTable()
{
    Table table;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
    for (char32_t c = 0; c < table.size(); ++c) {
        char32_t folded = c;
        if (!isSurrogate(c) && nfkc) {
            UErrorCode normalizing = U_ZERO_ERROR;
            const icu::UnicodeString wide = nfkc->normalize(icu::UnicodeString(static_cast<UChar32>(c)), normalizing);
            if (U_SUCCESS(normalizing) && wide.length() == 1)
                folded = wide[0];
            const UChar32 lower = u_foldCase(static_cast<UChar32>(folded), U_FOLD_CASE_DEFAULT);
            if (lower >= 0 && lower < 0x10000 && !isSurrogate(static_cast<char32_t>(lower)))
                folded = static_cast<char32_t>(lower);
        }
        table[c] = static_cast<char16_t>(folded);
    }
    foldTraditional(table);
    return table;
}

const Table& table()
{
    static const Table built = buildTable();
    return built;
}

} // namespace

char16_t fold(char16_t c)
{
    return table()[c];
}

void fold(QStringView text, QString& buffer)
{
    const Table& map = table();
    buffer.resize(text.size());
    char16_t* out = reinterpret_cast<char16_t*>(buffer.data());
    const char16_t* in = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = map[in[i]];
}

QString folded(QStringView text)
{
    QString buffer;
    fold(text, buffer);
    return buffer;
}

Matcher::Matcher(QStringView needle) : m_needle(folded(needle)), m_matcher(m_needle, Qt::CaseSensitive) {}

qsizetype Matcher::find(QStringView text, QString& buffer) const
{
    if (m_needle.isEmpty() || text.size() < m_needle.size())
        return -1;
    fold(text, buffer);
    return m_matcher.indexIn(QStringView(buffer));
}

} // namespace SearchFolding
