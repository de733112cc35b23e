#pragma once

#include "receiver/DC09_Frame.h"

#include <cstdint>
#include <string_view>

enum class DC09_Reply : std::uint8_t {
    None, // unrecognised data gets no answer
    Ack, // "ACK": accepted in clear
    Encrypted_Ack, // "*ACK": accepted, encrypted
    Nak, // "NAK": refused, carrying the receiver's time
    Duh // "DUH": content refused or not allowed
};

// "ACK", "*ACK", "NAK", "DUH"; empty for None.
std::string_view DC09_Reply_Name(DC09_Reply reply);

// Where replies take the receiver's time and the pad characters from. In the program these are
// the UTC system clock and a generator seeded from the system's entropy source.
struct DC09_Reply_Sources
{
    std::int64_t (*Utc_Seconds)(); // seconds since 1970
    std::uint32_t (*Random)();
};

// Replaces the sources; a null member restores the default. Not synchronised with replies being
// built: called at start-up or by a test before it builds replies.
void DC09_Set_Reply_Sources(const DC09_Reply_Sources& sources);

// aes_mode is the receiver's setting (0 off); time_synch its time synchronisation flag;
// time_in_window whether the message's own time stamp lies inside the window around the
// receiver's clock (DC09_Time_In_Window), which time synchronisation asks of encrypted messages.
DC09_Reply DC09_Choose_Reply(
    DC09_Outcome outcome, std::uint8_t aes_mode, bool time_synch, bool time_in_window = false);

// The complete reply message, framed; empty for None. "*ACK" is enciphered with aes_mode and the 32
// key bytes at key32; the other replies are clear. Never allocates.
DC09_Message DC09_Build_Reply(
    DC09_Reply reply, const DC09_Frame& frame, std::uint8_t aes_mode, const std::uint8_t* key32);
