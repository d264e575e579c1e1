#include "security/AccountRow.h"

#include <algorithm>

#include "crypto/CodePage936.h"
#include "crypto/TextCipher.h"
#include "state/AccountText.h"
#include "state/LeadingNumber.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"

using FieldConversions::ReadLongBinary;

AccountRow::AccountRow(const QString& systemKey, const QString& seal) : m_systemKey(systemKey), m_seal(seal) {}

AccountRow::Values AccountRow::read(const Recordset& account) const
{
    const auto decrypted = [&](const QString& column) {
        return TextCipher::DecryptText(m_systemKey, ReadLongBinary(account, column));
    };
    Values values;
    values.userName = decodeName(ReadLongBinary(account, kUserName));
    values.password = AccountText::withoutSeal(decrypted(kPassword));
    values.dataKey = AccountText::UnsaltText(AccountText::withoutSeal(decrypted(kDataKey)));
    // Text that is no number counts as no failure.
    values.failureCount =
        static_cast<int>(std::clamp<qint64>(LeadingNumber::value(decrypted(kFailureCount)), 0, kMaxFailureCount));
    return values;
}

bool AccountRow::passwordMatches(const Recordset& account, const QString& password) const
{
    const QByteArray stored = ReadLongBinary(account, kPassword);
    if (TextCipher::EncryptText(m_systemKey, password + m_seal) == stored)
        return true;
    // Earlier versions kept '?' for what the code page lacks: such a password still logs in as typed.
    const QString lossy = CodePage936::lossyRoundTrip(password);
    return lossy != password && TextCipher::EncryptText(m_systemKey, lossy + m_seal) == stored;
}

QString AccountRow::writeName(Recordset& account, const QString& name, RandomLetters& letters) const
{
    const QString salted = AccountText::SaltText(name, letters);
    account.setField(kUserName, encodeSaltedName(salted));
    return salted;
}

void AccountRow::writePassword(Recordset& account, const QString& password) const
{
    account.setField(kPassword, TextCipher::EncryptText(m_systemKey, password + m_seal));
}

void AccountRow::writeDataKey(Recordset& account, const QString& key, RandomLetters& letters) const
{
    account.setField(kDataKey, TextCipher::EncryptText(m_systemKey, AccountText::SaltText(key, letters) + m_seal));
}

void AccountRow::writeFailureCount(Recordset& account, int count) const
{
    const int stored = std::clamp(count, 0, kMaxFailureCount);
    account.setField(kFailureCount, TextCipher::EncryptText(m_systemKey, QString::number(stored)));
}

QByteArray AccountRow::encodeSaltedName(const QString& saltedName) const
{
    return TextCipher::EncryptText(m_systemKey, saltedName + m_seal);
}

QString AccountRow::decodeName(const QByteArray& stored) const
{
    return AccountText::UnsaltText(AccountText::withoutSeal(TextCipher::DecryptText(m_systemKey, stored)));
}
