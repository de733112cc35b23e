#pragma once

#include <atomic>
#include <cstdint>

// Status and flag bytes live inside the packed records that the window thread and the output
// thread share without a lock. Each thread changes only its own bits, and always with one atomic
// read-modify-write, so that a change the other thread makes to the same byte is never lost.

inline std::uint8_t Load_Bits(const std::uint8_t& byte)
{
    return std::atomic_ref(const_cast<std::uint8_t&>(byte)).load(std::memory_order_acquire);
}

inline void Store_Bits(std::uint8_t& byte, std::uint8_t value)
{
    std::atomic_ref(byte).store(value, std::memory_order_release);
}

// Both return the value the byte had before the change.
inline std::uint8_t Set_Bits(std::uint8_t& byte, std::uint8_t mask)
{
    return std::atomic_ref(byte).fetch_or(mask, std::memory_order_acq_rel);
}

inline std::uint8_t Clear_Bits(std::uint8_t& byte, std::uint8_t mask)
{
    return std::atomic_ref(byte).fetch_and(static_cast<std::uint8_t>(~mask), std::memory_order_acq_rel);
}
