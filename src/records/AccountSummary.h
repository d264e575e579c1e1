#pragma once

#include <QString>

#include "storage/FieldConversions.h"

struct UserRecord;

// The one-line account summary of the home page: who is logged in and what the account looked like
// before this login, so the user notices logins and exits that were not theirs.
namespace AccountSummary {

// "当前用户：" + name + "，上次登录时间：" + time + "，上次退出时间：" + time + "，总登录次数：" + count.
QString text(const UserRecord& user);

// The user's short date-and-time form; empty for a time that was never recorded.
QString timeText(const FieldConversions::DateTimeValue& value);

} // namespace AccountSummary
