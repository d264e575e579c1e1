#include "storage/Statement.h"

#include <sqlcipher/sqlite3.h>

#include "storage/DbError.h"

namespace {

[[noreturn]] void fail(sqlite3* db, const char* what)
{
    if (!db)
        throw DbError(std::string(what) + ": no connection");
    throw DbError(std::string(what) + ": " + sqlite3_errmsg(db), DbError::causeOf(sqlite3_extended_errcode(db)));
}

} // namespace

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db)
{
    if (!db)
        throw DbError("no open connection");
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &m_stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        fail(db, "prepare");
    }
    if (!m_stmt)
        throw DbError("empty statement");
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bindAll(const std::vector<FieldValue>& values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        bind(static_cast<int>(i) + 1, values[i]);
}

void Statement::bind(int index, const FieldValue& value)
{
    int rc = SQLITE_OK;
    switch (value.kind()) {
    case FieldValue::Kind::Null:
        rc = sqlite3_bind_null(m_stmt, index);
        break;
    case FieldValue::Kind::Integer:
        rc = sqlite3_bind_int64(m_stmt, index, value.integer());
        break;
    case FieldValue::Kind::Real:
        rc = sqlite3_bind_double(m_stmt, index, value.real());
        break;
    case FieldValue::Kind::Text: {
        const QByteArray utf8 = value.text().toUtf8();
        rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        break;
    }
    case FieldValue::Kind::DateTime: {
        const QByteArray utf8 = value.dateTime().toString(kDateTimeFormat).toUtf8();
        rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        break;
    }
    case FieldValue::Kind::Blob: {
        const QByteArray& bytes = value.blob();
        // A null pointer would bind NULL; an empty value must stay an empty blob.
        if (bytes.isEmpty())
            rc = sqlite3_bind_zeroblob(m_stmt, index, 0);
        else
            rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                                     SQLITE_TRANSIENT);
        break;
    }
    }
    if (rc != SQLITE_OK)
        fail(m_db, "bind");
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(m_db, "step");
}

void Statement::run()
{
    while (step()) {
    }
}

void Statement::reset()
{
    // The error of a failed step was thrown by step() already; reset only repeats it.
    sqlite3_reset(m_stmt);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QString Statement::originTable(int column) const
{
    const char* name = sqlite3_column_table_name(m_stmt, column);
    return name ? QString::fromUtf8(name) : QString();
}

QString Statement::originColumn(int column) const
{
    const char* name = sqlite3_column_origin_name(m_stmt, column);
    return name ? QString::fromUtf8(name) : QString();
}

FieldValue Statement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return FieldValue(static_cast<qint64>(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return FieldValue(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return FieldValue(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        const int size = sqlite3_column_bytes(m_stmt, column);
        return FieldValue(size > 0 ? QByteArray(data, size) : QByteArray(""));
    }
    default:
        return {};
    }
}

bool Statement::isReadOnly() const
{
    return sqlite3_stmt_readonly(m_stmt) != 0;
}
