#include "security/RememberedName.h"

#include "app/WindowStateRecord.h"
#include "crypto/TextCipher.h"
#include "security/AccountText.h"

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
    for (int attempt = 0; attempt < kSaltTries; ++attempt) {
        const QString candidate = (attempt == 0 && salted) ? *salted : AccountText::SaltText(name, letters);
        const QByteArray stored = TextCipher::EncryptText(systemKey, candidate + seal);
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
    return AccountText::UnsaltText(AccountText::withoutSeal(TextCipher::DecryptText(systemKey, record.loginName)));
}

} // namespace RememberedName
