#include "receiver/DC09_Time.h"

namespace {

constexpr std::int64_t Seconds_Per_Day = 86400;

std::int64_t Floor_Div(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

// Days since 1970-01-01 of the first day of a month, proleptic Gregorian calendar, in 400-year eras
// with the year starting in March so that the leap day comes last.
std::int64_t Days_From_Civil(std::int64_t year, int month)
{
    year -= month <= 2;
    const std::int64_t era = Floor_Div(year, 400);
    const std::int64_t year_of_era = year - era * 400;
    const std::int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
    const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

} // namespace

std::int64_t DC09_Seconds_From_Civil(const DC09_Civil_Time& time)
{
    const std::int64_t months = static_cast<std::int64_t>(time.Month) - 1;
    const std::int64_t year = time.Year + Floor_Div(months, 12);
    const int month = static_cast<int>(months - Floor_Div(months, 12) * 12) + 1;
    const std::int64_t days = Days_From_Civil(year, month) + time.Day - 1;
    return days * Seconds_Per_Day + std::int64_t {time.Hour} * 3600 + std::int64_t {time.Minute} * 60
        + time.Second;
}

DC09_Civil_Time DC09_Civil_From_Seconds(std::int64_t seconds)
{
    const std::int64_t days = Floor_Div(seconds, Seconds_Per_Day);
    const std::int64_t in_day = seconds - days * Seconds_Per_Day;
    const std::int64_t shifted = days + 719468;
    const std::int64_t era = Floor_Div(shifted, 146097);
    const std::int64_t day_of_era = shifted - era * 146097;
    const std::int64_t year_of_era
        = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_from_march = (5 * day_of_year + 2) / 153;
    DC09_Civil_Time time {};
    time.Day = static_cast<int>(day_of_year - (153 * month_from_march + 2) / 5 + 1);
    time.Month = static_cast<int>(month_from_march < 10 ? month_from_march + 3 : month_from_march - 9);
    time.Year = year_of_era + era * 400 + (time.Month <= 2);
    time.Hour = static_cast<int>(in_day / 3600);
    time.Minute = static_cast<int>(in_day / 60 % 60);
    time.Second = static_cast<int>(in_day % 60);
    return time;
}
