#include "tests/support/DC09_Test_Frames.h"

#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

std::uint16_t Test_Crc16(std::string_view bytes)
{
    std::uint16_t crc = 0;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

std::string Hex_Upper(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

static int Hex_Value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool Hex_Decode(std::string_view hex, std::string& bytes)
{
    if (hex.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = Hex_Value(hex[i]);
        const int low = Hex_Value(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

static std::string Hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

std::string Bytes_Of_Hex(std::string_view hex)
{
    std::string bytes;
    return Hex_Decode(hex, bytes) ? bytes : std::string();
}

Test_Key Key_Of_Hex(std::string_view hex)
{
    const std::string bytes = Bytes_Of_Hex(hex);
    Test_Key key {};
    std::copy_n(bytes.begin(), std::min(bytes.size(), key.size()), key.begin());
    return key;
}

std::string Wrap_Frame(std::string_view body)
{
    std::string frame = "\n";
    frame += Hex4(Test_Crc16(body));
    frame += Hex4(static_cast<unsigned>(body.size()));
    frame += body;
    frame += '\r';
    return frame;
}

std::string Message_Header(const Test_Message& message)
{
    std::string header = "\"" + message.token + "\"" + message.sequence;
    if (!message.receiver.empty())
        header += "R" + message.receiver;
    if (!message.line.empty())
        header += "L" + message.line;
    header += "#" + message.account + "[";
    return header;
}

std::string Build_Clear_Frame(const Test_Message& message)
{
    return Wrap_Frame(Message_Header(message) + message.content + message.extended + message.time_stamp);
}

std::string Encrypted_Frame(
    std::string_view header, std::string_view data, int aes_mode, const Test_Key& key, std::uint32_t pad_seed)
{
    // 1 to 16 pad bytes make the plain text whole blocks; none of them may be "|" or zero.
    const std::size_t pad_count = 16 - (data.size() + 1) % 16;
    std::string plain;
    std::uint32_t state = pad_seed;
    for (std::size_t i = 0; i < pad_count; ++i) {
        state = state * 1103515245u + 12345u;
        plain += static_cast<char>(0x10 + (state >> 16) % 64);
    }
    plain += '|';
    plain += data;
    if (!Aes_Cbc_Encrypt(aes_mode, key, plain))
        return {};
    return Wrap_Frame(std::string(header) + Hex_Upper(plain));
}

std::string Build_Encrypted_Frame(
    const Test_Message& message, int aes_mode, const Test_Key& key, std::uint32_t pad_seed)
{
    return Encrypted_Frame(Message_Header(message), message.content + message.extended + message.time_stamp,
        aes_mode, key, pad_seed);
}

// Mode 0: CBC over the identity block function.
static void Chain_Only(std::string& data, bool encrypt)
{
    char previous[16] = {};
    for (std::size_t block = 0; block < data.size(); block += 16) {
        for (std::size_t i = 0; i < 16; ++i) {
            const char in = data[block + i];
            data[block + i] = static_cast<char>(in ^ previous[i]);
            previous[i] = encrypt ? data[block + i] : in;
        }
    }
}

static const EVP_CIPHER* Cbc_Cipher(int aes_mode)
{
    switch (aes_mode) {
    case 1:
        return EVP_aes_128_cbc();
    case 2:
        return EVP_aes_192_cbc();
    case 3:
        return EVP_aes_256_cbc();
    default:
        return nullptr;
    }
}

static bool Aes_Cbc(int aes_mode, const Test_Key& key, std::string& data, bool encrypt)
{
    if (data.size() % 16 != 0)
        return false;
    if (aes_mode == 0) {
        Chain_Only(data, encrypt);
        return true;
    }
    const EVP_CIPHER* cipher = Cbc_Cipher(aes_mode);
    if (cipher == nullptr)
        return false;
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(
        EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    const unsigned char iv[16] = {};
    if (!context || EVP_CipherInit_ex(context.get(), cipher, nullptr, key.data(), iv, encrypt ? 1 : 0) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    std::string out(data.size() + 16, '\0');
    int written = 0;
    int final_written = 0;
    auto* out_bytes = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_CipherUpdate(context.get(), out_bytes, &written,
            reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()))
            != 1
        || EVP_CipherFinal_ex(context.get(), out_bytes + written, &final_written) != 1)
        return false;
    out.resize(static_cast<std::size_t>(written + final_written));
    data = std::move(out);
    return true;
}

bool Aes_Cbc_Encrypt(int aes_mode, const Test_Key& key, std::string& data)
{
    return Aes_Cbc(aes_mode, key, data, true);
}

bool Aes_Cbc_Decrypt(int aes_mode, const Test_Key& key, std::string& data)
{
    return Aes_Cbc(aes_mode, key, data, false);
}

std::string Utc_Time_Stamp(std::int64_t seconds)
{
    using namespace std::chrono;
    const sys_seconds time {std::chrono::seconds {seconds}};
    const sys_days day = floor<days>(time);
    const year_month_day date {day};
    const hh_mm_ss clock {time - day};
    char text[32];
    std::snprintf(text, sizeof text, "_%02d:%02d:%02d,%02u-%02u-%04d",
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<unsigned>(date.month()),
        static_cast<unsigned>(date.day()), static_cast<int>(date.year()));
    return text;
}

static int Two_Digits(std::string_view text, std::size_t at)
{
    if (at + 1 >= text.size() || text[at] < '0' || text[at] > '9' || text[at + 1] < '0' || text[at + 1] > '9')
        return -1;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

std::int64_t Parse_Utc_Time_Stamp(std::string_view text)
{
    if (text.size() != 20 || text[0] != '_' || text[3] != ':' || text[6] != ':' || text[9] != ','
        || text[12] != '-' || text[15] != '-')
        return -1;
    const int hour = Two_Digits(text, 1), minute = Two_Digits(text, 4), second = Two_Digits(text, 7);
    const int month = Two_Digits(text, 10), day = Two_Digits(text, 13);
    const int century = Two_Digits(text, 16), year_in_century = Two_Digits(text, 18);
    if (hour < 0 || minute < 0 || second < 0 || month < 1 || day < 1 || century < 0 || year_in_century < 0)
        return -1;
    using namespace std::chrono;
    const year_month_day date {year {century * 100 + year_in_century},
        std::chrono::month {static_cast<unsigned>(month)}, std::chrono::day {static_cast<unsigned>(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        return -1;
    const sys_seconds time
        = sys_days {date} + hours {hour} + minutes {minute} + std::chrono::seconds {second};
    return time.time_since_epoch().count();
}

Test_Reply Decode_Reply(std::string_view bytes, int aes_mode, const Test_Key& key)
{
    Test_Reply reply;
    if (bytes.size() < 11 || bytes.front() != '\n' || bytes.back() != '\r') {
        reply.problem = "no line feed first or no carriage return last";
        return reply;
    }
    reply.body = std::string(bytes.substr(9, bytes.size() - 10));
    const std::string_view crc_field = bytes.substr(1, 4);
    const std::string_view length_field = bytes.substr(5, 4);
    if (length_field.substr(0, 2) != "00" || length_field != Hex4(static_cast<unsigned>(reply.body.size())))
        reply.problem = "length field " + std::string(length_field) + " for a body of "
            + std::to_string(reply.body.size()) + " bytes";
    else if (crc_field != Hex4(Test_Crc16(reply.body)))
        reply.problem = "CRC field " + std::string(crc_field) + ", body CRC " + Hex4(Test_Crc16(reply.body));
    const std::size_t close_quote = reply.body.find('"', 1);
    if (reply.body.empty() || reply.body[0] != '"' || close_quote == std::string::npos) {
        if (reply.problem.empty())
            reply.problem = "no quoted token";
        return reply;
    }
    reply.token = reply.body.substr(1, close_quote - 1);
    reply.after_token = reply.body.substr(close_quote + 1);
    if (reply.token == "*ACK" && reply.problem.empty()) {
        const std::size_t bracket = reply.after_token.find('[');
        if (bracket == std::string::npos || !Hex_Decode(reply.after_token.substr(bracket + 1), reply.plain)
            || !Aes_Cbc_Decrypt(aes_mode, key, reply.plain))
            reply.problem = "encrypted block is not whole hex blocks";
    }
    return reply;
}

std::string Check_Ack_Plain(std::string_view plain, std::string& time_stamp)
{
    if (plain.size() != 32)
        return "deciphered block of " + std::to_string(plain.size()) + " bytes, not 32";
    for (std::size_t i = 0; i < 10; ++i) {
        const auto pad = static_cast<unsigned char>(plain[i]);
        if (pad < 0x10 || pad > 0x4F)
            return "pad byte " + std::to_string(i) + " is " + std::to_string(pad);
    }
    if (plain.substr(10, 2) != "|]")
        return "no \"|]\" after the pad bytes: " + Hex_Upper(plain);
    time_stamp = std::string(plain.substr(12));
    if (Parse_Utc_Time_Stamp(time_stamp) < 0)
        return "malformed time stamp " + time_stamp;
    return {};
}
