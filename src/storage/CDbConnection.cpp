#include "storage/CDbConnection.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include "storage/DbError.h"
#include "storage/Recordset.h"
#include "storage/Statement.h"

namespace {

// Another copy of the program may hold the file for a moment; wait rather than fail at once.
constexpr int kBusyTimeoutMs = 5000;
constexpr int kBusyPollMs = 10;

std::atomic<int> copyHolds{0};

// The busy timeout, except that a copy this process makes is waited for to its end; the timeout
// counts from then.
int waitForLock(void*, int attempt)
{
    thread_local QElapsedTimer waited;
    if (attempt == 0 || copyHolds.load() > 0)
        waited.start();
    if (copyHolds.load() == 0 && waited.elapsed() >= kBusyTimeoutMs)
        return 0;
    sqlite3_sleep(kBusyPollMs);
    return 1;
}

// The recordset learns each row's rowid by selecting it first under this name.
const QString kRowIdColumn = QStringLiteral("tiv_rowid_");

// The words and punctuation of a statement, without its literals, quoted names and comments: enough
// to see its shape.
QStringList shapeTokens(const QString& statement)
{
    QStringList tokens;
    const qsizetype n = statement.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = statement[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && statement[i + 1] == u'-') {
            while (i < n && statement[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && statement[i + 1] == u'*') {
            const qsizetype close = statement.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            // A literal or a quoted name: one token standing for a value or a name.
            const QChar closing = c == u'[' ? QChar(u']') : c;
            qsizetype j = i + 1;
            while (j < n) {
                if (statement[j] == closing) {
                    if (closing != u']' && j + 1 < n && statement[j + 1] == closing) {
                        j += 2; // a doubled quote stands for itself
                        continue;
                    }
                    break;
                }
                ++j;
            }
            tokens.append(c == u'\'' ? QStringLiteral("'") : QStringLiteral("\"name\""));
            i = j + 1;
        } else if (c.isLetterOrNumber() || c == u'_') {
            qsizetype j = i;
            while (j < n && (statement[j].isLetterOrNumber() || statement[j] == u'_' || statement[j] == u'$'))
                ++j;
            tokens.append(statement.mid(i, j - i).toUpper());
            i = j;
        } else {
            tokens.append(QString(c));
            ++i;
        }
    }
    return tokens;
}

bool isWord(const QString& token)
{
    return !token.isEmpty() && (token[0].isLetter() || token[0] == u'_');
}

// The table a plain single-table SELECT reads, or empty for anything else. Only such a statement
// gives result rows that each stand for one row of one table, so only its rows may be written back
// by rowid: DISTINCT, grouping, compounds, joins and subqueries in FROM give rows that do not.
QString plainSelectTable(const QString& statement)
{
    static const QStringList refused = {
        QStringLiteral("DISTINCT"),  QStringLiteral("GROUP"),  QStringLiteral("HAVING"),  QStringLiteral("UNION"),
        QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"), QStringLiteral("JOIN"),    QStringLiteral("WITH"),
        QStringLiteral("VALUES"),    QStringLiteral("WINDOW"), QStringLiteral("NATURAL"), QStringLiteral("OVER"),
    };
    const QStringList tokens = shapeTokens(statement);
    if (tokens.isEmpty() || tokens.front() != QLatin1String("SELECT"))
        return {};
    qsizetype from = -1;
    int depth = 0;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& token = tokens[i];
        if (refused.contains(token))
            return {};
        if (token == u'(')
            ++depth;
        else if (token == u')')
            --depth;
        else if (token == u';' && i + 1 < tokens.size())
            return {}; // a second statement
        else if (depth == 0 && token == QLatin1String("FROM") && from < 0)
            from = i;
    }
    if (from < 0 || from + 1 >= tokens.size() || !isWord(tokens[from + 1]))
        return {};
    qsizetype next = from + 2;
    // An alias is allowed: it still names the one table.
    if (next < tokens.size() && tokens[next] == QLatin1String("AS"))
        ++next;
    static const QStringList clauses = {QStringLiteral("WHERE"), QStringLiteral("ORDER"), QStringLiteral("LIMIT")};
    if (next < tokens.size() && isWord(tokens[next]) && !clauses.contains(tokens[next]))
        ++next;
    if (next < tokens.size() && !clauses.contains(tokens[next]) && tokens[next] != u';')
        return {}; // a second table, a join condition or anything else after the table
    // The table's own spelling, for the statements that write its rows.
    const QStringList words = statement.split(QRegularExpression(QStringLiteral("[^\\w$]+")), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words[i].compare(QLatin1String("from"), Qt::CaseInsensitive) == 0 &&
            words[i + 1].compare(tokens[from + 1], Qt::CaseInsensitive) == 0)
            return words[i + 1];
    }
    return {};
}

