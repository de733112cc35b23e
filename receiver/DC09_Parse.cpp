#include "receiver/DC09_Parse.h"

#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Content.h"
#include "receiver/DC09_Crc16.h"
#include "receiver/DC09_Hex.h"
#include "receiver/DC09_Trailer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// CRC and length fields: four hexadecimal digits each, in either case.
bool Read_Hex4(const char* at, unsigned& value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = DC09_Hex_Value_Any_Case(at[i]);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return true;
}

bool Starts_With(const char* at, const char* end, std::string_view prefix)
{
    return static_cast<std::size_t>(end - at) >= prefix.size()
        && std::memcmp(at, prefix.data(), prefix.size()) == 0;
}

// The ID token after the opening quote, with its closing quote; `after` is set past that quote.
DC09_Kind Read_Token(const char* at, const char* end, const char*& after)
{
    static constexpr struct
    {
        std::string_view Token;
        DC09_Kind Kind;
    } tokens[] = {{"ADM-CID\"", DC09_Kind::ADM_CID}, {"NULL\"", DC09_Kind::Link_Test},
        {"*ADM-CID\"", DC09_Kind::Encrypted_ADM_CID}, {"*NULL\"", DC09_Kind::Encrypted_Link_Test},
        {"SIA-DCS\"", DC09_Kind::Sia_Dcs}, {"*SIA-DCS\"", DC09_Kind::Encrypted_Sia_Dcs}};
    for (const auto& token : tokens)
        if (Starts_With(at, end, token.Token)) {
            after = at + token.Token.size();
            return token.Kind;
        }
    return DC09_Kind::None;
}

// Stores the hexadecimal digits at `at`, at most `limit`, into `field`; returns the first position
// after them. Digits beyond the limit are left for the header scan to pass over.
const char* Store_Hex_Field(const char* at, const char* end, char* field, std::size_t limit)
{
    std::size_t count = 0;
    while (count < limit && at < end && DC09_Is_Hex(*at))
        field[count++] = *at++;
    field[count] = '\0';
    return at;
}

// The account may come in lower case; it is kept in upper case, so one account is one object
// whatever case its panel writes, and the reply echoes it as the receiver writes hexadecimal.
const char* Store_Account(const char* at, const char* end, char* field, std::size_t limit)
{
    std::size_t count = 0;
    while (count < limit && at < end && DC09_Is_Hex_Any_Case(*at))
        field[count++] = DC09_Upper_Hex(*at++);
    field[count] = '\0';
    return at;
}

// Receiver, line and account from the header; returns the [ that opens the data, or nullptr.
const char* Scan_Header(DC09_Frame& frame, const char* at, const char* end)
{
    while (at < end) {
        switch (*at) {
        case '[':
            return at;
        case 'R':
            at = Store_Hex_Field(at + 1, end, frame.Receiver, sizeof frame.Receiver - 1);
            break;
        case 'L':
            at = Store_Hex_Field(at + 1, end, frame.Line, sizeof frame.Line - 1);
            break;
        case '#':
            at = Store_Account(at + 1, end, frame.Account, sizeof frame.Account - 1);
            break;
        default:
            ++at;
        }
    }
    return nullptr;
}

// Decodes the hexadecimal text from `data` over itself and deciphers its whole blocks. The text
// ends at the first character that is not a hexadecimal digit of either case; an odd last digit is
// dropped. Returns the end of the deciphered text: its first zero byte, or the decoded size.
char* Decipher_Data(char* data, const char* end, std::uint8_t aes_mode, const std::uint8_t* key32)
{
    auto* bytes = reinterpret_cast<std::uint8_t*>(data);
    std::size_t count = 0;
    // Byte i is written at i and read from 2i and 2i + 1, so the decode never overtakes its input.
    for (const char* pair = data; end - pair >= 2; pair += 2) {
        const int high = DC09_Hex_Value_Any_Case(pair[0]);
        const int low = DC09_Hex_Value_Any_Case(pair[1]);
        if (high < 0 || low < 0)
            break;
        bytes[count++] = static_cast<std::uint8_t>(high * 16 + low);
    }
    // A trailing part of a block stays as decoded.
    Decrypt_DC09_Data(bytes, count / DC09_Block_Size, aes_mode, key32);
    return std::find(data, data + count, '\0');
}

} // namespace

