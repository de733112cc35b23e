#pragma once

#include <string_view>

// What a report is, for the colour of its row. Contact ID: the qualifier (1 new event or opening,
// 3 restore or closing, 6 previously reported) and the class of the event code (1xx alarms,
// 3xx troubles, 6xx tests). SIA-DCS: the second letter of the code (A alarm, H or R restore,
// T trouble, J trouble restore). "NULL" is a link test.
enum class Event_Kind { Alarm, Restore, Trouble, Link_Test, Other };

// Whether a stored Qualifier_Event field holds an SIA code: it begins with the function letter
// (N, O) where Contact ID has its qualifier digit.
inline bool Holds_Sia_Code(std::string_view qualifier_event)
{
    return !qualifier_event.empty() && qualifier_event[0] >= 'G' && qualifier_event[0] <= 'Z';
}

// `qualifier_event` is the stored field: the qualifier digit and the three-digit code, an SIA
// function letter and the two-letter code, or "NULL".
Event_Kind Event_Kind_Of(std::string_view qualifier_event);
