#include "storage/Schema.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "storage/CDbConnection.h"
#include "storage/Statement.h"

namespace Schema {

namespace {

// Record tables share these columns; ids are never reused.
const char* const kRecordColumns =
    "id INTEGER PRIMARY KEY AUTOINCREMENT, userId TEXT, mCaption BLOB, createTime TEXT, updateTime TEXT, "
    "orderId INTEGER, folderType INTEGER, parentId TEXT, mRank INTEGER, myKey INTEGER, keyValue BLOB";

// The trees read one user's rows in path order, with the columns they show, from the index alone,
// and delete a folder's rows by a range of paths; a new row takes the highest order number of its
// table plus one. The first release's tree index, without the shown columns, gives way.
QStringList indexStatements()
{
    QStringList statements;
    for (const char* table : {"Article", "Dairy", "Pwd"}) {
        const QLatin1String name(table);
        statements.append(QStringLiteral("DROP INDEX IF EXISTS ix_%1_tree").arg(name));
        statements.append(QStringLiteral("CREATE INDEX IF NOT EXISTS ix_%1_rows ON tb_%1 "
                                         "(userId, parentId, orderId, mRank, mCaption)")
                              .arg(name));
        statements.append(QStringLiteral("CREATE INDEX IF NOT EXISTS ix_%1_order ON tb_%1 (orderId)").arg(name));
    }
    return statements;
}

const char* const kBodyTables[] = {"tb_Article", "tb_Dairy"};

QStringList bodyTextStatements()
{
    QStringList statements;
    // The text goes last, so the stamp is read without the text's overflow pages.
    for (const char* table : kBodyTables)
        statements.append(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, updateTime TEXT, "
                                         "bodyLength INTEGER, mText BLOB)")
                              .arg(bodyTextTable(QLatin1String(table))));
    return statements;
}

QStringList tableStatements()
{
    const QString record = QString::fromLatin1(kRecordColumns);
    return QStringList{
               // The account id is a braced GUID that the database makes when the row is added.
               QStringLiteral("CREATE TABLE tb_User ("
                              "id TEXT NOT NULL DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || "
                              "upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || "
                              "upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'), "
                              "userName BLOB, password BLOB, aesKey BLOB, errorTimes BLOB, gender INTEGER, "
                              "purview INTEGER, createtime TEXT DEFAULT (datetime('now', 'localtime')), "
                              "lastLoginTime TEXT, lastLogoutTime TEXT, loginTimes INTEGER)"),
               QStringLiteral("CREATE TABLE tb_Setting (id INTEGER, aesRank BLOB, instance BLOB, interval BLOB, "
                              "sdRank BLOB, version BLOB)"),
               QStringLiteral("CREATE TABLE tb_Article (%1, mTitle BLOB, mContent BLOB)").arg(record),
               QStringLiteral("CREATE TABLE tb_Dairy (%1, mTitle BLOB, mContent BLOB, dairyDate TEXT, mWeather TEXT)")
                   .arg(record),
               QStringLiteral("CREATE TABLE tb_Pwd (%1, userName BLOB, password BLOB, url BLOB, intro BLOB)")
                   .arg(record),
               QStringLiteral("CREATE TABLE tb_FolderMax (mModule TEXT, folder1 INTEGER, folder2 INTEGER, "
                              "folder3 INTEGER, folder4 INTEGER, folder5 INTEGER)"),
               QStringLiteral("CREATE TABLE tb_Const (cModule TEXT, cGroup TEXT, cItem TEXT)"),
               QStringLiteral("CREATE TABLE tb_Task (id INTEGER PRIMARY KEY AUTOINCREMENT, userId TEXT, mCaption BLOB, "
                              "mContent BLOB, startTime TEXT, endTime TEXT, createTime TEXT, mRank INTEGER)"),
           } +
           bodyTextStatements() + indexStatements();
}

// Makes every missing folder of the path readable by its owner only from the start.
bool makeOwnerOnlyFolders(const QString& path)
{
    const QStringList parts = QDir::cleanPath(path).split(QLatin1Char('/'));
    QString current = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (const QString& part : parts) {
        if (part.isEmpty())
            continue;
        current += (current.isEmpty() || current.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + part;
        if (QFileInfo(current).isDir())
            continue;
        if (::mkdir(QFile::encodeName(current).constData(), 0700) != 0 && !QFileInfo(current).isDir())
            return false;
    }
    return true;
}

// Creates the empty file the database goes into, owner-only, failing if anything is there already.
bool createOwnerOnlyFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

void EnsureIndexes(CDbConnection& connection)
{
    for (const QString& statement : indexStatements())
        connection.execute(statement);
}

QString bodyTextTable(const QString& recordTable)
{
    for (const char* table : kBodyTables) {
        if (recordTable == QLatin1String(table))
            return recordTable + QStringLiteral("Text");
    }
    return {};
}

bool hasTable(CDbConnection& connection, const QString& table)
{
    Statement rows(connection.handle(), QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
    rows.bind(1, table);
    return rows.step();
}

void EnsureBodyTextTables(CDbConnection& connection)
{
    for (const QString& statement : bodyTextStatements())
        connection.execute(statement);
}

QString databasePath()
{
    return CDbConnection::parseConnectionString(kConnectionString).path;
}

QStringList defaultWeatherWords()
{
    return {QStringLiteral("晴"),     QStringLiteral("多云"),   QStringLiteral("阴"),   QStringLiteral("小雨"),
            QStringLiteral("中雨"),   QStringLiteral("大雨"),   QStringLiteral("暴雨"), QStringLiteral("阵雨"),
            QStringLiteral("雷阵雨"), QStringLiteral("雨夹雪"), QStringLiteral("小雪"), QStringLiteral("中雪"),
            QStringLiteral("大雪"),   QStringLiteral("雾"),     QStringLiteral("霾"),   QStringLiteral("大风"),
            QStringLiteral("沙尘")};
}

bool CreateDatabase(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return fail(error, QStringLiteral("%1 already exists; it was left untouched.").arg(path));
    if (!makeOwnerOnlyFolders(info.absolutePath()))
        return fail(error, QStringLiteral("cannot create the folder %1").arg(info.absolutePath()));
    // SQLite makes a new database in an empty file; made here first, it is never readable by others.
    if (!createOwnerOnlyFile(path))
        return fail(error, QStringLiteral("cannot create %1").arg(path));

    const QString password = CDbConnection::parseConnectionString(kConnectionString).password;
    sqlite3* db = nullptr;
    const QByteArray nativePath = QFile::encodeName(path);
    int rc = sqlite3_open_v2(nativePath.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString failure;
    if (rc == SQLITE_OK) {
        const QByteArray key = password.toUtf8();
        sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
        auto run = [&](const QString& sql, const std::initializer_list<QString>& texts = {}) {
            if (!failure.isEmpty())
                return;
            sqlite3_stmt* stmt = nullptr;
            const QByteArray utf8 = sql.toUtf8();
            if (sqlite3_prepare_v2(db, utf8.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
                int index = 0;
                for (const QString& text : texts) {
                    const QByteArray value = text.toUtf8();
                    sqlite3_bind_text(stmt, ++index, value.constData(), -1, SQLITE_TRANSIENT);
                }
                if (sqlite3_step(stmt) == SQLITE_DONE) {
                    sqlite3_finalize(stmt);
                    return;
                }
            }
            failure = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(stmt);
        };
        run(QStringLiteral("BEGIN"));
        for (const QString& statement : tableStatements())
            run(statement);
        for (const char* module : {"FILE", "DAIRY", "PWD"})
            run(QStringLiteral("INSERT INTO tb_FolderMax VALUES (?, 10000, 10000, 10000, 10000, 10000)"),
                {QString::fromLatin1(module)});
        for (const QString& word : defaultWeatherWords())
            run(QStringLiteral("INSERT INTO tb_Const VALUES ('Dairy', 'weather', ?)"), {word});
        run(QStringLiteral("COMMIT"));
    } else {
        failure = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
    }
    sqlite3_close_v2(db);

    if (!failure.isEmpty()) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        return fail(error, QStringLiteral("cannot create %1: %2").arg(path, failure));
    }
    return true;
}

} // namespace Schema
