#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// How many guesses a password would take someone who tries the likely ones first: common words and
// names, keyboard runs, dates, repeats and the given words of the user. An estimate to show, never a
// reason to refuse.
namespace PasswordStrength {

enum class Level { None, VeryWeak, Weak, Fair, Strong, VeryStrong };

struct Estimate {
    double bits = 0; // log2 of the guesses
    Level level = Level::None;

    double log10Guesses() const;
};

// userWords: what someone who knows the user would try first (the account name, the caption).
Estimate estimate(QStringView password, const QStringList& userWords = {});
// The estimate of a password worth the given bits; 0 bits is no password.
Estimate fromBits(double bits);

QString levelName(Level level);
// "强度：弱（约 10^6 次猜测）"; for an empty password only the level.
QString text(const Estimate& estimate);

} // namespace PasswordStrength
