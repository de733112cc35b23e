#pragma once

#include "receiver/DC09_Frame.h"
#include "store/Event_Record.h"

#include <cstdint>
#include <string_view>

struct Filled_Event
{
    Event_Record Record;
    bool Has_Signal_Quality = false; // decides the time-out of an account new to the object list
};

// The stored event for a message answered with "ACK" or "*ACK". The time is the reception time,
// not the message's own time stamp. A [Q value that is not a whole number (a full stop in it, or
// too large for a 32-bit number) counts as absent: the event still gets stored, with 255.
Filled_Event Fill_Event_From_Frame(
    const DC09_Frame& frame, std::string_view peer_address, std::int64_t reception_time);
