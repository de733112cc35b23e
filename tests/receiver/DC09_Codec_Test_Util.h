#pragma once

// What the codec tests add to the shared frame builder: the codec's own parse entry point and the
// key and message most of them use. Frames, CRC, hex and the cipher come from the independent
// builder, so a test never checks the codec against itself.

#include "receiver/DC09_Frame.h"
#include "tests/support/DC09_Test_Frames.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace dc09_test {

using Key = Test_Key;

// Key bytes 0x00, 0x01, ... 0x1F: the FIPS-197 example keys are its first 16, 24 or 32 bytes.
Key Counting_Key();

// The worked example: "ADM-CID" 0001 L0 #1234 [#1234|1401 01 001].
inline constexpr std::string_view Worked_Example_Body = "\"ADM-CID\"0001L0#1234[#1234|1401 01 001]";

// Parses a copy of `text` that is exactly text.size() bytes long plus the caller's zero byte.
struct Parsed
{
    DC09_Outcome Outcome;
    DC09_Frame Frame;
};
Parsed Parse(std::string text, std::uint8_t aes_mode = 0, const Key& key = Counting_Key());

} // namespace dc09_test
