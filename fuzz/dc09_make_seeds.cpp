// Writes the seed corpus of dc09_parse_fuzz: valid clear and encrypted frames for every mode and a
// few near misses. Usage: dc09_make_seeds <folder>; the output is checked in under fuzz/seeds/.

#include "fuzz/DC09_Fuzz_Input.h"
#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Crc16.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr Fuzz_Key Key;

std::string Framed(const std::string& body)
{
    char fields[16];
    std::snprintf(fields, sizeof fields, "\n%04X%04X", DC09_Crc16(body.data(), body.size()),
        static_cast<unsigned>(body.size()));
    return fields + body + '\r';
}

std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += "0123456789ABCDEF"[byte >> 4];
        hex += "0123456789ABCDEF"[byte & 15];
    }
    return hex;
}

std::string Encrypted(const std::string& header, const std::string& data, std::uint8_t mode)
{
    std::string plain(16 - (data.size() + 1) % 16, '\x2A');
    plain += '|' + data;
    Encrypt_DC09_Data(reinterpret_cast<std::uint8_t*>(plain.data()), plain.size() / 16, mode, Key.Bytes);
    return Framed(header + Hex(plain));
}

bool Write(const std::string& folder, const std::string& name, std::uint8_t settings, const std::string& text)
{
    std::ofstream file(folder + "/" + name, std::ios::binary);
    file.put(static_cast<char>(settings));
    file << text;
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::string report = "#1234|1401 01 001]";
    const std::string trailer = "[Q18][B192.168.1.20]_14:05:09,03-21-2024";
    bool ok = true;
    ok &= Write(folder, "clear_worked_example", 0, Framed("\"ADM-CID\"0001L0#1234[" + report));
    ok &= Write(folder, "clear_full_header", 0,
        Framed("\"ADM-CID\"0042R12ABL3#ABCDEF[#ABCDEF|3401 02 015]" + trailer));
    ok &= Write(folder, "clear_link_test", 0, Framed("\"NULL\"0000R1L0#1234[]_23:59:59,12-31-2023"));
    ok &= Write(folder, "clear_no_event_data", 0, Framed("\"ADM-CID\"0001L0#1234[#1234]"));
    ok &= Write(folder, "clear_while_aes", 1, Framed("\"ADM-CID\"0001L0#1234[" + report));
    ok &= Write(folder, "clear_long_extended", 0,
        Framed("\"ADM-CID\"0001L0#1234[" + report + "[" + std::string(300, 'X') + "]"));
    ok &= Write(
        folder, "clear_two_frames", 0, "junk" + Framed("\"NULL\"0001L0#1[]") + Framed("\"NULL\"0002L0#1[]"));
    ok &= Write(folder, "rejected_token", 0, Framed("\"ADM-HEX\"0001L0#1234[#1234|NRP]"));
    ok &= Write(folder, "sia_several_events", 0,
        Framed("\"SIA-DCS\"0005R1L1#1234[#1234|Nri1/BA01/BR01/ri2/FA003^Hall^]" + trailer));
    ok &= Write(folder, "sia_modifiers", 0,
        Framed("\"SIA-DCS\"0006L0#12ab[#12AB|Nda04-22-94ti10:21/id5/OP/pi002/CL001/02]"));
    ok &= Write(folder, "sia_not_sia", 0, Framed("\"SIA-DCS\"0001L0#1234[" + report));
    ok &= Write(folder, "sia_encrypted_mode3", 3,
        Encrypted("\"*SIA-DCS\"0010L0#1234[", "#1234|Nri1/BA01]" + trailer, 3));
    for (std::uint8_t mode = 0; mode <= 3; ++mode) {
        const std::string suffix = std::to_string(mode);
        ok &= Write(folder, "encrypted_report_mode" + suffix, mode,
            Encrypted("\"*ADM-CID\"0007R1L0#1234[", report + trailer, mode));
        ok &= Write(folder, "encrypted_link_test_mode" + suffix, mode,
            Encrypted("\"*NULL\"0008L0#1234[", "]_14:05:09,03-21-2024", mode));
    }
    ok &= Write(folder, "encrypted_time_synch", 3 | 4, Encrypted("\"*ADM-CID\"0009L0#1234[", report, 3));
    return ok ? 0 : 1;
}
