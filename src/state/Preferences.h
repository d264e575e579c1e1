#pragma once

class CDbConnection;

// The choices the program added beside the policy row: how the open program guards what it shows.
// They live in a table of their own that start-up adds to an older database, so the tables other
// versions read keep their form; a missing table or row reads as the default.
namespace Preferences {

struct Values {
    int lockMinutes = 10;      // idle time before the program locks itself; 0 never
    int clipboardSeconds = 30; // a copied account field is cleared after this; 0 only at exit
    bool hidePassword = false; // the account password shown as dots
    int keepBackups = 12;      // dated backups kept; older ones are deleted after a new one is made

    bool operator==(const Values&) const = default;
};

inline constexpr int kMaxLockMinutes = 24 * 60;
inline constexpr int kMaxClipboardSeconds = 3600;
inline constexpr int kMinKeptBackups = 1;
inline constexpr int kMaxKeptBackups = 999;

// Values brought into their ranges, for whatever was stored or typed.
Values bounded(Values values);

// Adds the table when it is missing. Throws DbError.
void ensureTable(CDbConnection& connection);
// Never throws: a table that does not read yields the defaults.
Values read(CDbConnection& connection);
// Writes every value in one transaction. Throws DbError; nothing is written then.
void write(CDbConnection& connection, const Values& values);

} // namespace Preferences
