#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// AES-128, forward direction only, in the program's counter-stream mode: an encrypted counter block gives
// 16 key-stream bytes, combined with the data by an exclusive-or that never turns a nonzero byte into zero.
// The same transform encrypts and decrypts. Short-lived scratch object; it owns no heap memory.
class AesCipher final {
public:
    // Table forces the portable path, so tests and benchmarks can compare it with the hardware one.
    enum class Engine { Automatic, Table };

    static constexpr std::size_t BlockSize = 16;

    // Every stream starts here. Stored data can only be read back with this value: never change it.
    static constexpr std::array<std::uint8_t, 16> InitialCounter = {0x3A, 0x91, 0x5C, 0x07, 0xE2, 0x4B, 0xD8, 0x16,
                                                                    0x6F, 0xA3, 0x29, 0xC4, 0x70, 0x1E, 0xB5, 0x8D};

    explicit AesCipher(Engine engine = Engine::Automatic);

    // Tests only: starts every stream from another counter, to reach carries the fixed one never gets near.
    AesCipher(Engine engine, const std::array<std::uint8_t, 16>& startCounter);

    // AES-128 key expansion over exactly 16 bytes.
    void SetKey(const std::uint8_t* key16);
    bool hasKey() const { return m_keySet != 0; }

    // Counter-stream transform of length bytes. Silently does nothing for a null buffer, an unset key, or a
    // length that is 0 or not a multiple of 16. in and out may be the same buffer, but must not partly overlap.
    void ProcessBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t length) const;

    // The same transform for any length: byte for byte what ProcessBlocks gives for the input zero-padded to
    // whole blocks, cut to length (output byte i depends only on input byte i). No-op cases as above, except
    // that any length is accepted.
    void processBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t length) const;

    // The same transform for the bytes that stand at the given offset of a longer stream, so a long input can
    // be processed in pieces: pieces taken in turn give exactly what processBytes gives for the whole. The
    // offset must be a multiple of 16; otherwise, and in the no-op cases above, nothing is written.
    void processBytesAt(std::uint64_t offset, const std::uint8_t* in, std::uint8_t* out, std::size_t length) const;

    // Appends a length-marker block (n mod 16, or 16) after the zero-padded data and transforms the whole;
    // out must hold PaddedLength(n) bytes. Throws std::runtime_error("Allocating memory failed.").
    void EncryptPadded(const std::uint8_t* in, std::uint32_t n, std::uint8_t* out) const;
    static std::uint32_t PaddedLength(std::uint32_t n) { return ((n - 1) & ~15u) + 32; }

    // One plain AES-128 block encryption with the current key; out is untouched while no key is set.
    void encryptBlock(const std::uint8_t in[16], std::uint8_t out[16]) const;

    bool usesHardware() const { return m_hardware; }
    static bool hardwareAvailable();

private:
    void processTable(const std::uint8_t* counterStart, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t length) const;
    void encryptTableBlock(const std::uint8_t in[16], std::uint8_t out[16]) const;

    // Round keys as the standard defines them (words packed most significant byte first); room for the 15
    // that the longest AES key needs, 11 used.
    std::uint32_t m_roundKeys[60] = {};
    // The same round keys as the byte strings the processor's AES instructions expect.
    alignas(16) std::uint8_t m_hardwareRoundKeys[11 * 16] = {};
    std::int32_t m_keyLength = 0;
    std::int32_t m_rounds = 0;
    std::array<std::uint8_t, 16> m_initialCounter;
    std::array<std::uint8_t, 16> m_key{}; // the key the round keys were made from
    std::uint8_t m_keySet = 0;
    bool m_hardware = false;
};
