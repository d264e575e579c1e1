#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <future>
#include <mutex>
#include <vector>

#include "storage/DatabaseKey.h"

class Clock;

// The copies of the database in ./backup: the one made at start-up on the 2nd, 12th and 22nd of every
// month, the one the user makes on any day, and the one a restore saves of the database it replaces.
namespace DatedBackup {

enum class Result {
    NotToday,    // not a backup day
    Made,        // a new copy was written
    AlreadyMade, // the copy of today's name was made today and is kept as it is
    Failed,      // no backup folder, no database, or the copy failed; start-up goes on regardless
};

// No dated backup is deleted after a new one.
inline constexpr int kKeepAll = 0;

// "./backup/tiv-自动备份-" + month and day + ".bak", relative to the working directory.
QString backupPath(const QDate& day);
// "./backup/tiv-恢复前-" + date and time + ".bak": a name no dated backup has, which retention leaves alone.
QString beforeRestorePath(const QDateTime& moment);

// The copy is keyed like the database: a vault's backup opens only with the vault's password. After a
// new copy the oldest dated backups beyond `keep` are deleted.
Result run(const Clock& clock, const DatabaseKey& key = {}, int keep = kKeepAll);
// Runs the backup on a thread of its own, so the login need not wait for the copy. The copy holds
// a read transaction, and the program's writes wait for it to end (CDbConnection::CopyHold), so it
// holds the database as it was before this run wrote anything. The copy is an SQLCipher file keyed
// like the database, which may be copied over data/tiv.dat to restore it (BackupRestore).
std::future<Result> start(const Clock& clock, DatabaseKey key = {}, int keep = kKeepAll);
// Today's backup on any day, replacing one made earlier today: Made or Failed. Makes ./backup if it is
// missing, since the user asked for the copy.
Result makeNow(const Clock& clock, const DatabaseKey& key, int keep);

// Deletes the dated backups beyond the `keep` newest by modification time, never `made`. Partial copies
// and the copies saved before a restore are left alone. Gives the number deleted.
int prune(int keep, const QString& made = {});

struct Entry {
    QString path; // relative to the working directory, like backupPath()
    QDateTime modified;
    qint64 size = 0;
    bool beforeRestore = false;
};
// The dated backups and the copies saved before a restore, newest first.
std::vector<Entry> list();

// Copies the database through a connection of its own into target (a partial file renamed over it at
// the end), stamped with the moment. The caller holds exclusive().
bool copyDatabase(const QString& target, const QDateTime& stamp, const DatabaseKey& key);

// Held while a copy is made or the database replaced: the start-up backup on its thread, a backup the
// user asks for and a restore take turns instead of sharing a partial file or copying a file being swapped.
std::unique_lock<std::recursive_mutex> exclusive();

// Deletes every backup in ./backup: after a self-destruct they would keep the data it destroyed.
void removeAll();

} // namespace DatedBackup
