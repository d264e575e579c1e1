#pragma once

#include <QString>

#include "crypto/SecretBytes.h"

class CDbConnection;

// How every connection of the program opens the database: with the built-in database password (the
// plain format) or with the key a vault's password derived (Vault). The dated backup, the search's
// workers and the backup dialog open connections of their own, and go through this so that they
// work the same on both formats. A vault's key is wiped when this goes.
class DatabaseKey final {
public:
    DatabaseKey() = default; // the built-in password
    explicit DatabaseKey(SecretBytes vaultKey) : m_vaultKey(std::move(vaultKey)) {}
    DatabaseKey(DatabaseKey&&) noexcept = default;
    DatabaseKey& operator=(DatabaseKey&&) noexcept = default;

    // A copy for another thread: made on purpose, never by accident.
    DatabaseKey clone() const;

    bool isVault() const { return !m_vaultKey.empty(); }
    const SecretBytes& vaultKey() const { return m_vaultKey; }

    bool open(CDbConnection& connection, const QString& path, QString* error = nullptr) const;
    // Writes the database as the connection sees it into a new file keyed the same way: a vault's
    // copy is as unreadable without the password as the vault.
    bool copy(CDbConnection& source, const QString& target, QString* error = nullptr) const;

private:
    SecretBytes m_vaultKey;
};
