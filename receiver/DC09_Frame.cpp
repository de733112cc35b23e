#include "receiver/DC09_Frame.h"

#include "receiver/DC09_Crc16.h"
#include "receiver/DC09_Hex.h"

#include <cstring>

namespace {

void Write_Hex4(char* out, unsigned value)
{
    for (int i = 3; i >= 0; --i) {
        out[i] = DC09_Hex_Digit(value);
        value >>= 4;
    }
}

} // namespace

DC09_Message DC09_Write_Frame(std::string_view body)
{
    if (body.size() > DC09_Max_Body)
        body = body.substr(0, DC09_Max_Body);
    DC09_Message message;
    char* out = message.Bytes;
    out[0] = '\n';
    // The length field carries only the low byte of the length behind "00"; replies never need more.
    Write_Hex4(out + 1, DC09_Crc16(body.data(), body.size()));
    Write_Hex4(out + 5, static_cast<unsigned>(body.size()) & 0xFF);
    std::memcpy(out + 9, body.data(), body.size());
    out[9 + body.size()] = '\r';
    message.Size = body.size() + 10;
    return message;
}

bool DC09_Is_Encrypted(DC09_Kind kind)
{
    return kind == DC09_Kind::Encrypted_ADM_CID || kind == DC09_Kind::Encrypted_Link_Test
        || kind == DC09_Kind::Encrypted_Sia_Dcs;
}

bool DC09_Is_Sia(DC09_Kind kind)
{
    return kind == DC09_Kind::Sia_Dcs || kind == DC09_Kind::Encrypted_Sia_Dcs;
}

std::string_view DC09_Kind_Token(DC09_Kind kind)
{
    switch (kind) {
    case DC09_Kind::ADM_CID:
        return "ADM-CID";
    case DC09_Kind::Link_Test:
        return "NULL";
    case DC09_Kind::Encrypted_ADM_CID:
        return "*ADM-CID";
    case DC09_Kind::Encrypted_Link_Test:
        return "*NULL";
    case DC09_Kind::Sia_Dcs:
        return "SIA-DCS";
    case DC09_Kind::Encrypted_Sia_Dcs:
        return "*SIA-DCS";
    case DC09_Kind::None:
        break;
    }
    return {};
}
