#include "state/LeadingNumber.h"

#include <QString>

#include <algorithm>
#include <limits>

namespace LeadingNumber {

qint64 value(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && QStringView(u" \t\n\v\f\r").contains(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 result = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        result = result * 10 + (text[i].unicode() - u'0');
        if (result > std::numeric_limits<int>::max())
            break;
    }
    return negative ? -result : result;
}

int toInt(QStringView text)
{
    return static_cast<int>(
        std::clamp<qint64>(value(text), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int toInt(QByteArrayView text)
{
    return toInt(QString::fromLatin1(text));
}

} // namespace LeadingNumber
