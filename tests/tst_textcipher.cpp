#include <array>
#include <cstring>

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include "crypto/AesCipher.h"
#include "crypto/CodePage936.h"
#include "crypto/TextCipher.h"

using namespace TextCipher;
using namespace Qt::StringLiterals;

namespace {

QByteArray keyOf(const QString& key)
{
    const auto bytes = DeriveKeyBytes(key);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), 16);
}

QByteArray randomBytes(QRandomGenerator& rng, qsizetype n, bool allowZero)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (char& c : bytes)
        c = static_cast<char>(allowZero ? rng.bounded(256) : 1 + rng.bounded(255));
    return bytes;
}

// The stored form by its definition: the padded encryption cut to the plaintext's length.
QByteArray viaEncryptPadded(const QString& key, const QByteArray& plain)
{
    AesCipher cipher;
    cipher.SetKey(DeriveKeyBytes(key).data());
    const auto n = static_cast<std::uint32_t>(plain.size());
    QByteArray out(AesCipher::PaddedLength(n), Qt::Uninitialized);
    cipher.EncryptPadded(reinterpret_cast<const std::uint8_t*>(plain.constData()), n,
                         reinterpret_cast<std::uint8_t*>(out.data()));
    return out.left(plain.size());
}

// The key stream itself: a zero byte encrypts to its key-stream byte.
QByteArray keyStream(const QString& key, qsizetype n)
{
    return EncryptBytes(key, QByteArray(n, '\0'));
}

} // namespace

class TestTextCipher : public QObject {
    Q_OBJECT

private slots:
    void deriveKeyBytes()
    {
        QCOMPARE(keyOf(QString()), QByteArray("PqqqLlllMmmmVvvv"));
        QCOMPARE(keyOf("abc"), QByteArray("abcXXXXXXXXXXXXX"));
        QCOMPARE(keyOf("0123456789abcdefGHIJ"), keyOf("0123456789abcdefKLMN"));
        // Two bytes per character: seven characters and a letter leave room for half of the eighth.
        QCOMPARE(keyOf(u"一二三四五六七a中"_s), CodePage936::toBytes(u"一二三四五六七a中"_s).left(16));
        QCOMPARE(keyOf(u"中文"_s), CodePage936::toBytes(u"中文"_s) + QByteArray(12, 'X'));
        QCOMPARE(EncryptText(QString(), "value"), EncryptText("PqqqLlllMmmmVvvv", "value"));
        QVERIFY(EncryptText("abc", "value") != EncryptText("abd", "value"));
    }

    // Identity with the padded encryption, byte for byte, over lengths around block edges and one large
    // value; the cipher bytes keep the plaintext's length and, for zero-free plaintext, have no zero.
    void matchesPaddedEncryption()
    {
        QRandomGenerator rng(7);
        AesCipher cipher;
        for (qsizetype n = 0; n < 80; ++n) {
            const QByteArray plain = randomBytes(rng, n, false);
            const QString key = QString::number(n);
            const CipherBytes bytes = EncryptBytes(cipher, key, plain);
            QCOMPARE(bytes, viaEncryptPadded(key, plain));
            QCOMPARE(bytes.size(), n);
            QVERIFY(!bytes.contains('\0'));
            QCOMPARE(DecryptBytes(cipher, key, bytes), plain);
        }
        const QString text = (u"日记正文 diary body "_s).repeated(30000);
        const QByteArray large = CodePage936::toBytes(text);
        QCOMPARE(EncryptText(cipher, "密钥", text), viaEncryptPadded("密钥", large));
        QCOMPARE(EncryptBytes(cipher, "k", large), viaEncryptPadded("k", large));
    }

