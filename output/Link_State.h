#pragma once

#include "base/Sync_Events.h"

#include <atomic>
#include <cstdint>

// Link_State bits. The transport timer sets Link_Port_Up or writes 0, the monitoring thread sets
// and clears Link_Confirmed; lines go out only while both are set. Every change is one atomic
// operation so neither side loses the other's.
inline constexpr std::uint32_t Link_Port_Up = 1;
inline constexpr std::uint32_t Link_Confirmed = 2;
inline constexpr std::uint32_t Link_Ready = Link_Port_Up | Link_Confirmed;

inline constexpr std::uint8_t Answer_ACK = 0x06;
inline constexpr std::uint8_t Answer_NAK = 0x15;

// The answer channel from whoever reads the automation software's bytes (the TCP read handlers,
// the serial receive thread) to the monitoring thread. The byte is stored before the event is
// set, so a woken waiter always reads the byte that woke it.
struct Reply_Channel
{
    Manual_Reset_Event Event {false};
    std::atomic<std::uint8_t> Byte {0};

    void Deliver(std::uint8_t answer)
    {
        Byte.store(answer, std::memory_order_release);
        Event.Set();
    }
};

// How one line ended, for the monitoring thread that sent it.
struct Line_Exchange
{
    enum class End {
        Answer, // an ACK or a NAK came
        Silence, // nothing came within the answer wait
        No_Connection, // there was nothing to send on
        // The reply channel was set meanwhile (the serial receive thread's answer, or the program
        // ends), or the window thread let the TCP connection go: the channel's byte counts, 0
        // when none came.
        Interrupted,
    };
    End How = End::Silence;
    std::uint8_t Answer = 0; // with End::Answer
};