DC09_Outcome DC09_Parse(
    char* text, std::size_t length, std::uint8_t aes_mode, const std::uint8_t* key32, DC09_Frame& frame)
{
    DC09_Cipher_Choice fixed {aes_mode, key32, false};
    const DC09_Cipher_Chooser chooser {
        [](void* context, const DC09_Frame&) { return *static_cast<const DC09_Cipher_Choice*>(context); },
        &fixed};
    return DC09_Parse(text, length, chooser, frame);
}

DC09_Outcome DC09_Parse(char* text, std::size_t length, const DC09_Cipher_Chooser& chooser, DC09_Frame& frame)
{
    frame = DC09_Frame {};
    const char* text_end = static_cast<const char*>(std::memchr(text, '\0', length));
    if (text_end == nullptr)
        text_end = text + length;

    const char* line_feed = std::find(static_cast<const char*>(text), text_end, '\n');
    if (line_feed == text_end)
        return DC09_Outcome::Unrecognised;
    const char* fields = line_feed + 1;
    unsigned crc_field = 0;
    unsigned length_field = 0;
    // A field that is not four hex digits can never match: the frame is not one.
    if (text_end - fields < 8 || !Read_Hex4(fields, crc_field) || !Read_Hex4(fields + 4, length_field))
        return DC09_Outcome::Unrecognised;

    const char* quote = std::find(fields + 8, text_end, '"');
    if (quote == text_end || length_field >= static_cast<std::size_t>(text_end - quote)
        || quote[length_field] != '\r')
        return DC09_Outcome::Unrecognised;
    const char* frame_end = quote + length_field;
    if (DC09_Crc16(quote, length_field) != crc_field)
        return DC09_Outcome::Unrecognised;

    const char* sequence = nullptr;
    frame.Kind = Read_Token(quote + 1, frame_end, sequence);
    if (frame.Kind == DC09_Kind::None)
        return DC09_Outcome::Rejected;
    if (frame_end - sequence < 4 || !std::all_of(sequence, sequence + 4, DC09_Is_Decimal))
        return DC09_Outcome::Rejected;
    frame.Sequence = (sequence[0] - '0') * 1000 + (sequence[1] - '0') * 100 + (sequence[2] - '0') * 10
        + (sequence[3] - '0');

    const char* bracket = Scan_Header(frame, sequence, frame_end);
    if (bracket == nullptr)
        return DC09_Outcome::Unrecognised;
    const DC09_Cipher_Choice cipher = chooser.Choose(chooser.Context, frame);
    if (cipher.Refuse)
        return DC09_Outcome::Rejected;
    // The only writes of the parse happen here, over the hexadecimal text between [ and the end.
    char* data = text + (bracket + 1 - text);
    const char* data_end = frame_end;
    if (DC09_Is_Encrypted(frame.Kind)) {
        char* deciphered_end = Decipher_Data(data, frame_end, cipher.Aes_Mode, cipher.Key32);
        char* bar = std::find(data, deciphered_end, '|');
        if (bar == deciphered_end)
            return DC09_Outcome::Rejected;
        data = bar + 1;
        data_end = deciphered_end;
    }
    if (data < data_end && *data == '#')
        ++data;

    const char* trailer = DC09_Read_Content(frame, data, data_end);
    if (trailer == nullptr)
        return DC09_Outcome::Rejected;
    DC09_Scan_Trailer(frame, trailer, data_end);
    return DC09_Is_Encrypted(frame.Kind) ? DC09_Outcome::AcceptedEncrypted : DC09_Outcome::Accepted;
}
