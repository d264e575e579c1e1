#include "security/RememberedName.h"

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
    // The seal is cut off by length; which seal it was does not matter for reading.
    return AccountRow(systemKey, QString()).decodeName(record.loginName);
}

} // namespace RememberedName
