#pragma once

#include <cstddef>
#include <cstdint>

// Payload cipher of the encrypted message kinds: AES-CBC with an all-zero IV. The mode is the
// receiver's setting: 0 off, 1 AES-128, 2 AES-192, 3 AES-256; any other value works as AES-128.
// With mode 0 only the CBC chaining is applied, no block cipher. key32 points at the 32 key bytes
// of the settings, of which the first DC09_Key_Length(mode) are used.
//
// Both functions work in place on `blocks` whole 16-byte blocks; they never allocate once the
// calling thread has used them once. They return false only when the crypto library refuses, and
// then zero the blocks, so nothing readable is sent and nothing deciphered is trusted.
bool Decrypt_DC09_Data(
    std::uint8_t* data, std::size_t blocks, std::uint8_t aes_mode, const std::uint8_t* key32);
bool Encrypt_DC09_Data(
    std::uint8_t* data, std::size_t blocks, std::uint8_t aes_mode, const std::uint8_t* key32);

// Key bytes used by a mode: 32 for mode 3, 24 for mode 2, 16 otherwise (also for mode 0, where it
// only tells the key entry how many bytes to offer).
std::size_t DC09_Key_Length(std::uint8_t aes_mode);

inline constexpr std::size_t DC09_Block_Size = 16;
