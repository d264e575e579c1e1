#pragma once

#include <QString>

class RandomLetters;

// The helpers that shape the stored account values.
namespace AccountText {

// Removes every ' " \ / : * ? < > | from the text.
QString StripUnsafe(const QString& text);

// Inserts three random letters: the first after the first character (index 1, or 2 after a surrogate
// pair), the second at index 0, the third at the end.
QString SaltText(const QString& text, RandomLetters& letters);

// Deletes the last character, then the first, then the one now after the first character: undoes
// SaltText for every text of at least one character.
QString UnsaltText(const QString& text);

// The 9 characters at positions 11 to 19 of the account id, appended to every protected account and
// policy value so that values copied from another database are recognised.
QString DatabaseSeal(const QString& accountId);

inline constexpr int kSealLength = 9;

// The text without its seal: everything but the last nine characters.
QString withoutSeal(const QString& sealed);
// The seal at the end of a sealed value.
QString sealOf(const QString& sealed);

// Overwrites the characters of a password or key the program no longer needs, then empties it. A
// copy that shares the text is left as it is (and so is the text).
void wipe(QString& text);

} // namespace AccountText
