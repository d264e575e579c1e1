#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <vector>

#include "storage/FieldValue.h"

class CDbConnection;
class Statement;

// Steps through the rows of a query one at a time, for reads too large to hold whole (a module's
// tree at a million rows). The statement stays open only while the reader lives. Throws DbError.
class RowReader final {
public:
    RowReader(CDbConnection& connection, const QString& statement, const std::vector<FieldValue>& values = {});
    ~RowReader();
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    // Moves to the next row; false after the last.
    bool next();

    bool isNull(int column) const;
    // 0 for NULL.
    qint64 integer(int column) const;
    // The column's bytes as stored (text as UTF-8); valid until the next call of next().
    QByteArrayView bytes(int column) const;
    QString text(int column) const;

private:
    std::unique_ptr<Statement> m_statement;
};
