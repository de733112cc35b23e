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
