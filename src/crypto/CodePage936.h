#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Every conversion between the program's wide text and the narrow bytes that are encrypted, used as
// keys, or written to tiv.ini goes through here, so all of them agree on code page 936 (GBK).
namespace CodePage936 {

// Characters the code page cannot represent become '?'.
QByteArray toBytes(QStringView text);

QString toText(QByteArrayView bytes);

// Narrow round trip: what a wide text looks like after passing through the code page.
QString roundTrip(QStringView text);

} // namespace CodePage936
