#include "security/LoginPolicy.h"

#include <algorithm>
#include <limits>

#include "app/AppState.h"
#include "app/WindowStateFile.h"
#include "crypto/CodePage936.h"
#include "crypto/TextCipher.h"
#include "security/AccountText.h"
#include "security/RememberedName.h"
#include "storage/Clock.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"

using AccountText::sealOf;
using AccountText::withoutSeal;
using FieldConversions::ReadLongBinary;

namespace {

// Leading decimal digits with an optional sign, 0 when there are none: how the policy texts and
// the stored failure count have always been read.
qint64 decimalValue(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            break;
    }
    return negative ? -value : value;
}

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
        return {Accounts::Unusable, kCountFailedText, kProductCaption};
    }
    if (count.isBof() && count.isEof())
        return {Accounts::Unusable, {}, {}};
    int accounts = -1;
    try {
        count.moveFirst();
        accounts = FieldConversions::toInt(count.field(QStringLiteral("a")));
    } catch (const DbError&) {
        return {Accounts::Unusable, kCountFailedText, kProductCaption};
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
        return {Result::Cancel, kTamperedText, kAppCaption};
    return {};
}

std::optional<QString> LoginPolicy::rememberedName() const
{
    return RememberedName::recall(m_state.windowState, m_state.systemKey);
}

LoginPolicy::Outcome LoginPolicy::attempt(const QString& typedNameText, const QString& typedPasswordText, bool remember)
{
    const QDateTime now = m_state.clock.now();
    const double elapsed = static_cast<double>(m_state.lastAttemptTime.msecsTo(now)) / 1000.0;
    const QString interval = withoutSeal(m_state.settings.interval);
    const bool tooSoon = static_cast<double>(decimalValue(interval)) > elapsed && m_state.user.failureCount >= 1;
    m_state.lastAttemptTime = now;
    if (tooSoon)
        return {Result::Stay, intervalText(interval), kProductCaption};

    const QString typedName = AccountText::StripUnsafe(typedNameText);
    const QString typedPassword = AccountText::StripUnsafe(typedPasswordText);
    if (typedName.isEmpty())
        return {Result::Stay, kEmptyNameText, kShortCaption};
    if (typedPassword.size() < kMinPasswordLength)
        return {Result::Stay, kShortPasswordText, kShortCaption};

    CDbConnection& db = m_state.mainConnection;
    Recordset account;
    CDbConnection::NewRecordset(account);
    if (!db.OpenRecordset(account, QStringLiteral("SELECT * FROM tb_User ")) || (account.isBof() && account.isEof())) {
        CDbConnection::CloseRecordset(account);
        return {Result::Stay, kDatabaseFaultText, kProductCaption};
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
            return {Result::Stay, kTamperedText, kProductCaption};
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

        auto decrypted = [&](const QString& column) {
            return TextCipher::DecryptText(systemKey, ReadLongBinary(account, column));
        };
        const qint64 storedCount = decimalValue(decrypted(QStringLiteral("errorTimes")));
        user.failureCount = static_cast<int>(std::clamp<qint64>(storedCount, 0, kMaxFailureCount));
        user.userName = AccountText::UnsaltText(withoutSeal(decrypted(QStringLiteral("userName"))));
        const QByteArray storedPassword = ReadLongBinary(account, QStringLiteral("password"));
        user.dataKey = AccountText::UnsaltText(withoutSeal(decrypted(QStringLiteral("aesKey"))));

        seal = AccountText::DatabaseSeal(user.id);
        const QChar mode = policy.sdRank.isEmpty() ? QChar() : policy.sdRank.front();
        const bool tamperMode = mode == u'1' || mode == u'3';
        const bool failureMode = mode == u'2' || mode == u'3';
        const bool policySealed = sealOf(policy.aesRank) == seal && sealOf(policy.instance) == seal &&
                                  sealOf(policy.interval) == seal && sealOf(policy.sdRank) == seal &&
                                  sealOf(policy.version) == seal;
        if (sealOf(policy.sdRank) != seal) {
            outcome = {Result::Stay, kTamperedText, kAppCaption};
        } else if (tamperMode && !policySealed) {
            destroy = true;
        } else if (failureMode && user.failureCount > decimalValue(withoutSeal(policy.sdRank).mid(1))) {
            destroy = true;
        } else if (CodePage936::roundTrip(typedName) != user.userName) {
            // The stored name passed through the code page; the typed one is compared in the same form.
            outcome = {Result::Stay, kUnknownNameText, kProductCaption};
        } else if (TextCipher::EncryptText(systemKey, typedPassword + seal) != storedPassword) {
            user.failureCount = qMin(user.failureCount + 1, kMaxFailureCount);
            FieldConversions::WriteLongBinary(account,
                                              TextCipher::EncryptText(systemKey, QString::number(user.failureCount)),
                                              QStringLiteral("errorTimes"));
            outcome = {Result::Stay, wrongPasswordText(user.failureCount), kProductCaption};
        } else {
            user.password = withoutSeal(TextCipher::DecryptText(systemKey, storedPassword));
            user.failureCount = 0;
            FieldConversions::WriteLongBinary(account, TextCipher::EncryptText(systemKey, QStringLiteral("0")),
                                              QStringLiteral("errorTimes"));
            outcome = {Result::LoggedIn, {}, {}};
        }
        // Every table is about to be emptied: nothing of this attempt needs keeping.
        if (destroy)
            transaction.rollback();
        else
            transaction.commit();
    } catch (const DbError&) {
        CDbConnection::CloseRecordset(account);
        return {Result::Stay, kDatabaseFaultText, kProductCaption};
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

void LoginPolicy::DestroyAllData()
{
    static const QString statements[] = {
        QStringLiteral("delete FROM tb_User"),    QStringLiteral("delete FROM tb_Setting"),
        QStringLiteral("delete FROM tb_Article"), QStringLiteral("delete FROM tb_Dairy"),
        QStringLiteral("delete FROM tb_Pwd"),     QStringLiteral("delete FROM tb_Task"),
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
