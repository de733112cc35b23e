#pragma once

#include "output/Link_State.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class Manual_Reset_Event;

// One TCP connection to the automation software, used by two threads. The monitoring thread
// writes its report line and reads the answer itself, so a line costs no hand-over to another
// thread; the window thread accepts or connects, looks after the connection between lines and
// lets it go. The descriptor is closed when the last holder lets go, so it is never closed under
// a line being written or awaited, and never reused for another connection meanwhile.
class Line_Socket
{
public:
    // Takes a connected descriptor over; empty (the descriptor closed) when the system refuses
    // non-blocking mode.
    static std::shared_ptr<Line_Socket> Adopt(std::intptr_t descriptor);
    // Takes a duplicate of a connected descriptor that stays with its owner; empty when the
    // system refuses one.
    static std::shared_ptr<Line_Socket> Duplicate(std::intptr_t descriptor);

    ~Line_Socket();
    Line_Socket(const Line_Socket&) = delete;
    Line_Socket& operator=(const Line_Socket&) = delete;

    // --- Monitoring thread ---

    // Drops what the automation software sent while no line was out. False when it has closed
    // its end or the connection failed.
    bool Discard_Unasked();
    // Writes the whole line, waiting up to `room_wait` for room while the other side reads
    // nothing. False when the system refuses it, when the room did not come in time (part of the
    // line may have gone) or when the window thread let the connection go meanwhile.
    bool Send(const char* data, std::size_t size, std::chrono::milliseconds room_wait);

    enum class Wait_End { Answer, Silence, Given_Up };
    // Waits up to `limit` for an ACK or a NAK: only the first byte of each read counts, the rest
    // of the read is dropped with it. A connection that ends meanwhile stays silent to the end of
    // the wait. Given_Up as soon as `give_up` is set or the window thread lets the connection go.
    Wait_End Await_Answer(
        std::chrono::milliseconds limit, const Manual_Reset_Event& give_up, std::uint8_t& answer);

    // --- Window thread ---

    enum class Health { Open, Closed_By_Peer, Failed };
    // Looks at the connection without taking any byte from it; `error` is the system's code
    // when it failed.
    Health Look(int& error) const;
    // The window thread lets the connection go: a write or a wait under way ends soon.
    void Drop() { dropped.store(true); }
    // Looks, and lets the connection go unless it is still open.
    Health Drop_If_Ended(int& error)
    {
        const Health health = Look(error);
        if (health != Health::Open)
            Drop();
        return health;
    }
    // True once the monitoring thread found it closed or failed.
    bool Peer_Gone() const { return peer_gone.load(); }
    // The other side as "address:port"; "unknown" once the system no longer knows it.
    std::string Peer_Text() const;

private:
    explicit Line_Socket(std::intptr_t descriptor_)
        : descriptor(descriptor_)
    { }

    // System calls, one file per OS. Receive and Send_Some give bytes moved, or one of these.
    static constexpr std::int64_t Would_Block = -1;
    static constexpr std::int64_t Gone = -2; // reset, broken or failed
    std::int64_t Receive(char* buffer, std::size_t size, bool peek, int& error) const;
    std::int64_t Send_Some(const char* data, std::size_t size) const;
    // Up to `limit` for bytes to read (or room to write); false when the wait itself failed.
    bool Wait_Ready(bool for_writing, std::chrono::milliseconds limit) const;
    static bool Set_Non_Blocking(std::intptr_t descriptor);
    static void Close(std::intptr_t descriptor);

    std::intptr_t descriptor;
    std::atomic<bool> dropped {false};
    std::atomic<bool> peer_gone {false};
};

// One line on `target` from the monitoring thread: sent, then its answer awaited up to
// `answer_wait`, or until `interrupt` is set or the window thread lets the connection go.
Line_Exchange Exchange_Line_On(Line_Socket& target, const char* line, std::size_t size,
    std::chrono::milliseconds answer_wait, Manual_Reset_Event& interrupt);
