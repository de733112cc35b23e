#include "receiver/DC09_Sia_Content.h"

#include "receiver/DC09_Content.h"
#include "receiver/DC09_Hex.h"

#include <algorithm>
#include <cstring>

namespace {

bool Is_Lower(char c)
{
    return c >= 'a' && c <= 'z';
}

bool Is_Upper(char c)
{
    return c >= 'A' && c <= 'Z';
}

// A modifier's value: a number, a time (10:21), a date (04-22-94).
bool Is_Modifier_Value(char c)
{
    return DC09_Is_Decimal(c) || c == ':' || c == '-' || c == '.';
}

// Stores the digits [from, to) into a field of `width` characters. Leading zeros give way when the
// number would not fit, so "0001" fits three places as "001"; a number that still does not fit is
// refused, since storing part of it would report the wrong zone or partition.
bool Store_Number(char* field, std::size_t width, const char* from, const char* to)
{
    if (!std::all_of(from, to, DC09_Is_Decimal))
        return false;
    while (static_cast<std::size_t>(to - from) > width && *from == '0')
        ++from;
    const std::size_t size = static_cast<std::size_t>(to - from);
    if (size > width)
        return false;
    std::memcpy(field, from, size);
    field[size] = '\0';
    return true;
}

struct Block_State
{
    char Function;
    char Group[sizeof(DC09_Sia_Event::Group)] = {};
    char User[sizeof(DC09_Sia_Event::Zone)] = {};
    const char* Last_Code = nullptr;
};

constexpr std::size_t Group_Width = sizeof(DC09_Sia_Event::Group) - 1;
constexpr std::size_t Zone_Width = sizeof(DC09_Sia_Event::Zone) - 1;

bool Add_Event(DC09_Frame& frame, const Block_State& state, const char* code, const char* address,
    const char* address_end)
{
    if (frame.Sia_Count == DC09_Sia_Event_Limit)
        return false;
    DC09_Sia_Event& event = frame.Sia_Events[frame.Sia_Count];
    event.Event[0] = state.Function;
    event.Event[1] = code[0];
    event.Event[2] = code[1];
    event.Event[3] = '\0';
    std::memcpy(event.Group, state.Group, sizeof event.Group);
    if (address == address_end)
        std::memcpy(event.Zone, state.User, sizeof event.Zone);
    else if (!Store_Number(event.Zone, Zone_Width, address, address_end))
        return false;
    ++frame.Sia_Count;
    return true;
}

// One modifier at `at` (its two letters); returns the position after its value, or nullptr.
const char* Read_Modifier(Block_State& state, const char* at, const char* end)
{
    const char* value = at + 2;
    const char* value_end = std::find_if_not(value, end, Is_Modifier_Value);
    if (at[0] == 'r' && at[1] == 'i') {
        if (!Store_Number(state.Group, Group_Width, value, value_end))
            return nullptr;
    } else if (at[0] == 'i' && at[1] == 'd') {
        if (!Store_Number(state.User, Zone_Width, value, value_end))
            return nullptr;
    }
    // Time, date and the other modifiers are read past: the stored time is the reception time.
    return value_end;
}

} // namespace

const char* DC09_Read_Sia_Dcs(DC09_Frame& frame, const char* data, const char* end)
{
    if (!DC09_Data_Account_Matches(frame, data, end))
        return nullptr;
    const char* bar = std::find(data, end, '|');
    if (bar == end)
        return end;
    const char* at = bar + 1;
    if (at == end || (*at != 'N' && *at != 'O'))
        return nullptr;
    Block_State state {*at++};
    while (at < end && *at != ']') {
        const char c = *at;
        const bool pair = end - at >= 2;
        if (c == '/') {
            ++at;
        } else if (c == '^') {
            // Text a panel adds to an event ("^Front door^") is passed over.
            const char* close = std::find(at + 1, end, '^');
            if (close == end)
                return nullptr;
            at = close + 1;
        } else if (pair && Is_Lower(c) && Is_Lower(at[1])) {
            at = Read_Modifier(state, at, end);
            if (at == nullptr)
                return nullptr;
        } else if (pair && Is_Upper(c) && Is_Upper(at[1])) {
            const char* address = at + 2;
            const char* address_end = std::find_if_not(address, end, DC09_Is_Decimal);
            if (!Add_Event(frame, state, at, address, address_end))
                return nullptr;
            state.Last_Code = at;
            at = address_end;
        } else if (DC09_Is_Decimal(c) && state.Last_Code != nullptr) {
            const char* address_end = std::find_if_not(at, end, DC09_Is_Decimal);
            if (!Add_Event(frame, state, state.Last_Code, at, address_end))
                return nullptr;
            at = address_end;
        } else {
            return nullptr;
        }
    }
    if (at == end || frame.Sia_Count == 0)
        return nullptr;
    return at;
}
