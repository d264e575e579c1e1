#include <array>
#include <cstring>
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QRandomGenerator>
#include <QTest>

#include <openssl/evp.h>

#include "crypto/AesCipher.h"

namespace {

using Block = std::array<std::uint8_t, 16>;
using Bytes = std::vector<std::uint8_t>;
using Engine = AesCipher::Engine;

// Written out here rather than taken from the class: stored data depends on it, so a change must fail.
constexpr Block StoredDataCounter = {0x3A, 0x91, 0x5C, 0x07, 0xE2, 0x4B, 0xD8, 0x16,
                                     0x6F, 0xA3, 0x29, 0xC4, 0x70, 0x1E, 0xB5, 0x8D};

Bytes fromHex(const char* hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return Bytes(raw.begin(), raw.end());
}

Bytes randomBytes(QRandomGenerator& rng, std::size_t n)
{
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng.bounded(256));
    return bytes;
}

// The reference: OpenSSL's AES-128 in ECB mode, one block at a time.
Bytes opensslEcb(const Bytes& key, const Bytes& blocks)
{
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    Bytes out(blocks.size() + 16);
    int len = 0;
    EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    EVP_EncryptUpdate(ctx.get(), out.data(), &len, blocks.data(), static_cast<int>(blocks.size()));
    out.resize(static_cast<std::size_t>(len));
    return out;
}

// The counter-stream transform rebuilt from its definition on top of the reference cipher.
Bytes referenceStream(const Bytes& key, Block counter, const Bytes& in)
{
    Bytes counters;
    for (std::size_t i = 0; i < in.size(); i += 16) {
        counters.insert(counters.end(), counter.begin(), counter.end());
        for (auto& byte : counter) {
            if (++byte != 0)
                break;
        }
    }
    const Bytes keyStream = opensslEcb(key, counters);
    Bytes out(in.size());
    for (std::size_t j = 0; j < in.size(); ++j)
        out[j] = keyStream[j] != in[j] ? keyStream[j] ^ in[j] : keyStream[j];
    return out;
}

Bytes process(const AesCipher& cipher, const Bytes& in)
{
    Bytes out(in.size(), 0xAA);
    cipher.ProcessBlocks(in.data(), out.data(), in.size());
    return out;
}

void addEngineRows()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("table") << Engine::Table;
    QTest::newRow("automatic") << Engine::Automatic;
}

} // namespace

class TestAesCipher : public QObject {
    Q_OBJECT

private slots:
    // FIPS-197 appendix B and C.1, then random keys and blocks against OpenSSL.
    void blocksMatchStandard_data() { addEngineRows(); }
    void blocksMatchStandard()
    {
        QFETCH(Engine, engine);
        AesCipher cipher(engine);
        Bytes out(16);
        cipher.SetKey(fromHex("2b7e151628aed2a6abf7158809cf4f3c").data());
        cipher.encryptBlock(fromHex("3243f6a8885a308d313198a2e0370734").data(), out.data());
        QCOMPARE(out, fromHex("3925841d02dc09fbdc118597196a0b32"));
        cipher.SetKey(fromHex("000102030405060708090a0b0c0d0e0f").data());
        cipher.encryptBlock(fromHex("00112233445566778899aabbccddeeff").data(), out.data());
        QCOMPARE(out, fromHex("69c4e0d86a7b0430d8cdb78070b4c55a"));

        QRandomGenerator rng(1);
        for (int i = 0; i < 4000; ++i) {
            const Bytes key = randomBytes(rng, 16);
            const Bytes block = randomBytes(rng, 16);
            cipher.SetKey(key.data());
            cipher.encryptBlock(block.data(), out.data());
            QCOMPARE(out, opensslEcb(key, block));
        }
    }

