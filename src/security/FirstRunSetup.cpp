#include "security/FirstRunSetup.h"

#include "app/AppState.h"
#include "app/WindowStateFile.h"
#include "crypto/TextCipher.h"
#include "security/AccountText.h"
#include "security/RememberedName.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"

using AccountText::SaltText;
using AccountText::StripUnsafe;
using FieldConversions::WriteLongBinary;

namespace {

SettingsRecord defaultPolicy(const QString& seal)
{
    SettingsRecord policy;
    policy.id = 1;
    policy.aesRank = QStringLiteral("1") + seal;
    policy.instance = QStringLiteral("1") + seal;
    policy.interval = QStringLiteral("1") + seal;
    policy.sdRank = QStringLiteral("3100") + seal;
    policy.version = QStringLiteral("2.0.00") + seal;
    return policy;
}

WindowStateRecord firstRunWindowState()
{
    WindowStateRecord record;
    record.width = 600;
    record.height = 530;
    record.left = -1;
    record.top = -1;
    return record;
}

} // namespace

FirstRunSetup::FirstRunSetup(AppState& state) : m_state(state) {}

std::optional<QString> FirstRunSetup::check(const Input& input)
{
    if (input.userName.isEmpty())
        return kEmptyNameText;
    if (input.password.size() < kMinPasswordLength)
        return kShortPasswordText;
    if (input.confirmation != input.password)
        return kMismatchText;
    return std::nullopt;
}

FirstRunSetup::Outcome FirstRunSetup::save(const Input& input)
{
    if (const std::optional<QString> refusal = check(input))
        return {Result::Refused, *refusal, kCheckCaption};

    const QString plainName = StripUnsafe(input.userName);
    const QString saltedName = SaltText(plainName, m_state.letters);
    QString password = StripUnsafe(input.password);
    QString key = SaltText(input.defaultKey, m_state.letters);

    CDbConnection& db = m_state.mainConnection;
    Recordset account;
    CDbConnection::NewRecordset(account);
    if (!db.OpenRecordset(account, QStringLiteral(" SELECT * FROM tb_User ")))
        return {Result::NotOpened, {}, {}};

    const QString& systemKey = m_state.systemKey;
    SettingsRecord policy;
    QString seal;
    try {
        Transaction transaction(db);
        account.addNew();
        account.setField(QStringLiteral("gender"), input.gender);
        account.setField(QStringLiteral("purview"), -1);
        account.update();
        seal = AccountText::DatabaseSeal(FieldConversions::toText(account.field(QStringLiteral("id"))));
        password += seal;
        key += seal;
        WriteLongBinary(account, TextCipher::EncryptText(systemKey, saltedName + seal), QStringLiteral("userName"));
        WriteLongBinary(account, TextCipher::EncryptText(systemKey, password), QStringLiteral("password"));
        WriteLongBinary(account, TextCipher::EncryptText(systemKey, key), QStringLiteral("aesKey"));
        WriteLongBinary(account, TextCipher::EncryptText(systemKey, QStringLiteral("0")), QStringLiteral("errorTimes"));

        policy = defaultPolicy(seal);
        // The table is meant to hold one row; one left from an earlier account would carry another
        // seal and be read in place of the new one at the next start.
        db.execute(QStringLiteral("DELETE FROM tb_Setting"));
        Recordset settings;
        db.OpenRecordset(settings, QStringLiteral(" SELECT * FROM tb_Setting"));
        settings.addNew();
        settings.setField(QStringLiteral("id"), 1);
        settings.update();
        WriteLongBinary(settings, TextCipher::EncryptText(systemKey, policy.aesRank), QStringLiteral("aesRank"));
        WriteLongBinary(settings, TextCipher::EncryptText(systemKey, policy.instance), QStringLiteral("instance"));
        WriteLongBinary(settings, TextCipher::EncryptText(systemKey, policy.interval), QStringLiteral("interval"));
        WriteLongBinary(settings, TextCipher::EncryptText(systemKey, policy.sdRank), QStringLiteral("sdRank"));
        WriteLongBinary(settings, TextCipher::EncryptText(systemKey, policy.version), QStringLiteral("version"));
        CDbConnection::CloseRecordset(settings);
        transaction.commit();
    } catch (const DbError&) {
        CDbConnection::CloseRecordset(account);
        return {Result::Failed, kFailedText, kResultCaption};
    }
    CDbConnection::CloseRecordset(account);

    // Memory and tiv.ini follow only what the database kept.
    m_state.settings = policy;
    m_state.windowState = firstRunWindowState();
    RememberedName::remember(m_state.windowState, plainName, seal, systemKey, m_state.letters, saltedName);
    WindowStateFile::write(m_state.windowState, m_state.letters);
    return {Result::Saved, kSavedText, kResultCaption};
}
