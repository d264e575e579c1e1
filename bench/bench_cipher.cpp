#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include "crypto/AesCipher.h"
#include "crypto/TextCipher.h"

namespace {

constexpr std::uint8_t Key[16] = {'P', 'q', 'q', 'q', 'L', 'l', 'l', 'l', 'M', 'm', 'm', 'm', 'V', 'v', 'v', 'v'};

std::vector<std::uint8_t> sampleData(std::size_t n)
{
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return data;
}

void processBlocks(benchmark::State& state, AesCipher::Engine engine)
{
    AesCipher cipher(engine);
    if (engine == AesCipher::Engine::Automatic && !cipher.usesHardware()) {
        state.SkipWithError("no AES instructions on this processor");
        return;
    }
    cipher.SetKey(Key);
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> in = sampleData(n);
    std::vector<std::uint8_t> out(n);
    for (auto _ : state) {
        cipher.ProcessBlocks(in.data(), out.data(), n);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_ProcessBlocksTable(benchmark::State& state)
{
    processBlocks(state, AesCipher::Engine::Table);
}

void BM_ProcessBlocksHardware(benchmark::State& state)
{
    processBlocks(state, AesCipher::Engine::Automatic);
}

// The yardstick: OpenSSL's own counter mode, restarted from the same IV on every call as ours is.
void BM_OpenSslAes128Ctr(benchmark::State& state)
{
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    const std::uint8_t iv[16] = {};
    EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ctr(), nullptr, Key, iv);
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> in = sampleData(n);
    std::vector<std::uint8_t> out(n);
    for (auto _ : state) {
        int len = 0;
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, nullptr, iv);
        EVP_EncryptUpdate(ctx.get(), out.data(), &len, in.data(), static_cast<int>(n));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// A record caption as the tree and the editor handle it: encrypted on save, decrypted on load.
void BM_CaptionEncryptDecrypt(benchmark::State& state)
{
    const QString key = QStringLiteral("我的默认密钥");
    const QString caption = QStringLiteral("二零二四年春节家庭聚会准备事项与采购清单");
    AesCipher cipher;
    for (auto _ : state) {
        const TextCipher::CipherBytes bytes = TextCipher::EncryptText(cipher, key, caption);
        const QString text = TextCipher::DecryptText(cipher, key, bytes);
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// The tree's load: one caption after another decrypted under the same key.
void BM_CaptionDecrypt(benchmark::State& state)
{
    const QString key = QStringLiteral("我的默认密钥");
    const TextCipher::CipherBytes bytes =
        TextCipher::EncryptText(key, QStringLiteral("二零二四年春节家庭聚会准备事项与采购清单"));
    AesCipher cipher;
    for (auto _ : state) {
        const QString text = TextCipher::DecryptText(cipher, key, bytes);
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

} // namespace

BENCHMARK(BM_ProcessBlocksTable)->Arg(16)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_ProcessBlocksHardware)->Arg(16)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_OpenSslAes128Ctr)->Arg(16)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_CaptionEncryptDecrypt);
BENCHMARK(BM_CaptionDecrypt);

BENCHMARK_MAIN();
