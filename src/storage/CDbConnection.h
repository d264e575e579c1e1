#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "storage/DbError.h"
#include "storage/FieldValue.h"

struct sqlite3;
class Recordset;

// The handle of an open connection as its recordsets see it: closing the connection empties it, so a
// recordset that outlives its connection fails cleanly instead of using a closed handle. Connections
// that share one database handle each have their own; the database closes with the last of them.
struct ConnectionHandle {
    sqlite3* db = nullptr;
    std::shared_ptr<sqlite3> database;
};

// One keyed connection to the database file. Statements run through recordsets that read their
// rows when opened, so no statement stays open between operations.
class CDbConnection final {
public:
    CDbConnection() = default;
    ~CDbConnection();
    CDbConnection(const CDbConnection&) = delete;
    CDbConnection& operator=(const CDbConnection&) = delete;

    // Opens the data source named by the connection string with its password and proves the key
    // with a read. Never creates a file. On failure the caller tells the user kOpenFailedText.
    bool OpenConnection(const QString& connectionString, QString* error = nullptr);
    // Opens this connection on the database handle of an open one: keying a database costs a key
    // derivation, which one run needs only once.
    bool ShareConnection(const CDbConnection& open);
    // Closes the connection; the recordsets opened on it can no longer be used.
    bool CloseConnection();
    bool isOpen() const { return m_handle != nullptr; }
    // The file the connection opened last (kept after it closes), as found on disk.
    const QString& filePath() const { return m_filePath; }

    // Gives the recordset a fresh, unopened cursor.
    static bool NewRecordset(Recordset& recordset);
    // Runs the statement on this connection into the recordset (closing what it held first).
    // Values are bound to the '?' placeholders in order. False on any error, without a message.
    bool OpenRecordset(Recordset& recordset, const QString& statement, const std::vector<FieldValue>& values = {});
    static bool CloseRecordset(Recordset& recordset);

    // Runs a statement that returns no rows and gives the number of rows it changed; throws DbError on
    // failure.
    int execute(const QString& statement, const std::vector<FieldValue>& values = {});
    // Runs the statement once for each list of values, prepared only once: many rows written alike.
    // Gives the number of rows changed in all; throws DbError on the first failure.
    int executeEach(const QString& statement, const std::vector<std::vector<FieldValue>>& valueLists);

    // The rowid of the last row inserted on this connection.
    qint64 lastInsertRowId() const;

    sqlite3* handle() const { return m_handle ? m_handle->db : nullptr; }
    QString errorMessage() const;
    // Why the last open or OpenRecordset that failed on this connection failed, for the message that
    // says what the user can do about it.
    DbError::Cause lastFailure() const { return m_lastFailure; }

    // What the connection string names: the file (resolved against the working directory, whatever
    // the letter case of its spelling) and the password.
    struct Target {
        QString path;
        QString password;
    };
    static Target parseConnectionString(const QString& connectionString);
    static QString resolvePathIgnoringCase(const QString& path);

    // Opens an existing file with the password without any message; used by tools and the backup.
    bool openFile(const QString& path, const QString& password, QString* error = nullptr);
    // The same with the bytes the engine is keyed with as they are: a vault's raw key literal, which
    // then never passes through a QString that nothing wipes.
    bool openFileWithKey(const QString& path, QByteArrayView key, QString* error = nullptr);

    // Writes the database as this connection sees it (within a read transaction, the state that
    // transaction holds) into a new file at path, keyed with the password, readable by its owner only.
    // The engine copies the pages: no descriptor of this database file is opened beside its own, since
    // closing one would drop every lock the process holds on the file. Fails if path exists; a failed
    // copy leaves nothing there.
    bool copyTo(const QString& path, const QString& password, QString* error = nullptr);
    // The same keyed with the engine's key bytes as they are: a vault's copy has the vault's raw key,
    // and so its salt.
    bool copyToWithKey(const QString& path, QByteArrayView key, QString* error = nullptr);

    static inline const QString kOpenFailedText = QStringLiteral("程序初始化失败，请确认程序完整性！");

    // Lives while a connection of this process holds a read transaction to copy the database whole
    // (the dated backup). Writers of the process wait at their commit for as long as it lives, however
    // long the copy takes, instead of failing when the busy timeout ends; the copy then holds the
    // state before their writes.
    class CopyHold final {
    public:
        CopyHold();
        ~CopyHold();
        CopyHold(const CopyHold&) = delete;
        CopyHold& operator=(const CopyHold&) = delete;
    };

private:
    std::shared_ptr<ConnectionHandle> m_handle;
    QString m_filePath;
    DbError::Cause m_lastFailure = DbError::Cause::Unknown;
};
