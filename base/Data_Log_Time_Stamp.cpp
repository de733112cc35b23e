#include "base/Data_Log_Time_Stamp.h"

#include <cstdio>

std::string Data_Log_Time_Stamp(const QTime& time)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u:%u", static_cast<unsigned>(time.hour()),
        static_cast<unsigned>(time.minute()), static_cast<unsigned>(time.second()),
        static_cast<unsigned>(time.msec()));
    return stamp;
}
