#pragma once

#include <QString>

#include <vector>

#include "storage/FieldValue.h"

struct sqlite3;
struct sqlite3_stmt;

// A prepared statement that finalizes itself. Used by the connection and the recordset only.
class Statement final {
public:
    // Throws DbError when the statement does not prepare.
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bindAll(const std::vector<FieldValue>& values);
    void bind(int index, const FieldValue& value);
    // True while a row is available; throws DbError on failure.
    bool step();
    // Steps until done.
    void run();
    // Makes the statement ready to run again; the bound values stay until bound anew.
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    QString originTable(int column) const;
    QString originColumn(int column) const;
    FieldValue value(int column) const;
    bool isReadOnly() const;

    sqlite3_stmt* handle() const { return m_stmt; }

    // Date-times are kept as local-time text in this form.
    static inline const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};
