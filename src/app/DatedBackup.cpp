#include "app/DatedBackup.h"

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

// Copies the database while a read transaction holds it: opening it first rolls back a journal that
// a crashed run left beside it, and the shared lock keeps other writers out until the copy is done.
bool copyConsistently(const QString& target, const QDateTime& now)
{
    CDbConnection source;
    const QString password = CDbConnection::parseConnectionString(Schema::kConnectionString).password;
    const QString database = Schema::databasePath();
    if (!source.openFile(database, password))
        return false;
    const QString partial = target + QStringLiteral(".part");
    bool copied = false;
    try {
        source.execute(QStringLiteral("BEGIN"));
        source.execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        const CDbConnection::CopyHold hold;
        QFile::remove(partial);
        copied = QFile::copy(database, partial);
        // The copy is stamped with the moment it was made, which later starts compare with today.
        QFile stamp(partial);
        copied =
            copied && stamp.open(QIODevice::ReadWrite) && stamp.setFileTime(now, QFileDevice::FileModificationTime);
        source.execute(QStringLiteral("COMMIT"));
    } catch (const DbError&) {
        copied = false;
    }
    source.CloseConnection();
    // Renaming never replaces an existing file, so a copy made meanwhile is never overwritten.
    if (!copied || !QFile::rename(partial, target)) {
        QFile::remove(partial);
        return false;
    }
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

Result runAt(const QDateTime& now)
{
    const QDate today = now.date();
    if (!monthDay(today).endsWith(QLatin1Char('2')))
        return Result::NotToday;
    if (!QFileInfo(QStringLiteral("./backup")).isDir())
        return Result::Failed;

    const QString target = backupPath(today);
    const QFileInfo existing(target);
    if (existing.exists()) {
        // A backup file is written once and never changed, so its modification time is when it was
        // made. One from today's month and day (this year or an earlier one) stays; another is stale.
        if (monthDay(existing.lastModified().date()) == monthDay(today))
            return Result::AlreadyMade;
        QFile::remove(target);
    }
    return copyConsistently(target, now) ? Result::Made : Result::Failed;
}

} // namespace

QString backupPath(const QDate& day)
{
    return QStringLiteral("./backup/tiv-自动备份-") + monthDay(day) + QStringLiteral(".bak");
}

void removeAll()
{
    // The names backupPath() gives, and the partial copy of one that a crash cut short.
    const QRegularExpression backup(QStringLiteral("^tiv-自动备份-\\d{4}\\.bak(\\.part)?$"));
    QDir folder(QStringLiteral("./backup"));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (backup.match(name).hasMatch())
            folder.remove(name);
    }
}

Result run(const Clock& clock)
{
    return runAt(clock.now());
}

std::future<Result> start(const Clock& clock)
{
    return std::async(std::launch::async, &runAt, clock.now());
}

} // namespace DatedBackup
