#include "storage/CDbConnection.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "storage/DbError.h"
#include "storage/Recordset.h"
#include "storage/Statement.h"
#include "ui/Prompter.h"

namespace {

// Another copy of the program may hold the file for a moment; wait rather than fail at once.
constexpr int kBusyTimeoutMs = 5000;

// The recordset learns each row's rowid by selecting it first under this name.
const QString kRowIdColumn = QStringLiteral("tiv_rowid_");

// "SELECT a, b FROM t ..." → "SELECT _rowid_ AS tiv_rowid_, a, b FROM t ...". DISTINCT selects have
// no single row behind a result row, so they stay read-only.
QString withRowId(const QString& statement)
{
    static const QRegularExpression selectHead(QStringLiteral("^\\s*select\\s+(?!distinct\\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = selectHead.match(statement);
    if (!match.hasMatch())
        return {};
    return QStringLiteral("SELECT _rowid_ AS ") + kRowIdColumn + QStringLiteral(", ") +
           statement.mid(match.capturedEnd());
}

// The single table every result column comes from, or empty when there is none.
QString singleOriginTable(const Statement& statement)
{
    QString table;
    for (int i = 0; i < statement.columnCount(); ++i) {
        const QString origin = statement.originTable(i);
        if (origin.isEmpty() || (!table.isEmpty() && origin.compare(table, Qt::CaseInsensitive) != 0))
            return {};
        table = origin;
    }
    return table;
}

} // namespace

CDbConnection::~CDbConnection()
{
    CloseConnection();
}

bool CDbConnection::OpenConnection(const QString& connectionString, Prompter& prompter)
{
    const Target target = parseConnectionString(connectionString);
    if (!openFile(target.path, target.password)) {
        prompter.showMessage(kOpenFailedText, kAppCaption);
        return false;
    }
    return true;
}

bool CDbConnection::openFile(const QString& path, const QString& password, QString* error)
{
    CloseConnection();
    auto report = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!QFileInfo(path).isFile())
        return report(QStringLiteral("no database file at %1").arg(path));

    sqlite3* db = nullptr;
    const QByteArray nativePath = QFile::encodeName(path);
    if (sqlite3_open_v2(nativePath.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return report(message);
    }
    const QByteArray key = password.toUtf8();
    sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);

    // A wrong key or a file that is no database only shows at the first read.
    sqlite3_stmt* probe = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc != SQLITE_ROW) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close_v2(db);
        return report(message);
    }
    m_db = db;
    return true;
}

bool CDbConnection::CloseConnection()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
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
        Statement plain(m_db, statement);
        if (plain.columnCount() == 0) {
            // delete, update, insert: run it; there are no rows to hold.
            plain.bindAll(values);
            plain.run();
            return true;
        }

        QString table = singleOriginTable(plain);
        const QString rowIdStatement = table.isEmpty() ? QString() : withRowId(statement);
        if (rowIdStatement.isEmpty())
            table.clear();

        auto load = [&](Statement& query, bool withRowIds) {
            query.bindAll(values);
            const int first = withRowIds ? 1 : 0;
            for (int i = first; i < query.columnCount(); ++i) {
                recordset.m_columns.append(query.columnName(i));
                recordset.m_origins.append(query.originColumn(i));
            }
            while (query.step()) {
                Recordset::Row row;
                row.rowId = withRowIds ? query.value(0).integer() : 0;
                row.values.reserve(static_cast<std::size_t>(query.columnCount() - first));
                for (int i = first; i < query.columnCount(); ++i)
                    row.values.push_back(query.value(i));
                recordset.m_rows.push_back(std::move(row));
            }
        };

        if (!table.isEmpty()) {
            Statement query(m_db, rowIdStatement);
            load(query, true);
            recordset.m_table = table;
        } else {
            load(plain, false);
        }
        recordset.m_db = m_db;
        recordset.m_open = true;
        recordset.m_position = recordset.m_rows.empty() ? -1 : 0;
        return true;
    } catch (const DbError&) {
        recordset.close();
        return false;
    }
}

void CDbConnection::execute(const QString& statement, const std::vector<FieldValue>& values)
{
    Statement query(m_db, statement);
    query.bindAll(values);
    query.run();
}

qint64 CDbConnection::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

QString CDbConnection::errorMessage() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
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
