#pragma once

#include <array>
#include <cstdint>

#include <QByteArray>
#include <QString>
#include <QStringView>

#include "crypto/AesCipher.h"

// The stored form of every encrypted value and the four operations that make and read it. Each operation
// sets the cipher's key itself, so one AesCipher can serve calls under different keys.
namespace TextCipher {

// Exactly as many bytes as the plaintext, no terminator, no length marker; free of zero bytes whenever the
// plaintext is.
using CipherBytes = QByteArray;

// Stands in for an empty key text.
inline constexpr QStringView BuiltInKey = u"PqqqLlllMmmmVvvv";

// Code page 936 bytes of the key text, padded with 'X' to 16; bytes beyond the 16th do not count.
std::array<std::uint8_t, 16> DeriveKeyBytes(const QString& key);

// Code page 936 bytes of the text, encrypted.
CipherBytes EncryptText(AesCipher& cipher, const QString& key, const QString& text);
// Decrypts up to the first zero byte of the cipher bytes and reads the result as code page 936 text.
QString DecryptText(AesCipher& cipher, const QString& key, const QByteArray& cipherBytes);

// All bytes count, zeros included.
CipherBytes EncryptBytes(AesCipher& cipher, const QString& key, const QByteArray& bytes);
// Decrypts every stored byte; the result ends before the first zero byte of the output.
QByteArray DecryptBytes(AesCipher& cipher, const QString& key, const QByteArray& cipherBytes);

// The same with a cipher object of their own.
CipherBytes EncryptText(const QString& key, const QString& text);
QString DecryptText(const QString& key, const QByteArray& cipherBytes);
CipherBytes EncryptBytes(const QString& key, const QByteArray& bytes);
QByteArray DecryptBytes(const QString& key, const QByteArray& cipherBytes);

} // namespace TextCipher
