#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// Text fields of the stored records are single-byte characters, NUL-terminated inside their width
// and zero-filled after it. A field may be full without a terminator (IP_Address), so readers never
// take more than the width.
template<std::size_t N> std::string_view Fixed_Text(const char (&field)[N])
{
    return {field, ::strnlen(field, N)};
}

// Zero-fills the field, then copies at most N - 1 bytes so a terminator always follows.
template<std::size_t N> void Set_Fixed_Text(char (&field)[N], std::string_view text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N ? text.size() : N - 1);
}

// As Set_Fixed_Text, but a text of exactly N bytes fills the field with no terminator.
template<std::size_t N> void Set_Fixed_Text_Full(char (&field)[N], std::string_view text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}
