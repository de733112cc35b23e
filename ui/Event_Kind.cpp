#include "ui/Event_Kind.h"

Event_Kind Event_Kind_Of(std::string_view qualifier_event)
{
    if (qualifier_event == "NULL")
        return Event_Kind::Link_Test;
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
