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
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "storage/Vault.h"

using AccountText::StripUnsafe;

ProfileChange::ProfileChange(AppState& state) : m_state(state) {}

// The ten unsafe characters removed, and a password kept with '?' by earlier versions matched as it
// was typed then.
bool ProfileChange::isStoredPassword(const QString& typed, const QString& stored)
{
    const QString password = StripUnsafe(typed);
    return CodePage936::roundTrip(password) == stored || CodePage936::lossyRoundTrip(password) == stored;
}

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
    const QString seal = AccountText::DatabaseSeal(m_state.user.id);
    // Writes the account row on the connection, in one transaction; false when there is none to write.
    const auto writeAccount = [&](CDbConnection& db) {
        Recordset account;
        CDbConnection::NewRecordset(account);
        // A table that does not open, or holds no account, is a failed change like any other.
        if (!db.OpenRecordset(account, QStringLiteral(" SELECT * FROM tb_User ")) ||
            (account.isBof() && account.isEof())) {
            CDbConnection::CloseRecordset(account);
            return false;
        }
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
            throw;
        }
        CDbConnection::CloseRecordset(account);
        return true;
    };

    // A vault is keyed with the login password: the new key and the new row take the file's place in
    // one step, so that the password that opens the file is always the one the row holds.
    const QString oldPassword = StripUnsafe(input.oldPassword);
    QString changedText = kChangedText;
    if (m_state.databaseKey.isVault() && password != oldPassword) {
        m_state.closeConnections();
        SecretBytes key;
        const Vault::Outcome rekeyed = Vault::rekey(Schema::databasePath(), oldPassword, password,
                                                    VaultKey::defaultParams(), &key, writeAccount);
        if (rekeyed == Vault::Outcome::Done)
            m_state.databaseKey = DatabaseKey(std::move(key));
        const bool reopened = m_state.reopenConnections();
        if (rekeyed != Vault::Outcome::Done)
            return {Result::Failed, kFailedText + QStringLiteral("\r\n") + Vault::describe(rekeyed), kCaption};
        if (!reopened)
            changedText = kReopenFailedText;
    } else {
        try {
            if (!writeAccount(m_state.mainConnection))
                return {Result::Failed, kFailedText, kCaption};
        } catch (const DbError&) {
            return {Result::Failed, kFailedText, kCaption};
        }
    }

    m_state.user.userName = CodePage936::roundTrip(name);
    m_state.user.password = CodePage936::roundTrip(password);
    m_state.user.gender = input.gender;
    // A remembered login name follows the rename, or the next login would offer a name that no
    // longer exists.
    if (m_state.windowState.saveName == WindowStateRecord::kYes) {
        RememberedName::remember(m_state.windowState, name, seal, m_state.systemKey, m_state.letters);
        WindowStateFile::write(m_state.windowState, m_state.letters);
    }
    return {Result::Changed, changedText, kCaption};
}
