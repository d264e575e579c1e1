#pragma once

#include <QString>

#include <optional>

struct WindowStateRecord;
class RandomLetters;

// The login name kept in tiv.ini: the name salted, sealed and encrypted, as the account stores it.
namespace RememberedName {

// Saltings tried before a name is given up as one the file cannot keep.
inline constexpr int kSaltTries = 16;
// The reader of tiv.ini keeps 127 bytes of a value, two of which are the letters around the name.
inline constexpr qsizetype kMaxStoredBytes = 125;

// Makes the record remember the name: login name = the encryption of the salted name and the seal,
// save name "是". The salting is `salted` (without the seal) when given, else drawn from the letters.
// A line break in the encrypted form would not survive the file, so such a form is salted afresh; when
// no try gives a form the file can keep, the record forgets the name instead. True when remembered.
bool remember(WindowStateRecord& record, const QString& name, const QString& seal, const QString& systemKey,
              RandomLetters& letters, const std::optional<QString>& salted = std::nullopt);

// Login name empty, save name "否".
void forget(WindowStateRecord& record);

// The name the login box starts with, when the record remembers one in a valid stored form.
std::optional<QString> recall(const WindowStateRecord& record, const QString& systemKey);

} // namespace RememberedName
