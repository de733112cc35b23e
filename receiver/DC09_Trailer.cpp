#include "receiver/DC09_Trailer.h"

#include "receiver/DC09_Hex.h"
#include "receiver/DC09_Time.h"

#include <cstring>

namespace {

constexpr std::ptrdiff_t Time_Stamp_Size = 20; // _HH:MM:SS,MM-DD-YYYY

// Senders are trusted to send digits here: each character gives its low four bits, as the
// communicators' own firmware reads them.
int Two_Digit_Value(const char* at)
{
    return (at[0] & 0x0F) * 10 + (at[1] & 0x0F);
}

struct Time_Stamp_Result
{
    bool Taken;
    std::ptrdiff_t Resume; // offset from the underscore where the scan goes on when not taken
};

Time_Stamp_Result Try_Time_Stamp(DC09_Frame& frame, const char* stamp, std::ptrdiff_t room)
{
    // Each separator must lie inside the frame; offsets are tested before any pointer is formed.
    const auto has = [&](std::ptrdiff_t at, char expected) { return at < room && stamp[at] == expected; };
    if (!has(3, ':') || Two_Digit_Value(stamp + 1) > 23)
        return {false, 3};
    static constexpr struct
    {
        std::ptrdiff_t At;
        char Separator;
    } separators[] = {{6, ':'}, {9, ','}, {12, '-'}, {15, '-'}};
    for (const auto& separator : separators)
        if (!has(separator.At, separator.Separator))
            return {false, separator.At};
    constexpr std::ptrdiff_t Year_At = 16;
    if (room < Time_Stamp_Size)
        return {false, Year_At};
    std::int64_t year = 0;
    for (std::ptrdiff_t i = Year_At; i < Time_Stamp_Size; ++i) {
        // A year that is not a number makes the stamp count as absent rather than end the read.
        if (!DC09_Is_Decimal(stamp[i]))
            return {false, Year_At};
        year = year * 10 + (stamp[i] - '0');
    }
    DC09_Civil_Time time {};
    time.Year = year;
    time.Month = Two_Digit_Value(stamp + 10);
    time.Day = Two_Digit_Value(stamp + 13);
    time.Hour = Two_Digit_Value(stamp + 1);
    time.Minute = Two_Digit_Value(stamp + 4);
    time.Second = Two_Digit_Value(stamp + 7);
    // Read as UTC: the value only tells the reply whether a valid stamp came, never which time.
    frame.Message_Time = DC09_Seconds_From_Civil(time);
    return {true, 0};
}

} // namespace

void DC09_Scan_Trailer(DC09_Frame& frame, const char* from, const char* end)
{
    std::size_t stored = ::strnlen(frame.Extended_Data, DC09_Extended_Data_Size);
    const char* at = from;
    while (at < end && *at != '\r') {
        if (*at == '[') {
            const char* block_end = at;
            while (block_end < end && *block_end != '_' && *block_end != '\r')
                ++block_end;
            const std::size_t room = DC09_Extended_Data_Size - stored;
            const std::size_t size = static_cast<std::size_t>(block_end - at);
            const std::size_t kept = size < room ? size : room;
            std::memcpy(frame.Extended_Data + stored, at, kept);
            stored += kept;
            frame.Extended_Data[stored] = '\0';
            at = block_end;
        } else if (*at == '_') {
            const std::ptrdiff_t room = end - at;
            const Time_Stamp_Result result = Try_Time_Stamp(frame, at, room);
            if (result.Taken)
                return;
            at += result.Resume < room ? result.Resume : room;
        } else {
            ++at;
        }
    }
}
