#pragma once

#include <cstddef>
#include <cstdint>

// CRC-16/ARC: polynomial 0x8005 bit-reflected (0xA001), initial value 0, no final XOR.
std::uint16_t DC09_Crc16(const char* bytes, std::size_t count);