// "SELECT a, b FROM t ..." → "SELECT _rowid_ AS tiv_rowid_, a, b FROM t ...".
QString withRowId(const QString& statement)
{
    const qsizetype select = statement.indexOf(QLatin1String("select"), 0, Qt::CaseInsensitive);
    return statement.left(select) + QStringLiteral("SELECT _rowid_ AS ") + kRowIdColumn + QStringLiteral(", ") +
           statement.mid(select + 6);
}

// Whether every result column comes from the named table (a view names the table behind it, and
// expressions name none).
bool allColumnsFrom(const Statement& statement, const QString& table)
{
    for (int i = 0; i < statement.columnCount(); ++i) {
        if (statement.originTable(i).compare(table, Qt::CaseInsensitive) != 0)
            return false;
    }
    return statement.columnCount() > 0;
}

} // namespace

CDbConnection::~CDbConnection()
{
    CloseConnection();
}

bool CDbConnection::OpenConnection(const QString& connectionString, QString* error)
{
    const Target target = parseConnectionString(connectionString);
    return openFile(target.path, target.password, error);
}

bool CDbConnection::openFile(const QString& path, const QString& password, QString* error)
{
    return openFileWithKey(path, password.toUtf8(), error);
}

bool CDbConnection::openFileWithKey(const QString& path, QByteArrayView key, QString* error)
{
    CloseConnection();
    auto report = [&](const QString& text, DbError::Cause cause) {
        if (error)
            *error = text;
        m_lastFailure = cause;
        return false;
    };
    if (!QFileInfo(path).isFile())
        return report(QStringLiteral("no database file at %1").arg(path), DbError::Cause::Unknown);

    sqlite3* db = nullptr;
    const QByteArray nativePath = QFile::encodeName(path);
    if (sqlite3_open_v2(nativePath.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        // Nothing is made here: a file that does not open is the file's own fault.
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return report(message, DbError::Cause::Unknown);
    }
    sqlite3_key(db, key.data(), static_cast<int>(key.size()));
    sqlite3_busy_handler(db, &waitForLock, nullptr);

    // A wrong key or a file that is no database only shows at the first read.
    sqlite3_stmt* probe = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc != SQLITE_ROW) {
        // Another program's lock shows here, as does a folder that cannot take the journal a crashed
        // run's changes need to be undone.
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        const DbError::Cause cause = DbError::causeOf(rc);
        sqlite3_close_v2(db);
        return report(message, cause);
    }
    // A move to the top of a folder of ten thousand records changes some 2,500 pages of 1 KiB in one
    // transaction; the engine's default cache of 2 MB would spill them to the file before the commit
    // writes them again.
    sqlite3_exec(db, "PRAGMA cache_size = -8192", nullptr, nullptr, nullptr);
    m_handle = std::make_shared<ConnectionHandle>();
    m_filePath = path;
    m_handle->db = db;
    m_handle->database = std::shared_ptr<sqlite3>(db, [](sqlite3* handle) { sqlite3_close_v2(handle); });
    return true;
}

bool CDbConnection::copyTo(const QString& path, const QString& password, QString* error)
{
    return copyToWithKey(path, password.toUtf8(), error);
}

bool CDbConnection::copyToWithKey(const QString& path, QByteArrayView key, QString* error)
{
    auto report = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!handle())
        return report(QStringLiteral("the connection is not open"));
    const QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return report(QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);

    // Keyed as every connection is, so the copy opens exactly like the database.
    CDbConnection target;
    QString failure;
    if (target.openFileWithKey(path, key, &failure)) {
        // A copy cut short is thrown away whole, so it needs no journal. Nothing else has a reason to
        // hold the new file: a lock on it fails the copy at once rather than waiting with writers held.
        sqlite3_exec(target.handle(), "PRAGMA journal_mode = OFF", nullptr, nullptr, nullptr);
        sqlite3_busy_handler(target.handle(), nullptr, nullptr);
        sqlite3_backup* backup = sqlite3_backup_init(target.handle(), "main", handle(), "main");
        if (backup) {
            const int stepped = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            if (stepped != SQLITE_DONE || finished != SQLITE_OK)
                failure = QString::fromUtf8(sqlite3_errstr(stepped != SQLITE_DONE ? stepped : finished));
        } else {
            failure = target.errorMessage();
        }
    }
    target.CloseConnection();
    if (failure.isEmpty())
        return true;
    QFile::remove(path);
    return report(failure);
}

CDbConnection::CopyHold::CopyHold()
{
    ++copyHolds;
}

CDbConnection::CopyHold::~CopyHold()
{
    --copyHolds;
}

bool CDbConnection::CloseConnection()
{
    if (m_handle) {
        m_handle->db = nullptr;
        m_handle->database.reset();
        m_handle.reset();
    }
    return true;
}

