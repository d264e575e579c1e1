#pragma once

#include <QString>

#include <functional>
#include <QStringView>

#include "crypto/SecretBytes.h"
#include "storage/VaultKey.h"

class CDbConnection;

// The database as a vault: a file keyed with the user's password through Argon2id (VaultKey) instead of
// the built-in database password, so that a copy of it, or of a dated backup, reveals nothing without
// the password. Opt-in: a database in the plain format stays as it is until it is converted.
//
// Conversions (to a vault, back to the plain format, to a new password) write the whole database into a
// new file beside it, check that file, and rename it over the database. A vault needs nothing beside its
// own file (its salt describes the derivation), so that rename is the one step that changes what the
// path holds: a crash at any moment leaves the old database or the new one, complete, and at worst a
// leftover "<path>.new" that the next open or conversion removes.
//
// The caller closes every connection of the program to the database before a conversion and opens them
// again after it (with the key the conversion hands back): a conversion replaces the file under them.
namespace Vault {

enum class Outcome {
    Done,
    NoDatabase,    // nothing at the path
    NotAVault,     // the file opens with the built-in password: the plain format
    AlreadyAVault, // a conversion to a vault asked of one
    WrongPassword, // the header is a vault's, but the key derived from the password reads nothing; a
                   // vault damaged past its header looks the same
    Damaged,       // too short for a header, or a header neither format has, or a copy that failed its check
    ReadOnly,      // the file or its folder takes no writes
    DiskFull,
    Locked, // another program holds the file
    Failed, // anything else: no memory for the derivation, no random bytes, a rename refused
};

inline const QString kWrongPasswordText =
    QStringLiteral("密码错误，无法打开保险库。\r\n保险库只能用登录密码打开；遗忘的密码任何人都无法找回。");
// What the user is told of an open or a conversion that did not succeed; empty for Done.
QString describe(Outcome outcome);

// What the header says, without a password: a vault's salt carries its parameters. A plain-format
// file is only presumed (its opening proves it).
enum class Format { Absent, Plain, Vault, Damaged };
Format detect(const QString& path);

// Opens the vault on the connection. On Done, key (when given) receives what the engine is keyed with,
// for the other connections, a dated backup (CDbConnection::copyToWithKey) and later conversions.
Outcome open(CDbConnection& connection, const QString& path, QStringView password, SecretBytes* key = nullptr);
// The same with the key a previous open or conversion handed back: no derivation.
Outcome openWithKey(CDbConnection& connection, const QString& path, const SecretBytes& key);

// Converts the plain-format database at the path into a vault of the password.
Outcome toVault(const QString& path, QStringView password, const VaultKey::Params& params = VaultKey::defaultParams(),
                SecretBytes* key = nullptr);
// The same with the key a vault was opened with: the new vault opens with that key as well as with its
// password (a backup converted so is restored with the database's key).
Outcome toVaultWithKey(const QString& path, const SecretBytes& key);
// Converts the vault back to the plain format, keyed with the built-in database password.
Outcome toPlain(const QString& path, QStringView password);
// A change written into the new file of a conversion before it takes the database's place, on a
// connection to that file: the change and the new key arrive together or not at all. False (or a
// DbError) abandons the conversion.
using Change = std::function<bool(CDbConnection& newFile)>;

// Re-keys the vault for a new password, with a fresh salt, writing the change (when given) into it.
Outcome rekey(const QString& path, QStringView oldPassword, QStringView newPassword,
              const VaultKey::Params& params = VaultKey::defaultParams(), SecretBytes* key = nullptr,
              const Change& change = {});

// Removes what an interrupted conversion left beside the database.
void removeLeftovers(const QString& path);

} // namespace Vault
