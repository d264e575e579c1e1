#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Every conversion between the program's wide text and the narrow bytes that are encrypted, used as
// keys, or written to tiv.ini goes through here, so all of them agree.
//
// A character the code page 936 (GBK) has is written as the code page writes it, so every value stored
// before stays byte for byte what it is. Every other character is written as its GB18030 four-byte
// sequence instead of the '?' the code page would make of it: the code page never uses 0x30-0x39 as a
// second byte, so the two forms never collide and nothing typed is lost.
namespace CodePage936 {

// Only an unpaired surrogate has no encoding; it becomes '?'. Callers that store text refuse such text
// first (firstUnencodable).
QByteArray toBytes(QStringView text);

QString toText(QByteArrayView bytes);

// Narrow round trip: what a wide text looks like after passing through the code page.
QString roundTrip(QStringView text);

// The index of the first character that cannot be stored (an unpaired surrogate), if any.
std::optional<qsizetype> firstUnencodable(QStringView text);

// What earlier versions made of a text: every character outside the code page as '?', the invisible
// ones it lacks dropped. Lets a name, password or key typed as it was meant match a value stored lossily.
QString lossyRoundTrip(QStringView text);

} // namespace CodePage936
