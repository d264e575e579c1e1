#pragma once

#include <QString>

#include "state/SettingsRecord.h"

class Recordset;

// The stored form of the policy row in tb_Setting, in one place: each of the five values is its text
// with the account's seal appended, encrypted under the SystemKey. In memory the values keep their
// seals, exactly as stored, so the login can compare them.
namespace PolicyRow {

// The id and the five values of the current row. Throws DbError when the row does not read.
SettingsRecord read(const Recordset& policy, const QString& systemKey);

// Sets the five values of the current row (the id is the caller's); the caller writes the row.
void write(Recordset& policy, const SettingsRecord& values, const QString& systemKey);

// The policy a new account starts with: one copy only, one second between login attempts, data
// destroyed when tampered with or after more than 100 failed logins.
SettingsRecord defaults(const QString& seal);

} // namespace PolicyRow