bool CDbConnection::ShareConnection(const CDbConnection& open)
{
    CloseConnection();
    if (!open.isOpen())
        return false;
    m_handle = std::make_shared<ConnectionHandle>(*open.m_handle);
    m_filePath = open.m_filePath;
    return true;
}

bool CDbConnection::NewRecordset(Recordset& recordset)
{
    recordset.close();
    return true;
}

bool CDbConnection::CloseRecordset(Recordset& recordset)
{
    recordset.close();
    return true;
}

bool CDbConnection::OpenRecordset(Recordset& recordset, const QString& statement, const std::vector<FieldValue>& values)
{
    recordset.close();
    try {
        Statement plain(handle(), statement);
        if (plain.columnCount() == 0) {
            // delete, update, insert: run it; there are no rows to hold.
            plain.bindAll(values);
            plain.run();
            return true;
        }

        // Rows are written back by rowid only where each result row is one row of one table.
        const QString table = plainSelectTable(statement);
        std::unique_ptr<Statement> withRowIds;
        if (!table.isEmpty() && allColumnsFrom(plain, table)) {
            try {
                withRowIds = std::make_unique<Statement>(handle(), withRowId(statement));
            } catch (const DbError&) {
                // A table without rowids: its rows can still be read.
            }
        }
        Statement& query = withRowIds ? *withRowIds : plain;
        const int first = withRowIds ? 1 : 0;
        query.bindAll(values);
        for (int i = first; i < query.columnCount(); ++i) {
            recordset.m_columns.append(query.columnName(i));
            recordset.m_origins.append(query.originColumn(i));
        }
        while (query.step()) {
            Recordset::Row row;
            if (withRowIds) {
                const FieldValue rowId = query.value(0);
                if (rowId.kind() != FieldValue::Kind::Integer)
                    throw DbError("a row without a rowid cannot be written back");
                row.rowId = rowId.integer();
            }
            row.values.reserve(static_cast<std::size_t>(query.columnCount() - first));
            for (int i = first; i < query.columnCount(); ++i)
                row.values.push_back(query.value(i));
            recordset.m_rows.push_back(std::move(row));
        }
        if (withRowIds)
            recordset.m_table = table;
        recordset.m_connection = m_handle;
        recordset.m_open = true;
        recordset.m_position = recordset.m_rows.empty() ? -1 : 0;
        return true;
    } catch (const DbError& error) {
        recordset.close();
        m_lastFailure = error.cause();
        return false;
    }
}

int CDbConnection::execute(const QString& statement, const std::vector<FieldValue>& values)
{
    Statement query(handle(), statement);
    query.bindAll(values);
    query.run();
    return sqlite3_changes(handle());
}

int CDbConnection::executeEach(const QString& statement, const std::vector<std::vector<FieldValue>>& valueLists)
{
    Statement query(handle(), statement);
    int changed = 0;
    for (const std::vector<FieldValue>& values : valueLists) {
        query.bindAll(values);
        query.run();
        changed += sqlite3_changes(handle());
        query.reset();
    }
    return changed;
}

qint64 CDbConnection::lastInsertRowId() const
{
    return handle() ? sqlite3_last_insert_rowid(handle()) : 0;
}

QString CDbConnection::errorMessage() const
{
    return handle() ? QString::fromUtf8(sqlite3_errmsg(handle())) : QString();
}

CDbConnection::Target CDbConnection::parseConnectionString(const QString& connectionString)
{
    Target target;
    const QStringList parts = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = part.left(equals).trimmed();
        const QString value = part.mid(equals + 1).trimmed();
        if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0)
            target.path = resolvePathIgnoringCase(value);
        else if (key.endsWith(QLatin1String("Password"), Qt::CaseInsensitive))
            target.password = value;
    }
    return target;
}

QString CDbConnection::resolvePathIgnoringCase(const QString& path)
{
    // The data source was named on a file system that ignores letter case; here "Tiv.dat" must
    // still reach "tiv.dat".
    const QString clean = QDir::cleanPath(path);
    const bool absolute = clean.startsWith(QLatin1Char('/'));
    const QStringList components = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString resolved = absolute ? QStringLiteral("/") : QString();
    for (const QString& component : components) {
        const QString base = resolved.isEmpty() ? QStringLiteral(".") : resolved;
        QString chosen = component;
        if (!QFileInfo::exists(QDir(base).filePath(component))) {
            const QStringList entries = QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            for (const QString& entry : entries) {
                if (entry.compare(component, Qt::CaseInsensitive) == 0) {
                    chosen = entry;
                    break;
                }
            }
        }
        if (!resolved.isEmpty() && !resolved.endsWith(QLatin1Char('/')))
            resolved += QLatin1Char('/');
        resolved += chosen;
    }
    return resolved;
}
