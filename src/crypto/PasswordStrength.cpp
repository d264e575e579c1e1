#include "crypto/PasswordStrength.h"

#include <zxcvbn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "crypto/SecretBytes.h"

namespace PasswordStrength {

namespace {

// The text as UTF-8 with its terminating zero, in memory that is wiped afterwards.
SecretBytes terminated(QStringView text)
{
    const SecretBytes utf8 = SecretBytes::fromText(text);
    SecretBytes bytes(utf8.size() + 1);
    if (!utf8.empty())
        std::memcpy(bytes.data(), utf8.data(), utf8.size());
    return bytes;
}

// Upper bounds of log10(guesses) for each level below VeryStrong: at a thousand guesses a second a
// very weak password falls in seconds, a weak one in a day; a fair one holds a fast offline attack for
// hours, a strong one for years.
constexpr double kVeryWeakBelow = 4;
constexpr double kWeakBelow = 8;
constexpr double kFairBelow = 11;
constexpr double kStrongBelow = 15;

} // namespace

double Estimate::log10Guesses() const
{
    return bits * std::log10(2.0);
}

Estimate estimate(QStringView password, const QStringList& userWords)
{
    if (password.isEmpty())
        return {};
    const SecretBytes typed = terminated(password);
    std::vector<QByteArray> words;
    for (const QString& word : userWords) {
        if (!word.isEmpty())
            words.push_back(word.toUtf8());
    }
    std::vector<const char*> dictionary;
    for (const QByteArray& word : words)
        dictionary.push_back(word.constData());
    dictionary.push_back(nullptr);

    Estimate result = fromBits(ZxcvbnMatch(reinterpret_cast<const char*>(typed.data()), dictionary.data(), nullptr));
    // Even the first guess is a guess: a password is never no password.
    result.level = std::max(result.level, Level::VeryWeak);
    return result;
}

Estimate fromBits(double bits)
{
    Estimate result;
    result.bits = std::max(0.0, bits);
    const double digits = result.log10Guesses();
    result.level = result.bits <= 0          ? Level::None
                   : digits < kVeryWeakBelow ? Level::VeryWeak
                   : digits < kWeakBelow     ? Level::Weak
                   : digits < kFairBelow     ? Level::Fair
                   : digits < kStrongBelow   ? Level::Strong
                                             : Level::VeryStrong;
    return result;
}

QString levelName(Level level)
{
    switch (level) {
    case Level::None:
        break;
    case Level::VeryWeak:
        return QStringLiteral("很弱");
    case Level::Weak:
        return QStringLiteral("弱");
    case Level::Fair:
        return QStringLiteral("一般");
    case Level::Strong:
        return QStringLiteral("强");
    case Level::VeryStrong:
        return QStringLiteral("很强");
    }
    return QStringLiteral("无");
}

QString text(const Estimate& estimate)
{
    if (estimate.level == Level::None)
        return QStringLiteral("强度：%1").arg(levelName(estimate.level));
    return QStringLiteral("强度：%1（约 10^%2 次猜测）")
        .arg(levelName(estimate.level))
        .arg(std::lround(estimate.log10Guesses()));
}

} // namespace PasswordStrength
