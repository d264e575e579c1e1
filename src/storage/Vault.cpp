#include "storage/Vault.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/FileSync.h"
#include "storage/Schema.h"

namespace Vault {

namespace {

QByteArray plainKey()
{
    return CDbConnection::parseConnectionString(Schema::kConnectionString).password.toUtf8();
}

QString newFilePath(const QString& path)
{
    return path + QStringLiteral(".new");
}

Outcome fromCause(DbError::Cause cause, Outcome otherwise)
{
    switch (cause) {
    case DbError::Cause::ReadOnly:
    case DbError::Cause::CannotMakeFile:
        return Outcome::ReadOnly;
    case DbError::Cause::DiskFull:
        return Outcome::DiskFull;
    case DbError::Cause::Locked:
        return Outcome::Locked;
    case DbError::Cause::Unknown:
        break;
    }
    return otherwise;
}

Outcome fromErrno(int error)
{
    switch (error) {
    case EROFS:
    case EACCES:
    case EPERM:
        return Outcome::ReadOnly;
    case ENOSPC:
    case EDQUOT:
        return Outcome::DiskFull;
    default:
        return Outcome::Failed;
    }
}

Outcome fromSqlite(int rc)
{
    const int primary = rc & 0xFF;
    return fromCause(DbError::causeOf(rc),
                     primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ? Outcome::Damaged : Outcome::Failed);
}

enum class Header { Absent, Short, Plain, Vault };

Header readHeader(const QString& path, VaultKey::Salt& salt)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return Header::Absent;
    if (!file.open(QIODevice::ReadOnly))
        return Header::Short;
    const qint64 got = file.read(reinterpret_cast<char*>(salt.data()), VaultKey::kSaltSize);
    if (got != static_cast<qint64>(VaultKey::kSaltSize))
        return Header::Short;
    return VaultKey::paramsOf(salt) ? Header::Vault : Header::Plain;
}

// Opens the file with the built-in password: NotAVault when it is in the plain format after all.
Outcome plainOutcome(const QString& path)
{
    CDbConnection plain;
    if (plain.openFileWithKey(path, plainKey()))
        return Outcome::NotAVault;
    return fromCause(plain.lastFailure(), Outcome::Damaged);
}

int exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Runs a statement that gives one value and returns it as text (empty on failure, rc set).
QString scalar(sqlite3* db, const QString& sql, int& rc)
{
    sqlite3_stmt* statement = nullptr;
    QString value;
    rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return value;
}

QStringList tablesOf(sqlite3* db, int& rc)
{
    QStringList tables;
    sqlite3_stmt* statement = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1, &statement,
                            nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
        tables.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
        rc = SQLITE_OK;
    }
    if (rc == SQLITE_DONE)
        rc = SQLITE_OK;
    sqlite3_finalize(statement);
    return tables;
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Whether the new file opens with its key, passes the engine's check (which reads, and so decrypts and
// authenticates, every page) and holds as many rows in every table as the source.
Outcome verify(sqlite3* source, const QString& path, QByteArrayView key)
{
    CDbConnection copy;
    if (!copy.openFileWithKey(path, key))
        return fromCause(copy.lastFailure(), Outcome::Damaged);
    int rc = SQLITE_OK;
    if (scalar(copy.handle(), QStringLiteral("PRAGMA integrity_check"), rc) != QLatin1String("ok"))
        return rc == SQLITE_OK ? Outcome::Damaged : fromSqlite(rc);
    const QStringList tables = tablesOf(source, rc);
    if (rc != SQLITE_OK || tablesOf(copy.handle(), rc) != tables || rc != SQLITE_OK)
        return Outcome::Damaged;
    for (const QString& table : tables) {
        const QString count = QStringLiteral("SELECT count(*) FROM ") + quoted(table);
        int sourceRc = SQLITE_OK;
        if (scalar(source, count, sourceRc) != scalar(copy.handle(), count, rc) || rc != SQLITE_OK ||
            sourceRc != SQLITE_OK)
            return Outcome::Damaged;
    }
    return Outcome::Done;
}

// Exports the open source into a new file beside path, keyed with key; on Done the file is complete, checked
// and on disk, and only then renamed over path. The source is closed before the rename.
Outcome transcribe(CDbConnection& source, const QString& path, QByteArrayView key, const Change& change = {})
{
    const QString target = newFilePath(path);
    removeLeftovers(path);
    const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fromErrno(errno);
    ::close(fd);

    sqlite3* db = source.handle();
    Outcome outcome = Outcome::Done;
    auto fail = [&](int rc) {
        outcome = fromSqlite(rc);
        return false;
    };
    auto exported = [&]() {
        sqlite3_stmt* attach = nullptr;
        int rc = sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS tiv_target KEY ?2", -1, &attach, nullptr);
        if (rc == SQLITE_OK) {
            const QByteArray name = QFile::encodeName(target);
            sqlite3_bind_text(attach, 1, name.constData(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(attach, 2, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
            rc = sqlite3_step(attach);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
        sqlite3_finalize(attach);
        if (rc != SQLITE_OK)
            return fail(rc);
        // A new file that a crash cuts short is thrown away whole, so it needs no journal; it is synced once
        // it is complete.
        exec(db, "PRAGMA tiv_target.journal_mode = OFF");
        exec(db, "PRAGMA tiv_target.synchronous = OFF");
        if ((rc = exec(db, "SELECT sqlcipher_export('tiv_target')")) != SQLITE_OK) {
            // The export reports every failure as a plain error with the message of the one it met.
            const QByteArray message = sqlite3_errmsg(db);
            for (const int cause : {SQLITE_FULL, SQLITE_READONLY, SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_BUSY}) {
                if (rc == SQLITE_ERROR && message == sqlite3_errstr(cause))
                    rc = cause;
            }
            return fail(rc);
        }
        // The export copies the tables, not the header's schema version.
        const QString version = scalar(db, QStringLiteral("PRAGMA main.user_version"), rc);
        if (rc != SQLITE_OK)
            return fail(rc);
        const QByteArray setVersion =
            QStringLiteral("PRAGMA tiv_target.user_version = %1").arg(version.toInt()).toUtf8();
        if ((rc = exec(db, setVersion.constData())) != SQLITE_OK)
            return fail(rc);
        return true;
    };
    bool done = exported();
    exec(db, "DETACH DATABASE tiv_target");
    if (done && change) {
        CDbConnection newFile;
        try {
            done = newFile.openFileWithKey(target, key) && change(newFile);
        } catch (const DbError& error) {
            done = false;
            outcome = fromCause(error.cause(), Outcome::Failed);
        }
        if (!done && outcome == Outcome::Done)
            outcome = fromCause(newFile.lastFailure(), Outcome::Failed);
    }
    if (done)
        outcome = verify(db, target, key);
    source.CloseConnection();
    if (outcome == Outcome::Done && !FileSync::syncFile(target))
        outcome = fromErrno(errno);
    if (outcome == Outcome::Done &&
        std::rename(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) != 0)
        outcome = fromErrno(errno);
    if (outcome != Outcome::Done) {
        removeLeftovers(path);
        return outcome;
    }
    // The rename is the change; syncing the folder makes it survive a power cut as well as a crash.
    FileSync::syncFolderOf(path);
    return Outcome::Done;
}

// A vault's engine key for the password, with a new salt for the parameters.
Outcome newKey(QStringView password, const VaultKey::Params& params, SecretBytes& literal)
{
    const std::optional<VaultKey::Salt> salt = VaultKey::newSalt(params);
    if (!salt)
        return Outcome::Failed;
    const SecretBytes derived = VaultKey::derive(password, *salt);
    if (derived.empty())
        return Outcome::Failed;
    literal = VaultKey::keyLiteral(derived, *salt);
    return Outcome::Done;
}

} // namespace

QString describe(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return {};
    case Outcome::NoDatabase:
        return QStringLiteral("找不到数据库文件 data/tiv.dat。");
    case Outcome::NotAVault:
        return QStringLiteral("数据库文件不是保险库格式，操作未进行，数据未改变。");
    case Outcome::AlreadyAVault:
        return QStringLiteral("数据库已经是保险库格式。");
    case Outcome::WrongPassword:
        return kWrongPasswordText;
    case Outcome::Damaged:
        return QStringLiteral("数据库文件已损坏，无法读取。\r\n请在 backup 文件夹中找一份完好的备份恢复。");
    case Outcome::ReadOnly:
        return QStringLiteral("数据库文件或其所在的文件夹不可写入，操作未完成，数据未改变。");
    case Outcome::DiskFull:
        return QStringLiteral("磁盘空间不足，操作未完成，数据未改变。");
    case Outcome::Locked:
        return QStringLiteral("数据库正被其他程序使用，操作未完成，数据未改变。");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("操作未完成（内存不足或无法取得随机数），数据未改变。");
}

Format detect(const QString& path)
{
    VaultKey::Salt salt{};
    switch (readHeader(path, salt)) {
    case Header::Absent:
        return Format::Absent;
    case Header::Short:
        return Format::Damaged;
    case Header::Plain:
        return Format::Plain;
    case Header::Vault:
        break;
    }
    return Format::Vault;
}

Outcome openWithKey(CDbConnection& connection, const QString& path, const SecretBytes& key)
{
    if (!QFileInfo(path).isFile())
        return Outcome::NoDatabase;
    QString error;
    if (connection.openFileWithKey(path, key.view(), &error))
        return Outcome::Done;
    // A wrong key reads page 1 as noise; a right one on a cut or broken file reads it and then fails.
    const bool noise = error == QString::fromUtf8(sqlite3_errstr(SQLITE_NOTADB));
    return fromCause(connection.lastFailure(), noise ? Outcome::WrongPassword : Outcome::Damaged);
}

Outcome open(CDbConnection& connection, const QString& path, QStringView password, SecretBytes* key)
{
    connection.CloseConnection();
    VaultKey::Salt salt{};
    switch (readHeader(path, salt)) {
    case Header::Absent:
        return Outcome::NoDatabase;
    case Header::Short:
        return Outcome::Damaged;
    case Header::Plain:
        // No descriptor: the plain format, or a vault whose descriptor was damaged.
        return plainOutcome(path);
    case Header::Vault:
        break;
    }
    removeLeftovers(path);
    const SecretBytes derived = VaultKey::derive(password, salt);
    if (derived.empty())
        return Outcome::Failed;
    SecretBytes literal = VaultKey::keyLiteral(derived, salt);
    const Outcome outcome = openWithKey(connection, path, literal);
    // A plain file's random salt looks like a descriptor once in millions of files.
    if (outcome == Outcome::WrongPassword && plainOutcome(path) == Outcome::NotAVault)
        return Outcome::NotAVault;
    if (outcome == Outcome::Done && key)
        *key = std::move(literal);
    return outcome;
}

namespace {

// Opens the plain-format file at path for a conversion into a vault.
Outcome openPlainSource(CDbConnection& source, const QString& path)
{
    if (!QFileInfo(path).isFile())
        return Outcome::NoDatabase;
    if (!source.openFileWithKey(path, plainKey())) {
        if (detect(path) == Format::Vault)
            return Outcome::AlreadyAVault;
        return fromCause(source.lastFailure(), Outcome::Damaged);
    }
    return Outcome::Done;
}

} // namespace

Outcome toVault(const QString& path, QStringView password, const VaultKey::Params& params, SecretBytes* key)
{
    CDbConnection source;
    if (const Outcome opened = openPlainSource(source, path); opened != Outcome::Done)
        return opened;
    SecretBytes literal;
    if (const Outcome made = newKey(password, params, literal); made != Outcome::Done)
        return made;
    const Outcome outcome = transcribe(source, path, literal.view());
    if (outcome == Outcome::Done && key)
        *key = std::move(literal);
    return outcome;
}

Outcome toVaultWithKey(const QString& path, const SecretBytes& key)
{
    CDbConnection source;
    if (const Outcome opened = openPlainSource(source, path); opened != Outcome::Done)
        return opened;
    return transcribe(source, path, key.view());
}

Outcome toPlain(const QString& path, QStringView password)
{
    CDbConnection source;
    if (const Outcome opened = open(source, path, password); opened != Outcome::Done)
        return opened;
    return transcribe(source, path, plainKey());
}

Outcome rekey(const QString& path, QStringView oldPassword, QStringView newPassword, const VaultKey::Params& params,
              SecretBytes* key, const Change& change)
{
    CDbConnection source;
    if (const Outcome opened = open(source, path, oldPassword); opened != Outcome::Done)
        return opened;
    SecretBytes literal;
    if (const Outcome made = newKey(newPassword, params, literal); made != Outcome::Done)
        return made;
    const Outcome outcome = transcribe(source, path, literal.view(), change);
    if (outcome == Outcome::Done && key)
        *key = std::move(literal);
    return outcome;
}

void removeLeftovers(const QString& path)
{
    const QString target = newFilePath(path);
    QFile::remove(target);
    QFile::remove(target + QStringLiteral("-journal"));
}

} // namespace Vault
