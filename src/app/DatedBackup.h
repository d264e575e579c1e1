#pragma once

#include <QDate>
#include <QString>

#include <future>

#include "storage/DatabaseKey.h"

class Clock;

// The copy of the database made at start-up on the 2nd, 12th and 22nd of every month.
namespace DatedBackup {

enum class Result {
    NotToday,    // not a backup day
    Made,        // a new copy was written
    AlreadyMade, // the copy of today's name was made today and is kept as it is
    Failed,      // no backup folder, no database, or the copy failed; start-up goes on regardless
};

// "./backup/tiv-自动备份-" + month and day + ".bak", relative to the working directory.
QString backupPath(const QDate& day);

// The copy is keyed like the database: a vault's backup opens only with the vault's password.
Result run(const Clock& clock, const DatabaseKey& key = {});
// Runs the backup on a thread of its own, so the login need not wait for the copy. The copy holds
// a read transaction, and the program's writes wait for it to end (CDbConnection::CopyHold), so it
// holds the database as it was before this run wrote anything. The copy is an SQLCipher file keyed
// like the database, which may be copied over data/tiv.dat to restore it.
std::future<Result> start(const Clock& clock, DatabaseKey key = {});

// Deletes every dated backup in ./backup: after a self-destruct they would keep the data it destroyed.
void removeAll();

} // namespace DatedBackup
