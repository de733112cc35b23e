#include "receiver/DC09_Content.h"

#include "receiver/DC09_Hex.h"
#include "receiver/DC09_Sia_Content.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// Copies the characters at `from` while they pass `keep`, at most `limit` of them and never past
// `end`; the field stays zero-terminated.
template<typename Predicate>
void Copy_While(char* field, std::size_t limit, const char* from, const char* end, Predicate keep)
{
    std::size_t count = 0;
    while (count < limit && from + count < end && keep(from[count])) {
        field[count] = from[count];
        ++count;
    }
    field[count] = '\0';
}

} // namespace

bool DC09_Data_Account_Matches(const DC09_Frame& frame, const char* data, const char* end)
{
    const std::size_t header_length = ::strnlen(frame.Account, sizeof frame.Account - 1);
    std::size_t digits = 0;
    // The header account is kept in upper case; the repeated one may come in either case.
    while (digits < sizeof frame.Account - 1 && data + digits < end && DC09_Is_Hex_Any_Case(data[digits])) {
        if (digits < header_length && DC09_Upper_Hex(data[digits]) != frame.Account[digits])
            return false;
        ++digits;
    }
    return digits >= header_length;
}

namespace {

// Offsets from the vertical bar of the fixed Contact ID layout "|QEEE GG ZZZ]".
constexpr std::ptrdiff_t Event_At = 1;
constexpr std::ptrdiff_t First_Space_At = 5;
constexpr std::ptrdiff_t Group_At = 6;
constexpr std::ptrdiff_t Second_Space_At = 8;
constexpr std::ptrdiff_t Zone_At = 9;
constexpr std::ptrdiff_t Close_At = 12;

const char* Read_Contact_Id(DC09_Frame& frame, const char* data, const char* end)
{
    if (!DC09_Data_Account_Matches(frame, data, end))
        return nullptr;
    const char* bar = std::find(data, end, '|');
    // Without a bar the message carries no event data but is still taken, and nothing after it is
    // read as extended data or time stamp.
    if (bar == end)
        return end;
    if (end - bar <= Close_At)
        return nullptr;
    for (std::ptrdiff_t i = 0; i < 4; ++i)
        if (!DC09_Is_Hex(bar[Event_At + i]))
            return nullptr;
    if (bar[First_Space_At] != ' ' || bar[Second_Space_At] != ' ' || bar[Close_At] != ']')
        return nullptr;
    std::memcpy(frame.Event, bar + Event_At, 4);
    frame.Event[4] = '\0';
    Copy_While(frame.Group, 2, bar + Group_At, end, DC09_Is_Hex);
    Copy_While(frame.Zone, 3, bar + Zone_At, end, DC09_Is_Hex);
    return bar + 1;
}

bool Is_Value_Character(char c)
{
    return DC09_Is_Decimal(c) || c == '.';
}

void Read_Marker(
    std::string_view extended, std::string_view marker, char (&value)[DC09_Extended_Value_Size + 1])
{
    const std::size_t at = extended.find(marker);
    if (at == std::string_view::npos)
        return;
    const char* from = extended.data() + at + marker.size();
    Copy_While(value, DC09_Extended_Value_Size, from, extended.data() + extended.size(), Is_Value_Character);
}

} // namespace

const char* DC09_Read_Content(DC09_Frame& frame, const char* data, const char* end)
{
    switch (frame.Kind) {
    case DC09_Kind::Link_Test:
    case DC09_Kind::Encrypted_Link_Test:
        std::memcpy(frame.Event, "NULL", 5);
        return data;
    case DC09_Kind::ADM_CID:
    case DC09_Kind::Encrypted_ADM_CID:
        return Read_Contact_Id(frame, data, end);
    case DC09_Kind::Sia_Dcs:
    case DC09_Kind::Encrypted_Sia_Dcs:
        return DC09_Read_Sia_Dcs(frame, data, end);
    case DC09_Kind::None:
        break;
    }
    return nullptr;
}

DC09_Extended_Values DC09_Read_Extended(const DC09_Frame& frame)
{
    const std::string_view extended(
        frame.Extended_Data, ::strnlen(frame.Extended_Data, sizeof frame.Extended_Data));
    DC09_Extended_Values values;
    Read_Marker(extended, "[Q", values.Signal_Quality);
    Read_Marker(extended, "[B", values.IP_Address);
    return values;
}
