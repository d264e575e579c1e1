#include "crypto/AesCipher.h"

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "crypto/AesNi.h"

namespace {

// ---- Tables, built by the compiler from the field arithmetic so that no hand-copied constant can be wrong.

constexpr std::uint8_t xtime(std::uint8_t x)
{
    return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}

constexpr std::uint8_t rotl8(std::uint8_t x, int shift)
{
    return static_cast<std::uint8_t>((x << shift) | (x >> (8 - shift)));
}

// Walks the multiplicative group with generator 3 and its inverse together, so every nonzero p meets its
// inverse q; the S-box is the affine map of the inverse.
constexpr std::array<std::uint8_t, 256> makeSbox()
{
    std::array<std::uint8_t, 256> box{};
    std::uint8_t p = 1;
    std::uint8_t q = 1;
    do {
        p = static_cast<std::uint8_t>(p ^ xtime(p));
        q = static_cast<std::uint8_t>(q ^ (q << 1));
        q = static_cast<std::uint8_t>(q ^ (q << 2));
        q = static_cast<std::uint8_t>(q ^ (q << 4));
        if (q & 0x80)
            q ^= 0x09;
        box[p] = static_cast<std::uint8_t>(q ^ rotl8(q, 1) ^ rotl8(q, 2) ^ rotl8(q, 3) ^ rotl8(q, 4) ^ 0x63);
    } while (p != 1);
    box[0] = 0x63;
    return box;
}

constexpr std::array<std::uint8_t, 256> Sbox = makeSbox();

// Round table for row r: SubBytes and MixColumns of one byte, a column word rotated right by 8r bits.
constexpr std::array<std::uint32_t, 256> makeRoundTable(int r)
{
    std::array<std::uint32_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t s = Sbox[i];
        const std::uint32_t s2 = xtime(Sbox[i]);
        const std::uint32_t word = (s2 << 24) | (s << 16) | (s << 8) | (s2 ^ s);
        table[i] = r == 0 ? word : (word >> (8 * r)) | (word << (32 - 8 * r));
    }
    return table;
}

alignas(64) constexpr std::array<std::uint32_t, 256> Te0 = makeRoundTable(0);
alignas(64) constexpr std::array<std::uint32_t, 256> Te1 = makeRoundTable(1);
alignas(64) constexpr std::array<std::uint32_t, 256> Te2 = makeRoundTable(2);
alignas(64) constexpr std::array<std::uint32_t, 256> Te3 = makeRoundTable(3);

static_assert(Sbox[0x00] == 0x63 && Sbox[0x01] == 0x7C && Sbox[0x53] == 0xED && Sbox[0xFF] == 0x16);
static_assert(Te0[0x00] == 0xC66363A5 && Te1[0x00] == 0xA5C66363 && Te3[0xFF] == 0x16163A2C);

