#pragma once

#include <cstdint>

// Calendar arithmetic for time stamps, done by hand so it is the same on every platform and needs
// neither the time zone nor a thread-unsafe C library call.
struct DC09_Civil_Time
{
    std::int64_t Year;
    int Month; // 1..12
    int Day; // 1..31
    int Hour;
    int Minute;
    int Second;
};

// Seconds since 1970 of a UTC date and time. Out-of-range fields carry over as with mktime: month
// 13 is January of the next year, day 0 the last day of the month before, hour 25 the next day.
std::int64_t DC09_Seconds_From_Civil(const DC09_Civil_Time& time);

// The UTC date and time of a count of seconds since 1970.
DC09_Civil_Time DC09_Civil_From_Seconds(std::int64_t seconds);

// How far an encrypted message's time stamp may lie from the receiver's clock while time
// synchronisation is on: a message stamped outside the window is answered with the receiver's
// time and not taken, which is what makes a recorded message useless to replay a minute later.
inline constexpr std::int64_t DC09_Window_Before_Seconds = 40;
inline constexpr std::int64_t DC09_Window_After_Seconds = 20;

// Whether message_time (0: the message had no valid stamp) lies from DC09_Window_Before_Seconds
// before to DC09_Window_After_Seconds after receiver_time, both seconds since 1970 (UTC).
constexpr bool DC09_Time_In_Window(std::int64_t message_time, std::int64_t receiver_time)
{
    return message_time != 0 && message_time >= receiver_time - DC09_Window_Before_Seconds
        && message_time <= receiver_time + DC09_Window_After_Seconds;
}
