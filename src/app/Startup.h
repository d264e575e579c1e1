#pragma once

#include <QString>

#include <future>
#include <memory>

#include "state/SharedTexts.h"
#include "storage/CDbConnection.h"
#include "storage/Vault.h"

struct AppState;
class InstanceLock;
class Prompter;

// What the program does before the login dialog and after the last window closed.
namespace Startup {

inline const QString kAlreadyRunningText =
    SharedTexts::kProductCaption + QStringLiteral("已有一个的实例已经运行！\r\n\r\n（注：为了你的信息安全，"
                                                  "请根据自身情况设定是否允许同时运行多个实例！\r\n");

// The database opened on a thread of its own. Keying it derives the key from the password, which
// takes tens of milliseconds that can pass while Qt connects to the display.
using EarlyOpen = std::future<std::unique_ptr<CDbConnection>>;
EarlyOpen openInBackground();

// The system key, the four connections (taken from the early open when one is given), the policy
// row, the single-instance lock and the window-state file, in that order. False ends start-up; the
// user has been told why. The dated backup is started after it (DatedBackup::start).
bool prepare(AppState& state, InstanceLock& lock, Prompter& prompter, EarlyOpen early = {});

bool openConnections(AppState& state, Prompter& prompter, EarlyOpen early = {});
// What follows the open of the connections in prepare(): the write probe, the tables the program
// adds, the policy row, the single-instance lock and the window-state file.
bool afterOpen(AppState& state, InstanceLock& lock, Prompter& prompter);

// Whether the database is a vault: then the login comes first, and its password opens the database.
bool databaseIsVault();

// The login's open of a vault with the password as typed (the login's character removal applies).
// Opened: the connections are open and keyed, and afterOpen() has passed. Stay: the password did not
// open it, and the user was told why. Refused: the database cannot be used (or afterOpen() failed);
// the user was told why.
enum class VaultOpen { Opened, Stay, Refused };
VaultOpen openVault(AppState& state, InstanceLock& lock, Prompter& prompter, const QString& typedPassword);

// Tries a write that is rolled back: the login and every command after it write, so a database that
// cannot be written (read-only, a full disk, another program's lock) is told of before the user types
// a password that the login would then refuse for the wrong reason.
bool checkWritable(AppState& state, Prompter& prompter);
// Reads and decrypts the policy row; an empty table leaves the first-run values.
bool loadPolicy(AppState& state, Prompter& prompter);
bool takeInstanceLock(const AppState& state, InstanceLock& lock, Prompter& prompter);

// Releases the lock, closes the connections and, after a self-destruct, deletes the database file
// together with everything SQLite keeps beside it, and the dated backups.
void finish(AppState& state, InstanceLock& lock);

} // namespace Startup
