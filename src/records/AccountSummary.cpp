#include "records/AccountSummary.h"

#include <QLocale>

#include "state/UserRecord.h"

namespace AccountSummary {

QString timeText(const FieldConversions::DateTimeValue& value)
{
    if (!value.isValid())
        return {};
    return QLocale().toString(value.value, QLocale::ShortFormat);
}

QString text(const UserRecord& user)
{
    return QStringLiteral("当前用户：") + user.userName + QStringLiteral("，上次登录时间：") +
           timeText(user.lastLogin) + QStringLiteral("，上次退出时间：") + timeText(user.lastLogout) +
           QStringLiteral("，总登录次数：") + QString::number(user.loginTimes);
}

} // namespace AccountSummary
