#include "storage/RowReader.h"

#include <sqlcipher/sqlite3.h>

#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/Statement.h"

RowReader::RowReader(CDbConnection& connection, const QString& statement, const std::vector<FieldValue>& values)
    : m_statement(std::make_unique<Statement>(connection.handle(), statement))
{
    m_statement->bindAll(values);
}

RowReader::~RowReader() = default;

bool RowReader::next()
{
    return m_statement->step();
}

bool RowReader::isNull(int column) const
{
    return sqlite3_column_type(m_statement->handle(), column) == SQLITE_NULL;
}

qint64 RowReader::integer(int column) const
{
    return sqlite3_column_int64(m_statement->handle(), column);
}

QByteArrayView RowReader::bytes(int column) const
{
    sqlite3_stmt* statement = m_statement->handle();
    const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
    return QByteArrayView(data, sqlite3_column_bytes(statement, column));
}

QString RowReader::text(int column) const
{
    return QString::fromUtf8(bytes(column));
}
