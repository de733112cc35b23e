#pragma once

#include "receiver/DC09_Frame.h"

// Reads the data block of a parsed frame from `data` (after the [, the pad characters and their
// bar, and a leading #) up to `end`. A link test gets the event "NULL"; a Contact ID report is
// checked against the header account and fills event, group and zone. Returns where the trailer
// scan (extended data, time stamp) starts, or nullptr when the content is refused.
const char* DC09_Read_Content(DC09_Frame& frame, const char* data, const char* end);

// The account repeated at the start of the data: its leading hexadecimal digits (either case, at
// most 16) must begin with the header account.
bool DC09_Data_Account_Matches(const DC09_Frame& frame, const char* data, const char* end);

// Longest value text of an extended data marker.
inline constexpr std::size_t DC09_Extended_Value_Size = 16;

// The value texts of the first [Q (signal quality) and [B (communicator IP address) markers in
// the extended data: the decimal digits and full stops after the marker, at most 16; empty when the
// marker is absent or has no value.
struct DC09_Extended_Values
{
    char Signal_Quality[DC09_Extended_Value_Size + 1] = {};
    char IP_Address[DC09_Extended_Value_Size + 1] = {};
};

DC09_Extended_Values DC09_Read_Extended(const DC09_Frame& frame);
