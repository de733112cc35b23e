#pragma once

#include "receiver/DC09_Frame.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dc09_test {

using Key = std::array<std::uint8_t, 32>;

// Key bytes 0x00, 0x01, ... 0x1F: the FIPS-197 example keys are its first 16, 24 or 32 bytes.
Key Counting_Key();

// CRC-16/ARC computed bit by bit, independent of the codec's table.
std::uint16_t Bitwise_Crc16(std::string_view bytes);

// Line feed, CRC, four-digit length, body, carriage return, as a communicator frames a message.
std::string Frame_Of(std::string_view body);

// The worked example: "ADM-CID" 0001 L0 #1234 [#1234|1401 01 001].
inline constexpr std::string_view Worked_Example_Body = "\"ADM-CID\"0001L0#1234[#1234|1401 01 001]";

// Header (token in quotes up to and including the [) followed by the data enciphered with the
// codec's own cipher: pad characters 0x10.., "|", then `data`, written as upper-case hex.
std::string Encrypted_Frame(
    std::string_view header, std::string_view data, std::uint8_t aes_mode, const Key& key);

std::string Hex_Of(std::string_view bytes);
std::string Bytes_Of_Hex(std::string_view hex);

// Parses a copy of `text` that is exactly text.size() bytes long plus the caller's zero byte.
struct Parsed
{
    DC09_Outcome Outcome;
    DC09_Frame Frame;
};
Parsed Parse(std::string text, std::uint8_t aes_mode = 0, const Key& key = Counting_Key());

} // namespace dc09_test
