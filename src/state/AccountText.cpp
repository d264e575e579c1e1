#include "state/AccountText.h"

#include "state/RandomLetters.h"

namespace AccountText {

QString StripUnsafe(const QString& text)
{
    QString result = text;
    for (QChar unsafe : QStringView(u"'\"\\/:*?<>|"))
        result.remove(unsafe);
    return result;
}

QString SaltText(const QString& text, RandomLetters& letters)
{
    const QChar first = letters.next();
    const QChar second = letters.next();
    const QChar third = letters.next();
    QString salted = text;
    salted.insert(qMin<qsizetype>(1, salted.size()), first);
    salted.insert(0, second);
    salted.append(third);
    return salted;
}

QString UnsaltText(const QString& text)
{
    QString result = text;
    result.chop(1);
    result.remove(0, 1);
    if (result.size() > 1)
        result.remove(1, 1);
    return result;
}

QString DatabaseSeal(const QString& accountId)
{
    return accountId.left(19).right(kSealLength);
}

QString withoutSeal(const QString& sealed)
{
    return sealed.left(qMax<qsizetype>(0, sealed.size() - kSealLength));
}

QString sealOf(const QString& sealed)
{
    return sealed.right(kSealLength);
}

} // namespace AccountText
