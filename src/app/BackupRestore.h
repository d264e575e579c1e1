#pragma once

#include <QDateTime>
#include <QString>

#include "storage/DatabaseKey.h"

// Puts a backup in the place of the database. The current database is saved first, into a copy of its
// own in ./backup that retention never deletes, and the backup is copied beside the database, checked
// and renamed over it: a crash at any moment leaves the old database or the restored one, never a mix.
namespace BackupRestore {

enum class Outcome {
    Done,        // the backup passed the check, or took the database's place
    Missing,     // no file at the backup's path
    OtherKey,    // made under another password, or before the database became a vault or stopped being one
    Damaged,     // does not open, or fails the engine's check
    Foreign,     // opens, but lacks the program's tables or the account
    NotSaved,    // the current database could not be saved first
    NotReplaced, // the backup could not be put beside the database or renamed over it
};

struct Result {
    Outcome outcome = Outcome::Done;
    QString message;   // what the user is told; on a refusal it says that the current data is unchanged
    QString savedPath; // where the replaced database was saved, after a restore
};

// Whether the backup can take the database's place: it opens with the key (on a connection of its own),
// passes PRAGMA integrity_check and holds the program's tables with an account. Changes nothing.
Result check(const QString& backup, const DatabaseKey& key);

// Checks the backup, saves the current database (stamped with `now`) and replaces it by the backup. Every
// connection of the program to the database must be closed: the file is replaced under them. On any
// failure the database is left as it was.
Result restore(const QString& backup, const DatabaseKey& key, const QDateTime& now);

// The copy of a backup beside the database that a restore renames over it; one a crash left is removed
// by the next restore.
QString stagedPath(const QString& database);

} // namespace BackupRestore
