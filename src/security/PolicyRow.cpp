#include "security/PolicyRow.h"

#include <array>
#include <utility>

#include "crypto/TextCipher.h"
#include "state/AccountText.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"

namespace PolicyRow {

namespace {

// The columns in the order they are read and written.
std::array<std::pair<QString, QString SettingsRecord::*>, 5> columns()
{
    return {{
        {QStringLiteral("aesRank"), &SettingsRecord::aesRank},
        {QStringLiteral("instance"), &SettingsRecord::instance},
        {QStringLiteral("interval"), &SettingsRecord::interval},
        {QStringLiteral("sdRank"), &SettingsRecord::sdRank},
        {QStringLiteral("version"), &SettingsRecord::version},
    }};
}

} // namespace

SettingsRecord read(const Recordset& policy, const QString& systemKey)
{
    SettingsRecord values;
    values.id = FieldConversions::toInt(policy.field(QStringLiteral("id")));
    for (const auto& [column, member] : columns())
        values.*member = TextCipher::DecryptText(systemKey, FieldConversions::ReadLongBinary(policy, column));
    return values;
}

void write(Recordset& policy, const SettingsRecord& values, const QString& systemKey)
{
    for (const auto& [column, member] : columns())
        policy.setField(column, TextCipher::EncryptText(systemKey, values.*member));
}

Choices choicesOf(const SettingsRecord& values)
{
    Choices choices;
    choices.singleInstance = values.instance.startsWith(u'1');
    choices.interval = AccountText::withoutSeal(values.interval);
    choices.strongKey = values.aesRank.startsWith(u'2');
    // Only a stored "0" turns destruction off; a value without a mode shows the master box alone.
    const QString mode = values.sdRank.left(1);
    choices.destroy = mode != u"0";
    if (choices.destroy) {
        choices.whenTampered = mode == u"1" || mode == u"3";
        choices.afterFailures = mode == u"2" || mode == u"3";
        if (choices.afterFailures)
            choices.failureLimit = AccountText::withoutSeal(values.sdRank).mid(1);
    }
    return choices;
}

SettingsRecord withChoices(const SettingsRecord& values, const Choices& choices, const QString& seal)
{
    SettingsRecord result = values;
    result.instance = QString(choices.singleInstance ? u'1' : u'0') + seal;
    result.interval = choices.interval + seal;
    result.aesRank = QString(choices.strongKey ? u'2' : u'1') + seal;
    QString mode = QStringLiteral("0");
    if (choices.destroy && choices.afterFailures)
        mode = (choices.whenTampered ? QStringLiteral("3") : QStringLiteral("2")) + choices.failureLimit;
    else if (choices.destroy && choices.whenTampered)
        mode = QStringLiteral("1");
    result.sdRank = mode + seal;
    return result;
}

SettingsRecord defaults(const QString& seal)
{
    SettingsRecord values;
    values.id = 1;
    values.aesRank = QStringLiteral("1") + seal;
    values.instance = QStringLiteral("1") + seal;
    values.interval = QStringLiteral("1") + seal;
    values.sdRank = QStringLiteral("3100") + seal;
    values.version = QStringLiteral("2.0.00") + seal;
    return values;
}

} // namespace PolicyRow
