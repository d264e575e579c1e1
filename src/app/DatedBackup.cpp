#include "app/DatedBackup.h"

#include <algorithm>
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
const QString kDatedName = QStringLiteral("tiv-自动备份-\\d{4}\\.bak");
const QString kBeforeRestoreName = QStringLiteral("tiv-恢复前-\\d{8}-\\d{6}(-\\d+)?\\.bak");
const QString kFolder = QStringLiteral("./backup");

QRegularExpression wholeName(const QString& pattern)
{
    return QRegularExpression(QStringLiteral("^(") + pattern + QStringLiteral(")$"));
}

QFileInfoList backupFiles(const QString& pattern)
{
    const QRegularExpression name = wholeName(pattern);
    QFileInfoList found;
    for (const QFileInfo& file : QDir(kFolder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.match(file.fileName()).hasMatch())
            found.append(file);
    }
    std::sort(found.begin(), found.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return a.lastModified() > b.lastModified(); });
    return found;
}

// Makes the copy and then deletes the dated backups beyond the number kept.
Result makeAndPrune(const QString& target, const QDateTime& now, const DatabaseKey& key, int keep)
{
    if (!copyDatabase(target, now, key))
        return Result::Failed;
    prune(keep, target);
    return Result::Made;
}

Result runAt(const QDateTime& now, const DatabaseKey& key, int keep)
{
    const QDate today = now.date();
    if (!monthDay(today).endsWith(QLatin1Char('2')))
        return Result::NotToday;
    if (!QFileInfo(QStringLiteral("./backup")).isDir())
        return Result::Failed;

    const auto lock = exclusive();
    const QString target = backupPath(today);
    const QFileInfo existing(target);
    // A backup file is written once and never changed, so its modification time is when it was made.
    // Only one made today holds today's data: one from another day, even this slot's of a year ago, is
    // replaced.
    if (existing.exists() && existing.lastModified().date() == today)
        return Result::AlreadyMade;
    return makeAndPrune(target, now, key, keep);
}

} // namespace

QString backupPath(const QDate& day)
{
    return QStringLiteral("./backup/tiv-自动备份-") + monthDay(day) + QStringLiteral(".bak");
}

QString beforeRestorePath(const QDateTime& moment)
{
    return QStringLiteral("./backup/tiv-恢复前-") + moment.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".bak");
}

std::unique_lock<std::recursive_mutex> exclusive()
{
    static std::recursive_mutex mutex;
    return std::unique_lock(mutex);
}

// Copies the database through a connection of its own in a read transaction: opening it first rolls
// back a journal that a crashed run left beside it, and the shared lock keeps other writers out until
// the copy is done. The engine copies the pages, so the program's own connections keep their locks.
bool copyDatabase(const QString& target, const QDateTime& now, const DatabaseKey& key)
{
    const auto lock = exclusive();
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

void removeAll()
{
    // Every copy of the data, and the partial copies of one that a crash cut short.
    for (const QFileInfo& file :
         backupFiles(QStringLiteral("(%1|%2)(%3)?").arg(kDatedName, kBeforeRestoreName, kPartialSuffix)))
        QFile::remove(file.filePath());
}

Result run(const Clock& clock, const DatabaseKey& key, int keep)
{
    return runAt(clock.now(), key, keep);
}

std::future<Result> start(const Clock& clock, DatabaseKey key, int keep)
{
    return std::async(std::launch::async,
                      [now = clock.now(), key = std::move(key), keep] { return runAt(now, key, keep); });
}

Result makeNow(const Clock& clock, const DatabaseKey& key, int keep)
{
    const QDateTime now = clock.now();
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!QFileInfo(kFolder).isDir() && !QDir().mkdir(kFolder, ownerOnly))
        return Result::Failed;
    return makeAndPrune(backupPath(now.date()), now, key, keep);
}

int prune(int keep, const QString& made)
{
    if (keep <= kKeepAll)
        return 0;
    const auto lock = exclusive();
    QFileInfoList dated = backupFiles(kDatedName);
    // The one just made counts first, whatever the clock stamped on the others.
    const QString madeName = made.isEmpty() ? QString() : QFileInfo(made).fileName();
    const auto justMade =
        std::find_if(dated.begin(), dated.end(), [&](const QFileInfo& file) { return file.fileName() == madeName; });
    if (justMade != dated.end())
        std::rotate(dated.begin(), justMade, justMade + 1);
    int deleted = 0;
    for (qsizetype i = keep; i < dated.size(); ++i)
        deleted += QFile::remove(dated[i].filePath()) ? 1 : 0;
    return deleted;
}

std::vector<Entry> list()
{
    std::vector<Entry> entries;
    const QRegularExpression beforeRestore = wholeName(kBeforeRestoreName);
    for (const QFileInfo& file : backupFiles(QStringLiteral("%1|%2").arg(kDatedName, kBeforeRestoreName))) {
        entries.push_back({QDir(kFolder).filePath(file.fileName()), file.lastModified(), file.size(),
                           beforeRestore.match(file.fileName()).hasMatch()});
    }
    return entries;
}

} // namespace DatedBackup
