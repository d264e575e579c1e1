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

// The policy as the settings dialog shows it: its check boxes, and its two boxes as typed.
struct Choices {
    bool singleInstance = false;
    QString interval; // seconds between login attempts after a failure
    bool strongKey = false;
    bool destroy = false;       // the master box of the two rules below
    bool afterFailures = false; // destroy after more than failureLimit failed logins in a row
    QString failureLimit;
    bool whenTampered = false; // destroy when a policy value is found to carry another seal

    bool operator==(const Choices&) const = default;
};

// What the dialog shows for the values (with their seals, as in memory).
Choices choicesOf(const SettingsRecord& values);

// The values with instance, interval, aesRank and sdRank made from the choices, each followed by the
// seal; the id and the version are kept. Without the master box, or with neither rule, sdRank is "0".
SettingsRecord withChoices(const SettingsRecord& values, const Choices& choices, const QString& seal);

// The policy a new account starts with: one copy only, one second between login attempts, data
// destroyed when tampered with or after more than 100 failed logins.
SettingsRecord defaults(const QString& seal);

} // namespace PolicyRow
