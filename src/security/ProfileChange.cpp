#include "security/ProfileChange.h"

#include "crypto/CodePage936.h"
#include "security/AccountRow.h"
#include "security/RememberedName.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "state/WindowStateFile.h"
#include "storage/DbError.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"

using AccountText::StripUnsafe;

namespace {

// Whether a typed password is the one the account row keeps, as the login takes it: the ten unsafe
// characters removed, and a password kept with '?' by earlier versions matched as it was typed then.
bool isStoredPassword(const QString& typed, const QString& stored)
{
    const QString password = StripUnsafe(typed);
    return CodePage936::roundTrip(password) == stored || CodePage936::lossyRoundTrip(password) == stored;
}

} // namespace

ProfileChange::ProfileChange(AppState& state) : m_state(state) {}

std::optional<QString> ProfileChange::check(const Input& input) const
{
    if (StripUnsafe(input.userName).isEmpty())
        return kEmptyNameText;
    // The old password is taken as the login takes it, so whatever logs in is accepted here too.
    if (!isStoredPassword(input.oldPassword, m_state.user.password))
        return kWrongPasswordText;
    if (StripUnsafe(input.newPassword).size() < kMinPasswordLength)
        return kShortPasswordText;
    if (const std::optional<QString> refusal =
            SharedTexts::unstorableText({{kNameField, input.userName}, {kPasswordField, input.newPassword}}))
        return refusal;
    // The two boxes are compared as typed: removing a character from one of them only would call two
    // equal entries different.
    if (input.confirmation != input.newPassword)
        return kMismatchText;
    return std::nullopt;
}

ProfileChange::Outcome ProfileChange::apply(const Input& input)
{
    if (const std::optional<QString> refusal = check(input))
        return {Result::Refused, *refusal, kCaption};

    const QString name = StripUnsafe(input.userName);
    const QString password = StripUnsafe(input.newPassword);
    CDbConnection& db = m_state.mainConnection;
    Recordset account;
    CDbConnection::NewRecordset(account);
    // A table that does not open, or holds no account, is a failed change like any other.
    if (!db.OpenRecordset(account, QStringLiteral(" SELECT * FROM tb_User ")) || (account.isBof() && account.isEof())) {
        CDbConnection::CloseRecordset(account);
        return {Result::Failed, kFailedText, kCaption};
    }
    const QString seal = AccountText::DatabaseSeal(m_state.user.id);
    try {
        Transaction transaction(db);
        account.moveFirst();
        const AccountRow row(m_state.systemKey, seal);
        account.setField(AccountRow::kGender, input.gender);
        row.writeName(account, name, m_state.letters);
        row.writePassword(account, password);
        account.update();
        transaction.commit();
    } catch (const DbError&) {
        CDbConnection::CloseRecordset(account);
        return {Result::Failed, kFailedText, kCaption};
    }
    CDbConnection::CloseRecordset(account);

    m_state.user.userName = CodePage936::roundTrip(name);
    m_state.user.password = CodePage936::roundTrip(password);
    m_state.user.gender = input.gender;
    // A remembered login name follows the rename, or the next login would offer a name that no
    // longer exists.
    if (m_state.windowState.saveName == WindowStateRecord::kYes) {
        RememberedName::remember(m_state.windowState, name, seal, m_state.systemKey, m_state.letters);
        WindowStateFile::write(m_state.windowState, m_state.letters);
    }
    return {Result::Changed, kChangedText, kCaption};
}
