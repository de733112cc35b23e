#include "receiver/DC09_Crc16.h"

#include <array>

namespace {

// Slicing by eight: Table[k][b] is the CRC contribution of byte b followed by k zero bytes, so
// eight bytes fold into the CRC with independent lookups instead of one dependent chain per byte.
// Frames and replies go through here once each, and a byte-wise table was the codec's hot spot.
using Crc_Tables = std::array<std::array<std::uint16_t, 256>, 8>;

constexpr Crc_Tables Make_Crc_Tables()
{
    Crc_Tables tables {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        tables[0][byte] = static_cast<std::uint16_t>(crc);
    }
    for (std::size_t k = 1; k < tables.size(); ++k)
        for (unsigned byte = 0; byte < 256; ++byte) {
            const unsigned previous = tables[k - 1][byte];
            tables[k][byte] = static_cast<std::uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
        }
    return tables;
}

constexpr Crc_Tables Table = Make_Crc_Tables();

} // namespace

std::uint16_t DC09_Crc16(const char* bytes, std::size_t count)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    unsigned crc = 0;
    for (; count >= 8; count -= 8, in += 8)
        crc = Table[7][in[0] ^ (crc & 0xFF)] ^ Table[6][in[1] ^ (crc >> 8)] ^ Table[5][in[2]]
            ^ Table[4][in[3]] ^ Table[3][in[4]] ^ Table[2][in[5]] ^ Table[1][in[6]] ^ Table[0][in[7]];
    for (; count > 0; --count, ++in)
        crc = (crc >> 8) ^ Table[0][(crc ^ *in) & 0xFF];
    return static_cast<std::uint16_t>(crc);
}
