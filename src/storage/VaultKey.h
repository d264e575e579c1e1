#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QStringView>

#include "crypto/SecretBytes.h"

// The key of a vault: Argon2id of the password, handed to the engine as a raw key so that it adds no
// derivation of its own.
//
// The engine begins every encrypted file with its 16-byte salt in the clear. A vault's salt is ours:
// 12 random bytes followed by a 4-byte descriptor of the derivation's parameters. So the parameters are
// read before the key is known, the vault stays one file, and a copy of it (a dated backup) opens with
// the password alone. The whole 16 bytes, descriptor included, salt the derivation, so altered
// parameters give another key rather than a weaker one; 96 random bits keep salts unique.
//
// The password enters the derivation as UTF-8: lossless for every character, and bound to no code
// page table that could change under a stored vault.
namespace VaultKey {

constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kKeySize = 32;
using Salt = std::array<unsigned char, kSaltSize>;

struct Params {
    std::uint32_t memoryKiB = 0; // a power of two
    std::uint32_t passes = 0;
    std::uint32_t lanes = 0;

    bool operator==(const Params&) const = default;
    // Whether the descriptor can hold them and the derivation accepts them.
    bool valid() const;
};

// 64 MiB, three passes, two lanes (one a core on the machine this is measured on): the floor that
// well-known password managers use by default.
Params defaultParams();

// A fresh salt for the parameters, from the system's random source; nullopt if the parameters cannot
// be described or no random bytes can be had.
std::optional<Salt> newSalt(const Params& params);

// The parameters the salt describes; nullopt for a salt that carries no (or a damaged) descriptor,
// which is what a file in the plain format has.
std::optional<Params> paramsOf(const Salt& salt);

// Argon2id of the password with the parameters the salt describes: kKeySize bytes, or empty when the
// salt describes none or the derivation fails (no memory).
SecretBytes derive(QStringView password, const Salt& salt);

// What the engine is keyed with: the raw key and the salt as "x'<64 hex><32 hex>'".
SecretBytes keyLiteral(const SecretBytes& key, const Salt& salt);

} // namespace VaultKey
