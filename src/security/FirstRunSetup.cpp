#include "security/FirstRunSetup.h"

#include "security/AccountRow.h"
#include "security/PolicyRow.h"
#include "security/RememberedName.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "state/WindowStateFile.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"

using AccountText::StripUnsafe;

namespace {

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
    if (StripUnsafe(input.userName).isEmpty())
        return kEmptyNameText;
    if (StripUnsafe(input.password).size() < kMinPasswordLength)
        return kShortPasswordText;
    if (input.confirmation != input.password)
        return kMismatchText;
    return SharedTexts::unstorableText(
        {{kNameField, input.userName}, {kPasswordField, input.password}, {kKeyField, input.defaultKey}});
}

FirstRunSetup::Outcome FirstRunSetup::save(const Input& input)
{
    if (const std::optional<QString> refusal = check(input))
        return {Result::Refused, *refusal, kCheckCaption};

    const QString plainName = StripUnsafe(input.userName);

    CDbConnection& db = m_state.mainConnection;
    Recordset account;
    CDbConnection::NewRecordset(account);
    if (!db.OpenRecordset(account, QStringLiteral(" SELECT * FROM tb_User ")))
        return {Result::NotOpened, {}, {}};

    const QString& systemKey = m_state.systemKey;
    SettingsRecord policy;
    QString seal;
    QString saltedName;
    try {
        Transaction transaction(db);
        account.addNew();
        account.setField(AccountRow::kGender, input.gender);
        account.setField(QStringLiteral("purview"), -1);
        account.update();
        seal = AccountText::DatabaseSeal(FieldConversions::toText(account.field(QStringLiteral("id"))));
        const AccountRow row(systemKey, seal);
        saltedName = row.writeName(account, plainName, m_state.letters);
        row.writePassword(account, StripUnsafe(input.password));
        // The default key is kept as typed: it is a key, not a name to be typed at the login.
        row.writeDataKey(account, input.defaultKey, m_state.letters);
        row.writeFailureCount(account, 0);
        account.update();

        policy = PolicyRow::defaults(seal);
        // The table is meant to hold one row; one left from an earlier account would carry another
        // seal and be read in place of the new one at the next start.
        db.execute(QStringLiteral("DELETE FROM tb_Setting"));
        Recordset settings;
        db.OpenRecordset(settings, QStringLiteral(" SELECT * FROM tb_Setting"));
        settings.addNew();
        settings.setField(QStringLiteral("id"), policy.id);
        PolicyRow::write(settings, policy, systemKey);
        settings.update();
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
