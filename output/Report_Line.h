#pragma once

#include "store/Event_Record.h"
#include "store/Object_Record.h"

#include <cstddef>
#include <cstdint>

// The lines sent to the automation software. Each ends with DC4 and nothing else; the buffer holds
// a NUL after the DC4 so that the serial port can write it as a plain string.
inline constexpr std::size_t Report_Line_Size = 256;
inline constexpr char Report_Line_Terminator = 0x14;
using Report_Line = char[Report_Line_Size];

// Report_Format values: the two receiver formats the automation software can be set up for.
inline constexpr std::uint8_t Report_Format_MLR2_DG = 0;
inline constexpr std::uint8_t Report_Format_MLR2000 = 1;

// The event line: "5", receiver (2+ digits), line (3+ digits), " 18", the first four characters of
// the account, the qualifier letter with the event code, group and zone. The record is not
// changed. An SIA-DCS record (Content_Sia_Dcs) gets the SIA line instead: "S", receiver (2+
// digits), line (3+ digits) and "[#account|Nri1/BA01]" (account at most six characters; no "ri"
// part without a partition). Returns the length including the DC4. No allocation: the output
// thread calls it for every line.
std::size_t Format_Report_Line(const Event_Record& record, std::uint8_t report_format, Report_Line& out);

// The record a supervision change is reported with: event 350, qualifier 1 (the object stopped
// reporting) or 3 (it reports again), group 01, zone 000, the object's receiver, line and account.
Event_Record Supervision_Record(const Object_Record& object);

// The heartbeat line "1", receiver number (2+ digits, signed), "000", eleven blanks, "@", four
// blanks, DC4. Returns the length including the DC4.
std::size_t Format_Heartbeat_Line(std::int8_t test_rec_nr, Report_Line& out);