constexpr std::uint32_t loadBigEndian(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void storeBigEndian(std::uint32_t w, std::uint8_t* p)
{
    p[0] = static_cast<std::uint8_t>(w >> 24);
    p[1] = static_cast<std::uint8_t>(w >> 16);
    p[2] = static_cast<std::uint8_t>(w >> 8);
    p[3] = static_cast<std::uint8_t>(w);
}

std::uint32_t subWord(std::uint32_t w)
{
    return (std::uint32_t{Sbox[w >> 24]} << 24) | (std::uint32_t{Sbox[(w >> 16) & 0xFF]} << 16) |
           (std::uint32_t{Sbox[(w >> 8) & 0xFF]} << 8) | Sbox[w & 0xFF];
}

// Zero-avoiding combine of eight bytes at once, without a branch per byte: x = k ^ in, and where a byte of
// x is zero (k equal to in) the key-stream byte itself is kept.
inline std::uint64_t combine8(std::uint64_t k, std::uint64_t in)
{
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t high = 0x8080808080808080ULL;
    const std::uint64_t x = k ^ in;
    // High bit of each byte of nonzero set exactly when that byte of x is nonzero (no carries between bytes).
    const std::uint64_t nonzero = (((x & low7) + low7) | x) & high;
    const std::uint64_t zeroMask = ((nonzero ^ high) >> 7) * 0xFF;
    return x | (zeroMask & k);
}

void combine16(const std::uint8_t* k, const std::uint8_t* in, std::uint8_t* out)
{
    std::uint64_t k0, k1, in0, in1;
    std::memcpy(&k0, k, 8);
    std::memcpy(&k1, k + 8, 8);
    std::memcpy(&in0, in, 8);
    std::memcpy(&in1, in + 8, 8);
    const std::uint64_t out0 = combine8(k0, in0);
    const std::uint64_t out1 = combine8(k1, in1);
    std::memcpy(out, &out0, 8);
    std::memcpy(out + 8, &out1, 8);
}

// 128-bit little-endian increment: the carry runs from byte 0 upwards; all 0xFF wraps to zero.
void incrementCounter(std::uint8_t* counter)
{
    for (int i = 0; i < 16; ++i) {
        if (++counter[i] != 0)
            return;
    }
}

} // namespace

AesCipher::AesCipher(Engine engine) : AesCipher(engine, InitialCounter) {}

AesCipher::AesCipher(Engine engine, const std::array<std::uint8_t, 16>& startCounter)
    : m_initialCounter(startCounter), m_hardware(engine == Engine::Automatic && hardwareAvailable())
{
}

bool AesCipher::hardwareAvailable()
{
    static const bool available = AesNi::available();
    return available;
}

void AesCipher::SetKey(const std::uint8_t* key16)
{
    // Runs of values under one key (every caption of a tree under the DataKey) keep the schedule.
    if (m_keySet && std::memcmp(m_key.data(), key16, m_key.size()) == 0)
        return;
    std::memcpy(m_key.data(), key16, m_key.size());
    static constexpr std::uint32_t roundConstants[10] = {0x01000000, 0x02000000, 0x04000000, 0x08000000, 0x10000000,
                                                         0x20000000, 0x40000000, 0x80000000, 0x1B000000, 0x36000000};
    std::uint32_t* w = m_roundKeys;
    for (int i = 0; i < 4; ++i)
        w[i] = loadBigEndian(key16 + 4 * i);
    for (int i = 4; i < 44; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % 4 == 0)
            temp = subWord((temp << 8) | (temp >> 24)) ^ roundConstants[i / 4 - 1];
        w[i] = w[i - 4] ^ temp;
    }
    // The instructions take each round key as the 16 bytes it is applied to, which is the words' big-endian
    // serialisation.
    for (int i = 0; i < 44; ++i)
        storeBigEndian(w[i], m_hardwareRoundKeys + 4 * i);
    m_keyLength = 16;
    m_rounds = 10;
    m_keySet = 1;
}

void AesCipher::encryptBlock(const std::uint8_t in[16], std::uint8_t out[16]) const
{
    if (!m_keySet)
        return;
    if (m_hardware)
        AesNi::encryptBlock(m_hardwareRoundKeys, in, out);
    else
        encryptTableBlock(in, out);
}

