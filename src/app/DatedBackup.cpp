#include "app/DatedBackup.h"

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "storage/CDbConnection.h"
#include "storage/Clock.h"
#include "storage/DbError.h"
#include "storage/Schema.h"

namespace DatedBackup {

namespace {

QString monthDay(const QDate& day)
{
    return day.toString(QStringLiteral("MMdd"));
}

// What follows a backup's name in the name of a partial copy of it: the id of the process making it.
const QString kPartialSuffix = QStringLiteral("(\\.\\d+)?\\.part");

// Copies the database through a connection of its own in a read transaction: opening it first rolls
// back a journal that a crashed run left beside it, and the shared lock keeps other writers out until
// the copy is done. The engine copies the pages, so the program's own connections keep their locks.
bool copyConsistently(const QString& target, const QDateTime& now, const DatabaseKey& key)
{
    CDbConnection source;
    if (!key.open(source, Schema::databasePath()))
        return false;

    // A partial copy of this process's own name, so that one another start makes at the same moment
    // never becomes this one's. Partial copies that crashes left are cleared first (one another start
    // is still making then fails to take its place, which this one takes).
    const QFileInfo finalName(target);
    QDir folder = finalName.dir();
    const QRegularExpression partialName(QStringLiteral("^") + QRegularExpression::escape(finalName.fileName()) +
                                         kPartialSuffix + QStringLiteral("$"));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (partialName.match(name).hasMatch())
            folder.remove(name);
    }
    const QString partial = QStringLiteral("%1.%2.part").arg(target).arg(QCoreApplication::applicationPid());

    bool copied = false;
    try {
        source.execute(QStringLiteral("BEGIN"));
        source.execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        const CDbConnection::CopyHold hold;
        copied = key.copy(source, partial);
        source.execute(QStringLiteral("COMMIT"));
    } catch (const DbError&) {
    }
    source.CloseConnection();
    if (copied) {
        // The copy is stamped with the moment it was made, which later starts compare with today.
        QFile stamp(partial);
        copied = stamp.open(QIODevice::ReadWrite) && stamp.setFileTime(now, QFileDevice::FileModificationTime);
    }
    // The rename puts the whole copy in place of a stale one at once: until then the stale one stays.
    if (!copied || std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

Result runAt(const QDateTime& now, const DatabaseKey& key)
{
    const QDate today = now.date();
    if (!monthDay(today).endsWith(QLatin1Char('2')))
        return Result::NotToday;
    if (!QFileInfo(QStringLiteral("./backup")).isDir())
        return Result::Failed;

    const QString target = backupPath(today);
    const QFileInfo existing(target);
    // A backup file is written once and never changed, so its modification time is when it was made.
    // Only one made today holds today's data: one from another day, even this slot's of a year ago, is
    // replaced.
    if (existing.exists() && existing.lastModified().date() == today)
        return Result::AlreadyMade;
    return copyConsistently(target, now, key) ? Result::Made : Result::Failed;
}

} // namespace

QString backupPath(const QDate& day)
{
    return QStringLiteral("./backup/tiv-自动备份-") + monthDay(day) + QStringLiteral(".bak");
}

void removeAll()
{
    // The names backupPath() gives, and the partial copies of one that a crash cut short.
    const QRegularExpression backup(QStringLiteral("^tiv-自动备份-\\d{4}\\.bak(") + kPartialSuffix +
                                    QStringLiteral(")?$"));
    QDir folder(QStringLiteral("./backup"));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (backup.match(name).hasMatch())
            folder.remove(name);
    }
}

Result run(const Clock& clock, const DatabaseKey& key)
{
    return runAt(clock.now(), key);
}

std::future<Result> start(const Clock& clock, DatabaseKey key)
{
    return std::async(std::launch::async,
                      [now = clock.now(), key = std::move(key)] { return runAt(now, key); });
}

} // namespace DatedBackup
