#include "crypto/TextCipher.h"

#include <algorithm>
#include <cstring>

#include <QByteArrayView>
#include <QVarLengthArray>

#include "crypto/CodePage936.h"

namespace TextCipher {

namespace {

const std::uint8_t* bytesOf(const QByteArray& bytes)
{
    return reinterpret_cast<const std::uint8_t*>(bytes.constData());
}

std::uint8_t* bytesOf(QByteArray& bytes)
{
    return reinterpret_cast<std::uint8_t*>(bytes.data());
}

void setKey(AesCipher& cipher, const QString& key)
{
    // Consecutive values mostly share their key; its code page bytes are worked out once.
    thread_local QString lastKey;
    thread_local std::array<std::uint8_t, 16> lastKeyBytes = DeriveKeyBytes(QString());
    if (key != lastKey) {
        lastKeyBytes = DeriveKeyBytes(key);
        lastKey = key;
    }
    cipher.SetKey(lastKeyBytes.data());
}

qsizetype lengthBeforeZero(const char* data, qsizetype size)
{
    const void* zero = std::memchr(data, 0, static_cast<std::size_t>(size));
    return zero ? static_cast<const char*>(zero) - data : size;
}

} // namespace

std::array<std::uint8_t, 16> DeriveKeyBytes(const QString& key)
{
    const QByteArray bytes = CodePage936::toBytes(key.isEmpty() ? BuiltInKey : QStringView(key));
    std::array<std::uint8_t, 16> keyBytes;
    keyBytes.fill(0x58);
    std::memcpy(keyBytes.data(), bytes.constData(), std::min<std::size_t>(bytes.size(), keyBytes.size()));
    return keyBytes;
}

// The stored bytes are the first n bytes of the padded encryption. Output byte i depends only on input
// byte i, so transforming the n bytes directly gives them without the padding buffer and marker block.

CipherBytes EncryptText(AesCipher& cipher, const QString& key, const QString& text)
{
    setKey(cipher, key);
    QByteArray bytes = CodePage936::toBytes(text);
    // The converted bytes are ours alone: encrypt them in place.
    cipher.processBytes(bytesOf(bytes), bytesOf(bytes), static_cast<std::size_t>(bytes.size()));
    return bytes;
}

QString DecryptText(AesCipher& cipher, const QString& key, const QByteArray& cipherBytes)
{
    setKey(cipher, key);
    const qsizetype n = lengthBeforeZero(cipherBytes.constData(), cipherBytes.size());
    // Captions and names are short; keep them off the heap.
    QVarLengthArray<char, 256> plain(n);
    cipher.processBytes(bytesOf(cipherBytes), reinterpret_cast<std::uint8_t*>(plain.data()),
                        static_cast<std::size_t>(n));
    return CodePage936::toText(QByteArrayView(plain.data(), n));
}

CipherBytes EncryptBytes(AesCipher& cipher, const QString& key, const QByteArray& bytes)
{
    setKey(cipher, key);
    CipherBytes result(bytes.size(), Qt::Uninitialized);
    cipher.processBytes(bytesOf(bytes), bytesOf(result), static_cast<std::size_t>(bytes.size()));
    return result;
}

QByteArray DecryptBytes(AesCipher& cipher, const QString& key, const QByteArray& cipherBytes)
{
    setKey(cipher, key);
    QByteArray result(cipherBytes.size(), Qt::Uninitialized);
    cipher.processBytes(bytesOf(cipherBytes), bytesOf(result), static_cast<std::size_t>(cipherBytes.size()));
    result.truncate(lengthBeforeZero(result.constData(), result.size()));
    return result;
}

CipherBytes EncryptText(const QString& key, const QString& text)
{
    AesCipher cipher;
    return EncryptText(cipher, key, text);
}

QString DecryptText(const QString& key, const QByteArray& cipherBytes)
{
    AesCipher cipher;
    return DecryptText(cipher, key, cipherBytes);
}

CipherBytes EncryptBytes(const QString& key, const QByteArray& bytes)
{
    AesCipher cipher;
    return EncryptBytes(cipher, key, bytes);
}

QByteArray DecryptBytes(const QString& key, const QByteArray& cipherBytes)
{
    AesCipher cipher;
    return DecryptBytes(cipher, key, cipherBytes);
}

} // namespace TextCipher
