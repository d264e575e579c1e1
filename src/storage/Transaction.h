#pragma once

#include <QString>

class CDbConnection;

// Makes the writes of one command all-or-nothing: everything written on the connection while the
// transaction lives is kept only by commit(); leaving the scope without it rolls everything back.
// Scopes nest. Writes of one command must all go through the connection that holds the transaction.
class Transaction final {
public:
    // Throws DbError when the transaction cannot begin.
    explicit Transaction(CDbConnection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Throws DbError when the commit fails; the transaction is then rolled back.
    void commit();
    void rollback();

private:
    CDbConnection& m_connection;
    QString m_savepoint; // empty for the outermost scope
    bool m_active = true;
};
