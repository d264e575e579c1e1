#include "storage/Recordset.h"

#include <sqlcipher/sqlite3.h>

#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/Statement.h"

namespace {

// What reading the value back from its column gives: date-times are kept as text.
FieldValue asStored(const FieldValue& value)
{
    if (value.kind() == FieldValue::Kind::DateTime)
        return FieldValue(value.dateTime().toString(Statement::kDateTimeFormat));
    return value;
}

QString quoted(const QString& identifier)
{
    QString text = identifier;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

bool Recordset::isBof() const
{
    return m_rows.empty() || m_position < 0;
}

bool Recordset::isEof() const
{
    return m_rows.empty() || m_position >= static_cast<int>(m_rows.size());
}

sqlite3* Recordset::db() const
{
    if (!m_connection || !m_connection->db)
        throw DbError("the connection of the recordset has closed");
    return m_connection->db;
}

void Recordset::moveFirst()
{
    if (!m_open)
        throw DbError("the recordset is not open");
    db();
    m_position = 0;
}

void Recordset::moveNext()
{
    if (!m_open || isEof())
        throw DbError("no row after the end of the recordset");
    db();
    ++m_position;
}

void Recordset::movePrevious()
{
    if (!m_open || isBof())
        throw DbError("no row before the start of the recordset");
    db();
    --m_position;
}

int Recordset::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool Recordset::hasField(const QString& name) const
{
    return columnIndex(name) >= 0;
}

void Recordset::requireCurrentRow() const
{
    if (!m_open || m_position < 0 || m_position >= static_cast<int>(m_rows.size()))
        throw DbError("no current row");
    db();
}

void Recordset::requireUpdatable() const
{
    if (!isUpdatable())
        throw DbError("the recordset cannot be updated");
    db();
}

FieldValue Recordset::field(const QString& name) const
{
    requireCurrentRow();
    const int index = columnIndex(name);
    if (index < 0)
        throw DbError("no column " + name.toStdString());
    for (const auto& [column, value] : m_pending) {
        if (column == index)
            return value;
    }
    return m_rows[static_cast<std::size_t>(m_position)].values[static_cast<std::size_t>(index)];
}

void Recordset::setField(const QString& name, const FieldValue& value)
{
    requireCurrentRow();
    requireUpdatable();
    const int index = columnIndex(name);
    if (index < 0 || m_origins[index].isEmpty())
        throw DbError("no column " + name.toStdString() + " to set");
    for (auto& [column, pending] : m_pending) {
        if (column == index) {
            pending = value;
            return;
        }
    }
    m_pending.emplace_back(index, value);
}

void Recordset::addNew()
{
    requireUpdatable();
    if (!m_pending.empty() || m_adding)
        update();
    Row row;
    row.values.resize(static_cast<std::size_t>(m_columns.size()));
    m_rows.push_back(std::move(row));
    m_position = static_cast<int>(m_rows.size()) - 1;
    m_adding = true;
}

void Recordset::update()
{
    requireCurrentRow();
    requireUpdatable();
    Row& row = m_rows[static_cast<std::size_t>(m_position)];
    if (m_adding) {
        QStringList columns;
        QStringList marks;
        std::vector<FieldValue> values;
        for (const auto& [column, value] : m_pending) {
            columns.append(quoted(m_origins[column]));
            marks.append(QStringLiteral("?"));
            values.push_back(value);
        }
        const QString sql =
            columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_table))
                              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(quoted(m_table), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        Statement insert(db(), sql);
        insert.bindAll(values);
        insert.run();
        row = readRow(sqlite3_last_insert_rowid(db()));
        m_adding = false;
    } else if (!m_pending.empty()) {
        QStringList assignments;
        std::vector<FieldValue> values;
        for (const auto& [column, value] : m_pending) {
            assignments.append(quoted(m_origins[column]) + QStringLiteral("=?"));
            values.push_back(value);
        }
        values.emplace_back(row.rowId);
        Statement change(db(), QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_=?")
                                   .arg(quoted(m_table), assignments.join(QLatin1Char(','))));
        change.bindAll(values);
        change.run();
        if (sqlite3_changes(db()) != 1)
            throw DbError("the row to update is gone");
        // Only what was written changed; reading the whole row back would copy every long value of
        // it again.
        for (const auto& [column, value] : m_pending)
            row.values[static_cast<std::size_t>(column)] = asStored(value);
    }
    m_pending.clear();
}

void Recordset::deleteCurrent()
{
    requireCurrentRow();
    requireUpdatable();
    if (!m_adding) {
        Statement erase(db(), QStringLiteral("DELETE FROM %1 WHERE _rowid_=?").arg(quoted(m_table)));
        erase.bind(1, FieldValue(m_rows[static_cast<std::size_t>(m_position)].rowId));
        erase.run();
    }
    m_rows.erase(m_rows.begin() + m_position);
    m_adding = false;
    m_pending.clear();
}

qint64 Recordset::rowId() const
{
    requireCurrentRow();
    return m_rows[static_cast<std::size_t>(m_position)].rowId;
}

Recordset::Row Recordset::readRow(qint64 rowId) const
{
    QStringList columns;
    for (const QString& origin : m_origins)
        columns.append(quoted(origin));
    Statement query(
        db(), QStringLiteral("SELECT %1 FROM %2 WHERE _rowid_=?").arg(columns.join(QLatin1Char(',')), quoted(m_table)));
    query.bind(1, FieldValue(rowId));
    if (!query.step())
        throw DbError("the written row cannot be read back");
    Row row;
    row.rowId = rowId;
    for (int i = 0; i < query.columnCount(); ++i)
        row.values.push_back(query.value(i));
    return row;
}

void Recordset::close()
{
    m_open = false;
    m_connection.reset();
    m_table.clear();
    m_columns.clear();
    m_origins.clear();
    m_rows.clear();
    m_position = -1;
    m_adding = false;
    m_pending.clear();
}
