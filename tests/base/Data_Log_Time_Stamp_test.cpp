#include "base/Data_Log_Time_Stamp.h"

#include <gtest/gtest.h>

namespace {

TEST(Data_Log_Time_Stamp_Test, TwoDigitClockAndBareMilliseconds)
{
    EXPECT_EQ(Data_Log_Time_Stamp(QTime(9, 5, 3, 7)), "09:05:03:7");
    EXPECT_EQ(Data_Log_Time_Stamp(QTime(23, 59, 59, 999)), "23:59:59:999");
    EXPECT_EQ(Data_Log_Time_Stamp(QTime(0, 0, 0, 40)), "00:00:00:40");
}

} // namespace
