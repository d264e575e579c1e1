#pragma once

#include <QString>

class RandomSource;

// Passwords of random characters and passphrases of random words, for the account password of the
// password box. Every draw is a uniform choice from the given source.
namespace PasswordGenerator {

inline constexpr int kMinLength = 8;
inline constexpr int kMaxLength = 128;
inline constexpr int kMinWords = 4;
inline constexpr int kMaxWords = 20;

struct Options {
    int length = 20;
    bool upper = true;
    bool lower = true;
    bool digits = true;
    bool symbols = true;
    // Leaves out the characters that are easily read as one another: 0 O o, 1 l I |, and the quotes.
    bool excludeLookAlikes = false;
};

// The characters a password with these options is drawn from.
QString alphabet(const Options& options);

// A password of the length (brought into 8..128) with at least one character of every chosen class;
// empty when no class is chosen. Every such password is equally likely.
QString generate(const Options& options, RandomSource& random);

// Words (brought into 4..20) drawn from the pinyin syllables, joined by the separator.
QString passphrase(int words, RandomSource& random, const QString& separator = QStringLiteral("-"));

// What the choices are worth against someone who knows them: log2 of the number of equally likely
// results (for characters, slightly more than the class rule leaves).
double bits(const Options& options);
double passphraseBits(int words);

} // namespace PasswordGenerator
