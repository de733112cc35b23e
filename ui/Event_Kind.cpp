#include "ui/Event_Kind.h"

#include <algorithm>
#include <array>

namespace {

Event_Kind Sia_Kind(std::string_view code)
{
    if (code.size() != 2)
        return Event_Kind::Other;
    if (code == "RP")
        return Event_Kind::Link_Test;
    // The communicator's own troubles and their ends, where the second letter says nothing.
    constexpr std::array<std::string_view, 6> Troubles {"XQ", "YC", "YM", "YP", "YS", "YX"};
    constexpr std::array<std::string_view, 2> Restores {"YK", "YQ"};
    if (std::ranges::find(Troubles, code) != Troubles.end())
        return Event_Kind::Trouble;
    if (std::ranges::find(Restores, code) != Restores.end())
        return Event_Kind::Restore;
    // Openings and closings, remote programming and tests, and a time change are no fault.
    const char subject = code[0];
    if (subject == 'C' || subject == 'O' || subject == 'R' || code == "JT")
        return Event_Kind::Other;
    switch (code[1]) {
    case 'A':
        return Event_Kind::Alarm;
    case 'H':
    case 'R':
    case 'J':
        return Event_Kind::Restore;
    case 'T':
        return Event_Kind::Trouble;
    default:
        return Event_Kind::Other;
    }
}

} // namespace

Event_Kind Event_Kind_Of(std::string_view qualifier_event)
{
    if (qualifier_event == "NULL")
        return Event_Kind::Link_Test;
    if (Holds_Sia_Code(qualifier_event))
        return Sia_Kind(qualifier_event.substr(1));
    if (qualifier_event.size() < 4)
        return Event_Kind::Other;
    const char qualifier = qualifier_event[0];
    const char code_class = qualifier_event[1];
    const std::string_view code = qualifier_event.substr(1, 3);
    // 602 periodic test, 603 periodic RF transmission: the communicator's own supervision.
    if (code == "602" || code == "603")
        return Event_Kind::Link_Test;
    if (code_class != '1' && code_class != '3')
        return Event_Kind::Other;
    if (qualifier == '3')
        return Event_Kind::Restore;
    if (qualifier != '1' && qualifier != '6')
        return Event_Kind::Other;
    return code_class == '1' ? Event_Kind::Alarm : Event_Kind::Trouble;
}
