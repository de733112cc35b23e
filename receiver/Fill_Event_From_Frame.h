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

// The records an accepted message is stored as: one for Contact ID and link tests, one per event
// for SIA-DCS (one without event data when its block had none).
std::size_t Stored_Record_Count(const DC09_Frame& frame);
// Turns the record Fill_Event_From_Frame made into the one for SIA event `index`: its code,
// partition and zone, marked as SIA-DCS content. Nothing else of the record changes.
void Fill_Sia_Event(Event_Record& record, const DC09_Frame& frame, std::size_t index);
