#include "crypto/PasswordGenerator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>

#include <QStringList>

#include "crypto/PinyinSyllables.h"
#include "crypto/RandomSource.h"

namespace PasswordGenerator {

namespace {

const QString kUpper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString kLower = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString kDigits = QStringLiteral("0123456789");
const QString kSymbols = QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
const QString kLookAlikes = QStringLiteral("0Oo1lI|`'\"");

// The chosen classes, each without the look-alikes when those are left out.
std::array<QString, 4> classes(const Options& options)
{
    const std::array<std::pair<bool, const QString*>, 4> all = {{
        {options.upper, &kUpper},
        {options.lower, &kLower},
        {options.digits, &kDigits},
        {options.symbols, &kSymbols},
    }};
    std::array<QString, 4> chosen;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!all[i].first)
            continue;
        for (const QChar c : *all[i].second) {
            if (!options.excludeLookAlikes || !kLookAlikes.contains(c))
                chosen[i] += c;
        }
    }
    return chosen;
}

int boundedLength(int length)
{
    return std::clamp(length, kMinLength, kMaxLength);
}

int boundedWords(int words)
{
    return std::clamp(words, kMinWords, kMaxWords);
}

} // namespace

QString alphabet(const Options& options)
{
    QString characters;
    for (const QString& chosen : classes(options))
        characters += chosen;
    return characters;
}

QString generate(const Options& options, RandomSource& random)
{
    const std::array<QString, 4> chosen = classes(options);
    const QString characters = alphabet(options);
    if (characters.isEmpty())
        return {};
    const int length = boundedLength(options.length);
    // Drawn whole again until every class is in it: forcing one character of each into place would
    // make those places guessable.
    for (;;) {
        QString password(length, Qt::Uninitialized);
        for (QChar& c : password)
            c = characters.at(random.below(static_cast<quint32>(characters.size())));
        const bool complete = std::all_of(chosen.begin(), chosen.end(), [&](const QString& set) {
            return set.isEmpty() ||
                   std::any_of(password.cbegin(), password.cend(), [&](QChar c) { return set.contains(c); });
        });
        if (complete)
            return password;
    }
}

QString passphrase(int words, RandomSource& random, const QString& separator)
{
    const std::span<const std::string_view> list = PinyinSyllables::all();
    QStringList drawn;
    for (int i = 0; i < boundedWords(words); ++i) {
        const std::string_view word = list[random.below(static_cast<quint32>(list.size()))];
        drawn << QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()));
    }
    return drawn.join(separator);
}

double bits(const Options& options)
{
    const qsizetype size = alphabet(options).size();
    return size > 0 ? boundedLength(options.length) * std::log2(static_cast<double>(size)) : 0.0;
}

double passphraseBits(int words)
{
    return boundedWords(words) * std::log2(static_cast<double>(PinyinSyllables::all().size()));
}

} // namespace PasswordGenerator