void AesCipher::encryptTableBlock(const std::uint8_t in[16], std::uint8_t out[16]) const
{
    const std::uint32_t* rk = m_roundKeys;
    std::uint32_t s0 = loadBigEndian(in) ^ rk[0];
    std::uint32_t s1 = loadBigEndian(in + 4) ^ rk[1];
    std::uint32_t s2 = loadBigEndian(in + 8) ^ rk[2];
    std::uint32_t s3 = loadBigEndian(in + 12) ^ rk[3];
    const auto column = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t key) {
        return Te0[a >> 24] ^ Te1[(b >> 16) & 0xFF] ^ Te2[(c >> 8) & 0xFF] ^ Te3[d & 0xFF] ^ key;
    };
    for (int round = 1; round < m_rounds; ++round) {
        rk += 4;
        const std::uint32_t t0 = column(s0, s1, s2, s3, rk[0]);
        const std::uint32_t t1 = column(s1, s2, s3, s0, rk[1]);
        const std::uint32_t t2 = column(s2, s3, s0, s1, rk[2]);
        const std::uint32_t t3 = column(s3, s0, s1, s2, rk[3]);
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    // Last round: SubBytes and ShiftRows only.
    const auto last = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t key) {
        return ((std::uint32_t{Sbox[a >> 24]} << 24) | (std::uint32_t{Sbox[(b >> 16) & 0xFF]} << 16) |
                (std::uint32_t{Sbox[(c >> 8) & 0xFF]} << 8) | Sbox[d & 0xFF]) ^
               key;
    };
    storeBigEndian(last(s0, s1, s2, s3, rk[0]), out);
    storeBigEndian(last(s1, s2, s3, s0, rk[1]), out + 4);
    storeBigEndian(last(s2, s3, s0, s1, rk[2]), out + 8);
    storeBigEndian(last(s3, s0, s1, s2, rk[3]), out + 12);
}

void AesCipher::processTable(const std::uint8_t* counterStart, const std::uint8_t* in, std::uint8_t* out,
                             std::size_t length) const
{
    std::uint8_t counter[16];
    std::memcpy(counter, counterStart, 16);
    std::uint8_t keyStream[16];
    for (; length >= 16; length -= 16, in += 16, out += 16) {
        encryptTableBlock(counter, keyStream);
        combine16(keyStream, in, out);
        incrementCounter(counter);
    }
    if (length > 0) {
        std::uint8_t tail[16] = {};
        std::memcpy(tail, in, length);
        encryptTableBlock(counter, keyStream);
        combine16(keyStream, tail, tail);
        std::memcpy(out, tail, length);
    }
}

void AesCipher::processBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t length) const
{
    processBytesAt(0, in, out, length);
}

void AesCipher::processBytesAt(std::uint64_t offset, const std::uint8_t* in, std::uint8_t* out,
                               std::size_t length) const
{
    if (in == nullptr || out == nullptr || !m_keySet || length == 0 || offset % BlockSize != 0)
        return;
    // The counter of the block at the offset: the initial counter plus the block number, as 128-bit
    // little-endian numbers.
    std::uint8_t counter[16];
    std::uint64_t add = offset / BlockSize;
    unsigned carry = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        const unsigned sum = m_initialCounter[i] + static_cast<unsigned>(add & 0xFF) + carry;
        counter[i] = static_cast<std::uint8_t>(sum);
        carry = sum >> 8;
        add >>= 8;
    }
    if (m_hardware)
        AesNi::process(m_hardwareRoundKeys, counter, in, out, length);
    else
        processTable(counter, in, out, length);
}

void AesCipher::ProcessBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t length) const
{
    if (length % BlockSize != 0)
        return;
    processBytes(in, out, length);
}

void AesCipher::EncryptPadded(const std::uint8_t* in, std::uint32_t n, std::uint8_t* out) const
{
    if (in == nullptr && n > 0)
        return;
    const std::uint32_t padded = PaddedLength(n);
    // For n within 32 bytes of 4 GiB the 32-bit length wraps below n; no buffer could hold that anyway.
    std::unique_ptr<std::uint8_t[]> buffer(padded > n ? new (std::nothrow) std::uint8_t[padded]() : nullptr);
    if (!buffer)
        throw std::runtime_error("Allocating memory failed.");
    if (n > 0)
        std::memcpy(buffer.get(), in, n);
    buffer[padded - 16] = static_cast<std::uint8_t>(n % 16 == 0 ? 16 : n % 16);
    ProcessBlocks(buffer.get(), out, padded);
}