    void textRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byteCount");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("1 byte") << QString("a") << 1;
        QTest::newRow("16 bytes") << QString("0123456789abcdef") << 16;
        QTest::newRow("17 bytes") << QString("0123456789abcdefg") << 17;
        QTest::newRow("chinese") << u"澄岳个人信息管理：修改文档成功。"_s << 32;
        QTest::newRow("mixed") << u"账号 user@例子.com 密码 Pa$$w0rd €"_s << 34;
    }
    void textRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(int, byteCount);
        AesCipher table(AesCipher::Engine::Table);
        const CipherBytes bytes = EncryptText(table, "用户密钥", text);
        QCOMPARE(bytes.size(), byteCount);
        QVERIFY(!bytes.contains('\0'));
        QCOMPARE(EncryptText("用户密钥", text), bytes);
        QCOMPARE(DecryptText("用户密钥", bytes), text);
        // The transform is its own inverse; encrypting again restores the plaintext bytes.
        QCOMPARE(EncryptBytes("用户密钥", bytes), CodePage936::toBytes(text));
        QCOMPARE(EncryptText("用户密钥", text.left(5)), bytes.left(CodePage936::toBytes(text.left(5)).size()));
    }

    // Every character the code page has keeps the code page's bytes, so every stored value reads as before;
    // every other one takes four bytes and comes back, alone and among the others.
    void codePageKeptOtherCharactersLossless()
    {
        QStringEncoder gbk("GBK", QStringConverter::Flag::Stateless);
        QStringDecoder gbkBack("GBK", QStringConverter::Flag::Stateless);
        QString all;
        for (char32_t u = 0x80; u <= 0xFFFF; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            const QString character(QChar(static_cast<char16_t>(u)));
            const QByteArray own = gbk.encode(character);
            const QByteArray bytes = CodePage936::toBytes(character);
            if (!own.isEmpty() && gbkBack.decode(own) == character)
                QCOMPARE(bytes, own);
            else
                QCOMPARE(bytes.size(), 4);
            QCOMPARE(CodePage936::toText(bytes), character);
            all += character;
        }
        QCOMPARE(CodePage936::roundTrip(all), all);
        const QString typed = u"Pässwörd ß ñ ç 한국 😀 𠀀 中1文2 ḿ\u00ad€"_s;
        QCOMPARE(CodePage936::roundTrip(typed), typed);
        QCOMPARE(CodePage936::toBytes(u"Pä"_s).size(), 5);
        QCOMPARE(CodePage936::lossyRoundTrip(u"Pässwörd"_s), u"P?ssw?rd"_s);
        // Keys that differ only outside the code page are different keys.
        QVERIFY(keyOf(u"ä"_s) != keyOf(u"ö"_s));
        QCOMPARE(DecryptText("k", EncryptText("k", typed)), typed);
    }

    // Stored bytes read as the converter reads them, whatever pair they hold: assigned or not, well formed or not
    // (but for the four-byte sequences, which a digit after a lead byte begins).
    void storedBytesReadAsTheConverterReadsThem()
    {
        QStringDecoder gbk("GBK", QStringConverter::Flag::Stateless);
        for (int lead = 0x80; lead <= 0xFF; ++lead) {
            for (int trail = 0x01; trail <= 0xFF; ++trail) {
                if (trail >= '0' && trail <= '9')
                    continue;
                const char bytes[] = {'a', static_cast<char>(lead), static_cast<char>(trail), 'b'};
                if (CodePage936::toText(QByteArrayView(bytes, 4)) != gbk.decode(QByteArrayView(bytes, 4)))
                    QFAIL(qPrintable(QStringLiteral("%1 %2").arg(lead, 0, 16).arg(trail, 0, 16)));
            }
        }
        QCOMPARE(CodePage936::toText("a\xd6"), gbk.decode(QByteArrayView("a\xd6")));
    }

    void unpairedSurrogateIsFound()
    {
        QCOMPARE(CodePage936::firstUnencodable(u"ok 😀"_s), std::nullopt);
        QCOMPARE(CodePage936::firstUnencodable(u"ab"_s + QChar(0xD83D) + u"c"_s), 2);
        QCOMPARE(CodePage936::firstUnencodable(u"a"_s + QChar(0xDE00)), 1);
    }

    void oneCipherServesKeyAfterKey()
    {
        // What one cipher object gives under each key equals a fresh object's, whatever came before.
        AesCipher shared;
        const QString text = u"缓存的密钥 cached"_s;
        for (const QString& key : {u"甲"_s, u"甲"_s, u"乙"_s, QString(), u"PqqqLlllMmmmVvvv"_s, u"甲"_s})
            QCOMPARE(EncryptText(shared, key, text), EncryptText(key, text));
    }

    void wrongKey()
    {
        const QString text = u"银行卡密码 123456"_s;
        const CipherBytes bytes = EncryptText("right", text);
        QVERIFY(DecryptText("wrong", bytes) != text);
        // Zero-free cipher bytes cannot decrypt to a zero byte, so nothing is cut off.
        QCOMPARE(DecryptBytes("wrong", bytes).size(), bytes.size());
    }

    // Readers stop at zero bytes: DecryptText at the first zero of the cipher bytes, DecryptBytes at the
    // first zero of its output (a zero cipher byte against a zero key-stream byte).
    void zeroBytesEndValues()
    {
        const QByteArray withZero("ab\0cd", 5);
        QCOMPARE(EncryptBytes("k", withZero).size(), 5);

        QRandomGenerator rng(8);
        QByteArray cipherBytes = randomBytes(rng, 40, false);
        cipherBytes[10] = '\0';
        QCOMPARE(DecryptText("k", cipherBytes), DecryptText("k", cipherBytes.left(10)));

        const QByteArray stream = keyStream("k", 4096);
        const qsizetype zeroAt = stream.indexOf('\0');
        QVERIFY(zeroAt >= 0);
        QByteArray stored = randomBytes(rng, stream.size(), false);
        stored[zeroAt] = '\0';
        QCOMPARE(DecryptBytes("k", stored).size(), zeroAt);
    }
};

QTEST_APPLESS_MAIN(TestTextCipher)
#include "tst_textcipher.moc"
