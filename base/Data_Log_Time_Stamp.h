#pragma once

#include <QTime>

#include <string>

// Data Log time stamp: hours, minutes, seconds with two digits, then milliseconds without leading
// zeros ("09:05:03:7"). The receiver's lines and the automation software's answers carry the same.
std::string Data_Log_Time_Stamp(const QTime& time);