    // Random lengths, including one long enough for the counter's second byte to carry into the third.
    // A quarter of the input bytes equal their key-stream byte, the case the combine treats specially.
    void streamMatchesReference_data() { addEngineRows(); }
    void streamMatchesReference()
    {
        QFETCH(Engine, engine);
        QRandomGenerator rng(2);
        std::vector<std::size_t> lengths{16, 32, 128, 144, 3200, 29000 * 16};
        for (int i = 0; i < 40; ++i)
            lengths.push_back(16 * (1 + rng.bounded(600)));
        for (std::size_t length : lengths) {
            const Bytes key = randomBytes(rng, 16);
            Bytes in = randomBytes(rng, length);
            AesCipher cipher(engine);
            cipher.SetKey(key.data());
            const Bytes keyStream = process(cipher, Bytes(length, 0));
            for (std::size_t j = 0; j < length; j += 4)
                in[j] = keyStream[j];
            QCOMPARE(process(cipher, in), referenceStream(key, StoredDataCounter, in));
        }
    }

    void hardwareMatchesTable()
    {
        if (!AesCipher::hardwareAvailable())
            QSKIP("no AES instructions on this processor");
        QVERIFY(AesCipher(Engine::Automatic).usesHardware());
        QVERIFY(!AesCipher(Engine::Table).usesHardware());
        QRandomGenerator rng(3);
        for (int i = 0; i < 2000; ++i) {
            const Bytes key = randomBytes(rng, 16);
            const Bytes in = randomBytes(rng, rng.bounded(i < 1000 ? 300 : 5000));
            AesCipher hardware(Engine::Automatic);
            AesCipher table(Engine::Table);
            hardware.SetKey(key.data());
            table.SetKey(key.data());
            Bytes a(in.size()), b(in.size());
            hardware.processBytes(in.data(), a.data(), in.size());
            table.processBytes(in.data(), b.data(), in.size());
            QCOMPARE(a, b);
        }
    }

