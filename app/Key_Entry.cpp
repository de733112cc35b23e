#include "app/Key_Entry.h"

#include <algorithm>
#include <cstring>

void Key_From_Text(Key_Bytes& key, std::string_view text)
{
    std::memset(key, 0, sizeof key);
    if (text.size() <= sizeof key)
        std::memcpy(key, text.data(), text.size());
}

static int Hex_Digit_Value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::size_t Key_From_Hex(Key_Bytes& key, std::string_view text, std::size_t key_length)
{
    key_length = std::min(key_length, sizeof key);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int value = Hex_Digit_Value(text[i]);
        if (value < 0 || i / 2 >= key_length)
            return i;
        std::uint8_t& byte = key[i / 2];
        if (i % 2 == 0)
            byte = static_cast<std::uint8_t>((byte & 0x0F) | (value << 4));
        else
            byte = static_cast<std::uint8_t>((byte & 0xF0) | value);
    }
    return text.size();
}

bool Key_Shows_As_Text(const Key_Bytes& key, std::size_t key_length)
{
    const auto* const end = key + std::min(key_length, sizeof key);
    const auto* const first_zero = std::find(key, end, std::uint8_t {0});
    return std::all_of(first_zero, end, [](std::uint8_t byte) { return byte == 0; });
}

std::string Key_Display_Text(const Key_Bytes& key, std::size_t key_length, bool hex)
{
    key_length = std::min(key_length, sizeof key);
    std::string text;
    if (hex) {
        static constexpr char digits[] = "0123456789abcdef";
        text.reserve(2 * key_length);
        for (std::size_t i = 0; i < key_length; ++i) {
            text += digits[key[i] >> 4];
            text += digits[key[i] & 0x0F];
        }
    } else {
        const auto* first = reinterpret_cast<const char*>(key);
        text.assign(first, ::strnlen(first, key_length));
    }
    return text;
}
