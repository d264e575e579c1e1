#include "storage/DatabaseKey.h"

#include "storage/CDbConnection.h"
#include "storage/Schema.h"

namespace {

QString builtInPassword()
{
    return CDbConnection::parseConnectionString(Schema::kConnectionString).password;
}

} // namespace

DatabaseKey DatabaseKey::clone() const
{
    return isVault() ? DatabaseKey(SecretBytes(m_vaultKey.view())) : DatabaseKey();
}

bool DatabaseKey::open(CDbConnection& connection, const QString& path, QString* error) const
{
    return isVault() ? connection.openFileWithKey(path, m_vaultKey.view(), error)
                     : connection.openFile(path, builtInPassword(), error);
}

bool DatabaseKey::copy(CDbConnection& source, const QString& target, QString* error) const
{
    return isVault() ? source.copyToWithKey(target, m_vaultKey.view(), error)
                     : source.copyTo(target, builtInPassword(), error);
}
