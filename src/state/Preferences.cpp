#include "state/Preferences.h"

#include <algorithm>

#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"

namespace Preferences {

namespace {

const QString kLockMinutes = QStringLiteral("lockMinutes");
const QString kClipboardSeconds = QStringLiteral("clipboardSeconds");
const QString kHidePassword = QStringLiteral("hidePassword");
const QString kKeepBackups = QStringLiteral("keepBackups");

} // namespace

Values bounded(Values values)
{
    values.lockMinutes = std::clamp(values.lockMinutes, 0, kMaxLockMinutes);
    values.clipboardSeconds = std::clamp(values.clipboardSeconds, 0, kMaxClipboardSeconds);
    values.keepBackups = std::clamp(values.keepBackups, kMinKeptBackups, kMaxKeptBackups);
    return values;
}

void ensureTable(CDbConnection& connection)
{
    connection.execute(
        QStringLiteral("CREATE TABLE IF NOT EXISTS tiv_Preference (name TEXT PRIMARY KEY, value INTEGER)"));
}

Values read(CDbConnection& connection)
{
    Values values;
    Recordset rows;
    try {
        if (!connection.OpenRecordset(rows, QStringLiteral("SELECT name, value FROM tiv_Preference")))
            return values;
        for (; !rows.isEof(); rows.moveNext()) {
            const FieldValue value = rows.field(QStringLiteral("value"));
            if (value.kind() != FieldValue::Kind::Integer)
                continue;
            const auto number = static_cast<int>(std::clamp<qint64>(value.integer(), -1, 1 << 20));
            const QString name = rows.field(QStringLiteral("name")).text();
            if (name == kLockMinutes)
                values.lockMinutes = number;
            else if (name == kClipboardSeconds)
                values.clipboardSeconds = number;
            else if (name == kHidePassword)
                values.hidePassword = number != 0;
            else if (name == kKeepBackups)
                values.keepBackups = number;
        }
    } catch (const DbError&) {
        CDbConnection::CloseRecordset(rows);
        return Values{};
    }
    CDbConnection::CloseRecordset(rows);
    return bounded(values);
}

void write(CDbConnection& connection, const Values& given)
{
    const Values values = bounded(given);
    Transaction transaction(connection);
    ensureTable(connection);
    connection.executeEach(QStringLiteral("INSERT OR REPLACE INTO tiv_Preference (name, value) VALUES (?, ?)"),
                           {{kLockMinutes, values.lockMinutes},
                            {kClipboardSeconds, values.clipboardSeconds},
                            {kHidePassword, values.hidePassword ? 1 : 0},
                            {kKeepBackups, values.keepBackups}});
    transaction.commit();
}

} // namespace Preferences
