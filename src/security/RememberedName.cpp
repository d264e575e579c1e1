#include "security/RememberedName.h"

#include <algorithm>

#include <QList>

#include "crypto/TextCipher.h"
#include "security/AccountRow.h"
#include "state/AccountText.h"
#include "state/WindowStateRecord.h"

namespace RememberedName {

namespace {

bool hasLineBreak(const QByteArray& stored)
{
    return stored.contains('\r') || stored.contains('\n');
}

} // namespace

bool remember(WindowStateRecord& record, const QString& name, const QString& seal, const QString& systemKey,
              RandomLetters& letters, const std::optional<QString>& salted)
{
    const AccountRow account(systemKey, seal);
    for (int attempt = 0; attempt < kSaltTries; ++attempt) {
        const QString candidate = (attempt == 0 && salted) ? *salted : AccountText::SaltText(name, letters);
        const QByteArray stored = account.encodeSaltedName(candidate);
        // Salt letters do not change the length: a form too long now stays too long.
        if (stored.size() > kMaxStoredBytes)
            break;
        if (!hasLineBreak(stored)) {
            record.loginName = stored;
            record.saveName = WindowStateRecord::kYes;
            return true;
        }
    }
    forget(record);
    return false;
}

void forget(WindowStateRecord& record)
{
    record.loginName.clear();
    record.saveName = WindowStateRecord::kNo;
}

std::optional<QString> recall(const WindowStateRecord& record, const QString& systemKey)
{
    if (record.saveName != WindowStateRecord::kYes)
        return std::nullopt;
    // tiv.ini is anyone's to edit. Only a form that remember() could have written is shown: one whose
    // encryption gives its own bytes back (no stray byte), with the
    // salt letters in their places and a name the login box would take as typed. Anything else would
    // fill the box with garbage.
    const QString sealed = TextCipher::DecryptText(systemKey, record.loginName);
    if (record.loginName.isEmpty() || TextCipher::EncryptText(systemKey, sealed) != record.loginName)
        return std::nullopt;
    // The seal is cut off by length; which seal it was does not matter for reading.
    const QString salted = AccountText::withoutSeal(sealed);
    const auto isSaltLetter = [](QChar c) {
        return c >= u'a' && c <= u'y';
    };
    // The second letter follows the name's first character, a surrogate pair beyond the first plane.
    const qsizetype second = salted.size() > 2 && salted[1].isHighSurrogate() && salted[2].isLowSurrogate() ? 3 : 2;
    if (salted.size() < second + 2 || !isSaltLetter(salted[0]) || !isSaltLetter(salted[second]) ||
        !isSaltLetter(salted.back()))
        return std::nullopt;
    // The code page's user-defined characters are private-use ones: a name may hold them.
    const auto isShown = [](char32_t c) {
        return QChar::isPrint(c) || QChar::category(c) == QChar::Other_PrivateUse;
    };
    // Whole characters: a name may hold characters beyond the first plane, as surrogate pairs.
    const QList<uint> characters = sealed.toUcs4();
    if (!std::all_of(characters.begin(), characters.end(), isShown))
        return std::nullopt;
    const QString name = AccountText::UnsaltText(salted);
    if (AccountText::StripUnsafe(name) != name)
        return std::nullopt;
    return name;
}

} // namespace RememberedName
