#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

// One communicator connection's idle countdown. A slot matches a connection when the ports are
// equal and the slot's address text occurs within the connection's address text (an empty
// address occurs in every address).
struct DC09_Connection_Slot
{
    char Address[16]; // dotted text, empty when the peer's text has more than 15 characters
    std::int32_t Port; // 0 once the slot was released
    std::int32_t Countdown; // seconds until the receiver closes the connection; 0 = slot free
};

inline constexpr int DC09_Connection_Slots = 2048;
inline constexpr std::int32_t DC09_Idle_Seconds = 5;

class DC09_Connection_Table
{
public:
    DC09_Connection_Table();

    // The connection's own running slot anywhere in the table, or else the first free slot, takes
    // the connection and starts counting from idle_seconds. Taking a free slot that lies before
    // the own one would leave the old countdown running, and it would close the connection. With
    // every slot taken by other connections nothing is recorded, and the receiver never times
    // that one out. `hint` is the slot this connection got last time (or -1); the result is the
    // slot now holding it, or -1.
    int Record(std::string_view address, std::int32_t port, std::int32_t idle_seconds, int hint = -1);

    // The one-second sweep. For a slot whose countdown is 1, close_first_match is asked to
    // close the first open connection that matches it (it returns whether one did); when one
    // did, the slot forgets its port and address. Every running countdown then goes down by 1.
    void Tick(const std::function<bool(const DC09_Connection_Slot&)>& close_first_match);

    static bool Matches(const DC09_Connection_Slot& slot, std::string_view address, std::int32_t port);

    const DC09_Connection_Slot& Slot(int index) const { return slots_[index]; }

private:
    DC09_Connection_Slot slots_[DC09_Connection_Slots];
};
