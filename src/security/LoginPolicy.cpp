#include "security/LoginPolicy.h"

#include "crypto/CodePage936.h"
#include "security/AccountRow.h"
#include "security/RememberedName.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/LeadingNumber.h"
#include "state/SharedTexts.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"

using AccountText::sealOf;
using AccountText::withoutSeal;

namespace {

void readDate(const Recordset& account, const QString& column, FieldConversions::DateTimeValue& target)
{
    const FieldConversions::DateTimeValue value = FieldConversions::toDateTime(account.field(column));
    if (value.status != FieldConversions::DateTimeValue::Status::Null)
        target = value;
}

} // namespace

LoginPolicy::LoginPolicy(AppState& state) : m_state(state) {}

QString LoginPolicy::intervalText(const QString& interval)
{
    return QStringLiteral("请勿在") + interval +
           QStringLiteral("秒内重复登录！\r\n\r\n(注：防止暴力破解密码，请根据实际情况设定登录时间间隔)\r\n");
}

QString LoginPolicy::wrongPasswordText(int failureCount)
{
    return QStringLiteral("您输入密码第") + QString::number(failureCount) + QStringLiteral("次错误!");
}

LoginPolicy::AccountCheck LoginPolicy::countAccounts()
{
    Recordset count;
    CDbConnection::NewRecordset(count);
    if (!m_state.mainConnection.OpenRecordset(count, QStringLiteral("SELECT count(*) as a FROM tb_User"))) {
        CDbConnection::CloseRecordset(count);
        return {Accounts::Unusable, SharedTexts::faultText(m_state.mainConnection.lastFailure(), kCountFailedText),
                SharedTexts::kProductCaption};
    }
    if (count.isBof() && count.isEof())
        return {Accounts::Unusable, {}, {}};
    int accounts = -1;
    try {
        count.moveFirst();
        accounts = FieldConversions::toInt(count.field(QStringLiteral("a")));
    } catch (const DbError&) {
        return {Accounts::Unusable, kCountFailedText, SharedTexts::kProductCaption};
    }
    CDbConnection::CloseRecordset(count);
    if (accounts == 0)
        return {Accounts::None, {}, {}};
    if (accounts == 1)
        return {Accounts::One, {}, {}};
    return {Accounts::Unusable, {}, {}};
}

LoginPolicy::Outcome LoginPolicy::checkPolicyId() const
{
    if (m_state.settings.id != 1)
        return {Result::Cancel, SharedTexts::kTamperedText, SharedTexts::kAppCaption};
    return {};
}

std::optional<QString> LoginPolicy::rememberedName() const
{
    return RememberedName::recall(m_state.windowState, m_state.systemKey);
}

std::optional<LoginPolicy::Outcome> LoginPolicy::precheck(const QString& typedName, const QString& typedPassword)
{
    const QDateTime now = m_state.clock.now();
    const double elapsed = static_cast<double>(m_state.lastAttemptTime.msecsTo(now)) / 1000.0;
    const QString interval = withoutSeal(m_state.settings.interval);
    if (static_cast<double>(LeadingNumber::value(interval)) > elapsed && m_state.user.failureCount >= 1)
        return Outcome{Result::Stay, intervalText(interval), SharedTexts::kProductCaption, true};
    m_state.lastAttemptTime = now;

    if (AccountText::StripUnsafe(typedName).isEmpty())
        return Outcome{Result::Stay, kEmptyNameText, SharedTexts::kShortCaption};
    if (AccountText::StripUnsafe(typedPassword).size() < kMinPasswordLength)
        return Outcome{Result::Stay, kShortPasswordText, SharedTexts::kShortCaption};
    return std::nullopt;
}

LoginPolicy::Outcome LoginPolicy::beforeVaultOpen(const QString& typedName, const QString& typedPassword)
{
    return precheck(typedName, typedPassword).value_or(Outcome{});
}

void LoginPolicy::vaultOpenFailed()
{
    m_state.user.failureCount = qMin(m_state.user.failureCount + 1, AccountRow::kMaxFailureCount);
}

void LoginPolicy::vaultOpened()
{
    m_state.user.failureCount = 0;
}

