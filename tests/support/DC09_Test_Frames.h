#pragma once

// An independent builder of DC-09 frames and decoder of the receiver's replies, written byte by byte
// from the wire format so that the end-to-end tests never reuse the codec they are checking. It needs
// only the standard library and OpenSSL, so the load tool can compile it without Qt.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using Test_Key = std::array<std::uint8_t, 32>;

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final XOR.
std::uint16_t Test_Crc16(std::string_view bytes);

std::string Hex_Upper(std::string_view bytes);
// Decodes upper- or lower-case hex pairs; returns false on any other character or an odd count.
bool Hex_Decode(std::string_view hex, std::string& bytes);
// The same for hex a test wrote itself: empty when it is malformed.
std::string Bytes_Of_Hex(std::string_view hex);
// A key from up to 64 hex digits, zero-filled after them.
Test_Key Key_Of_Hex(std::string_view hex);

// Line feed, CRC and length fields, the body (from its opening quote on) and a carriage return.
std::string Wrap_Frame(std::string_view body);

// One message as a communicator would send it. Empty optional parts are left out of the header.
struct Test_Message
{
    std::string token = "ADM-CID"; // without quotes; "*ADM-CID" / "*NULL" for encrypted kinds
    std::string sequence = "0001";
    std::string receiver; // digits after R; empty: no R part
    std::string line = "0"; // digits after L; empty: no L part
    std::string account = "1234"; // digits after #
    std::string content = "#1234|1401 01 001]"; // the data block after its [, closing ] included
    std::string extended; // e.g. "[Q18][B10.0.0.1]"
    std::string time_stamp; // e.g. "_14:05:09,03-21-2024"
};

// The header up to and including the [ that opens the data block.
std::string Message_Header(const Test_Message& message);

// "ADM-CID" or "NULL" content in clear.
std::string Build_Clear_Frame(const Test_Message& message);

// The data block (content, extended data, time stamp) behind pad characters and "|", enciphered with
// AES-CBC and a zero IV, written as upper-case hex after the [. Pad bytes come from pad_seed so a
// test can repeat a frame exactly.
std::string Build_Encrypted_Frame(
    const Test_Message& message, int aes_mode, const Test_Key& key, std::uint32_t pad_seed = 1);

// The same from a header of the caller's own (up to and including the [) and the data after "|";
// empty when the mode has no cipher.
std::string Encrypted_Frame(std::string_view header, std::string_view data, int aes_mode, const Test_Key& key,
    std::uint32_t pad_seed = 1);

// AES-CBC, zero IV, no padding, through OpenSSL EVP; `data` must hold whole 16-byte blocks. Mode 0
// is the chaining alone (each block XORed with the previous cipher block), which is what the
// receiver applies to an encrypted frame while its encryption is off. Returns false on a mode
// above 3 or a length that is not whole blocks.
bool Aes_Cbc_Encrypt(int aes_mode, const Test_Key& key, std::string& data);
bool Aes_Cbc_Decrypt(int aes_mode, const Test_Key& key, std::string& data);

// UTC time stamp "_HH:MM:SS,MM-DD-YYYY" of a seconds-since-1970 value.
std::string Utc_Time_Stamp(std::int64_t seconds);

// A reply taken apart. `problem` is empty when the frame is well formed: line feed first, carriage
// return last, length field "00" + two hex digits equal to the body size, CRC field matching the body.
struct Test_Reply
{
    std::string problem;
    std::string body; // from the opening quote to before the carriage return
    std::string token; // "ACK", "*ACK", "NAK", "DUH", ...
    std::string after_token; // the rest of the body after the closing quote
    std::string plain; // "*ACK" only: the deciphered data block
};

Test_Reply Decode_Reply(std::string_view bytes, int aes_mode = 0, const Test_Key& key = {});

// Checks a deciphered "*ACK" data block: 10 pad bytes in 0x10..0x4F, "|", then "]" and a time stamp.
// Returns an empty string when it is well formed, else what is wrong; the time stamp goes to
// time_stamp.
std::string Check_Ack_Plain(std::string_view plain, std::string& time_stamp);

// Seconds since 1970 of a "_HH:MM:SS,MM-DD-YYYY" text read as UTC; -1 when malformed.
std::int64_t Parse_Utc_Time_Stamp(std::string_view text);
