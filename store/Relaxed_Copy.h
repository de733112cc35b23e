#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Copies between bytes that another thread may write at the same time and a private buffer. Every
// access to the shared side is a relaxed atomic one (aligned 32-bit words, single bytes at the
// unaligned ends), so a copy taken during a rewrite may still be torn, and the caller's generation
// check must tell, but no access is a data race. The private side is plain memory.

namespace relaxed_copy_detail {

inline std::size_t Bytes_Before_Word(const void* shared)
{
    const auto address = reinterpret_cast<std::uintptr_t>(shared);
    return (alignof(std::uint32_t) - address % alignof(std::uint32_t)) % alignof(std::uint32_t);
}

template<typename Byte_Op, typename Word_Op>
void Walk(const void* shared, std::size_t size, Byte_Op byte_op, Word_Op word_op)
{
    std::size_t offset = 0;
    const std::size_t head = Bytes_Before_Word(shared) < size ? Bytes_Before_Word(shared) : size;
    for (; offset < head; ++offset)
        byte_op(offset);
    for (; offset + sizeof(std::uint32_t) <= size; offset += sizeof(std::uint32_t))
        word_op(offset);
    for (; offset < size; ++offset)
        byte_op(offset);
}

} // namespace relaxed_copy_detail

inline void Copy_From_Shared(void* to, const void* shared, std::size_t size)
{
    auto* target = static_cast<unsigned char*>(to);
    auto* source = const_cast<unsigned char*>(static_cast<const unsigned char*>(shared));
    relaxed_copy_detail::Walk(
        shared, size,
        [&](std::size_t at) { target[at] = std::atomic_ref(source[at]).load(std::memory_order_relaxed); },
        [&](std::size_t at) {
            const std::uint32_t word = std::atomic_ref(*reinterpret_cast<std::uint32_t*>(source + at))
                                           .load(std::memory_order_relaxed);
            std::memcpy(target + at, &word, sizeof word);
        });
}

inline void Copy_To_Shared(void* shared, const void* from, std::size_t size)
{
    auto* target = static_cast<unsigned char*>(shared);
    const auto* source = static_cast<const unsigned char*>(from);
    relaxed_copy_detail::Walk(
        shared, size,
        [&](std::size_t at) { std::atomic_ref(target[at]).store(source[at], std::memory_order_relaxed); },
        [&](std::size_t at) {
            std::uint32_t word;
            std::memcpy(&word, source + at, sizeof word);
            std::atomic_ref(*reinterpret_cast<std::uint32_t*>(target + at))
                .store(word, std::memory_order_relaxed);
        });
}