LoginPolicy::Outcome LoginPolicy::attempt(const QString& typedNameText, const QString& typedPasswordText, bool remember)
{
    if (std::optional<Outcome> refused = precheck(typedNameText, typedPasswordText))
        return *refused;
    const QString typedName = AccountText::StripUnsafe(typedNameText);
    const QString typedPassword = AccountText::StripUnsafe(typedPasswordText);

    CDbConnection& db = m_state.mainConnection;
    Recordset account;
    CDbConnection::NewRecordset(account);
    if (!db.OpenRecordset(account, QStringLiteral("SELECT * FROM tb_User "))) {
        CDbConnection::CloseRecordset(account);
        return {Result::Stay, SharedTexts::faultText(db.lastFailure(), SharedTexts::kDatabaseFaultText),
                SharedTexts::kProductCaption};
    }
    if (account.isBof() && account.isEof()) {
        CDbConnection::CloseRecordset(account);
        return {Result::Stay, SharedTexts::kDatabaseFaultText, SharedTexts::kProductCaption};
    }

    const QString& systemKey = m_state.systemKey;
    const SettingsRecord& policy = m_state.settings;
    // Filled on a copy: an attempt undone by a data-access error leaves the run's record as it was.
    UserRecord user = m_state.user;
    QString seal;
    Outcome outcome;
    bool destroy = false;
    try {
        Transaction transaction(db);
        account.moveFirst();
        const FieldValue id = account.field(QStringLiteral("id"));
        if (id.isNull())
            return {Result::Stay, SharedTexts::kTamperedText, SharedTexts::kProductCaption};
        user.id = FieldConversions::toText(id);
        user.gender = FieldConversions::toInt(account.field(QStringLiteral("gender")), 2);
        user.purview = -1;
        readDate(account, QStringLiteral("createtime"), user.created);
        readDate(account, QStringLiteral("lastLoginTime"), user.lastLogin);
        account.setField(QStringLiteral("lastLoginTime"), FieldConversions::currentDateTime(m_state.clock).value);
        readDate(account, QStringLiteral("lastLogoutTime"), user.lastLogout);
        user.loginTimes = FieldConversions::toInt(account.field(QStringLiteral("loginTimes")), 0);
        account.setField(QStringLiteral("loginTimes"), static_cast<qint64>(user.loginTimes) + 1);
        account.update();

        seal = AccountText::DatabaseSeal(user.id);
        const AccountRow row(systemKey, seal);
        const AccountRow::Values stored = row.read(account);
        user.failureCount = stored.failureCount;
        user.userName = stored.userName;
        user.dataKey = stored.dataKey;

        const QChar mode = policy.sdRank.isEmpty() ? QChar() : policy.sdRank.front();
        const bool tamperMode = mode == u'1' || mode == u'3';
        const bool failureMode = mode == u'2' || mode == u'3';
        const bool policySealed = sealOf(policy.aesRank) == seal && sealOf(policy.instance) == seal &&
                                  sealOf(policy.interval) == seal && sealOf(policy.sdRank) == seal &&
                                  sealOf(policy.version) == seal;
        if (sealOf(policy.sdRank) != seal) {
            outcome = {Result::Stay, SharedTexts::kTamperedText, SharedTexts::kAppCaption};
        } else if (tamperMode && !policySealed) {
            destroy = true;
        } else if (failureMode && user.failureCount > LeadingNumber::value(withoutSeal(policy.sdRank).mid(1))) {
            destroy = true;
        } else if (CodePage936::roundTrip(typedName) != user.userName &&
                   CodePage936::lossyRoundTrip(typedName) != user.userName) {
            // Earlier versions kept '?' for what the code page lacks: such a name still logs in as typed.
            outcome = {Result::Stay, kUnknownNameText, SharedTexts::kProductCaption};
        } else if (!row.passwordMatches(account, typedPassword)) {
            user.failureCount = qMin(user.failureCount + 1, AccountRow::kMaxFailureCount);
            row.writeFailureCount(account, user.failureCount);
            account.update();
            outcome = {Result::Stay, wrongPasswordText(user.failureCount), SharedTexts::kProductCaption};
        } else {
            user.password = stored.password;
            user.failureCount = 0;
            row.writeFailureCount(account, 0);
            account.update();
            outcome = {Result::LoggedIn, {}, {}};
        }
        // Every table is about to be emptied: nothing of this attempt needs keeping.
        if (destroy)
            transaction.rollback();
        else
            transaction.commit();
    } catch (const DbError& error) {
        // A file that takes no writes is no damaged file: the user must learn what to fix, not be told
        // that the database was tampered with.
        CDbConnection::CloseRecordset(account);
        return {Result::Stay, SharedTexts::faultText(error.cause(), SharedTexts::kDatabaseFaultText),
                SharedTexts::kProductCaption};
    }
    CDbConnection::CloseRecordset(account);
    m_state.user = user;

    if (destroy) {
        DestroyAllData();
        return {Result::Cancel, {}, {}};
    }
    if (outcome.result == Result::LoggedIn) {
        // tiv.ini follows only a login the database kept.
        if (remember)
            RememberedName::remember(m_state.windowState, typedName, seal, systemKey, m_state.letters);
        else
            RememberedName::forget(m_state.windowState);
        WindowStateFile::write(m_state.windowState, m_state.letters);
    }
    return outcome;
}

void LoginPolicy::intervalMessageShown()
{
    m_state.lastAttemptTime = m_state.clock.now();
}

void LoginPolicy::DestroyAllData()
{
    static const QString statements[] = {
        QStringLiteral("delete FROM tb_User"),        QStringLiteral("delete FROM tb_Setting"),
        QStringLiteral("delete FROM tb_Article"),     QStringLiteral("delete FROM tb_Dairy"),
        QStringLiteral("delete FROM tb_Pwd"),         QStringLiteral("delete FROM tb_Task"),
        QStringLiteral("delete FROM tb_ArticleText"), QStringLiteral("delete FROM tb_DairyText"),
    };
    // Each statement on its own: one that fails must not keep the others from emptying their tables.
    for (const QString& statement : statements) {
        Recordset recordset;
        CDbConnection::NewRecordset(recordset);
        m_state.mainConnection.OpenRecordset(recordset, statement);
        CDbConnection::CloseRecordset(recordset);
    }
    m_state.dataDestroyed = true;
}
