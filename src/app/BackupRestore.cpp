#include "app/BackupRestore.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "app/DatedBackup.h"
#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/FileSync.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Vault.h"

namespace BackupRestore {

namespace {

const QString kUnchanged = QStringLiteral("\r\n当前数据没有任何改动。");

QString refusalText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Missing:
        return QStringLiteral("找不到所选的备份文件，它可能已被删除。") + kUnchanged;
    case Outcome::OtherKey:
        return QStringLiteral("此备份无法用当前密码打开：它是在更改密码或加密方式之前做的。") + kUnchanged;
    case Outcome::Damaged:
        return QStringLiteral("此备份已损坏，无法用来恢复。") + kUnchanged;
    case Outcome::Foreign:
        return QStringLiteral("此备份不是本程序的数据，或其中没有用户资料，无法用来恢复。") + kUnchanged;
    case Outcome::NotSaved:
        return QStringLiteral("无法先保存当前数据（backup 文件夹无法写入或磁盘已满），恢复没有进行。") + kUnchanged;
    case Outcome::NotReplaced:
        return QStringLiteral("无法替换 data 文件夹中的数据库文件（文件夹无法写入或磁盘已满），恢复没有完成。") +
               kUnchanged;
    case Outcome::Done:
        break;
    }
    return {};
}

Result refused(Outcome outcome)
{
    return {outcome, refusalText(outcome), {}};
}

bool renamed(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Copies the bytes into a new file readable by its owner only, and puts them on disk before it returns.
bool copySynced(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const int fd = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    QFile target;
    bool copied = target.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    while (copied && !source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        copied = !chunk.isEmpty() && target.write(chunk) == chunk.size();
    }
    copied = copied && target.flush() && ::fsync(fd) == 0;
    target.close();
    ::close(fd);
    if (!copied)
        QFile::remove(to);
    return copied;
}

// Saves the database under a name of its own in ./backup. Through the engine when it reads the database
// whole; byte for byte when it does not, since a damaged database is what a restore often replaces, and
// the user may still want what is left of it.
QString saveCurrent(const QString& database, const DatabaseKey& key, const QDateTime& now)
{
    const QString first = DatedBackup::beforeRestorePath(now);
    QString target = first;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = first.chopped(4) + QStringLiteral("-%1.bak").arg(n);
    if (DatedBackup::copyDatabase(target, now, key))
        return target;
    const QString partial = target + QStringLiteral(".part");
    if (copySynced(database, partial) && renamed(partial, target))
        return target;
    QFile::remove(partial);
    return {};
}

// The tables every session reads; an account row is what the login needs.
const QStringList kNeededTables = {
    QStringLiteral("tb_User"), QStringLiteral("tb_Setting"),   QStringLiteral("tb_Article"), QStringLiteral("tb_Dairy"),
    QStringLiteral("tb_Pwd"),  QStringLiteral("tb_FolderMax"), QStringLiteral("tb_Const")};

Outcome contentOutcome(CDbConnection& connection)
{
    Recordset rows;
    try {
        if (!connection.OpenRecordset(rows, QStringLiteral("PRAGMA integrity_check")) || rows.isEof() ||
            FieldConversions::toText(rows.field(QStringLiteral("integrity_check"))) != QLatin1String("ok"))
            return Outcome::Damaged;
        for (const QString& table : kNeededTables) {
            if (!connection.OpenRecordset(rows, QStringLiteral("SELECT count(*) AS n FROM ") + table))
                return Outcome::Foreign;
            if (table == QLatin1String("tb_User") && FieldConversions::toInt(rows.field(QStringLiteral("n"))) < 1)
                return Outcome::Foreign;
        }
    } catch (const DbError&) {
        return Outcome::Damaged;
    }
    return Outcome::Done;
}

} // namespace

QString stagedPath(const QString& database)
{
    return database + QStringLiteral(".restore");
}

Result check(const QString& backup, const DatabaseKey& key)
{
    const Vault::Format format = Vault::detect(backup);
    if (format == Vault::Format::Absent)
        return refused(Outcome::Missing);
    if (format == Vault::Format::Damaged)
        return refused(Outcome::Damaged);
    CDbConnection connection;
    bool opened = false;
    bool otherKey = false; // a file that another key opens is no damaged one
    if (key.isVault()) {
        const Vault::Outcome outcome = Vault::openWithKey(connection, backup, key.vaultKey());
        opened = outcome == Vault::Outcome::Done;
        otherKey = format == Vault::Format::Vault ? outcome == Vault::Outcome::WrongPassword
                                                  : !opened && DatabaseKey().open(connection, backup);
    } else {
        opened = key.open(connection, backup);
        otherKey = !opened && format == Vault::Format::Vault;
    }
    if (!opened)
        return refused(otherKey ? Outcome::OtherKey : Outcome::Damaged);
    const Outcome outcome = contentOutcome(connection);
    return outcome == Outcome::Done ? Result{} : refused(outcome);
}

Result restore(const QString& backup, const DatabaseKey& key, const QDateTime& now)
{
    const auto lock = DatedBackup::exclusive();
    const QString database = Schema::databasePath();
    const QString staged = stagedPath(database);
    const auto removeStaged = [&] {
        QFile::remove(staged);
        QFile::remove(staged + QStringLiteral("-journal"));
    };
    removeStaged();
    if (!QFileInfo(backup).isFile())
        return refused(Outcome::Missing);
    const QDateTime made = QFileInfo(backup).lastModified();

    // What is checked is the very copy that takes the database's place, complete and on disk first.
    if (!copySynced(backup, staged))
        return refused(Outcome::NotReplaced);
    if (Result checked = check(staged, key); checked.outcome != Outcome::Done) {
        removeStaged();
        return checked;
    }
    QString saved;
    if (QFileInfo(database).isFile() && (saved = saveCurrent(database, key, now)).isEmpty()) {
        removeStaged();
        return refused(Outcome::NotSaved);
    }
    // Opening the database for that copy rolled back a journal a crash had left; what is still there
    // belongs to no transaction, and the engine would play it into the restored file as its own.
    QFile::remove(database + QStringLiteral("-journal"));
    if (!renamed(staged, database)) {
        removeStaged();
        return refused(Outcome::NotReplaced);
    }
    // The rename is the change; syncing the folder makes it survive a power cut as well as a crash.
    FileSync::syncFolderOf(database);
    QString message =
        QStringLiteral("已用 %1 的备份恢复数据。").arg(made.toString(QStringLiteral("yyyy年M月d日 HH:mm")));
    if (!saved.isEmpty())
        message += QStringLiteral("\r\n恢复前的数据已保存为 backup 文件夹中的 %1。").arg(QFileInfo(saved).fileName());
    return {Outcome::Done, message, saved};
}

} // namespace BackupRestore
