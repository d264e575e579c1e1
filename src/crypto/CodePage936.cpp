#include "crypto/CodePage936.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace CodePage936 {

namespace {

// Opening an ICU converter is not free; one stateless pair per thread serves every call.
QStringEncoder& encoder()
{
    thread_local QStringEncoder instance("GBK", QStringConverter::Flag::Stateless);
    return instance;
}

QStringDecoder& decoder()
{
    thread_local QStringDecoder instance("GBK", QStringConverter::Flag::Stateless);
    return instance;
}

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QByteArray toBytes(QStringView text)
{
    if (isAscii(text))
        return text.toLatin1();
    QByteArray bytes = encoder().encode(text);
    encoder().resetState();
    return bytes;
}

QString toText(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QString text = decoder().decode(bytes);
    decoder().resetState();
    return text;
}

QString roundTrip(QStringView text)
{
    return toText(toBytes(text));
}

} // namespace CodePage936
