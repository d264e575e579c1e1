#pragma once

#include <QByteArray>
#include <QString>

class RandomLetters;
class Recordset;

// The stored form of the account row in tb_User, in one place. The name, the password and the
// default key are encrypted under the SystemKey with the account's seal appended, the name and the
// key salted first; the failure count is encrypted without a seal. The remembered login name of
// tiv.ini is the name in this same form.
class AccountRow final {
public:
    // The seal is the one of the account the row belongs to (AccountText::DatabaseSeal of its id).
    AccountRow(const QString& systemKey, const QString& seal);

    static inline const QString kUserName = QStringLiteral("userName");
    static inline const QString kPassword = QStringLiteral("password");
    static inline const QString kDataKey = QStringLiteral("aesKey");
    static inline const QString kFailureCount = QStringLiteral("errorTimes");
    static inline const QString kGender = QStringLiteral("gender");

    // Written with at most four digits.
    static constexpr int kMaxFailureCount = 9999;

    // The values of the current row, decoded.
    struct Values {
        QString userName; // salt and seal removed
        QString password; // seal removed
        QString dataKey;  // salt and seal removed
        int failureCount = 0;
    };
    Values read(const Recordset& account) const;
    // Whether the password is the one the row stores; compared in the stored form, byte for byte.
    bool passwordMatches(const Recordset& account, const QString& password) const;

    // Each sets its column of the current row; the caller writes the row. The name and the key are
    // salted with the letters; writeName returns the salted name, which the remembered name reuses.
    QString writeName(Recordset& account, const QString& name, RandomLetters& letters) const;
    void writePassword(Recordset& account, const QString& password) const;
    void writeDataKey(Recordset& account, const QString& key, RandomLetters& letters) const;
    void writeFailureCount(Recordset& account, int count) const;

    // The stored form of a name already salted, and the name back from a stored form.
    QByteArray encodeSaltedName(const QString& saltedName) const;
    QString decodeName(const QByteArray& stored) const;

private:
    QString m_systemKey;
    QString m_seal;
};
