#include "security/PolicyRow.h"

#include <array>
#include <utility>

#include "crypto/TextCipher.h"
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
