#include "crypto/AesNi.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TIV_AESNI_SUPPORTED 1
#else
#define TIV_AESNI_SUPPORTED 0
#endif

namespace AesNi {

#if TIV_AESNI_SUPPORTED

// Per-function target attributes rather than -maes for the file: inline library code instantiated here must
// not pick up instructions that other processors lack.
#define TIV_AESNI_TARGET __attribute__((target("aes,sse2")))

namespace {

// Eight blocks keep the AES unit busy through its latency; more only spills registers.
constexpr std::size_t Lanes = 8;

struct Schedule {
    __m128i k[11];
};

TIV_AESNI_TARGET inline Schedule loadSchedule(const std::uint8_t* roundKeys)
{
    Schedule s;
    for (int r = 0; r < 11; ++r)
        s.k[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(roundKeys + 16 * r));
    return s;
}

TIV_AESNI_TARGET inline __m128i encrypt(const Schedule& s, __m128i b)
{
    b = _mm_xor_si128(b, s.k[0]);
    for (int r = 1; r < 10; ++r)
        b = _mm_aesenc_si128(b, s.k[r]);
    return _mm_aesenclast_si128(b, s.k[10]);
}

// Zero-avoiding combine: k ^ in where that is nonzero, otherwise k itself.
TIV_AESNI_TARGET inline __m128i combine(__m128i k, __m128i in)
{
    const __m128i x = _mm_xor_si128(k, in);
    const __m128i zero = _mm_cmpeq_epi8(x, _mm_setzero_si128());
    return _mm_or_si128(x, _mm_and_si128(zero, k));
}

// The counter as two little-endian halves; x86 stores them in the block's byte order.
struct Counter {
    std::uint64_t lo;
    std::uint64_t hi;

    TIV_AESNI_TARGET __m128i block() const
    {
        return _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
    }
    void increment()
    {
        if (++lo == 0)
            ++hi;
    }
};

} // namespace

bool available()
{
    // The feature data may not be filled in yet when this runs during static initialisation.
    __builtin_cpu_init();
    return __builtin_cpu_supports("aes");
}

TIV_AESNI_TARGET void encryptBlock(const std::uint8_t* roundKeys, const std::uint8_t in[16], std::uint8_t out[16])
{
    const Schedule s = loadSchedule(roundKeys);
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), encrypt(s, b));
}

TIV_AESNI_TARGET void process(const std::uint8_t* roundKeys, const std::uint8_t counter[16], const std::uint8_t* in,
                              std::uint8_t* out, std::size_t length)
{
    const Schedule s = loadSchedule(roundKeys);
    Counter ctr;
    std::memcpy(&ctr.lo, counter, 8);
    std::memcpy(&ctr.hi, counter + 8, 8);

    const __m128i one = _mm_set_epi64x(0, 1);
    while (length >= Lanes * 16) {
        __m128i b[Lanes];
        if (ctr.lo <= ~std::uint64_t{0} - Lanes) {
            // No carry into the high half within this batch: plain vector adds.
            b[0] = ctr.block();
#pragma GCC unroll 8
            for (std::size_t i = 1; i < Lanes; ++i)
                b[i] = _mm_add_epi64(b[i - 1], one);
            ctr.lo += Lanes;
        } else {
            for (std::size_t i = 0; i < Lanes; ++i) {
                b[i] = ctr.block();
                ctr.increment();
            }
        }
#pragma GCC unroll 8
        for (std::size_t i = 0; i < Lanes; ++i)
            b[i] = _mm_xor_si128(b[i], s.k[0]);
#pragma GCC unroll 9
        for (int r = 1; r < 10; ++r) {
#pragma GCC unroll 8
            for (std::size_t i = 0; i < Lanes; ++i)
                b[i] = _mm_aesenc_si128(b[i], s.k[r]);
        }
#pragma GCC unroll 8
        for (std::size_t i = 0; i < Lanes; ++i) {
            b[i] = _mm_aesenclast_si128(b[i], s.k[10]);
            const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), combine(b[i], data));
        }
        in += Lanes * 16;
        out += Lanes * 16;
        length -= Lanes * 16;
    }
    while (length >= 16) {
        const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), combine(encrypt(s, ctr.block()), data));
        ctr.increment();
        in += 16;
        out += 16;
        length -= 16;
    }
    if (length > 0) {
        alignas(16) std::uint8_t tail[16] = {};
        std::memcpy(tail, in, length);
        const __m128i data = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
        _mm_store_si128(reinterpret_cast<__m128i*>(tail), combine(encrypt(s, ctr.block()), data));
        std::memcpy(out, tail, length);
    }
}

#else

bool available()
{
    return false;
}

void encryptBlock(const std::uint8_t*, const std::uint8_t*, std::uint8_t*) {}

void process(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::uint8_t*, std::size_t) {}

#endif

} // namespace AesNi
