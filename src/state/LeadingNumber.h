#pragma once

#include <QByteArrayView>
#include <QStringView>

// How the stored policy texts, the failure count and the numbers of tiv.ini have always been read:
// leading blanks, an optional sign and the decimal digits after it; 0 when there are none.
namespace LeadingNumber {

// Stops taking digits once the value is past the range of a 32-bit integer.
qint64 value(QStringView text);
// The same, clamped to the range of a 32-bit integer.
int toInt(QStringView text);
int toInt(QByteArrayView text);

} // namespace LeadingNumber
