#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Parse.h"

#include <cstdio>
#include <vector>

namespace dc09_test {

Key Counting_Key()
{
    Key key {};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(i);
    return key;
}

std::uint16_t Bitwise_Crc16(std::string_view bytes)
{
    unsigned crc = 0;
    for (const unsigned char byte : bytes) {
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = ((crc ^ (byte >> bit)) & 1) != 0;
            crc >>= 1;
            if (mix)
                crc ^= 0xA001;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

std::string Frame_Of(std::string_view body)
{
    char fields[16];
    std::snprintf(
        fields, sizeof fields, "\n%04X%04X", Bitwise_Crc16(body), static_cast<unsigned>(body.size()));
    return fields + std::string(body) + '\r';
}

std::string Hex_Of(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string Bytes_Of_Hex(std::string_view hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

std::string Encrypted_Frame(
    std::string_view header, std::string_view data, std::uint8_t aes_mode, const Key& key)
{
    const std::size_t pad = 16 - (data.size() + 1) % 16;
    std::string plain;
    for (std::size_t i = 0; i < pad; ++i)
        plain += static_cast<char>(0x10 + i);
    plain += '|';
    plain += data;
    Encrypt_DC09_Data(reinterpret_cast<std::uint8_t*>(plain.data()), plain.size() / 16, aes_mode, key.data());
    return Frame_Of(std::string(header) + Hex_Of(plain));
}

Parsed Parse(std::string text, std::uint8_t aes_mode, const Key& key)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    Parsed parsed {};
    parsed.Outcome = DC09_Parse(buffer.data(), text.size(), aes_mode, key.data(), parsed.Frame);
    return parsed;
}

} // namespace dc09_test
