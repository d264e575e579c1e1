#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "storage/FieldValue.h"

struct sqlite3;
struct ConnectionHandle;

// The rows a statement returned, with a current position. When the statement is a plain SELECT of
// one table the recordset is updatable: changes to the current row and new rows are written back by
// rowid. Field, row and move operations throw DbError on failure, and so does every operation after
// the connection it was opened on has closed.
class Recordset final {
public:
    Recordset() = default;

    bool isOpen() const { return m_open; }
    // Whether changes can be written back.
    bool isUpdatable() const { return m_open && !m_table.isEmpty(); }
    int state() const { return m_open ? 1 : 0; }
    // Both true when the statement returned no row.
    bool isBof() const;
    bool isEof() const;
    int recordCount() const { return static_cast<int>(m_rows.size()); }
    const QStringList& columnNames() const { return m_columns; }

    void moveFirst();
    void moveNext();
    void movePrevious();

    bool hasField(const QString& name) const;
    FieldValue field(const QString& name) const;
    void setField(const QString& name, const FieldValue& value);

    void addNew();
    // Writes the pending changes of the current row (or the new row). A new row is read back, so the
    // values the database generates (the id, defaults) are visible at once; a changed row keeps the
    // values written.
    void update();
    // Deletes the current row; the row after it becomes current.
    void deleteCurrent();
    // The rowid of the current row.
    qint64 rowId() const;

    void close();

private:
    friend class CDbConnection;

    struct Row {
        qint64 rowId = 0;
        std::vector<FieldValue> values;
    };

    int columnIndex(const QString& name) const;
    void requireCurrentRow() const;
    void requireUpdatable() const;
    Row readRow(qint64 rowId) const;
    // The open connection's handle; throws DbError once the connection has closed.
    sqlite3* db() const;

    bool m_open = false;
    std::shared_ptr<ConnectionHandle> m_connection;
    QString m_table;       // empty when not updatable
    QStringList m_columns; // result column names
    QStringList m_origins; // table column each result column comes from (empty for expressions)
    std::vector<Row> m_rows;
    int m_position = -1; // -1 before the first row; size() after the last
    bool m_adding = false;
    std::vector<std::pair<int, FieldValue>> m_pending;
};
