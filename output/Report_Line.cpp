#include "output/Report_Line.h"

#include "store/Fixed_Text.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// The value of the decimal digits that begin the field; a field that begins with anything else
// (a hexadecimal receiver number such as A1) counts as 0. Seven digits at most, so no overflow.
template<std::size_t N> int Leading_Number(const char (&field)[N])
{
    int value = 0;
    for (std::size_t i = 0; i < N && field[i] >= '0' && field[i] <= '9'; ++i)
        value = value * 10 + (field[i] - '0');
    return value;
}

char Qualifier_Letter(char qualifier)
{
    switch (qualifier) {
    case '1':
        return 'E'; // new event
    case '3':
        return 'R'; // restore
    case '6':
        return 'P'; // previous event
    default:
        return qualifier;
    }
}

int Length_Of(std::string_view text)
{
    return static_cast<int>(text.size());
}

// Puts the DC4 where snprintf left its NUL. The text was limited to one byte less than the buffer,
// so the DC4 and a new NUL always fit.
std::size_t Terminate(int printed, Report_Line& out)
{
    std::size_t length = printed > 0 ? static_cast<std::size_t>(printed) : 0;
    if (length > Report_Line_Size - 2)
        length = Report_Line_Size - 2;
    out[length] = Report_Line_Terminator;
    out[length + 1] = '\0';
    return length + 1;
}

// The SIA line of the same receivers: "S", receiver, line, then the SIA block as the panel
// would send it, with the account (at most six characters, as that line carries it), one event
// and its partition as an "ri" modifier: S01000[#1234|Nri1/BA01].
std::size_t Format_Sia_Line(const Event_Record& record, Report_Line& out)
{
    const std::string_view account = Fixed_Text(record.Account_Number).substr(0, Sia_Line_Account_Width);
    const std::string_view event = Fixed_Text(record.Qualifier_Event);
    const std::string_view group = Fixed_Text(record.Group_Partition);
    const std::string_view zone = Fixed_Text(record.Zone_User);
    const int receiver = Leading_Number(record.Receiver_Number);
    const int line = Leading_Number(record.Line_Number);
    int printed = 0;
    if (event.empty()) {
        // A block without event data is passed on as one: the account alone.
        printed = std::snprintf(out, Report_Line_Size - 1, "S%.2d%.3d[#%.*s]", receiver, line,
            Length_Of(account), account.data());
    } else {
        const std::string_view function = event.substr(0, 1);
        const std::string_view code = event.substr(1);
        printed = std::snprintf(out, Report_Line_Size - 1, "S%.2d%.3d[#%.*s|%.*s%s%.*s%s%.*s%.*s]", receiver,
            line, Length_Of(account), account.data(), Length_Of(function), function.data(),
            group.empty() ? "" : "ri", Length_Of(group), group.data(), group.empty() ? "" : "/",
            Length_Of(code), code.data(), Length_Of(zone), zone.data());
    }
    return Terminate(printed, out);
}

} // namespace

std::size_t Format_Report_Line(const Event_Record& record, std::uint8_t report_format, Report_Line& out)
{
    if (record.Content == Content_Sia_Dcs)
        return Format_Sia_Line(record, out);

    // Both receiver formats carry the same event line: the second one's "%0.3d" differs from
    // "%.3d" only by a zero flag, which does nothing without a field width. A stored format value
    // the window cannot choose therefore needs no rule of its own and gets the same line.
    static_cast<void>(report_format);

    // Every field is read within its width, so a damaged record read back from the file can
    // never make the line run into the next field or past the record.
    char event[sizeof record.Qualifier_Event];
    std::memcpy(event, record.Qualifier_Event, sizeof event);
    event[0] = Qualifier_Letter(event[0]);
    const std::string_view qualifier_event = Fixed_Text(event);
    const std::string_view account = Fixed_Text(record.Account_Number).substr(0, Line_Account_Width);
    const std::string_view group = Fixed_Text(record.Group_Partition);
    const std::string_view zone = Fixed_Text(record.Zone_User);

    const int printed = std::snprintf(out, Report_Line_Size - 1, "5%.2d%.3d 18%.*s%.*s%.*s%.*s",
        Leading_Number(record.Receiver_Number), Leading_Number(record.Line_Number), Length_Of(account),
        account.data(), Length_Of(qualifier_event), qualifier_event.data(), Length_Of(group), group.data(),
        Length_Of(zone), zone.data());
    return Terminate(printed, out);
}

Event_Record Supervision_Record(const Object_Record& object)
{
    Event_Record record {};
    Set_Fixed_Text(record.Receiver_Number, Fixed_Text(object.Receiver_Number));
    Set_Fixed_Text(record.Line_Number, Fixed_Text(object.Line_Number));
    Set_Fixed_Text(record.Account_Number, Fixed_Text(object.Account_Number));
    Set_Fixed_Text(record.Qualifier_Event, (object.Supervision_Flags & Flag_Failed) != 0 ? "1350" : "3350");
    Set_Fixed_Text(record.Group_Partition, "01");
    Set_Fixed_Text(record.Zone_User, "000");
    return record;
}

std::size_t Format_Heartbeat_Line(std::int8_t test_rec_nr, Report_Line& out)
{
    // The receiver number is a signed byte and printed as one: -5 gives "1-05000...". "%.2d" is
    // the heartbeat's "%0.2d" without its zero flag, which does nothing beside a precision.
    const int printed
        = std::snprintf(out, Report_Line_Size - 1, "1%.2d000           @    ", static_cast<int>(test_rec_nr));
    return Terminate(printed, out);
}
