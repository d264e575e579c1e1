#include "security/SecuritySettings.h"

#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "storage/DbError.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"

namespace {

// Decimal digits only, one to four of them.
std::optional<int> wholeNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > SecuritySettings::kMaxDigits)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

SecuritySettings::SecuritySettings(AppState& state) : m_state(state) {}

PolicyRow::Choices SecuritySettings::current() const
{
    return PolicyRow::choicesOf(m_state.settings);
}

std::optional<QString> SecuritySettings::check(const PolicyRow::Choices& choices)
{
    // Text that is no number reads as 0 at the login: no interval at all, and for the limit the
    // destruction of everything at the attempt after the first wrong password.
    if (!wholeNumber(choices.interval))
        return kBadIntervalText;
    if (choices.destroy && choices.afterFailures && wholeNumber(choices.failureLimit).value_or(0) < 1)
        return kBadLimitText;
    return std::nullopt;
}

SecuritySettings::Outcome SecuritySettings::save(const PolicyRow::Choices& choices)
{
    return saveWith(choices, nullptr);
}

SecuritySettings::Outcome SecuritySettings::save(const PolicyRow::Choices& choices,
                                                 const Preferences::Values& preferences)
{
    return saveWith(choices, &preferences);
}

SecuritySettings::Outcome SecuritySettings::saveWith(const PolicyRow::Choices& choices,
                                                     const Preferences::Values* preferences)
{
    const QString& caption = SharedTexts::kAppCaption;
    if (const std::optional<QString> refusal = check(choices))
        return {Result::Refused, *refusal, caption};

    const SettingsRecord policy =
        PolicyRow::withChoices(m_state.settings, choices, AccountText::DatabaseSeal(m_state.user.id));
    CDbConnection& db = m_state.mainConnection;
    Recordset row;
    CDbConnection::NewRecordset(row);
    if (!db.OpenRecordset(row, QStringLiteral(" SELECT * FROM tb_Setting ")))
        return {Result::Failed, kNotOpenedText, caption};
    if (row.isBof() && row.isEof()) {
        CDbConnection::CloseRecordset(row);
        return {Result::Failed, kNoRowText, caption};
    }
    try {
        Transaction transaction(db);
        row.moveFirst();
        PolicyRow::write(row, policy, m_state.systemKey);
        row.update();
        if (preferences)
            Preferences::write(db, *preferences);
        transaction.commit();
    } catch (const DbError&) {
        CDbConnection::CloseRecordset(row);
        return {Result::Failed, kWriteFailedText, caption};
    }
    CDbConnection::CloseRecordset(row);
    m_state.settings = policy;
    if (preferences)
        m_state.preferences = Preferences::bounded(*preferences);
    return {Result::Saved, kSavedText, caption};
}
