#pragma once

#include "receiver/DC09_Frame.h"

// Reads an SIA-DCS data block (SIA DC-03 as DC-09 carries it) from `data` (the repeated account)
// up to `end`: "#1234|Nri1/BA01/BA02]", "#1234|Nti10:21/id5/OP5]". After the bar come the function
// code (N new, O old event) and packets separated by '/'. A packet holds modifiers (two lower-case
// letters and a value: ri partition, id user, ti time, pi, da, ...) and an event (two upper-case
// letters and an optional address); a packet of digits alone is another address of the event
// before it. Modifiers hold until changed. Each event becomes one entry of frame.Sia_Events with
// the partition in force and its address, or the user number when it has none.
//
// Returns where the trailer scan starts, or nullptr when the block is refused: a data account that
// does not begin with the header account, no closing ], no function code, no event at all, a
// character that fits no packet, a partition or address too long for its stored field, or more than
// DC09_Sia_Event_Limit events. A block with no bar carries no event data and is taken, as for
// Contact ID. Never allocates.
const char* DC09_Read_Sia_Dcs(DC09_Frame& frame, const char* data, const char* end);
