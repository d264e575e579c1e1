#pragma once

#include <cstddef>
#include <cstdint>

// The counter-stream transform on the processor's AES instructions. Internal to AesCipher, which decides at
// run time whether to use it; on other processors available() is false and nothing else may be called.
namespace AesNi {

bool available();

// roundKeys: the 11 AES-128 round keys as one 176-byte string, 16-byte aligned.
void encryptBlock(const std::uint8_t* roundKeys, const std::uint8_t in[16], std::uint8_t out[16]);

// Transforms length bytes (any length; a final partial block uses only its first bytes of key stream),
// starting from the given counter block and incrementing it as a 128-bit little-endian number.
void process(const std::uint8_t* roundKeys, const std::uint8_t counter[16], const std::uint8_t* in, std::uint8_t* out,
             std::size_t length);

} // namespace AesNi