    // Starting counters that force carries: within the low bytes, across the middle of the block, and the
    // wrap of all 0xFF to zero, at every position of a batch of blocks in flight.
    void counterCarries_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<int>("fullBytes");
        for (auto [name, engine] : {std::pair{"table", Engine::Table}, std::pair{"automatic", Engine::Automatic}}) {
            for (int full : {2, 8, 16})
                QTest::addRow("%s, %d bytes 0xFF", name, full) << engine << full;
        }
    }
    void counterCarries()
    {
        QFETCH(Engine, engine);
        QFETCH(int, fullBytes);
        QRandomGenerator rng(4);
        const Bytes key = randomBytes(rng, 16);
        for (int before = 0; before < 10; ++before) {
            Block start{};
            start.fill(0xFF);
            for (int j = fullBytes; j < 16; ++j)
                start[j] = static_cast<std::uint8_t>(0x10 + j);
            start[0] = static_cast<std::uint8_t>(0xFF - before);
            AesCipher cipher(engine, start);
            cipher.SetKey(key.data());
            const Bytes in = randomBytes(rng, 16 * 24);
            QCOMPARE(process(cipher, in), referenceStream(key, start, in));
            if (fullBytes == 16) {
                // Zero input shows the key stream: block before+1 must be the encryption of the zero block.
                const Bytes stream = process(cipher, Bytes(16 * (before + 2), 0));
                QCOMPARE(Bytes(stream.end() - 16, stream.end()), opensslEcb(key, Bytes(16, 0)));
            }
        }
    }

    // A long input taken in pieces at their offsets gives the transform of the whole; the block number is
    // added to the counter with its carries, up to the wrap of all 0xFF.
    void streamInPieces_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<Block>("start");
        Block lowHalfFull = StoredDataCounter;
        std::fill(lowHalfFull.begin(), lowHalfFull.begin() + 8, 0xF0);
        Block allFull{};
        allFull.fill(0xFF);
        allFull[0] = 0xF0;
        for (auto [name, engine] : {std::pair{"table", Engine::Table}, std::pair{"automatic", Engine::Automatic}}) {
            QTest::addRow("%s, stored counter", name) << engine << StoredDataCounter;
            QTest::addRow("%s, carry out of the low half", name) << engine << lowHalfFull;
            QTest::addRow("%s, wrap to zero", name) << engine << allFull;
        }
    }
    void streamInPieces()
    {
        QFETCH(Engine, engine);
        QFETCH(Block, start);
        QRandomGenerator rng(7);
        const Bytes key = randomBytes(rng, 16);
        AesCipher cipher(engine, start);
        cipher.SetKey(key.data());
        const Bytes in = randomBytes(rng, 16 * 300 + 5);
        Bytes out(in.size(), 0xAA);
        for (std::size_t offset = 0, piece = 16; offset < in.size(); offset += piece, piece += 48) {
            const std::size_t length = std::min(piece, in.size() - offset);
            cipher.processBytesAt(offset, in.data() + offset, out.data() + offset, length);
        }
        QCOMPARE(out, referenceStream(key, start, in));

        const Bytes untouched(32, 0xAA);
        Bytes misaligned = untouched;
        cipher.processBytesAt(8, in.data(), misaligned.data(), misaligned.size());
        QCOMPARE(misaligned, untouched);
    }

    void streamProperties()
    {
        QRandomGenerator rng(5);
        const Bytes key = randomBytes(rng, 16);
        AesCipher cipher;
        cipher.SetKey(key.data());
        Bytes in = randomBytes(rng, 4096);
        for (auto& b : in)
            b = b ? b : 1;
        const Bytes once = process(cipher, in);
        QVERIFY(std::find(once.begin(), once.end(), 0) == once.end());
        QCOMPARE(process(cipher, in), once); // the counter does not carry over between calls
        QCOMPARE(process(cipher, once), in);
        Bytes inPlace = in;
        cipher.ProcessBlocks(inPlace.data(), inPlace.data(), inPlace.size());
        QCOMPARE(inPlace, once);
    }

    void noOpCases()
    {
        const Bytes in(64, 0x41);
        const Bytes untouched(64, 0xAA);
        AesCipher unset;
        Bytes out = untouched;
        unset.ProcessBlocks(in.data(), out.data(), 32);
        unset.encryptBlock(in.data(), out.data());
        QCOMPARE(out, untouched);

        AesCipher cipher;
        cipher.SetKey(in.data());
        for (std::size_t length : {0, 15, 17, 33}) {
            cipher.ProcessBlocks(in.data(), out.data(), length);
            QCOMPARE(out, untouched);
        }
        cipher.ProcessBlocks(nullptr, out.data(), 32);
        cipher.ProcessBlocks(in.data(), nullptr, 32);
        QCOMPARE(out, untouched);
    }

    // The output is the transform of the data, its zero padding and a marker block holding n mod 16 (16 for
    // 0): 0 gives 16 bytes, 16 gives 32, 17 gives 48.
    void encryptPadded()
    {
        QRandomGenerator rng(6);
        AesCipher cipher;
        cipher.SetKey(randomBytes(rng, 16).data());
        for (std::uint32_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 1000u}) {
            const Bytes data = randomBytes(rng, n);
            Bytes expected = data;
            expected.resize(n == 0 ? 16 : (n + 15) / 16 * 16 + 16, 0);
            expected[expected.size() - 16] = static_cast<std::uint8_t>(n % 16 == 0 ? 16 : n % 16);
            Bytes out(AesCipher::PaddedLength(n));
            cipher.EncryptPadded(data.data(), n, out.data());
            QCOMPARE(out, process(cipher, expected));
        }
        // A 32-bit padded length that wraps must not become a short buffer.
        std::uint8_t small[16] = {};
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, cipher.EncryptPadded(small, 0xFFFFFFF8u, small));
    }
};

QTEST_APPLESS_MAIN(TestAesCipher)
#include "tst_aescipher.moc"
