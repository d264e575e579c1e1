#include "storage/Transaction.h"

#include <sqlcipher/sqlite3.h>

#include "storage/CDbConnection.h"
#include "storage/DbError.h"

namespace {

int g_savepointCounter = 0;

} // namespace

Transaction::Transaction(CDbConnection& connection) : m_connection(connection)
{
    if (!connection.handle())
        throw DbError("no open connection");
    if (sqlite3_get_autocommit(connection.handle())) {
        // Take the write lock now, so the command never fails half-way for want of it.
        connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        m_savepoint = QStringLiteral("tiv_sp%1").arg(++g_savepointCounter);
        connection.execute(QStringLiteral("SAVEPOINT ") + m_savepoint);
    }
}

Transaction::~Transaction()
{
    if (m_active)
        rollback();
}

void Transaction::commit()
{
    if (!m_active)
        throw DbError("the transaction has ended");
    try {
        m_connection.execute(m_savepoint.isEmpty() ? QStringLiteral("COMMIT")
                                                   : QStringLiteral("RELEASE ") + m_savepoint);
        m_active = false;
    } catch (const DbError&) {
        rollback();
        throw;
    }
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    try {
        if (m_savepoint.isEmpty()) {
            if (!sqlite3_get_autocommit(m_connection.handle()))
                m_connection.execute(QStringLiteral("ROLLBACK"));
        } else {
            m_connection.execute(QStringLiteral("ROLLBACK TO ") + m_savepoint);
            m_connection.execute(QStringLiteral("RELEASE ") + m_savepoint);
        }
    } catch (const DbError&) {
        // A failed rollback leaves SQLite to undo the transaction itself when the connection closes.
    }
}
