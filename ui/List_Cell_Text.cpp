#include "ui/List_Cell_Text.h"

#include "store/Atomic_Bits.h"
#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "ui/Event_Kind.h"
#include "ui/Event_Names.h"

#include <QDateTime>

#include <array>

namespace {

constexpr std::array<const char*, Event_List_Columns> Event_Headers {"Time Received", "Receiver Number",
    "Line Number", "Account Number", "Qualifier + Event", "Event", "Group / Partition", "Zone / User",
    "IP Address", "Signal Quality", "Status"};

constexpr std::array<const char*, Object_List_Columns> Object_Headers {"Time / Date", "Account Number",
    "Receiver Number", "Line Number", "Qualifier + Event", "Group / Partition", "Zone / User", "IP Address",
    "Signal Quality", "Ping Timeout", ""};

constexpr std::array<int, Event_List_Columns> Event_Percent {15, 6, 6, 10, 8, 15, 6, 6, 11, 5, 10};
constexpr std::array<int, Object_List_Columns> Object_Percent {17, 16, 6, 6, 6, 6, 6, 15, 5, 9, 6};

template<std::size_t N> QString Text(const char (&field)[N])
{
    const std::string_view text = Fixed_Text(field);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

template<std::size_t N> QString Spaced(const char (&field)[N])
{
    return QLatin1Char(' ') + Text(field);
}

// "HH:MM:SS" and "YYYY-MM-DD" in local time, `gap` between them.
QString Local_Time(std::int64_t seconds, const char* gap)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds);
    const QDate date = local.date();
    const QTime time = local.time();
    return QString::asprintf("%02d:%02d:%02d%s%04d-%02d-%02d", time.hour(), time.minute(), time.second(), gap,
        date.year(), date.month(), date.day());
}

// The qualifier digit as a number (its low four bits) and the event code; " PING" for a link test.
template<std::size_t N> QString Qualifier_Event(const char (&field)[N])
{
    const std::string_view text = Fixed_Text(field);
    if (text == "NULL")
        return QStringLiteral(" PING");
    // An SIA event: its function letter where Contact ID has its qualifier digit.
    if (Holds_Sia_Code(text))
        return QStringLiteral(" ") + QString::fromLatin1(text.data(), 1) + QStringLiteral("   ")
            + QString::fromLatin1(text.data() + 1, static_cast<qsizetype>(text.size() - 1));
    const int qualifier = text.empty() ? 0 : (static_cast<unsigned char>(text[0]) & 0x0F);
    const std::string_view code = text.empty() ? text : text.substr(1);
    return QString::asprintf(" %d   ", qualifier)
        + QString::fromLatin1(code.data(), static_cast<qsizetype>(code.size()));
}

} // namespace

QString Event_List_Header(int column)
{
    return QString::fromLatin1(Event_Headers.at(static_cast<std::size_t>(column)));
}

QString Object_List_Header(int column)
{
    return QString::fromLatin1(Object_Headers.at(static_cast<std::size_t>(column)));
}

QString Event_Cell_Text(const Event_Record& record, int column)
{
    switch (column) {
    case 0:
        return QStringLiteral("   ") + Local_Time(record.Time_Received, " ");
    case 1:
        return Spaced(record.Receiver_Number);
    case 2:
        return Spaced(record.Line_Number);
    case 3:
        return Spaced(record.Account_Number);
    case 4:
        return Qualifier_Event(record.Qualifier_Event);
    case Event_Name_Column:
        return Event_Name(Fixed_Text(record.Qualifier_Event));
    case 6:
        return Spaced(record.Group_Partition);
    case 7:
        return Spaced(record.Zone_User);
    case 8:
        return Spaced(record.IP_Address);
    case 9:
        // 255 means not reported; anything above 100 is no quality either.
        return record.Signal_Quality <= 100 ? QString::number(record.Signal_Quality) : QString();
    case Event_Status_Column: {
        const std::string_view status = Status_Text(record);
        return QString::fromLatin1(status.data(), static_cast<qsizetype>(status.size()));
    }
    default:
        return {};
    }
}

QString Object_Cell_Text(const Object_Record& record, int column)
{
    switch (column) {
    case 0:
        return Local_Time(record.Last_Time, "   ");
    case 1:
        return Text(record.Account_Number);
    case 2:
        return Text(record.Receiver_Number);
    case 3:
        return Text(record.Line_Number);
    case 4:
        return Qualifier_Event(record.Qualifier_Event);
    case 5:
        return Text(record.Group_Partition);
    case 6:
        return Text(record.Zone_User);
    case 7:
        return Text(record.IP_Address);
    case 8:
        return record.Signal_Quality == 255 ? QString() : QString::asprintf(" %u %%", record.Signal_Quality);
    case 9:
        return QString::asprintf("%u min", record.Ping_Timeout);
    default:
        return {};
    }
}

int Event_Column_Width(int width, int column)
{
    return width * Event_Percent.at(static_cast<std::size_t>(column)) / 100;
}

int Object_Column_Width(int width, int column)
{
    return width * Object_Percent.at(static_cast<std::size_t>(column)) / 100;
}
