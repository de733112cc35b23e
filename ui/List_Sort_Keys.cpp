#include "ui/List_Sort_Keys.h"

#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "ui/Event_Names.h"
#include "ui/List_Cell_Text.h"

namespace {

bool Is_Digit(char c)
{
    return c >= '0' && c <= '9';
}

template<typename Number> int Compare_Numbers(Number a, Number b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

template<std::size_t N> int Compare_Fields(const char (&a)[N], const char (&b)[N])
{
    return Natural_Compare(Fixed_Text(a), Fixed_Text(b));
}

// By the name of an event's code, so an event and its restore stand together; then by the stored
// field (the qualifier first).
int Compare_Event_Names(const char (&a)[5], const char (&b)[5])
{
    const int by_name = Code_Name(Fixed_Text(a)).compare(Code_Name(Fixed_Text(b)));
    return by_name != 0 ? (by_name < 0 ? -1 : 1) : Compare_Fields(a, b);
}

} // namespace

int Natural_Compare(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (Is_Digit(a[i]) && Is_Digit(b[j])) {
            // Two runs of digits: the longer without its leading zeros is the larger number.
            std::size_t a_end = i;
            std::size_t b_end = j;
            while (a_end < a.size() && Is_Digit(a[a_end]))
                ++a_end;
            while (b_end < b.size() && Is_Digit(b[b_end]))
                ++b_end;
            while (i + 1 < a_end && a[i] == '0')
                ++i;
            while (j + 1 < b_end && b[j] == '0')
                ++j;
            if (const int by_length = Compare_Numbers(a_end - i, b_end - j); by_length != 0)
                return by_length;
            if (const int by_digits = a.substr(i, a_end - i).compare(b.substr(j, b_end - j)); by_digits != 0)
                return by_digits < 0 ? -1 : 1;
            i = a_end;
            j = b_end;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    return Compare_Numbers(a.size() - i, b.size() - j);
}

int Event_Compare(const Event_Record& a, const Event_Record& b, int column)
{
    switch (column) {
    case 0:
        return Compare_Numbers(a.Time_Received, b.Time_Received);
    case 1:
        return Compare_Fields(a.Receiver_Number, b.Receiver_Number);
    case 2:
        return Compare_Fields(a.Line_Number, b.Line_Number);
    case 3:
        return Compare_Fields(a.Account_Number, b.Account_Number);
    case 4:
        return Compare_Fields(a.Qualifier_Event, b.Qualifier_Event);
    case Event_Name_Column:
        return Compare_Event_Names(a.Qualifier_Event, b.Qualifier_Event);
    case 6:
        return Compare_Fields(a.Group_Partition, b.Group_Partition);
    case 7:
        return Compare_Fields(a.Zone_User, b.Zone_User);
    case 8:
        return Compare_Fields(a.IP_Address, b.IP_Address);
    case 9:
        return Compare_Numbers(a.Signal_Quality, b.Signal_Quality);
    case Event_Status_Column:
        return Status_Text(a).compare(Status_Text(b));
    default:
        return 0;
    }
}

int Object_Compare(const Object_Record& a, const Object_Record& b, int column)
{
    switch (column) {
    case 0:
        return Compare_Numbers(a.Last_Time, b.Last_Time);
    case 1:
        return Compare_Fields(a.Account_Number, b.Account_Number);
    case 2:
        return Compare_Fields(a.Receiver_Number, b.Receiver_Number);
    case 3:
        return Compare_Fields(a.Line_Number, b.Line_Number);
    case 4:
        return Compare_Fields(a.Qualifier_Event, b.Qualifier_Event);
    case 5:
        return Compare_Fields(a.Group_Partition, b.Group_Partition);
    case 6:
        return Compare_Fields(a.Zone_User, b.Zone_User);
    case 7:
        return Compare_Fields(a.IP_Address, b.IP_Address);
    case 8:
        return Compare_Numbers(a.Signal_Quality, b.Signal_Quality);
    case Object_Timeout_Column:
        return Compare_Numbers(a.Ping_Timeout, b.Ping_Timeout);
    default:
        return 0;
    }
}
