#pragma once

#include <cstdint>

// How a fuzz input is read: the first byte chooses the receiver settings, the rest is one socket
// read. Bits 0-1: the encryption mode (all four); bit 2: time synchronisation.
inline std::uint8_t Fuzz_Aes_Mode(std::uint8_t settings)
{
    return settings & 3;
}

inline bool Fuzz_Time_Synch(std::uint8_t settings)
{
    return (settings & 4) != 0;
}

// The key of every fuzz run and of the encrypted seeds: bytes 0x00..0x1F.
struct Fuzz_Key
{
    std::uint8_t Bytes[32];

    constexpr Fuzz_Key()
        : Bytes {}
    {
        for (int i = 0; i < 32; ++i)
            Bytes[i] = static_cast<std::uint8_t>(i);
    }
};
