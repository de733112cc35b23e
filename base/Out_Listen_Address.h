#pragma once

#include "base/Settings_Record.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

// Out_Listen_Address holds up to 16 bytes, NUL-padded, with no room needed for a terminator.
inline std::string Out_Listen_Address_Text(const Settings_Record& settings)
{
    const char* field = settings.Out_Listen_Address;
    return {field, ::strnlen(field, sizeof settings.Out_Listen_Address)};
}

// A longer text is refused and leaves the field unchanged; otherwise the field is zero-filled
// before the copy. The text is checked as an address only when the port opens.
inline bool Set_Out_Listen_Address(Settings_Record& settings, std::string_view text)
{
    if (text.size() > sizeof settings.Out_Listen_Address)
        return false;
    std::memset(settings.Out_Listen_Address, 0, sizeof settings.Out_Listen_Address);
    std::copy(text.begin(), text.end(), settings.Out_Listen_Address);
    return true;
}
