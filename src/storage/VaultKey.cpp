#include "storage/VaultKey.h"

#include <argon2.h>
#include <sys/random.h>

#include <bit>

namespace VaultKey {

namespace {

// The descriptor: a mark, a version, log2 of the memory in KiB, then passes and lanes a nibble each.
constexpr unsigned char kMark = 0xB7;
constexpr unsigned char kVersion = 1;
constexpr std::size_t kDescriptorAt = kSaltSize - 4;
// A damaged descriptor must not make a start ask for more memory than any sane choice needs.
constexpr unsigned kMinLog2Memory = 3;
constexpr unsigned kMaxLog2Memory = 20; // 1 GiB

} // namespace

bool Params::valid() const
{
    if (!std::has_single_bit(memoryKiB))
        return false;
    const unsigned log2Memory = static_cast<unsigned>(std::countr_zero(memoryKiB));
    return log2Memory >= kMinLog2Memory && log2Memory <= kMaxLog2Memory && passes >= 1 && passes <= 15 && lanes >= 1 &&
           lanes <= 15 && memoryKiB >= 8 * lanes;
}

Params defaultParams()
{
    return Params{64 * 1024, 3, 2};
}

std::optional<Salt> newSalt(const Params& params)
{
    if (!params.valid())
        return std::nullopt;
    Salt salt{};
    std::size_t filled = 0;
    while (filled < kDescriptorAt) {
        const ssize_t got = ::getrandom(salt.data() + filled, kDescriptorAt - filled, 0);
        if (got <= 0)
            return std::nullopt;
        filled += static_cast<std::size_t>(got);
    }
    salt[kDescriptorAt] = kMark;
    salt[kDescriptorAt + 1] = kVersion;
    salt[kDescriptorAt + 2] = static_cast<unsigned char>(std::countr_zero(params.memoryKiB));
    salt[kDescriptorAt + 3] = static_cast<unsigned char>(params.passes << 4 | params.lanes);
    return salt;
}

std::optional<Params> paramsOf(const Salt& salt)
{
    if (salt[kDescriptorAt] != kMark || salt[kDescriptorAt + 1] != kVersion)
        return std::nullopt;
    const unsigned log2Memory = salt[kDescriptorAt + 2];
    if (log2Memory > kMaxLog2Memory)
        return std::nullopt;
    const unsigned costs = salt[kDescriptorAt + 3];
    const Params params{1u << log2Memory, costs >> 4, costs & 0x0Fu};
    if (!params.valid())
        return std::nullopt;
    return params;
}

SecretBytes derive(QStringView password, const Salt& salt)
{
    const std::optional<Params> params = paramsOf(salt);
    if (!params)
        return {};
    // The library clears its copy of the password and its working memory itself.
    SecretBytes text = SecretBytes::fromText(password);
    SecretBytes key(kKeySize);
    Salt saltCopy = salt;
    argon2_context context{};
    context.out = key.data();
    context.outlen = kKeySize;
    context.pwd = text.data();
    context.pwdlen = static_cast<std::uint32_t>(text.size());
    context.salt = saltCopy.data();
    context.saltlen = kSaltSize;
    context.t_cost = params->passes;
    context.m_cost = params->memoryKiB;
    context.lanes = params->lanes;
    context.threads = params->lanes;
    context.version = ARGON2_VERSION_13;
    context.flags = ARGON2_FLAG_CLEAR_PASSWORD;
    if (argon2id_ctx(&context) != ARGON2_OK)
        return {};
    return key;
}

SecretBytes keyLiteral(const SecretBytes& key, const Salt& salt)
{
    static const char digits[] = "0123456789abcdef";
    SecretBytes literal(3 + 2 * (key.size() + kSaltSize));
    unsigned char* out = literal.data();
    *out++ = 'x';
    *out++ = '\'';
    auto put = [&out](const unsigned char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            *out++ = static_cast<unsigned char>(digits[bytes[i] >> 4]);
            *out++ = static_cast<unsigned char>(digits[bytes[i] & 0x0F]);
        }
    };
    put(key.data(), key.size());
    put(salt.data(), kSaltSize);
    *out = '\'';
    return literal;
}

} // namespace VaultKey
