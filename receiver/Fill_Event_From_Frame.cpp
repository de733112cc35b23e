#include "receiver/Fill_Event_From_Frame.h"

#include "receiver/DC09_Content.h"
#include "store/Fixed_Text.h"

#include <cstring>
#include <optional>

namespace {

std::optional<std::int32_t> Whole_Number(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

Filled_Event Fill_Event_From_Frame(
    const DC09_Frame& frame, std::string_view peer_address, std::int64_t reception_time)
{
    Filled_Event filled;
    Event_Record& record = filled.Record;
    std::memset(&record, 0, sizeof record);

    Set_Fixed_Text(record.Receiver_Number, Fixed_Text(frame.Receiver));
    Set_Fixed_Text(record.Line_Number, Fixed_Text(frame.Line));
    Set_Fixed_Text(record.Account_Number, Fixed_Text(frame.Account));
    Set_Fixed_Text(record.Qualifier_Event, Fixed_Text(frame.Event));
    Set_Fixed_Text(record.Group_Partition, Fixed_Text(frame.Group));
    Set_Fixed_Text(record.Zone_User, Fixed_Text(frame.Zone));
    // The field is 64 bits wide; keeping the full value spares the records the 2038 wrap.
    record.Time_Received = reception_time;

    const DC09_Extended_Values extended = DC09_Read_Extended(frame);
    const std::string_view reported_ip = Fixed_Text(extended.IP_Address);
    if (!reported_ip.empty())
        Set_Fixed_Text_Full(record.IP_Address, reported_ip);
    else if (peer_address.size() <= 15)
        Set_Fixed_Text(record.IP_Address, peer_address);

    const std::optional<std::int32_t> quality = Whole_Number(Fixed_Text(extended.Signal_Quality));
    filled.Has_Signal_Quality = quality.has_value();
    record.Signal_Quality = quality ? (*quality & 0xFF) : 255;
    return filled;
}

std::size_t Stored_Record_Count(const DC09_Frame& frame)
{
    return DC09_Is_Sia(frame.Kind) && frame.Sia_Count > 1 ? frame.Sia_Count : 1;
}

void Fill_Sia_Event(Event_Record& record, const DC09_Frame& frame, std::size_t index)
{
    record.Content = Content_Sia_Dcs;
    if (index >= frame.Sia_Count)
        return;
    const DC09_Sia_Event& event = frame.Sia_Events[index];
    Set_Fixed_Text(record.Qualifier_Event, Fixed_Text(event.Event));
    Set_Fixed_Text(record.Group_Partition, Fixed_Text(event.Group));
    Set_Fixed_Text_Full(record.Zone_User, Fixed_Text(event.Zone));
}
