#include "state/AccountText.h"

#include <string.h>

#include "state/RandomLetters.h"

namespace AccountText {

QString StripUnsafe(const QString& text)
{
    QString result = text;
    for (QChar unsafe : QStringView(u"'\"\\/:*?<>|"))
        result.remove(unsafe);
    return result;
}

namespace {

// Index 1 where the text starts with a character of one code unit; after the pair where it starts with a
// character beyond the first plane, which a letter between its halves would break.
qsizetype afterFirstCharacter(const QString& text)
{
    if (text.size() >= 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return 2;
    return qMin<qsizetype>(1, text.size());
}

} // namespace

QString SaltText(const QString& text, RandomLetters& letters)
{
    const QChar first = letters.next();
    const QChar second = letters.next();
    const QChar third = letters.next();
    QString salted = text;
    salted.insert(afterFirstCharacter(salted), first);
    salted.insert(0, second);
    salted.append(third);
    return salted;
}

QString UnsaltText(const QString& text)
{
    QString result = text;
    result.chop(1);
    result.remove(0, 1);
    const qsizetype at = afterFirstCharacter(result);
    if (result.size() > at)
        result.remove(at, 1);
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

void wipe(QString& text)
{
    if (!text.isDetached()) {
        text = QString();
        return;
    }
    ::explicit_bzero(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    text.clear();
}

} // namespace AccountText
